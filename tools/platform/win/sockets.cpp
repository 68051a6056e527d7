// Winsock, which the server's library starts (WSAStartup) before main.
// WSAPoll watches any number of sockets; select's sets hold 64.
#include <winsock2.h>

#include <vector>

#include "platform/sockets.h"

bool ra_socket_never_wait(ra_socket sock) {
    u_long yes = 1;
    return ioctlsocket((SOCKET)sock, FIONBIO, &yes) == 0;
}

ra_accepted ra_socket_accept(ra_socket listener, ra_socket *connection) {
    SOCKET taken = accept((SOCKET)listener, nullptr, nullptr);
    if (taken != INVALID_SOCKET) {
        // A taken socket has its listener's properties; said again, so
        // that nothing here waits whatever the listener was.
        if (!ra_socket_never_wait((ra_socket)taken)) {
            closesocket(taken);
            return ra_accepted::failed;
        }
        *connection = (ra_socket)taken;
        return ra_accepted::one;
    }
    int why = WSAGetLastError();
    // A connection that was reset before it was taken is simply not there.
    if (why == WSAEWOULDBLOCK || why == WSAEINTR || why == WSAECONNRESET) {
        return ra_accepted::none;
    }
    return ra_accepted::failed;
}

long ra_socket_receive(ra_socket sock, char *buffer, size_t size) {
    int most = size > 0x7fffffff ? 0x7fffffff : (int)size;
    int got = recv((SOCKET)sock, buffer, most, 0);
    if (got >= 0) return got;
    int why = WSAGetLastError();
    return why == WSAEWOULDBLOCK || why == WSAEINTR ? -1 : 0;
}

bool ra_socket_wait(ra_socket_watch *watches, size_t count, int timeout_ms) {
    std::vector<WSAPOLLFD> fds(count);
    for (size_t i = 0; i < count; ++i) fds[i] = {(SOCKET)watches[i].sock, POLLRDNORM, 0};
    int got = WSAPoll(fds.data(), (ULONG)count, timeout_ms);
    if (got == SOCKET_ERROR) return false;
    for (size_t i = 0; i < count; ++i) watches[i].ready = got > 0 && fds[i].revents != 0;
    return true;
}

void ra_socket_close(ra_socket sock) {
    shutdown((SOCKET)sock, SD_BOTH);
    closesocket((SOCKET)sock);
}
