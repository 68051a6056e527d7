#include "platform/game_paths.h"
#include "serve/app_server.h"

#include <thread>

#include "friends/share_file.h"
#include "platform/browser.h"
#include "platform/random.h"
#include "platform/stop.h"
#include "serve/app_answers.h"
#include "serve/app_gate.h"
#include "serve/app_session.h"
#include "serve/front_door.h"
#include "serve/route_table.h"

namespace fs = std::filesystem;

namespace {

// The only address the app listens on.
const char ra_loopback[] = "127.0.0.1";
// Random bytes in the address's token.
const size_t ra_token_bytes = 24;
// How long a connection waits for each piece of a request's body.
const time_t ra_read_timeout_seconds = 2;

// The front door's table. A connection waiting costs a socket and what it
// sent, so there is room for a few hundred: strangers who hold fewer never
// make it shed anyone, and the browser's request never queues behind their
// new connections in the system's queue. A browser sends its request at
// once on a connection it opened, so a second is long for a request line;
// the head is whole within the time the body then has as well.
ra_door_limits ra_serve_door() {
    ra_door_limits limits;
    limits.waiting_max = 256;
    limits.serving_max = 64;
    limits.queued_max = 64;
    limits.first_line_ms = 1000;
    limits.head_ms = CPPHTTPLIB_CONNECTION_READ_DEADLINE_SECOND * 1000;
    limits.line_max = ra_header_line_max;
    limits.headers_max = ra_header_count_max;
    return limits;
}

}  // namespace

int ra_run_app(const ra_app_start &start, ra_output *out) {
    ra_app app;
    app.ini = start.ini;
    // The settings must read before anything is served. The library's index
    // is brought up to date once the app listens: made from nothing, a long
    // career takes seconds, which the page shows as they pass.
    {
        const ra_snapshot now = ra_take_snapshot(app, ra_route_reads::settings);
        if (!now.have_setup) return ra_fail(out, now.error, ra_exit_usage);
    }
    app.gate.token = ra_random_hex(ra_token_bytes);
    app.gate.routes = ra_route_rules();
    app.gate.route_count = ra_route_count;
    if (app.gate.token.empty() || ra_random_hex(ra_nonce_bytes).empty()) {
        return ra_fail(out, "the system gave no random numbers for the app's secret",
                       ra_exit_failed);
    }

    ra_http_server server;
    server.set_read_timeout(ra_read_timeout_seconds, 0);
    // The gate holds each route to its own size first; the biggest body of
    // any is a share the player imports.
    server.set_payload_max_length((size_t)ra_share_max_bytes);
    // One listener per port: a second start must fail, not share it.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
#ifdef _WIN32
        setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, (const char *)&yes, sizeof yes);
#else
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
    });
    httplib::Headers headers;
    for (const auto &h : ra_app_headers()) headers.emplace(h.first, h.second);
    server.set_default_headers(headers);
    // Every answer but a page (which names its own nonce) runs nothing at all.
    server.set_post_routing_handler([](const httplib::Request &, httplib::Response &res) {
        if (!res.has_header("Content-Security-Policy")) {
            res.set_header("Content-Security-Policy", ra_plain_policy);
        }
    });
    server.set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (res.body.empty()) ra_answer(res, res.status, "The app could not answer that.");
    });
    ra_add_gated_routes(app, server);

    if (start.port != 0) {
        if (!server.bind_to_port(ra_loopback, start.port)) {
            return ra_fail(out,
                           "cannot listen on " + std::string(ra_loopback) + ":" +
                               std::to_string(start.port) +
                               ": the port is taken (is the library app running already?); "
                               "choose another with --port, or leave --port out",
                           ra_exit_failed);
        }
        app.gate.port = start.port;
    } else {
        app.gate.port = server.bind_to_any_port(ra_loopback);
        if (app.gate.port <= 0) {
            return ra_fail(out, "cannot listen on " + std::string(ra_loopback) + ": no free port",
                           ra_exit_failed);
        }
    }

    const ra_socket listening = server.take_listener();
    if (!ra_socket_never_wait(listening)) {
        ra_socket_close(listening);
        return ra_fail(out,
                       "cannot listen on " + std::string(ra_loopback) + ": " +
                           "the system refused to set the listener up",
                       ra_exit_failed);
    }
    ra_front_door door(
        listening, ra_serve_door(),
        [&server](ra_socket sock, const std::string &head) { server.serve(sock, head); });

    ra_stop_prepare();
    std::thread listener([&door, &start] {
        if (!door.run()) {
            start.say(
                "warning: the system stopped giving the app its connections; press Ctrl+C "
                "and start it again\n");
        }
    });
    // The token after '#', which the browser never sends to any server: the
    // page takes it from there into the tab's storage.
    const std::string address = "http://" + std::string(ra_loopback) + ":" +
                                std::to_string(app.gate.port) + "/#token=" + app.gate.token;
    start.say("The library app is at " + address + "\nPress Ctrl+C to stop it.\n");
    // The first look at the library, as every request's (the page's own
    // requests wait for it, or are told how far it came); a library that
    // cannot be read is the page's to tell, as it would be later.
    std::thread first_look([&app, &start] {
        std::lock_guard<std::mutex> hold(app.library);
        const ra_snapshot now = ra_take_snapshot(app, ra_route_reads::library);
        if (!now.have_library) start.say("warning: " + now.error + "\n");
    });
    std::string error;
    if (start.open && !ra_open_in_browser(fs::path(address), &error)) {
        start.say("warning: " + error + "\n");
    }
    ra_stop_wait();
    door.stop();
    listener.join();
    first_look.join();
    start.say("The library app stopped.\n");
    ra_stop_done();
    return ra_exit_ok;
}
