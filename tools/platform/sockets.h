// The library app's connections as its front door (serve/front_door.h)
// needs them: connections taken from a listener without waiting, bytes
// read as they come, many sockets watched at once. One source per platform,
// chosen by the build (platform/win/sockets.cpp, platform/linux/sockets.cpp).
#pragma once

#include <stddef.h>
#include <stdint.h>

// A socket: a file descriptor, or Windows' SOCKET (an unsigned integer as
// wide as a pointer); ra_no_socket for none.
typedef uintptr_t ra_socket;
const ra_socket ra_no_socket = ~(ra_socket)0;

// Makes the calls on sock return at once instead of waiting; false when
// the system refused.
bool ra_socket_never_wait(ra_socket sock);

// What ra_socket_accept found.
enum class ra_accepted {
    one,     // a connection, whose calls return at once
    none,    // none is waiting
    failed,  // the system could not give one now (out of handles, say)
};

// A connection waiting on the listener, taken without waiting.
ra_accepted ra_socket_accept(ra_socket listener, ra_socket *connection);

// Reads what has arrived on sock, at most size bytes: their count, 0 once
// the other end closed (or the connection failed), -1 while nothing is there.
long ra_socket_receive(ra_socket sock, char *buffer, size_t size);

// One socket to watch, and whether it is ready: a connection waiting on a
// listener, bytes to read, or the other end gone.
struct ra_socket_watch {
    ra_socket sock;
    bool ready;
};

// Waits until one of the sockets is ready or timeout_ms passed, and marks
// which are; false when the system could not watch them.
bool ra_socket_wait(ra_socket_watch *watches, size_t count, int timeout_ms);

// Ends the connection both ways and closes the socket.
void ra_socket_close(ra_socket sock);
