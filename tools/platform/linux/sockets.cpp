#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "platform/sockets.h"

bool ra_socket_never_wait(ra_socket sock) {
    int flags = fcntl((int)sock, F_GETFL, 0);
    return flags != -1 && fcntl((int)sock, F_SETFL, flags | O_NONBLOCK) == 0;
}

ra_accepted ra_socket_accept(ra_socket listener, ra_socket *connection) {
    int fd = accept4((int)listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
        *connection = (ra_socket)fd;
        return ra_accepted::one;
    }
    // A connection that was reset before it was taken is simply not there.
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) {
        return ra_accepted::none;
    }
    return ra_accepted::failed;
}

long ra_socket_receive(ra_socket sock, char *buffer, size_t size) {
    ssize_t got = recv((int)sock, buffer, size, 0);
    if (got >= 0) return (long)got;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? -1 : 0;
}

bool ra_socket_wait(ra_socket_watch *watches, size_t count, int timeout_ms) {
    std::vector<pollfd> fds(count);
    for (size_t i = 0; i < count; ++i) fds[i] = {(int)watches[i].sock, POLLIN, 0};
    int got = poll(fds.data(), (nfds_t)count, timeout_ms);
    if (got < 0 && errno != EINTR) return false;
    for (size_t i = 0; i < count; ++i) watches[i].ready = got > 0 && fds[i].revents != 0;
    return true;
}

void ra_socket_close(ra_socket sock) {
    shutdown((int)sock, SHUT_RDWR);
    close((int)sock);
}
