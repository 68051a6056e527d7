// What every request to the library app must pass before any handler runs
// (serve/app_gate.cpp calls these in one place): its size, the Host it was sent
// to and the Origin it came from, the route and method, the token of the
// address the app printed, and, once the body is read, the replay name it
// carries. Plain functions of text, so that each rule is tested and fuzzed
// without a server.
//
// The token is in the printed address after '#', which a browser never
// sends to any server; the page keeps it in the tab's own storage (which no
// page of another port can read) and sends it in the Authorization header
// of every request. No cookie carries it: a browser sends a host's cookies
// to every port of that host, and so to any program listening there. Only
// the pages' shells are given without it, and they hold no data.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

// The most a request may bring; the server refuses more before reading it
// (serve/http_server.h gives the server the same limits). An action is a
// few hundred bytes of form; the page's requests carry the token and a
// browser's usual headers, and cookies of other programs on 127.0.0.1 come
// along.
#define RA_REQUEST_TARGET_MAX 2048  // the method's target: path and query
#define RA_HEADER_LINE_MAX 8192     // one line: the request line, or a header
#define RA_HEADER_COUNT_MAX 40      // headers of one request
#define RA_BODY_MAX (64 * 1024)     // an action's form
const size_t ra_request_target_max = RA_REQUEST_TARGET_MAX;
const size_t ra_header_line_max = RA_HEADER_LINE_MAX;
const size_t ra_header_count_max = RA_HEADER_COUNT_MAX;
const size_t ra_body_max = RA_BODY_MAX;

// One row of the app's route table, as the gate sees it.
struct ra_route_rule {
    const char *method;  // "GET" reads, "POST" acts
    const char *path;
    bool names_replay;  // carries file=, a name the list shows
    // The most its body may bring, when more than an action's form: a
    // file the player picked, sent as it is. 0: ra_body_max.
    uint64_t body_max = 0;
    // A page's shell, given without the token: markup and scripts alone,
    // which fetch everything else with it.
    bool shell = false;
};

// The request as it stands before its body is read.
struct ra_request_head {
    std::string method;
    std::string target;  // path and query as sent, for its length
    std::string path;    // decoded path
    std::vector<std::pair<std::string, std::string>> headers;  // as sent, names in any case
    uint64_t body_length = 0;                                  // Content-Length, 0 without
    bool chunked = false;  // a Transfer-Encoding: a body of a length not told first
};

// What the app knows to judge by.
struct ra_gate {
    int port = 0;
    std::string token;  // in the printed address, then in every request's header
    const ra_route_rule *routes = nullptr;
    size_t route_count = 0;
};

// The answer to a request: go on (status 0, with its route), or refuse it
// with status and a sentence.
struct ra_gate_verdict {
    int status = 0;
    std::string message;
    const ra_route_rule *route = nullptr;  // when going on
    bool start_again = false;              // refused for want of the token: say how to start
};

// The rules that need no body: sizes (a body's by its route, and told
// first: no Transfer-Encoding), Host (exactly one, a loopback name of this
// port), Origin (none, or this app's), no Range, a route and its method,
// the token (one Authorization header, "Bearer TOKEN") unless the route is
// a shell.
ra_gate_verdict ra_judge_head(const ra_gate &gate, const ra_request_head &head);

// The rule of the form: a replay name's form (the handler then finds the
// name in the list).
ra_gate_verdict ra_judge_form(const ra_route_rule &route, const std::string &file);

// The Authorization header's value that carries the token.
std::string ra_token_header(const std::string &token);

// True when the Host header names this server by a loopback name:
// "127.0.0.1:PORT" or "localhost:PORT" (any letter case). Another name is
// what a page of another site sends after rebinding its name to us.
bool ra_host_allowed(const std::string &host, int port);

// True when the given secret (the token) is the server's, compared in a
// time that does not depend on where they differ.
bool ra_secret_matches(const std::string &given, const std::string &secret);

// Why a replay name from a request is refused (a path, "..", a device name
// of Windows), or empty when it is a plain file name. Only a name that also
// is in the list is then used, and only to find that entry.
std::string ra_replay_name_problem(const std::string &name);

// The same for the file= of a route that names a replay: a plain name, or a
// friend's replay as "Friends/<friend>/<file>" (either slash), whose two
// names are each held to the same rules.
std::string ra_named_replay_problem(const std::string &name);

// The headers every answer carries: no sniffing, no referrer (no address
// of the app ever goes to another server), no framing, nothing kept.
std::vector<std::pair<std::string, std::string>> ra_app_headers();

// The content security policy of a page whose own script and style carry
// `nonce` (a fresh one each answer), and of every other answer.
std::string ra_page_policy(const std::string &nonce);
extern const char ra_plain_policy[];
