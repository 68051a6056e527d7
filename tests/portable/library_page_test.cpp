// The library page: game text never becomes markup, replays whose file is
// gone are shown as such, and the lap charts' axes carry round seconds and
// real calendar days.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/html_text.h"
#include "library/lap_chart.h"
#include "library/library_page.h"
#include "library/racers.h"
#include "library/records.h"
#include "library/replays.h"

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

TEST(HtmlText, EscapesMarkupAndReadsGameBytes) {
    // Every character that can open markup or close an attribute.
    EXPECT_EQ(ra_html_text("<b a=\"x\" c='y'>&amp;</b>"),
              "&lt;b a=&quot;x&quot; c=&#39;y&#39;&gt;&amp;amp;&lt;/b&gt;");
    // UTF-8 stays as it is; other bytes are Windows-1252 (e-acute, euro sign);
    // a lone lead byte does not swallow the quote after it.
    EXPECT_EQ(ra_html_text("Ren\xC3\xA9"), "Ren\xC3\xA9");
    EXPECT_EQ(ra_html_text("Ren\xE9 \x80"), "Ren\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(ra_html_text("\xC3\""), "\xC3\x83&quot;");
}

TEST(HtmlText, WhatIsNoTextShowsAsTheReplacementCharacter) {
    const std::string replacement = "\xEF\xBF\xBD";
    // Control bytes of a hand-edited file, C1 controls in UTF-8, and the
    // five bytes Windows-1252 leaves unassigned; tab and line ends stay.
    const char *no_text[] = {"\x01", "\x7F", "\xC2\x80", "\xC2\x9F", "\x81",
                             "\x8D", "\x8F", "\x90",     "\x9D"};
    for (const char *bytes : no_text) {
        EXPECT_EQ(ra_html_text(std::string("a") + bytes + "b"), "a" + replacement + "b") << bytes;
    }
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

TEST(LapChart, AxesAreLabelledInRoundMinutesAndSecondsAndCalendarDays) {
    // 79.80 to 81.44 s: half seconds, one decimal each, around the laps, in m:ss.
    std::vector<std::string> labels;
    for (const ra_axis_tick &t : ra_lap_ticks(7980, 8144)) labels.push_back(t.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"1:19.5", "1:20.0", "1:20.5", "1:21.0", "1:21.5"}));
    // Minutes-long laps far apart: whole seconds.
    labels.clear();
    for (const ra_axis_tick &t : ra_lap_ticks(15000, 18000)) labels.push_back(t.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"2:30", "2:40", "2:50", "3:00"}));
    // One lap time alone gets room on both sides; under a minute, 0:ss.
    labels.clear();
    for (const ra_axis_tick &t : ra_lap_ticks(8144, 8144)) labels.push_back(t.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"1:20.5", "1:21.0", "1:21.5", "1:22.0"}));
    labels.clear();
    for (const ra_axis_tick &t : ra_lap_ticks(4510, 4590)) labels.push_back(t.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"0:45.0", "0:45.2", "0:45.4", "0:45.6", "0:45.8",
                                                "0:46.0"}));

    // Two weeks: a mark a week, from the first race's day.
    ra_time first, last;
    ASSERT_TRUE(ra_parse_time("2026-03-01 20:00:00", &first));
    ASSERT_TRUE(ra_parse_time("2026-03-15 21:00:00", &last));
    labels.clear();
    for (const ra_axis_tick &t : ra_day_ticks(first, last)) labels.push_back(t.label);
    EXPECT_EQ(labels,
              (std::vector<std::string>{"2026-03-01", "2026-03-08", "2026-03-15", "2026-03-22"}));
    // Days across a leap day and the end of a month.
    ASSERT_TRUE(ra_parse_time("2028-02-27 10:00:00", &first));
    ASSERT_TRUE(ra_parse_time("2028-03-01 10:00:00", &last));
    labels.clear();
    for (const ra_axis_tick &t : ra_day_ticks(first, last)) labels.push_back(t.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"2028-02-27", "2028-02-28", "2028-02-29",
                                                "2028-03-01", "2028-03-02"}));
    // A year of five digits (a file's time stamp can be anything) is not cut.
    first.year = last.year = 12026;
    labels.clear();
    for (const ra_axis_tick &t : ra_day_ticks(first, last)) labels.push_back(t.label);
    EXPECT_EQ(labels.front(), "12026-02-27");

    // The chart carries the same labels, one point per race, and the axis title.
    std::vector<ra_lap_point> points(2);
    ASSERT_TRUE(ra_parse_time("2026-03-01 20:00:00", &points[0].when));
    ASSERT_TRUE(ra_parse_time("2026-03-15 21:00:00", &points[1].when));
    points[0].lap = 8144;
    points[1].lap = 7980;
    points[1].note = "SR  <Rival>";
    std::string svg = ra_lap_chart_svg(points);
    EXPECT_NE(svg.find(">1:19.5</text>"), std::string::npos);
    EXPECT_NE(svg.find(">1:21.5</text>"), std::string::npos);
    EXPECT_NE(svg.find(">2026-03-08</text>"), std::string::npos);
    EXPECT_NE(svg.find(">best lap (m:ss)</text>"), std::string::npos);
    EXPECT_EQ(count_of(svg, "<circle"), 2u);
    EXPECT_NE(svg.find("<title>2026-03-15 21:00:00  1:19.80  SR  &lt;Rival&gt;</title>"),
              std::string::npos);
}

}  // namespace
