// serve: the library app. The library page, from the same code as page,
// served on this computer alone with buttons that watch, keep and tidy
// replays through the same functions as restore and prune. Every request
// passes ra_check_request before any handler runs; the handlers then only
// call the jobs and hand back what they say.
#include <stdio.h>

#include <mutex>
#include <set>
#include <string>
#include <thread>

// Windows' accept loop wakes on this interval to notice a stop; elsewhere
// it blocks. A few threads are plenty for one player's browser.
#ifdef _WIN32
#define CPPHTTPLIB_IDLE_INTERVAL_SECOND 1
#define CPPHTTPLIB_IDLE_INTERVAL_USECOND 0
#endif
#define CPPHTTPLIB_THREAD_POOL_COUNT 4
#include <httplib.h>

#include "serve/app_pages.h"
#include "platform/browser.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "program/game_setup.h"
#include "program/jobs.h"
#include "library/keep_marks.h"
#include "library/library_page.h"
#include "library/local_time.h"
#include "platform/random.h"
#include "library/records.h"
#include "library/replays.h"
#include "serve/request_rules.h"
#include "platform/stop.h"

namespace fs = std::filesystem;

namespace {

// The only address the app listens on.
const char ra_loopback[] = "127.0.0.1";
// Bytes of randomness in the secret and in the nonce.
const size_t ra_secret_bytes = 24;

struct ra_route {
    const char *path;
    bool action;  // a POST that changes files; otherwise a GET that reads
    bool names_replay;
};
const ra_route ra_routes[] = {
    {"/", false, false},    {"/race", false, true}, {"/state", false, false},
    {"/watch", true, true}, {"/keep", true, true},  {"/unkeep", true, true},
    {"/tidy", true, false},
};

struct ra_app {
    ra_serve_job job;
    int port = 0;
    std::string secret, nonce;
    // The settings loader and Dir's files are the process's: one request at
    // a time touches them, so two actions can never interleave their steps.
    std::mutex library;
    // The names the list showed, and the state of Dir they were read at
    // (ra_listed); under `library`.
    std::string listed_state;
    std::set<std::string> listed;
};

std::string ra_random_text(size_t bytes) {
    static const char hex[] = "0123456789abcdef";
    unsigned char raw[ra_secret_bytes];
    if (bytes > sizeof raw || !ra_random_bytes(raw, bytes)) return "";
    std::string text;
    for (size_t i = 0; i < bytes; ++i) {
        text += hex[raw[i] >> 4];
        text += hex[raw[i] & 15];
    }
    return text;
}

void ra_answer(httplib::Response &res, int status, const std::string &text) {
    res.status = status;
    res.set_content(text + "\n", "text/plain; charset=utf-8");
}

// The record file's and the marks' size and time: what changes when a race
// is saved, or a mark or a file is changed from the page or elsewhere.
// A file's size and time stamp, or "-" when it cannot be read.
std::string ra_file_state(const fs::path &file) {
    std::error_code failed;
    uintmax_t size = fs::is_directory(file, failed) ? 0 : fs::file_size(file, failed);
    auto stamp = fs::last_write_time(file, failed);
    return failed ? std::string("-")
                  : std::to_string(size) + "@" + std::to_string(stamp.time_since_epoch().count());
}

std::string ra_library_state(const fs::path &dir) {
    return ra_file_state(dir / ra_records_file) + " " + ra_file_state(dir / ra_keep_file) + " ";
}

// Whether the list shows exactly this file name. The list is only made
// again once Dir, its record or the marks changed: every action asks, and
// making the list of a long season costs more than most actions. The names
// depend on Dir's entries and the record alone, and adding, removing or
// renaming a file changes the folder's own time stamp. True as well when
// the library cannot be opened: the handler then says why.
bool ra_listed(ra_app &app, const std::string &file) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(app.job.ini, &setup, &error)) return true;
    std::string folder = ra_file_state(setup.dir);
    std::string state =
        ra_text(setup.dir) + " " + folder + " " + ra_file_state(setup.dir / ra_records_file);
    if (folder == "-" || state != app.listed_state) {
        ra_replay_list list;
        ra_output ignored;
        if (ra_open_library(app.job.ini, &setup, &list, &ignored) != ra_exit_ok) return true;
        app.listed.clear();
        for (const ra_replay &r : list.replays) app.listed.insert(r.file);
        app.listed_state = folder == "-" ? "" : state;
    }
    return app.listed.count(file) != 0;
}

// The entry of the list with exactly this file name (as the list shows it).
const ra_replay *ra_entry(const ra_replay_list &list, const std::string &file) {
    for (const ra_replay &r : list.replays) {
        if (r.file == file) return &r;
    }
    return nullptr;
}

// Every rule in one place: the Host, the method, the secret of an action,
// and a replay's name, which must be a plain name the list shows. Runs
// before every handler (ra_checked), and for a request no handler takes;
// true when the request may go on, else the answer is made.
bool ra_check_request(ra_app &app, const httplib::Request &req, httplib::Response &res) {
    if (!ra_host_allowed(req.get_header_value("Host"), app.port)) {
        ra_answer(res, 403, "This app answers only at 127.0.0.1 or localhost.");
        return false;
    }
    const ra_route *route = nullptr;
    for (const ra_route &r : ra_routes) {
        if (req.path == r.path) route = &r;
    }
    if (route == nullptr) {
        ra_answer(res, 404, "No such page.");
        return false;
    }
    if (req.method != (route->action ? "POST" : "GET")) {
        res.set_header("Allow", route->action ? "POST" : "GET");
        ra_answer(res, 405, route->action ? "An action is a POST." : "A page is read with GET.");
        return false;
    }
    if (route->action && !ra_secret_matches(req.get_param_value("secret"), app.secret)) {
        ra_answer(res, 403, "This action needs the address the app opened; open that.");
        return false;
    }
    if (route->names_replay) {
        const std::string file = req.get_param_value("file");
        std::string problem = ra_replay_name_problem(file);
        if (problem.empty()) {
            std::lock_guard<std::mutex> hold(app.library);
            if (!ra_listed(app, file)) problem = "no replay of that name is in the list";
        }
        if (!problem.empty()) {
            ra_answer(res, 400, problem + ".");
            return false;
        }
    }
    return true;
}

// A handler behind the checks: the server reads a POST's form only once it
// has chosen the handler, so the checks run there, before the handler.
httplib::Server::Handler ra_checked(ra_app &app, httplib::Server::Handler handler) {
    return [&app, handler](const httplib::Request &req, httplib::Response &res) {
        if (ra_check_request(app, req, res)) handler(req, res);
    };
}

// Whether a handler takes the request; the checks answer the others.
bool ra_routed(const httplib::Request &req) {
    for (const ra_route &r : ra_routes) {
        if (req.path == r.path && req.method == (r.action ? "POST" : "GET")) return true;
    }
    return false;
}

// A job's words, as the console would print them, and whether it worked.
void ra_answer_job(httplib::Response &res, int status, const ra_output &out) {
    ra_answer(res, status == ra_exit_ok ? 200 : 409, out.out + out.err);
}

void ra_add_handlers(ra_app &app, httplib::Server &server) {
    server.Get("/", ra_checked(app, [&app](const httplib::Request &, httplib::Response &res) {
                   std::lock_guard<std::mutex> hold(app.library);
                   ra_game_setup setup;
                   ra_replay_list list;
                   ra_output out;
                   if (ra_open_library(app.job.ini, &setup, &list, &out) != ra_exit_ok) {
                       return ra_answer(res, 500, out.err);
                   }
                   ra_page_app page;
                   page.nonce = app.nonce;
                   page.secret = app.secret;
                   page.state = ra_library_state(setup.dir);
                   page.marks = ra_read_keep_marks(setup.dir);
                   res.set_content(ra_library_page(list, ra_text(setup.dir),
                                                   ra_format_time(ra_local_now()), &page),
                                   "text/html; charset=utf-8");
               }));
    server.Get("/race",
               ra_checked(app, [&app](const httplib::Request &req, httplib::Response &res) {
                   std::lock_guard<std::mutex> hold(app.library);
                   ra_game_setup setup;
                   ra_replay_list list;
                   ra_output out;
                   if (ra_open_library(app.job.ini, &setup, &list, &out) != ra_exit_ok) {
                       return ra_answer(res, 500, out.err);
                   }
                   const ra_replay *entry = ra_entry(list, req.get_param_value("file"));
                   if (entry == nullptr)
                       return ra_answer(res, 400, "No replay of that name is in the list.");
                   res.set_content(ra_race_page(*entry, app.nonce), "text/html; charset=utf-8");
               }));
    server.Get("/state", ra_checked(app, [&app](const httplib::Request &, httplib::Response &res) {
                   std::lock_guard<std::mutex> hold(app.library);
                   ra_game_setup setup;
                   std::string error;
                   if (!ra_load_setup(app.job.ini, &setup, &error))
                       return ra_answer(res, 500, error);
                   res.set_content(ra_library_state(setup.dir), "text/plain; charset=utf-8");
               }));
    server.Post("/watch",
                ra_checked(app, [&app](const httplib::Request &req, httplib::Response &res) {
                    std::lock_guard<std::mutex> hold(app.library);
                    ra_game_setup setup;
                    std::string error;
                    if (!ra_load_setup(app.job.ini, &setup, &error))
                        return ra_answer(res, 500, error);
                    // The file the list shows, by its place in Dir, never a path of the request's.
                    ra_restore_job restore;
                    restore.ini = app.job.ini;
                    restore.file = ra_text(setup.dir / ra_path(req.get_param_value("file")));
                    ra_output out;
                    ra_answer_job(res, ra_run_restore(restore, &out), out);
                }));
    for (bool keep : {true, false}) {
        server.Post(
            keep ? "/keep" : "/unkeep",
            ra_checked(app, [&app, keep](const httplib::Request &req, httplib::Response &res) {
                std::lock_guard<std::mutex> hold(app.library);
                ra_game_setup setup;
                std::string error, file = req.get_param_value("file");
                if (!ra_load_setup(app.job.ini, &setup, &error) ||
                    !ra_mark_kept(setup.dir, file, keep, &error)) {
                    return ra_answer(res, 409, error);
                }
                ra_answer(res, 200, ra_keep_said(file, keep));
            }));
    }
    server.Post("/tidy",
                ra_checked(app, [&app](const httplib::Request &req, httplib::Response &res) {
                    std::lock_guard<std::mutex> hold(app.library);
                    ra_prune_job prune;
                    prune.ini = app.job.ini;
                    prune.keep = req.get_param_value("keep");
                    prune.max_size = req.get_param_value("max_size");
                    prune.older_than = req.get_param_value("older_than");
                    prune.apply = req.get_param_value("apply") == "1";
                    ra_output out;
                    ra_answer_job(res, ra_run_prune(prune, &out), out);
                }));
}

void ra_say(const std::string &text) { ra_write_text(stdout, text); }

}  // namespace

int ra_run_serve(const ra_serve_job &job, ra_output *out) {
    ra_app app;
    app.job = job;
    int wanted = 0;
    if (!job.port.empty()) {
        uint64_t n = 0;
        bool digits = job.port.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || job.port.size() > 5 || (n = std::stoull(job.port)) < 1 || n > 65535) {
            return ra_fail(out, "--port wants a port number from 1 to 65535, not " + job.port,
                           ra_exit_usage);
        }
        wanted = (int)n;
    }
    // The library must open before anything is served.
    {
        ra_game_setup setup;
        ra_replay_list list;
        int status = ra_open_library(job.ini, &setup, &list, out);
        if (status != ra_exit_ok) return status;
    }
    app.secret = ra_random_text(ra_secret_bytes);
    app.nonce = ra_random_text(ra_secret_bytes / 2);
    if (app.secret.empty() || app.nonce.empty()) {
        return ra_fail(out, "the system gave no random numbers for the app's secret",
                       ra_exit_failed);
    }

    httplib::Server server;
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
    for (const auto &h : ra_app_headers(app.nonce)) headers.emplace(h.first, h.second);
    server.set_default_headers(headers);
    server.set_pre_routing_handler([&app](const httplib::Request &req, httplib::Response &res) {
        if (ra_routed(req) || ra_check_request(app, req, res)) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        return httplib::Server::HandlerResponse::Handled;
    });
    server.set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (res.body.empty()) ra_answer(res, res.status, "The app could not answer that.");
    });
    ra_add_handlers(app, server);

    if (wanted != 0) {
        if (!server.bind_to_port(ra_loopback, wanted)) {
            return ra_fail(out,
                           "cannot listen on " + std::string(ra_loopback) + ":" + job.port +
                               ": the port is taken (is the library app running already?); "
                               "choose another with --port, or leave --port out",
                           ra_exit_failed);
        }
        app.port = wanted;
    } else {
        app.port = server.bind_to_any_port(ra_loopback);
        if (app.port <= 0) {
            return ra_fail(out, "cannot listen on " + std::string(ra_loopback) + ": no free port",
                           ra_exit_failed);
        }
    }

    ra_stop_prepare();
    std::thread listener([&server] { server.listen_after_bind(); });
    const std::string address =
        "http://" + std::string(ra_loopback) + ":" + std::to_string(app.port) + "/?s=" + app.secret;
    ra_say("The library app is at " + address + "\nPress Ctrl+C to stop it.\n");
    std::string error;
    if (job.open && !ra_open_in_browser(fs::path(address), &error)) {
        ra_say("warning: " + error + "\n");
    }
    ra_stop_wait();
    server.stop();
    listener.join();
    ra_say("The library app stopped.\n");
    ra_stop_done();
    return ra_exit_ok;
}
