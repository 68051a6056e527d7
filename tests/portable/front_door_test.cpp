// The library app's front door: where a request head ends, as the server
// will read it, and which connection goes when the table is full. Over
// HTTP (tests/cli/serve/hostile_test.sh) the player's requests are timed
// against two hundred strangers; here the choice itself is pinned.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serve/front_door.h"

TEST(FrontDoor, AHeadIsWholeAtItsFirstEmptyLineEndingInCrLf) {
    ra_door_limits limits;
    limits.line_max = 64;
    limits.headers_max = 3;
    struct {
        const char *what;
        std::string bytes;
        ra_head want;
    } cases[] = {
        {"nothing yet", "", ra_head::partial},
        {"half a request line", "GET / HT", ra_head::partial},
        {"the request line", "GET / HTTP/1.1\r\nHost: a", ra_head::first_line},
        {"a whole head", "GET / HTTP/1.1\r\nHost: a\r\n\r\nbody", ra_head::whole},
        // The server skips a line without CR: it ends nothing, and waiting
        // for more on a thread is what the door is there to prevent.
        {"an empty line without CR", "GET / HTTP/1.1\r\nHost: a\n\n", ra_head::first_line},
        {"one header more than the server takes",
         "GET / HTTP/1.1\r\nA: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\n", ra_head::whole},
        {"a line longer than any", "GET /" + std::string(64, 'a'), ra_head::too_long},
        {"lines the server skips, past any head's length",
         "GET / HTTP/1.1\r\n" + std::string(400, '\n'), ra_head::too_long},
    };
    for (const auto &c : cases) {
        // At once, and a byte at a time: the same answer.
        ra_head_scan scan;
        EXPECT_EQ(ra_read_head(scan, c.bytes, limits), c.want) << c.what;
        ra_head_scan bytewise;
        ra_head got = ra_head::partial;
        for (size_t n = 0; n <= c.bytes.size() && got != ra_head::whole; ++n) {
            got = ra_read_head(bytewise, c.bytes.substr(0, n), limits);
        }
        EXPECT_EQ(got, c.want) << c.what << ", a byte at a time";
    }
}

namespace {

int test_connect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons((uint16_t)port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, (sockaddr *)&to, sizeof to), 0);
    return fd;
}

// True once the door closed fd (its read sees the end), within a second.
bool test_closed_by_door(int fd) {
    timeval second{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &second, sizeof second);
    char byte;
    return recv(fd, &byte, 1, 0) == 0;
}

}  // namespace

TEST(FrontDoor, WhenFullTheConnectionThatWaitedLongestGoesNotTheNewcomer) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, (sockaddr *)&at, sizeof at), 0);
    ASSERT_EQ(listen(listener, 64), 0);
    socklen_t size = sizeof at;
    getsockname(listener, (sockaddr *)&at, &size);
    const int port = ntohs(at.sin_port);
    ASSERT_TRUE(ra_socket_never_wait((ra_socket)listener));

    ra_door_limits limits;
    limits.waiting_max = 4;
    limits.first_line_ms = 10000;  // no deadline meets these idle ones first
    std::mutex served_lock;
    std::vector<std::string> served;
    ra_front_door door((ra_socket)listener, limits, [&](ra_socket sock, const std::string &head) {
        {
            std::lock_guard<std::mutex> hold(served_lock);
            served.push_back(head);
        }
        ra_socket_close(sock);
    });
    std::thread running([&door] { door.run(); });

    // Six idle connections for four places: the two that came first go.
    std::vector<int> idle;
    for (int n = 0; n < 6; ++n) {
        idle.push_back(test_connect(port));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(test_closed_by_door(idle[0]));
    EXPECT_TRUE(test_closed_by_door(idle[1]));
    // The player's request takes the place of the one that waited longest,
    // and is answered; the others wait on.
    int player = test_connect(port);
    const std::string request = "GET /state HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    ASSERT_EQ(send(player, request.data(), request.size(), 0), (ssize_t)request.size());
    EXPECT_TRUE(test_closed_by_door(player));
    EXPECT_TRUE(test_closed_by_door(idle[2]));
    {
        std::lock_guard<std::mutex> hold(served_lock);
        EXPECT_EQ(served, std::vector<std::string>{request});
    }
    char byte;
    EXPECT_EQ(recv(idle[5], &byte, 1, MSG_DONTWAIT), -1) << "the newest idle one was closed";

    door.stop();
    running.join();
    for (int fd : idle) close(fd);
    close(player);
}
