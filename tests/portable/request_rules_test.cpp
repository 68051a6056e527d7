// The library app's request rules on their own: which Host names this
// server, the secret compared whole, and which replay names a request may
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

TEST(RequestRules, TheSecretMustMatchWhole) {
    const std::string secret = "0123456789abcdef";
    EXPECT_TRUE(ra_secret_matches(secret, secret));
    for (const std::string &given :
         {std::string(), secret.substr(0, 15), secret + "0", std::string("0123456789abcdeF"),
          std::string("1123456789abcdef")}) {
        EXPECT_FALSE(ra_secret_matches(given, secret)) << given;
    }
    // A server without a secret lets no action through.
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

const ra_route_rule test_routes[] = {{"GET", "/", false},
                                     {"GET", "/race", true},
                                     {"POST", "/watch", true},
                                     {"POST", "/tidy", false},
                                     {"POST", "/import", false, 1000000}};

ra_gate test_gate() {
    ra_gate gate;
    gate.port = 8080;
    gate.token = "0123456789abcdef";
    gate.secret = "fedcba9876543210";
    gate.routes = test_routes;
    gate.route_count = sizeof test_routes / sizeof test_routes[0];
    return gate;
}

// A request of the browser the app let in: its Host and its cookie.
ra_request_head let_in_head(const std::string &method, const std::string &path) {
    ra_request_head head;
    head.method = method;
    head.path = head.target = path;
    head.headers = {{"Host", "127.0.0.1:8080"},
                    {"Cookie", "other=1; ra_token_8080=0123456789abcdef"}};
    return head;
}

}  // namespace

TEST(RequestRules, TheGateJudgesSizeHostAndTokenBeforeAnyBody) {
    const ra_gate gate = test_gate();
    struct {
        const char *what;
        void (*change)(ra_request_head &);
        int status;
    } cases[] = {
        {"the browser's own page", [](ra_request_head &) {}, 0},
        {"no cookie", [](ra_request_head &h) { h.headers.pop_back(); }, 403},
        {"another port's cookie",
         [](ra_request_head &h) { h.headers.back().second = "ra_token_8081=0123456789abcdef"; },
         403},
        {"a cookie one digit off",
         [](ra_request_head &h) { h.headers.back().second = "ra_token_8080=0123456789abcdee"; },
         403},
        {"no cookie, an unknown path",
         [](ra_request_head &h) {
             h.headers.pop_back();
             h.path = "/other";
         },
         403},
        {"an unknown path", [](ra_request_head &h) { h.path = "/other"; }, 404},
        {"a POST of a page", [](ra_request_head &h) { h.method = "POST"; }, 405},
        {"a second Host",
         [](ra_request_head &h) {
             h.headers.push_back({"host", "evil.example"});
         },
         400},
        {"no Host", [](ra_request_head &h) { h.headers.erase(h.headers.begin()); }, 400},
        {"a foreign Host", [](ra_request_head &h) { h.headers[0].second = "evil.example:8080"; },
         403},
        {"a Range",
         [](ra_request_head &h) {
             h.headers.push_back({"Range", "bytes=0-,0-"});
         },
         416},
        {"a long address",
         [](ra_request_head &h) { h.target.assign(ra_request_target_max + 1, 'a'); }, 414},
        {"many headers",
         [](ra_request_head &h) {
             h.headers.resize(ra_header_count_max + 1, {"X", "y"});
         },
         431},
        {"a long header",
         [](ra_request_head &h) {
             h.headers.push_back({"X", std::string(ra_header_line_max, 'y')});
         },
         431},
        {"a large body", [](ra_request_head &h) { h.body_length = ra_body_max + 1; }, 413},
        {"a body of untold length", [](ra_request_head &h) { h.chunked = true; }, 411},
        // A route that takes a file takes its own size, and no more.
        {"a file past its route's size",
         [](ra_request_head &h) {
             h.path = "/import";
             h.body_length = 1000001;
         },
         413},
    };
    for (const auto &c : cases) {
        ra_request_head head = let_in_head("GET", "/");
        c.change(head);
        ra_gate_verdict v = ra_judge_head(gate, head);
        EXPECT_EQ(v.status, c.status) << c.what << ": " << v.message;
        // Only a refusal for want of the token says how to start the app.
        EXPECT_EQ(v.start_again, c.status == 403 && std::string(c.what) != "a foreign Host")
            << c.what;
    }

    // The printed address: its token lets the browser in with a cookie and
    // leads back to the address without it; a wrong one says how to start.
    ra_request_head opened = let_in_head("GET", "/");
    opened.headers.pop_back();
    opened.has_token = true;
    opened.token = gate.token;
    ra_gate_verdict v = ra_judge_head(gate, opened);
    EXPECT_TRUE(v.let_in);
    EXPECT_EQ(v.location, "/");
    EXPECT_EQ(ra_token_cookie(gate),
              "ra_token_8080=0123456789abcdef; Path=/; HttpOnly; SameSite=Strict");
    opened.token = "0123456789abcdeX";
    v = ra_judge_head(gate, opened);
    EXPECT_EQ(v.status, 403);
    EXPECT_TRUE(v.start_again);
}

TEST(RequestRules, AnActionNeedsTheSecretAndAPlainReplayName) {
    const ra_gate gate = test_gate();
    const ra_route_rule &watch = test_routes[2], &race = test_routes[1];
    EXPECT_EQ(ra_judge_form(gate, watch, gate.secret, "a.rp4").status, 0);
    EXPECT_EQ(ra_judge_form(gate, watch, gate.token, "a.rp4").status,
              403);  // the cookie's is no secret
    EXPECT_EQ(ra_judge_form(gate, watch, "", "a.rp4").status, 403);
    EXPECT_EQ(ra_judge_form(gate, watch, gate.secret, "../a.rp4").status, 400);
    // A page needs no secret, but a plain name all the same.
    EXPECT_EQ(ra_judge_form(gate, race, "", "a.rp4").status, 0);
    EXPECT_EQ(ra_judge_form(gate, race, "", "C:a.rp4").status, 400);
}
