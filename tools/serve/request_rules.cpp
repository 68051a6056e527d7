#include "serve/request_rules.h"

#include "friends/friends_folder.h"

const char ra_plain_policy[] = "default-src 'none'; frame-ancestors 'none'";

namespace {

// How the Authorization header names the token.
const char ra_token_scheme[] = "Bearer ";

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

// True when an Origin header names this app: the page's own requests.
bool ra_origin_allowed(const std::string &origin, int port) {
    const std::string low = ra_lower(origin), at = ":" + std::to_string(port);
    return low == "http://127.0.0.1" + at || low == "http://localhost" + at;
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
    size_t hosts = 0, ranges = 0, authorizations = 0;
    std::string host, authorization;
    bool foreign = false;
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
        } else if (name == "authorization") {
            ++authorizations;
            authorization = h.second;
        } else if (name == "origin" && !ra_origin_allowed(h.second, gate.port)) {
            foreign = true;
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
    // A page of another site or port: the app's own send none, or its own.
    if (foreign) return ra_refuse(403, "This app answers only its own page.");
    // Nothing here is served in parts: a Range asks for nothing we give.
    if (ranges != 0) return ra_refuse(416, "This app does not send parts of an answer.");

    // A page's shell holds nothing: it is given to anyone who asks for it
    // by its name, and it asks for everything else with the token.
    if (route != nullptr && route->shell && head.method == route->method) {
        ra_gate_verdict v;
        v.route = route;
        return v;
    }
    // Every other route needs the token, and anything without it learns
    // nothing, not even which routes exist.
    const bool token =
        authorizations == 1 &&
        authorization.compare(0, sizeof ra_token_scheme - 1, ra_token_scheme) == 0 &&
        ra_secret_matches(authorization.substr(sizeof ra_token_scheme - 1), gate.token);
    if (!token) {
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
    return v;
}

ra_gate_verdict ra_judge_form(const ra_route_rule &route, const std::string &file) {
    if (route.names_replay) {
        std::string problem = ra_named_replay_problem(file);
        if (!problem.empty()) return ra_refuse(400, problem + ".");
    }
    return ra_gate_verdict();
}

std::string ra_token_header(const std::string &token) { return ra_token_scheme + token; }

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
