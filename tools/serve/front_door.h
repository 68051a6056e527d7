// The library app's front door: it takes every connection itself and reads
// its request head under a deadline, in one thread, before any thread of
// the server is given to it. A connection that has not sent its whole head
// holds no thread, only a place in a table of fixed size; when the table
// is full, the one that has waited longest goes, so that the browser's next
// request always finds a place, however many connections other programs
// hold open. A whole head is handed on, with the socket, to a thread of its
// own (at most serving_max at once; more wait in a queue of fixed size).
#pragma once

#include <stddef.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "platform/sockets.h"

// How many connections the door holds, and how long each may take.
struct ra_door_limits {
    size_t waiting_max = 64;   // connections whose head is not whole yet
    size_t serving_max = 64;   // requests answered at once, each on a thread
    size_t queued_max = 64;    // whole requests waiting for a thread
    int first_line_ms = 1000;  // the request line is whole within this of the connection
    int head_ms = 5000;        // and the whole head within this
    // The longest line of a head, and the most headers. A longer line, or
    // a head longer than the request line and every header at their
    // longest, is closed; one header more is handed on, and the server
    // refuses it.
    size_t line_max = 8192;
    size_t headers_max = 40;
};

// How far a connection's bytes have come towards a whole head, read once
// each as they arrive (ra_read_head).
struct ra_head_scan {
    size_t scanned = 0;     // bytes looked at
    size_t line_start = 0;  // where the line being read began
    size_t lines = 0;       // lines ended so far
    size_t headers = 0;     // of them, headers the server takes
};

enum class ra_head {
    partial,     // more is to come
    first_line,  // the request line is whole, its headers are not
    whole,       // an empty line ended it, or it has more headers than the server takes
    too_long,    // it is longer than any request the server takes
};

// Goes on reading bytes (everything the connection sent so far) from where
// scan stopped, as the server will read them: a line ends at LF, and the
// head at the first empty line that ends in CR LF. A head is only handed on
// when the server can answer it at once, never to wait on a thread.
ra_head ra_read_head(ra_head_scan &scan, const std::string &bytes, const ra_door_limits &limits);

class ra_front_door {
public:
    // serve(sock, head) answers the request whose head the door read and
    // closes sock; it runs on a thread of its own.
    using serve_fn = std::function<void(ra_socket sock, const std::string &head)>;

    ra_front_door(ra_socket listener, const ra_door_limits &limits, serve_fn serve)
        : listener_(listener), limits_(limits), serve_(std::move(serve)) {}

    // Takes connections until stop(), then closes the listener and every
    // connection still waiting, and returns once every answer is done.
    // False when the listener could not be watched.
    bool run();
    // From any thread; run() notices within a tenth of a second.
    void stop() { stopping_ = true; }

private:
    struct waiting;
    void hand_on(ra_socket sock, std::string head);
    void answer_from(ra_socket sock, std::string head);

    ra_socket listener_;
    ra_door_limits limits_;
    serve_fn serve_;
    std::atomic<bool> stopping_{false};
    // The threads answering and the whole requests waiting for one.
    std::mutex lock_;
    std::condition_variable idle_;
    size_t serving_ = 0;
    std::deque<std::pair<ra_socket, std::string>> queued_;
};
