#include "platform/game_paths.h"
#include "serve/app_gate.h"

#include "serve/app_answers.h"
#include "serve/app_pages.h"
#include "serve/route_table.h"

namespace {

// The answer to a refused request; one without the token learns how to
// start the app and open its address.
void ra_refuse(httplib::Response &res, const ra_gate_verdict &verdict) {
    if (verdict.start_again) {
        res.status = verdict.status;
        res.set_content(ra_start_again_page(verdict.message), "text/html; charset=utf-8");
        return;
    }
    if (verdict.status == 405 && verdict.route != nullptr)
        res.set_header("Allow", verdict.route->method);
    ra_answer(res, verdict.status, verdict.message);
}

// The head of a request, as the gate judges it.
ra_request_head ra_head_of(const httplib::Request &req) {
    ra_request_head head;
    head.method = req.method;
    head.target = req.target;
    head.path = req.path;
    for (const auto &h : req.headers) {
        // The server adds these to the request itself.
        if (h.first == "REMOTE_ADDR" || h.first == "REMOTE_PORT" || h.first == "LOCAL_ADDR" ||
            h.first == "LOCAL_PORT") {
            continue;
        }
        head.headers.emplace_back(h.first, h.second);
    }
    // A length the server cannot read counts as too large.
    const std::string length = req.get_header_value("Content-Length");
    if (!length.empty()) {
        bool digits =
            length.size() <= 18 && length.find_first_not_of("0123456789") == std::string::npos;
        head.body_length = digits ? (uint64_t)std::stoull(length) : (uint64_t)-1;
    }
    head.chunked = req.has_header("Transfer-Encoding");
    return head;
}

// Before the body is read: every rule that needs no body. A request the
// gate lets on is one of the table's routes, with its method.
httplib::Server::HandlerResponse ra_gate_head(ra_app &app, const httplib::Request &req,
                                              httplib::Response &res) {
    ra_gate_verdict verdict = ra_judge_head(app.gate, ra_head_of(req));
    if (verdict.status != 0) {
        ra_refuse(res, verdict);
        return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
}

// The list's rule, on the request's snapshot: a route that names a replay
// names one the list shows (a friend's replay is held to its own check).
ra_gate_verdict ra_judge_listed(const ra_route &route, const ra_snapshot &now,
                                const std::string &file) {
    ra_gate_verdict verdict;
    if (route.rule.names_replay && !ra_list_shows(now, file)) {
        verdict.status = 400;
        verdict.message = "No replay of that name is in the list.";
    }
    return verdict;
}

// After the body (before it, for a file): a replay's name, the snapshot the
// handler works on (the library read once, under its lock), the name in
// the list, then the handler.
void ra_run_route(ra_app &app, const ra_route &route, const httplib::Request &req,
                  httplib::Response &res, const httplib::ContentReader *read = nullptr) {
    const std::string file = req.get_param_value("file");
    ra_gate_verdict verdict = ra_judge_form(route.rule, file);
    if (verdict.status != 0) return ra_refuse(res, verdict);
    if (read != nullptr) return route.upload(app, req, res, *read);
    if (route.tells_indexing && app.indexing) {
        return ra_answer_indexing(app, ra_snapshot(), req, res);
    }
    std::lock_guard<std::mutex> hold(app.library);
    const ra_snapshot now =
        ra_take_snapshot(app, route.rule.names_replay ? ra_route_reads::library : route.reads);
    verdict = ra_judge_listed(route, now, file);
    if (verdict.status != 0) return ra_refuse(res, verdict);
    route.handler(app, now, req, res);
}

}  // namespace

void ra_add_gated_routes(ra_app &app, httplib::Server &server) {
    server.set_pre_routing_handler([&app](const httplib::Request &req, httplib::Response &res) {
        return ra_gate_head(app, req, res);
    });
    for (size_t i = 0; i < ra_route_count; ++i) {
        const ra_route &route = ra_routes[i];
        auto handler = [&app, &route](const httplib::Request &req, httplib::Response &res) {
            ra_run_route(app, route, req, res);
        };
        if (route.upload != nullptr) {
            server.Post(route.rule.path,
                        [&app, &route](const httplib::Request &req, httplib::Response &res,
                                       const httplib::ContentReader &read) {
                            ra_run_route(app, route, req, res, &read);
                        });
        } else if (std::string(route.rule.method) == "POST") {
            server.Post(route.rule.path, handler);
        } else {
            server.Get(route.rule.path, handler);
        }
    }
}
