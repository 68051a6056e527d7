#include "serve/request_rules.h"

#include "friends/friends_folder.h"

const char ra_plain_policy[] = "default-src 'none'; frame-ancestors 'none'";

namespace {

// The cookie of the app on this port: "ra_token_PORT".
const char ra_cookie_prefix[] = "ra_token_";

std::string ra_lower(const std::string &text) {
    std::string low = text;
    for (char &c : low) c = c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
    return low;
}

// Names Windows gives to devices in every folder, with any extension.
const char *const ra_device_names[] = {"con",  "prn",  "aux",  "nul",  "com1",   "com2",
                                       "com3", "com4", "com5", "com6", "com7",   "com8",
                                       "com9", "lpt1", "lpt2", "lpt3", "lpt4",   "lpt5",
                                       "lpt6", "lpt7", "lpt8", "lpt9", "conin$", "conout$"};

ra_gate_verdict ra_refuse(int status, const std::string &message, bool start_again = false) {
    ra_gate_verdict v;
    v.status = status;
    v.message = message;
    v.start_again = start_again;
    return v;
}

// Whether a Cookie header's value holds name=value with exactly the value.
bool ra_cookie_holds(const std::string &cookies, const std::string &name,
                     const std::string &value) {
    bool found = false;
    size_t at = 0;
    while (at <= cookies.size()) {
        size_t end = cookies.find(';', at);
        if (end == std::string::npos) end = cookies.size();
        std::string pair = cookies.substr(at, end - at);
        size_t begin = pair.find_first_not_of(' ');
        if (begin != std::string::npos) pair.erase(0, begin);
        size_t eq = pair.find('=');
        // Every cookie of the name is compared, in a time of its own length.
        if (eq != std::string::npos && pair.compare(0, eq, name) == 0 &&
            ra_secret_matches(pair.substr(eq + 1), value)) {
            found = true;
        }
        at = end + 1;
    }
    return found;
}

}  // namespace

ra_gate_verdict ra_judge_head(const ra_gate &gate, const ra_request_head &head) {
    // Sizes first: nothing larger is looked at.
    if (head.target.size() > ra_request_target_max) {
        return ra_refuse(414, "The address is too long.");
    }
    if (head.headers.size() > ra_header_count_max) {
        return ra_refuse(431, "The request has too many headers.");
    }
    size_t hosts = 0, ranges = 0;
    std::string host;
    bool cookie = false;
    const std::string cookie_name = ra_token_cookie_name(gate.port);
    for (const auto &h : head.headers) {
        if (h.first.size() + h.second.size() > ra_header_line_max) {
            return ra_refuse(431, "A header of the request is too long.");
        }
        const std::string name = ra_lower(h.first);
        if (name == "host") {
            ++hosts;
            host = h.second;
        } else if (name == "range") {
            ++ranges;
        } else if (name == "cookie" && ra_cookie_holds(h.second, cookie_name, gate.token)) {
            cookie = true;
        }
    }
    // A body is as big as its route takes, and says so before it comes.
    const ra_route_rule *route = nullptr;
    for (size_t i = 0; i < gate.route_count; ++i) {
        if (head.path == gate.routes[i].path) route = &gate.routes[i];
    }
    const uint64_t body_max = route && route->body_max ? route->body_max : ra_body_max;
    if (head.chunked) return ra_refuse(411, "A request tells the length of its body first.");
    if (head.body_length > body_max) return ra_refuse(413, "The request is too large.");
    if (hosts != 1) return ra_refuse(400, "A request names its Host once.");
    if (!ra_host_allowed(host, gate.port)) {
        return ra_refuse(403, "This app answers only at 127.0.0.1 or localhost.");
    }
    // Nothing here is served in parts: a Range asks for nothing we give.
    if (ranges != 0) return ra_refuse(416, "This app does not send parts of an answer.");

    // The token of the printed address, or the cookie it left: every route
    // needs one, and anything else learns nothing, not even which routes exist.
    bool token = head.has_token && ra_secret_matches(head.token, gate.token);
    if (!cookie && !token) {
        return ra_refuse(
            403, "This page needs the address the library app printed when it started.", true);
    }
    if (route == nullptr) return ra_refuse(404, "No such page.");
    if (head.method != route->method) {
        ra_gate_verdict v =
            ra_refuse(405, std::string(route->method) == "POST" ? "An action is a POST."
                                                                : "A page is read with GET.");
        v.route = route;
        return v;
    }
    ra_gate_verdict v;
    v.route = route;
    // The address carries the token once: it becomes a cookie, and the
    // address the browser keeps (and its history) no longer shows it.
    if (head.has_token && std::string(route->method) == "GET") {
        v.let_in = true;
        v.status = 303;
        v.location = head.path;
    }
    return v;
}

ra_gate_verdict ra_judge_form(const ra_gate &gate, const ra_route_rule &route,
                              const std::string &secret, const std::string &file) {
    if (std::string(route.method) == "POST" && !ra_secret_matches(secret, gate.secret)) {
        return ra_refuse(403, "This action needs the page the app opened; reload it.");
    }
    if (route.names_replay) {
        std::string problem = ra_named_replay_problem(file);
        if (!problem.empty()) return ra_refuse(400, problem + ".");
    }
    return ra_gate_verdict();
}

std::string ra_token_cookie_name(int port) { return ra_cookie_prefix + std::to_string(port); }

std::string ra_token_cookie(const ra_gate &gate) {
    // HttpOnly: no script reads it; Strict: no other site's page sends it.
    return ra_token_cookie_name(gate.port) + "=" + gate.token +
           "; Path=/; HttpOnly; SameSite=Strict";
}

bool ra_host_allowed(const std::string &host, int port) {
    const std::string low = ra_lower(host), at = ":" + std::to_string(port);
    return low == "127.0.0.1" + at || low == "localhost" + at;
}

bool ra_secret_matches(const std::string &given, const std::string &secret) {
    if (given.size() != secret.size() || secret.empty()) return false;
    unsigned char differ = 0;
    for (size_t i = 0; i < secret.size(); ++i) differ |= (unsigned char)(given[i] ^ secret[i]);
    return differ == 0;
}

std::string ra_replay_name_problem(const std::string &name) {
    if (name.empty()) return "no replay named";
    if (name.find_first_of("/\\:") != std::string::npos)
        return "a replay is named without a folder";
    for (char c : name) {
        if ((unsigned char)c < 0x20) return "a replay name holds no control characters";
    }
    if (name == "." || name == ".." || name.find("..") != std::string::npos) {
        return "a replay name holds no \"..\"";
    }
    // "CON", "con.rp4", "COM1 .txt": the part before the first dot, blanks trimmed.
    std::string stem = ra_lower(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (const char *device : ra_device_names) {
        if (stem == device) return "\"" + name + "\" is the name of a device";
    }
    return "";
}

std::string ra_named_replay_problem(const std::string &name) {
    const size_t first = name.find_first_of("/\\");
    if (first == std::string::npos ||
        ra_lower(name.substr(0, first)) != ra_lower(ra_friends_folder)) {
        return ra_replay_name_problem(name);
    }
    const size_t second = name.find_first_of("/\\", first + 1);
    if (second == std::string::npos) return "a friend's replay is named as Friends/<friend>/<file>";
    std::string problem = ra_replay_name_problem(name.substr(first + 1, second - first - 1));
    if (problem.empty()) problem = ra_replay_name_problem(name.substr(second + 1));
    return problem;
}

std::vector<std::pair<std::string, std::string>> ra_app_headers() {
    return {
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"X-Frame-Options", "DENY"},
        {"Cache-Control", "no-store"},
    };
}

std::string ra_page_policy(const std::string &nonce) {
    return "default-src 'none'; script-src 'nonce-" + nonce + "'; style-src 'nonce-" + nonce +
           "'; img-src 'self' data:; connect-src 'self'; form-action 'self'; base-uri 'none'; "
           "frame-ancestors 'none'";
}
