// The library page: game text never becomes markup, replays whose file is
// gone are shown as such, and the racer the page opens with (the charts
// themselves are the browser test's: chart.js draws them).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/text/html_text.h"
#include "library/page/library_page.h"
#include "library/record/racers.h"
#include "library/record/record_reader.h"
#include "library/replays/replays.h"

namespace {

size_t count_of(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

const char header[] =
    "file,saved,type,track,laps,cars,weather,name1,name2,best_lap_car1,best_lap_car2\r\n";

// The replays of a record file's text, all with their files present.
ra_replay_list list_of(const std::string &lines) {
    ra_replay_list list;
    ra_parse_records(header + lines, "replays.csv", &list.records);
    for (const ra_record &r : list.records.lines) {
        ra_replay replay;
        replay.file = r.file;
        replay.when = r.saved;
        replay.record = r;
        list.replays.push_back(replay);
    }
    return list;
}

TEST(HtmlText, EscapesMarkupAndKeepsUtf8) {
    // Every character that can open markup or close an attribute.
    EXPECT_EQ(ra_html_text("<b a=\"x\" c='y'>&amp;</b>"),
              "&lt;b a=&quot;x&quot; c=&#39;y&#39;&gt;&amp;amp;&lt;/b&gt;");
    // UTF-8 stays as it is, of two to four bytes; a lone lead byte does not
    // swallow the quote after it.
    EXPECT_EQ(ra_html_text("Ren\xC3\xA9 C\xC5\x93ur \xE2\x82\xAC \xF0\x9F\x8F\x81"),
              "Ren\xC3\xA9 C\xC5\x93ur \xE2\x82\xAC \xF0\x9F\x8F\x81");
    EXPECT_EQ(ra_html_text("\xC3\""), "\xEF\xBF\xBD&quot;");
}

TEST(HtmlText, WhatIsNoTextShowsAsTheReplacementCharacter) {
    const std::string replacement = "\xEF\xBF\xBD";
    // Control bytes of a hand-edited file, C1 controls, a byte of no UTF-8
    // (a Linux file name in another encoding); tab and line ends stay.
    const char *no_text[] = {"\x01", "\x7F", "\xC2\x80", "\xC2\x9F", "\x81", "\xE9", "\xFF"};
    for (const char *bytes : no_text) {
        EXPECT_EQ(ra_html_text(std::string("a") + bytes + "b"), "a" + replacement + "b") << bytes;
    }
    // An overlong form and a surrogate are no UTF-8: a replacement a byte.
    EXPECT_EQ(ra_html_text("\xC0\xAF"), replacement + replacement);
    EXPECT_EQ(ra_utf8_text("\xED\xA0\x80"), replacement + replacement + replacement);
    EXPECT_EQ(ra_html_text(std::string("a\0b", 3)), "a" + replacement + "b");
    EXPECT_EQ(ra_html_text("a\tb\r\n"), "a\tb\r\n");
}

TEST(LibraryPage, OpensWithThePlayerOrTheRacerOfMostRaces) {
    // The racer named at `player` in the newest race that has one, else the
    // one in the most races; their own laps only, a rival's faster lap aside.
    struct racer_case {
        const char *what;
        const char *lines;
        const char *facts;  // what the page's data says of the racers
        const char *racer;
        size_t personal_bests;
    };
    const racer_case cases[] = {
        {"no player column: the name in the most races",
         "a.rp4,2026-03-01 20:00:00,SR,ALPINE,3,2,DRY,,Me,Rival,81.00,79.00\r\n"
         "b.rp4,2026-03-02 20:00:00,SR,ALPINE,3,2,DRY,,Me,Rival,80.50,79.10\r\n"
         "c.rp4,2026-03-03 20:00:00,SR,ALPINE,3,2,DRY,,Me,Other,80.90,79.20\r\n"
         "d.rp4,2026-03-04 20:00:00,SR,ALPINE,3,2,DRY,,Me,Rival,80.00,79.30\r\n",
         "\"default_racer\":\"Me\",\"player\":\"\"", "Me", 2},
        {"the player's car in the newest race that names one",
         "a.rp4,2026-03-01 20:00:00,SR,ALPINE,3,2,DRY,1,Me,Rival,81.00,79.00\r\n"
         "b.rp4,2026-03-02 20:00:00,SR,ALPINE,3,2,DRY,2,Me,Rival,80.50,79.10\r\n"
         "c.rp4,2026-03-03 20:00:00,SR,ALPINE,3,2,DRY,0,Me,Rival,80.90,78.20\r\n",
         "\"default_racer\":\"Rival\",\"player\":\"Rival\"", "Rival", 1},
    };
    for (const racer_case &c : cases) {
        SCOPED_TRACE(c.what);
        ra_replay_list list;
        ra_parse_records(std::string("file,saved,type,track,laps,cars,weather,player,name1,name2,"
                                     "best_lap_car1,best_lap_car2\r\n") +
                             c.lines,
                         "replays.csv", &list.records);
        for (const ra_record &r : list.records.lines) {
            ra_replay replay;
            replay.file = r.file;
            replay.when = r.saved;
            replay.record = r;
            list.replays.insert(list.replays.begin(), replay);  // newest first
        }
        std::string page = ra_library_page(list, "Saves", "2026-03-09 10:00:00");
        EXPECT_NE(page.find(c.facts), std::string::npos);
        // Their personal bests (the page's script marks the same ones).
        size_t personal = 0;
        for (const ra_racer_race &race : ra_racer_races(list, c.racer)) personal += race.personal;
        EXPECT_EQ(personal, c.personal_bests);
    }
}

TEST(LibraryPage, GameTextNeverBecomesMarkup) {
    ra_replay_list list = list_of(
        "a.rp4,2026-03-07 21:05:09,SR,A&B<i>,3,2,DRY,Player,<script>,81.44,80.10\r\n"
        "b.rp4,2026-03-08 21:05:09,SR,\"\"\"></script><b>\",3,2,WET,Player,x,79.00,80.00\r\n");
    std::string page = ra_library_page(list, "C:\\Games\\<Dir>", "2026-03-09 10:00:00");
    // The racer, the tracks and Dir reach the script as data whose every
    // '<', '>' and '&' is escaped: nothing can end the element that holds it.
    EXPECT_NE(page.find("\"\\u003cscript\\u003e\""), std::string::npos);
    EXPECT_NE(page.find("\"A\\u0026B\\u003ci\\u003e\""), std::string::npos);
    EXPECT_NE(page.find("\"\\\"\\u003e\\u003c/script\\u003e\\u003cb\\u003e\""), std::string::npos);
    EXPECT_NE(page.find("C:\\\\Games\\\\\\u003cDir\\u003e"), std::string::npos);
    // Only our own scripts, and none of the game's tags.
    EXPECT_EQ(count_of(page, "<script"), 2u);
    EXPECT_EQ(count_of(page, "</script>"), 2u);
    EXPECT_EQ(count_of(page, "<i>"), 0u);
    EXPECT_EQ(count_of(page, "<b>"), 0u);
    // Should anything slip through, the page's own policy runs only the
    // script and style that carry its nonce, which is the same for the same
    // record and holds nothing a record could name.
    size_t at = page.find("script-src 'nonce-");
    ASSERT_NE(at, std::string::npos);
    const std::string nonce = page.substr(at + 18, 32);
    EXPECT_EQ(nonce.find_first_not_of("0123456789abcdef"), std::string::npos) << nonce;
    EXPECT_NE(
        page.find("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'"),
        std::string::npos);
    EXPECT_EQ(count_of(page, "<script nonce=\"" + nonce + "\">"), 1u);
    EXPECT_EQ(count_of(page, "<style nonce=\"" + nonce + "\">"), 1u);
    EXPECT_EQ(page, ra_library_page(list, "C:\\Games\\<Dir>", "2026-03-09 10:00:00"));
}

TEST(LibraryPage, ReplaysWhoseFileIsGoneAreShownAsRemoved) {
    ra_replay_list list = list_of(
        "kept.rp4,2026-03-07 21:05:09,SR,ALPINE,3,2,DRY,P,Q,81.44,\r\n"
        "gone.rp4,2026-03-08 21:05:09,SR,ALPINE,3,2,DRY,P,Q,80.00,\r\n");
    list.replays[1].state = ra_replay_state::missing;
    ra_replay bare;  // a file no line names: no facts
    bare.file = "other.rp4";
    list.replays.push_back(bare);
    std::string page = ra_library_page(list, "Saves", "2026-03-09 10:00:00");

    EXPECT_NE(page.find("\"races\":3,\"gone\":1,\"others\":0"), std::string::npos);
    // Its row says so (state 1), and the race still counts for its racer:
    // it was raced.
    EXPECT_NE(page.find("[\"kept.rp4\",1772917509,1,2,3,4,5,8144,6,[0,8144]]"), std::string::npos);
    EXPECT_NE(page.find("[\"gone.rp4\",1773003909,1,2,3,4,5,8000,6,[0,8000],1]"),
              std::string::npos);
    // The bare file has no fact at all.
    EXPECT_NE(page.find("\"other.rp4\",-62169984000,0,0,0,0,0,0,0,[],0,0,0,1]"), std::string::npos);
}

}  // namespace
