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
}
