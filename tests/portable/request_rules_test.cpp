// The library app's request rules on their own: which Host names this
// server, the token compared whole, and which replay names a request may
// carry. Over HTTP, the name check is hidden behind the list's own (a path
// is never in the list), so it is pinned here.
#include <gtest/gtest.h>

#include <string>

#include "serve/request_rules.h"

TEST(RequestRules, OnlyTheLoopbackNamesWithThisPortAreTheHost) {
    EXPECT_TRUE(ra_host_allowed("127.0.0.1:8080", 8080));
    EXPECT_TRUE(ra_host_allowed("LocalHost:8080", 8080));
    for (const char *host : {"", "127.0.0.1", "localhost", "127.0.0.1:8081", "127.0.0.1:80800",
                             "evil.example:8080", "localhost.evil.example:8080",
                             "127.0.0.1:8080.evil.example", "[::1]:8080", "0.0.0.0:8080"}) {
        EXPECT_FALSE(ra_host_allowed(host, 8080)) << host;
    }
}

TEST(RequestRules, TheTokenMustMatchWhole) {
    const std::string secret = "0123456789abcdef";
    EXPECT_TRUE(ra_secret_matches(secret, secret));
    for (const std::string &given :
         {std::string(), secret.substr(0, 15), secret + "0", std::string("0123456789abcdeF"),
          std::string("1123456789abcdef")}) {
        EXPECT_FALSE(ra_secret_matches(given, secret)) << given;
    }
    // A server without a token lets nothing through.
    EXPECT_FALSE(ra_secret_matches("", ""));
}

TEST(RequestRules, AReplayIsNamedPlainlyNeverByPathOrDevice) {
    for (const char *name : {"2026-03-07_21-05-09_SR_ALPINE_3L.rp4", "kept_x.rp4", "a b.rp4"}) {
        EXPECT_EQ(ra_replay_name_problem(name), "") << name;
    }
    for (const char *name : {"", "..", ".", "a..rp4", "../replay_autosave.ini", "Saves/a.rp4",
                             "Saves\\a.rp4", "C:a.rp4", "\\\\server\\share\\a.rp4", "CON",
                             "con.rp4", "COM1 .rp4", "nul", "conin$.rp4", "a\tb.rp4"}) {
        EXPECT_NE(ra_replay_name_problem(name), "") << name;
    }
    // A friend's replay by its one folder below Friends, each name plain.
    for (const char *name : {"Friends/Ann/a.rp4", "friends\\Ann\\a.rp4", "a.rp4"}) {
        EXPECT_EQ(ra_named_replay_problem(name), "") << name;
    }
    for (const char *name :
         {"Friends/Ann", "Friends/../a.rp4", "Friends/Ann/../x.rp4", "Friends/Ann/b/c.rp4",
          "Saves/Ann/a.rp4", "Friends/CON/a.rp4", "Friends//a.rp4"}) {
        EXPECT_NE(ra_named_replay_problem(name), "") << name;
    }
}

namespace {

const ra_route_rule test_routes[] = {
    {"GET", "/", false, 0, true}, {"GET", "/api/rows", false}, {"GET", "/api/race", true},
    {"POST", "/watch", true},     {"POST", "/tidy", false},    {"POST", "/import", false, 1000000}};

ra_gate test_gate() {
    ra_gate gate;
    gate.port = 8080;
    gate.token = "0123456789abcdef";
    gate.routes = test_routes;
    gate.route_count = sizeof test_routes / sizeof test_routes[0];
    return gate;
}

// A request of the app's own page: its Host and its token.
ra_request_head page_request(const std::string &method, const std::string &path) {
    ra_request_head head;
    head.method = method;
    head.path = head.target = path;
    head.headers = {{"Host", "127.0.0.1:8080"}, {"Authorization", "Bearer 0123456789abcdef"}};
    return head;
}

}  // namespace

TEST(RequestRules, TheGateJudgesSizeHostOriginAndTokenBeforeAnyBody) {
    const ra_gate gate = test_gate();
    struct {
        const char *what;
        void (*change)(ra_request_head &);
        int status;
        bool start_again;  // refused for want of the token: the page says how to start
    } cases[] = {
        {"the page's own request", [](ra_request_head &) {}, 0, false},
        {"no token", [](ra_request_head &h) { h.headers.pop_back(); }, 403, true},
        // Browsers send a host's cookies to every port: a cookie is no credential.
        {"the token in a cookie",
         [](ra_request_head &h) {
             h.headers.back() = {"Cookie", "ra_token_8080=0123456789abcdef"};
         },
         403, true},
        {"the token in the address",
         [](ra_request_head &h) {
             h.headers.pop_back();
             h.target += "?s=0123456789abcdef";
         },
         403, true},
        {"a token one digit off",
         [](ra_request_head &h) { h.headers.back().second = "Bearer 0123456789abcdee"; }, 403,
         true},
        {"the token without its scheme",
         [](ra_request_head &h) { h.headers.back().second = "0123456789abcdef"; }, 403, true},
        {"a second Authorization",
         [](ra_request_head &h) {
             h.headers.push_back({"authorization", "Bearer x"});
         },
         403, true},
        {"no token, an unknown path",
         [](ra_request_head &h) {
             h.headers.pop_back();
             h.path = "/other";
         },
         403, true},
        {"an unknown path", [](ra_request_head &h) { h.path = "/other"; }, 404, false},
        {"a POST of a page", [](ra_request_head &h) { h.method = "POST"; }, 405, false},
        // The shell of the page holds nothing, and is given without the token.
        {"the shell",
         [](ra_request_head &h) {
             h.headers.pop_back();
             h.path = "/";
         },
         0, false},
        {"a POST to the shell",
         [](ra_request_head &h) {
             h.headers.pop_back();
             h.path = "/";
             h.method = "POST";
         },
         403, true},
        {"the app's own Origin",
         [](ra_request_head &h) {
             h.headers.push_back({"Origin", "http://localhost:8080"});
         },
         0, false},
        {"another port's Origin",
         [](ra_request_head &h) {
             h.headers.push_back({"Origin", "http://127.0.0.1:8081"});
         },
         403, false},
        {"a second Host",
         [](ra_request_head &h) {
             h.headers.push_back({"host", "evil.example"});
         },
         400, false},
        {"no Host", [](ra_request_head &h) { h.headers.erase(h.headers.begin()); }, 400, false},
        {"a foreign Host", [](ra_request_head &h) { h.headers[0].second = "evil.example:8080"; },
         403, false},
        {"a Range",
         [](ra_request_head &h) {
             h.headers.push_back({"Range", "bytes=0-,0-"});
         },
         416, false},
        {"a long address",
         [](ra_request_head &h) { h.target.assign(ra_request_target_max + 1, 'a'); }, 414, false},
        {"many headers",
         [](ra_request_head &h) {
             h.headers.resize(ra_header_count_max + 1, {"X", "y"});
         },
         431, false},
        {"a long header",
         [](ra_request_head &h) {
             h.headers.push_back({"X", std::string(ra_header_line_max, 'y')});
         },
         431, false},
        {"a large body", [](ra_request_head &h) { h.body_length = ra_body_max + 1; }, 413, false},
        {"a body of untold length", [](ra_request_head &h) { h.chunked = true; }, 411, false},
        // A route that takes a file takes its own size, and no more.
        {"a file past its route's size",
         [](ra_request_head &h) {
             h.path = "/import";
             h.body_length = 1000001;
         },
         413, false},
    };
    for (const auto &c : cases) {
        ra_request_head head = page_request("GET", "/api/rows");
        c.change(head);
        ra_gate_verdict v = ra_judge_head(gate, head);
        EXPECT_EQ(v.status, c.status) << c.what << ": " << v.message;
        EXPECT_EQ(v.start_again, c.start_again) << c.what;
    }
    EXPECT_EQ(ra_token_header(gate.token), "Bearer 0123456789abcdef");
}

TEST(RequestRules, ANamedReplayIsAPlainName) {
    const ra_route_rule &watch = test_routes[3], &race = test_routes[2];
    EXPECT_EQ(ra_judge_form(watch, "a.rp4").status, 0);
    EXPECT_EQ(ra_judge_form(watch, "../a.rp4").status, 400);
    EXPECT_EQ(ra_judge_form(race, "C:a.rp4").status, 400);
}
