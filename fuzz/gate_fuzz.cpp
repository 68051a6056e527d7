// The library app's request gate (serve/request_rules.h) on fuzzed
// requests: what a program on this computer can send.
//
// Input: a flags byte (bit 0: POST, bit 1: an Authorization header with the
// app's token comes first), a byte of route (index into the table, or past
// it), a byte of header count, then the path, the rest of the target, the
// replay name and each header's name and value, each up to a NUL; the
// body's length is the last eight bytes, taken as they come.
//
// Properties: a request the gate lets on names a route of the table with
// its method, fits every cap, sends exactly one Host, a loopback name of
// this port, no Range, no Origin but the app's, and either asks for a
// page's shell or carries exactly one Authorization header, the app's
// token; a request over a cap is refused for that, whatever else it holds;
// a named replay the form check passes is a plain name.
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "serve/request_rules.h"

namespace {

const ra_route_rule fuzz_routes[] = {{"GET", "/", false, 0, true},
                                     {"GET", "/api/race", true},
                                     {"POST", "/watch", true},
                                     {"POST", "/tidy", false}};
const size_t fuzz_route_count = sizeof fuzz_routes / sizeof fuzz_routes[0];
const char fuzz_token[] = "00112233445566778899aabbccddeeff";
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
    gate.routes = fuzz_routes;
    gate.route_count = fuzz_route_count;

    ra_request_head head;
    head.method = flags & 1 ? "POST" : "GET";
    head.path = route < fuzz_route_count ? fuzz_routes[route].path : fuzz_text(in);
    head.target = head.path + fuzz_text(in);
    std::string file = fuzz_text(in);
    if (flags & 2) head.headers.emplace_back("Authorization", ra_token_header(fuzz_token));
    for (size_t i = 0; i < header_count; ++i) {
        std::string name = fuzz_text(in);
        head.headers.emplace_back(name, fuzz_text(in));
    }
    in.take_bytes(&head.body_length, sizeof head.body_length);

    bool over = head.target.size() > ra_request_target_max ||
                head.headers.size() > ra_header_count_max || head.body_length > ra_body_max;
    size_t hosts = 0, authorizations = 0;
    bool host_ok = false, range = false, foreign = false, token = false;
    for (const auto &h : head.headers) {
        over = over || h.first.size() + h.second.size() > ra_header_line_max;
        std::string name = fuzz_lower(h.first);
        if (name == "host") {
            ++hosts;
            host_ok = ra_host_allowed(h.second, gate.port);
        }
        range = range || name == "range";
        foreign = foreign || (name == "origin" && fuzz_lower(h.second) != "http://127.0.0.1:8080" &&
                              fuzz_lower(h.second) != "http://localhost:8080");
        if (name == "authorization") {
            ++authorizations;
            token = h.second == ra_token_header(fuzz_token);
        }
    }

    ra_gate_verdict v = ra_judge_head(gate, head);
    if (over) FUZZ_CHECK(v.status == 413 || v.status == 414 || v.status == 431);
    if (v.status == 0) {
        FUZZ_CHECK(!over && hosts == 1 && host_ok && !range && !foreign);
        FUZZ_CHECK(v.route != nullptr && head.path == v.route->path &&
                   head.method == v.route->method);
        FUZZ_CHECK(v.route->shell || (authorizations == 1 && token));
        ra_gate_verdict form = ra_judge_form(*v.route, file);
        if (form.status == 0) {
            FUZZ_CHECK(!v.route->names_replay || ra_named_replay_problem(file).empty());
        }
    }
    return 0;
}
