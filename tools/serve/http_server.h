// cpp-httplib as the library app builds it, in one place: every source that
// includes the library must see the same limits. The server answers the
// requests whose heads the front door (serve/front_door.h) read; it never
// listens or takes a connection itself.
#pragma once

#include <string>

#include "platform/sockets.h"
#include "serve/request_rules.h"

// The server's own limits are the gate's: nothing larger is read at all.
#define CPPHTTPLIB_REQUEST_URI_MAX_LENGTH RA_REQUEST_TARGET_MAX
#define CPPHTTPLIB_MAX_LINE_LENGTH RA_HEADER_LINE_MAX
#define CPPHTTPLIB_HEADER_MAX_LENGTH RA_HEADER_LINE_MAX
#define CPPHTTPLIB_HEADER_MAX_COUNT RA_HEADER_COUNT_MAX
// A request's body arrives whole within this many seconds of its head,
// however slowly its bytes come, or the connection is closed: a program
// that sends a byte now and then holds no thread for longer.
#define CPPHTTPLIB_CONNECTION_READ_DEADLINE_SECOND 5
// Connections the system keeps for the front door while it is busy: a
// burst of strangers' connections fills no queue the browser then waits
// behind.
#define CPPHTTPLIB_LISTEN_BACKLOG 512
#include <httplib.h>

class ra_http_server : public httplib::Server {
public:
    // The socket bind_to_port made, which the front door takes over.
    ra_socket take_listener() { return (ra_socket)svr_sock_.exchange(INVALID_SOCKET); }

    // Answers the one request of a connection whose head (and whatever
    // came after it) the door read, then closes the socket: a connection
    // kept open would hold its thread, and every request meets the door on
    // its own.
    void serve(ra_socket sock, const std::string &head);
};
