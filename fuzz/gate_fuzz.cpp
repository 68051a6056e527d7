// The library app's request gate (serve/request_rules.h) on fuzzed
// requests: what a program on this computer can send.
//
// Input: a flags byte (bit 0: POST, bit 1: the query holds s=, bit 2: the
// token there is the app's, bit 3: the form's secret is the app's), a byte
// of route (index into the table, or past it), a byte of header count,
// then the path, the token, the secret, the replay name and each header's
// name and value, each up to a NUL; the body's length is the last eight
// bytes, taken as they come.
//
// Properties: a request the gate lets on names a route of the table with
// its method, fits every cap, sends exactly one Host, a loopback name of
// this port, no Range, and the app's cookie or token; it is let in (cookie
// and redirect) only from its own token and only for a page; a request over
// a cap is refused for that, whatever else it holds; an action the form
// check passes carries the app's secret, and a named replay a plain name.
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "serve/request_rules.h"

namespace {

const ra_route_rule fuzz_routes[] = {{"GET", "/", false},
                                     {"GET", "/race", true},
                                     {"POST", "/watch", true},
                                     {"POST", "/tidy", false}};
const size_t fuzz_route_count = sizeof fuzz_routes / sizeof fuzz_routes[0];
const char fuzz_token[] = "00112233445566778899aabbccddeeff";
const char fuzz_secret[] = "ffeeddccbbaa99887766554433221100";
// Headers beyond the count cap, so that the cap is met as well.
const size_t fuzz_most_headers = 48;

std::string fuzz_text(fuzz_input &in) {
    const uint8_t *text;
    size_t n = in.take_text(&text);
    return std::string((const char *)text, n);
}

std::string fuzz_lower(std::string s) {
    for (char &c : s) c = c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_input in{data, size};
    uint8_t flags = in.take_byte();
    uint8_t route = in.take_byte();
    size_t header_count = in.take_byte() % (fuzz_most_headers + 1);

    ra_gate gate;
    gate.port = 8080;
    gate.token = fuzz_token;
    gate.secret = fuzz_secret;
    gate.routes = fuzz_routes;
    gate.route_count = fuzz_route_count;

    ra_request_head head;
    head.method = flags & 1 ? "POST" : "GET";
    head.path = route < fuzz_route_count ? fuzz_routes[route].path : fuzz_text(in);
    head.target = head.path + fuzz_text(in);
    head.has_token = (flags & 2) != 0;
    head.token = flags & 4 ? std::string(fuzz_token) : fuzz_text(in);
    std::string secret = flags & 8 ? std::string(fuzz_secret) : fuzz_text(in);
    std::string file = fuzz_text(in);
    for (size_t i = 0; i < header_count; ++i) {
        std::string name = fuzz_text(in);
        head.headers.emplace_back(name, fuzz_text(in));
    }
    in.take_bytes(&head.body_length, sizeof head.body_length);

    bool over = head.target.size() > ra_request_target_max ||
                head.headers.size() > ra_header_count_max || head.body_length > ra_body_max;
    size_t hosts = 0;
    bool host_ok = false, range = false, cookie = false;
    for (const auto &h : head.headers) {
        over = over || h.first.size() + h.second.size() > ra_header_line_max;
        std::string name = fuzz_lower(h.first);
        if (name == "host") {
            ++hosts;
            host_ok = ra_host_allowed(h.second, gate.port);
        }
        range = range || name == "range";
        cookie = cookie || (name == "cookie" &&
                            h.second.find(ra_token_cookie_name(gate.port) + "=" + fuzz_token) !=
                                std::string::npos);
    }

    ra_gate_verdict v = ra_judge_head(gate, head);
    if (over) FUZZ_CHECK(v.status == 413 || v.status == 414 || v.status == 431);
    if (v.status == 0 || v.let_in) {
        FUZZ_CHECK(!over && hosts == 1 && host_ok && !range);
        FUZZ_CHECK(v.route != nullptr && head.path == v.route->path &&
                   head.method == v.route->method);
        FUZZ_CHECK(cookie || (head.has_token && head.token == fuzz_token));
    }
    if (v.let_in) {
        FUZZ_CHECK(head.has_token && head.method == "GET" && v.location == head.path);
    }
    if (v.status == 0 && v.route != nullptr) {
        ra_gate_verdict form = ra_judge_form(gate, *v.route, secret, file);
        if (form.status == 0) {
            FUZZ_CHECK(std::string(v.route->method) != "POST" || secret == fuzz_secret);
            FUZZ_CHECK(!v.route->names_replay || ra_replay_name_problem(file).empty());
        }
    }
    return 0;
}
