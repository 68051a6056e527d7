#include "serve/request_rules.h"

namespace {

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

}  // namespace

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

std::vector<std::pair<std::string, std::string>> ra_app_headers(const std::string &nonce) {
    return {
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"Content-Security-Policy",
         "default-src 'none'; script-src 'nonce-" + nonce + "'; style-src 'nonce-" + nonce +
             "'; img-src 'self' data:; connect-src 'self'; form-action 'self'; base-uri 'none'; "
             "frame-ancestors 'none'"},
        {"Cache-Control", "no-store"},
    };
}
