#include "serve/http_server.h"

#include <string.h>

namespace {

// Bytes the system holds for a connection's answer. Every answer a stranger
// can get (a refusal, a page without data) fits, so that one who asks and
// never reads keeps no thread waiting to write.
const int ra_answer_room = 512 * 1024;

// The head the door read, then the connection itself.
class ra_head_first_stream final : public httplib::Stream {
public:
    ra_head_first_stream(socket_t sock, const std::string &head, time_t read_sec, time_t read_usec,
                         time_t write_sec, time_t write_usec)
        : head_(head), socket_(sock, read_sec, read_usec, write_sec, write_usec) {}

    bool is_readable() const override { return at_ < head_.size() || socket_.is_readable(); }
    bool is_writable() const override { return socket_.is_writable(); }
    ssize_t read(char *ptr, size_t size) override {
        if (at_ == head_.size()) return socket_.read(ptr, size);
        const size_t n = std::min(size, head_.size() - at_);
        memcpy(ptr, head_.data() + at_, n);
        at_ += n;
        return (ssize_t)n;
    }
    ssize_t write(const char *ptr, size_t size) override { return socket_.write(ptr, size); }
    void get_remote_ip_and_port(std::string &ip, int &port) const override {
        socket_.get_remote_ip_and_port(ip, port);
    }
    void get_local_ip_and_port(std::string &ip, int &port) const override {
        socket_.get_local_ip_and_port(ip, port);
    }
    socket_t socket() const override { return socket_.socket(); }

private:
    const std::string &head_;
    size_t at_ = 0;
    httplib::detail::SocketStream socket_;
};

}  // namespace

void ra_http_server::serve(ra_socket sock, const std::string &head) {
    const socket_t s = (socket_t)sock;
    // Raised only: a system that gives more on its own (Linux) keeps it.
    int room = 0;
    socklen_t size = sizeof room;
    if (getsockopt(s, SOL_SOCKET, SO_SNDBUF, (char *)&room, &size) != 0 || room < ra_answer_room) {
        room = ra_answer_room;
        setsockopt(s, SOL_SOCKET, SO_SNDBUF, (const char *)&room, sizeof room);
    }
    // The socket never waits (the door made it so): each read and write
    // waits for it within its own time, and a write of an answer larger
    // than the room goes on piece by piece.
    ra_head_first_stream stream(s, head, read_timeout_sec_, read_timeout_usec_, write_timeout_sec_,
                                write_timeout_usec_);
    std::string remote_ip, local_ip;
    int remote_port = 0, local_port = 0;
    stream.get_remote_ip_and_port(remote_ip, remote_port);
    stream.get_local_ip_and_port(local_ip, local_port);
    bool closed = false;
    process_request(stream, remote_ip, remote_port, local_ip, local_port, true, closed, nullptr);
    ra_socket_close(sock);
}
