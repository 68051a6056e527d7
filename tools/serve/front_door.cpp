#include "serve/front_door.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using ra_clock = std::chrono::steady_clock;

// How often the door looks whether it is to stop when nothing else wakes it.
const int ra_door_tick_ms = 100;
// How long it waits after the system could not give it a connection (out
// of handles, say) before it asks again, rather than asking in a loop.
const int ra_accept_pause_ms = 10;
// Bytes read from one connection at a time.
const size_t ra_read_piece = 4096;
// Connections taken in one round at most, so that those already taken are
// read again soon however fast others come.
const size_t ra_accepts_per_round = 256;

}  // namespace

ra_head ra_read_head(ra_head_scan &scan, const std::string &bytes, const ra_door_limits &limits) {
    while (scan.scanned < bytes.size()) {
        const size_t at = scan.scanned++;
        if (bytes[at] != '\n') continue;
        const size_t start = scan.line_start;
        scan.line_start = at + 1;
        ++scan.lines;
        // The server takes a header only from a line that ends in CR LF and
        // skips any other, so only such lines end a head or count.
        if (at == start || bytes[at - 1] != '\r') continue;
        if (at - start == 1) return ra_head::whole;
        if (scan.lines > 1 && ++scan.headers > limits.headers_max) return ra_head::whole;
    }
    if (bytes.size() - scan.line_start > limits.line_max ||
        bytes.size() > (limits.headers_max + 2) * limits.line_max) {
        return ra_head::too_long;
    }
    return scan.lines == 0 ? ra_head::partial : ra_head::first_line;
}

// A connection whose head is not whole yet.
struct ra_front_door::waiting {
    ra_socket sock;
    ra_clock::time_point came;
    std::string bytes;  // all it sent so far
    ra_head_scan scan;
    bool first_line = false;  // its request line is whole
    size_t round = 0;         // the round of the door's loop that took it
};

bool ra_front_door::run() {
    // In the order they came: the front has waited longest.
    std::deque<waiting> table, still;
    std::vector<ra_socket_watch> watches;
    std::vector<char> piece(ra_read_piece);
    const std::chrono::milliseconds first_line_time(limits_.first_line_ms),
        head_time(limits_.head_ms);
    bool watched = true;
    for (size_t round = 1; !stopping_; ++round) {
        // Those past their deadline go; the next deadline ends the wait.
        const ra_clock::time_point now = ra_clock::now();
        int wait_ms = ra_door_tick_ms;
        still.clear();
        for (waiting &w : table) {
            const ra_clock::time_point due = w.came + (w.first_line ? head_time : first_line_time);
            if (now >= due) {
                ra_socket_close(w.sock);
                continue;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
            wait_ms = std::min(wait_ms, (int)left);
            still.push_back(std::move(w));
        }
        table.swap(still);

        watches.assign(1, {listener_, false});
        for (const waiting &w : table) watches.push_back({w.sock, false});
        if (!ra_socket_wait(watches.data(), watches.size(), wait_ms)) {
            watched = false;
            break;
        }

        // What arrived: each connection read once a round. A whole head goes
        // on with everything read after it; a closed connection or one with
        // a line longer than any request has is closed.
        still.clear();
        for (size_t i = 0; i < table.size(); ++i) {
            waiting &w = table[i];
            if (!watches[i + 1].ready) {
                still.push_back(std::move(w));
                continue;
            }
            const long got = ra_socket_receive(w.sock, piece.data(), piece.size());
            if (got == 0) {
                ra_socket_close(w.sock);
                continue;
            }
            if (got > 0) w.bytes.append(piece.data(), (size_t)got);
            const ra_head head = ra_read_head(w.scan, w.bytes, limits_);
            if (head == ra_head::whole) {
                hand_on(w.sock, std::move(w.bytes));
            } else if (head == ra_head::too_long) {
                ra_socket_close(w.sock);
            } else {
                w.first_line = head == ra_head::first_line;
                still.push_back(std::move(w));
            }
        }
        table.swap(still);

        // Newcomers, each taking the place of the one that waited longest
        // once the table is full; never of one taken in this round, which
        // has not been read yet: those wait in the system's queue until
        // every connection taken was read once.
        for (size_t n = 0; watches[0].ready && n < ra_accepts_per_round; ++n) {
            if (table.size() >= limits_.waiting_max && table.front().round == round) break;
            ra_socket sock = ra_no_socket;
            const ra_accepted taken = ra_socket_accept(listener_, &sock);
            if (taken == ra_accepted::failed) {
                std::this_thread::sleep_for(std::chrono::milliseconds(ra_accept_pause_ms));
            }
            if (taken != ra_accepted::one) break;
            if (table.size() >= limits_.waiting_max) {
                ra_socket_close(table.front().sock);
                table.pop_front();
            }
            waiting w;
            w.sock = sock;
            w.came = ra_clock::now();
            w.round = round;
            table.push_back(std::move(w));
        }
    }

    ra_socket_close(listener_);
    for (const waiting &w : table) ra_socket_close(w.sock);
    std::unique_lock<std::mutex> hold(lock_);
    for (const auto &q : queued_) ra_socket_close(q.first);
    queued_.clear();
    idle_.wait(hold, [this] { return serving_ == 0; });
    return watched;
}

void ra_front_door::hand_on(ra_socket sock, std::string head) {
    std::lock_guard<std::mutex> hold(lock_);
    if (serving_ >= limits_.serving_max) {
        // Every thread is busy: the request waits its turn, or, when as
        // many wait already, goes.
        if (queued_.size() < limits_.queued_max) {
            queued_.emplace_back(sock, std::move(head));
        } else {
            ra_socket_close(sock);
        }
        return;
    }
    try {
        std::thread(&ra_front_door::answer_from, this, sock, std::move(head)).detach();
        ++serving_;
    } catch (const std::system_error &) {
        ra_socket_close(sock);
    }
}

void ra_front_door::answer_from(ra_socket sock, std::string head) {
    for (;;) {
        serve_(sock, head);
        std::lock_guard<std::mutex> hold(lock_);
        if (queued_.empty()) {
            --serving_;
            idle_.notify_all();
            return;
        }
        sock = queued_.front().first;
        head = std::move(queued_.front().second);
        queued_.pop_front();
    }
}
