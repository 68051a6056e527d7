// The record reader on what players do to replays.csv: lines of older
// plug-ins and of this one under a header a spreadsheet changed, the
// spreadsheet's own versions of the file (made once with a real one, see
// tests/data/spreadsheet), and lines damaged by hand.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "autosave/autosave.h"
#include "companion_fixture.h"
#include "plugin_state.h"
#include "library/record/record_writer.h"
#include "library/record/record_reader.h"
#include "platform/game_text.h"

namespace {

// The header of the plug-in before the player column, and one line of it.
std::string older_header(void) {
    std::string h = ra_test_record_header();
    return h.substr(0, h.rfind(",replay_md5")) + "\r\n";
}
std::string older_line(const std::map<std::string, std::string> &values) {
    std::string line = ra_test_record_line(values);
    return line.substr(0, line.rfind(',')) + "\r\n";  // the replay's digest was last
}

std::string files_of(const ra_records &records) {
    std::string files;
    for (const ra_record &r : records.lines) files += r.file + " ";
    return files;
}

std::string warnings_of(const ra_records &records) {
    std::string all;
    for (const std::string &w : records.warnings) all += w + "\n";
    return all;
}

}  // namespace

TEST(RecordReader, EachLineIsReadByItsOwnFormOrSkipped) {
    const std::string ours = ra_test_record_header();
    const std::string a = ra_test_record_line({{"file", "a.rp4"},
                                               {"saved", "2026-03-07 21:05:09"},
                                               {"track", "ALPINE"},
                                               {"player", "2"}});
    // A spreadsheet dropped the "track" column from the header and the lines
    // it had; the plug-in then appended its own line of every column.
    std::string no_track = "file,saved,laps\r\nb.rp4,2026-03-01 10:00:00,3\r\n" + a;
    // 30 lines with one hand-typed quote in line 11.
    std::string stray = ours, stray_files;
    for (int i = 2; i <= 30; ++i) {
        std::string name = "r" + std::to_string(i) + ".rp4";
        std::string line = ra_test_record_line({{"file", name}, {"saved", "2026-03-07 21:05:09"}});
        stray += i == 11 ? line.replace(line.find(".rp4,") + 5, 0, "\"Speedy ") : line;
        if (i != 11) stray_files += name + " ";
    }
    const struct {
        const char *what;
        std::string text, files, warning;
    } cases[] = {
        {"the plug-in's line under a header that lost a column", no_track, "b.rp4 a.rp4 ", ""},
        {"an older plug-in's lines by their header, ours by our order",
         older_header() + older_line({{"file", "o.rp4"}, {"saved", "2026-03-01 10:00:00"}}) + a,
         "o.rp4 a.rp4 ", ""},
        {"a line with more fields than its header is skipped, not shifted",
         "file,saved,laps\r\nc.rp4,2026-03-01 10:00:00,3,x\r\nd.rp4,2026-03-01 10:00:00,3\r\n",
         "d.rp4 ", "1 line (line 2) does not fit the header (4 fields where the header has 3)"},
        {"text after a closing quote",
         "file,saved,track\r\ne.rp4,2026-03-01 10:00:00,\"ALPINE\"x\r\n"
         "f.rp4,2026-03-01 10:00:00,\"ALPINE\"\r\n",
         "f.rp4 ", "1 line (line 2) has a quote inside a field"},
        {"a stray quote costs its own line only", stray, stray_files,
         "1 line (line 11) has a quote that is not closed before the line ends"},
        {"no header, the plug-in's lines all the same", a + "x,y\r\n", "a.rp4 ",
         "1 line (line 2) is not in the plug-in's own form"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ra_records records;
        ra_parse_records(c.text, "replays.csv", &records);
        EXPECT_EQ(files_of(records), c.files);
        if (c.warning.empty()) {
            EXPECT_EQ(warnings_of(records), "");
        } else {
            ASSERT_EQ(records.warnings.size(), 1u) << warnings_of(records);
            EXPECT_NE(records.warnings[0].find(c.warning), std::string::npos)
                << records.warnings[0];
        }
        for (const ra_record &r : records.lines) {
            if (r.file == "a.rp4") {
                EXPECT_EQ(r.get("track"), "ALPINE");
                EXPECT_EQ(r.player, 2);
            } else {
                EXPECT_EQ(r.player, 0) << r.file;  // no player column, or none given
            }
        }
    }
}

TEST(RecordReader, WhatALineTells) {
    // A 16-car race whose fastest lap is car 16's; names the plug-in marked
    // as text; the player's car.
    std::map<std::string, std::string> values = {{"file", "a.rp4"},
                                                 {"saved", "2026-03-07 21:05:09"},
                                                 {"name1", "'=HYPERLINK(\"x\")"},
                                                 {"name2", "''Jo"},
                                                 {"name3", "'Jo"},
                                                 {"player", "16"}};
    for (int car = 1; car <= 16; ++car) {
        values["best_lap_car" + std::to_string(car)] =
            car == 16 ? "80.01" : "81." + std::to_string(10 + car);
    }
    std::string text = ra_test_record_header() + ra_test_record_line(values);
    values["player"] = "17";
    values["best_lap_car16"] = "0";  // as a spreadsheet writes 0.00
    values["best_lap_car15"] = "80.5";
    text += ra_test_record_line(values);
    ra_records records;
    ra_parse_records(text, "replays.csv", &records);
    ASSERT_EQ(records.lines.size(), 2u) << warnings_of(records);
    const ra_record &r = records.lines[0];
    EXPECT_EQ(r.fastest_car, 16);
    EXPECT_EQ(r.fastest_lap, 8001u);
    EXPECT_EQ(r.get("name1"), "=HYPERLINK(\"x\")");
    EXPECT_EQ(r.get("name2"), "'Jo");
    EXPECT_EQ(r.get("name3"), "'Jo");  // no mark of ours: as it is
    EXPECT_EQ(r.player, 16);
    EXPECT_EQ(records.lines[1].player, 0);  // no car 17
    EXPECT_EQ(records.lines[1].fastest_car, 15);
    EXPECT_EQ(records.lines[1].fastest_lap, 8050u);
}

TEST(RecordReader, SpreadsheetVersionsReadAsTheOriginal) {
    const std::string dir = std::string(RA_TEST_DATA) + "/spreadsheet/";
    ra_records original;
    ra_parse_records(ra_test_read_file(dir + "season.csv"), "season.csv", &original);
    ASSERT_EQ(original.lines.size(), 6u);
    ASSERT_EQ(warnings_of(original), "");
    const struct {
        const char *file;
        size_t races;
        bool seconds;                       // the form keeps them
        std::vector<std::string> warnings;  // what each warning starts with, after the file
    } cases[] = {
        {"semicolon.csv", 6, true, {"a spreadsheet changed the separator to \";\""}},
        {"tab.csv", 6, true, {"a spreadsheet changed the separator to a tab"}},
        {"us_dates.csv",
         6,
         false,
         {"6 lines (the first is line 2) have their times in a spreadsheet's form, such as "
          "\"3/7/2026 9:05 PM\""}},
        {"us_dates_undecided.csv",
         5,
         false,
         {"5 lines",
          "10 dates such as \"3/7/2026 9:05 PM\" (line 2) could be day/month or "
          "month/day, and no date of the file tells which; they were read month first"}},
        {"german_dates.csv",
         6,
         false,
         {"a spreadsheet changed the separator",
          "6 lines (the first is line 2) have their times "
          "in a spreadsheet's form, such as \"07.03.2026 21:05\""}},
        {"uk_dates.csv", 6, false, {"6 lines"}},
        {"iso_minutes.csv", 6, false, {"6 lines"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        ra_records records;
        ra_parse_records(ra_test_read_file(dir + c.file), c.file, &records);
        ASSERT_EQ(records.lines.size(), c.races) << warnings_of(records);
        ASSERT_EQ(records.warnings.size(), c.warnings.size()) << warnings_of(records);
        for (size_t i = 0; i < c.warnings.size(); ++i) {
            EXPECT_EQ(records.warnings[i].rfind(std::string(c.file) + ": " + c.warnings[i], 0), 0u)
                << records.warnings[i];
        }
        for (size_t i = 0; i < records.lines.size(); ++i) {
            const ra_record &got = records.lines[i], &want = original.lines[i];
            ra_time saved = want.saved;
            if (!c.seconds) saved.second = 0;
            EXPECT_EQ(ra_format_time(got.saved), ra_format_time(saved)) << i;
            EXPECT_EQ(got.get("saved"), ra_format_time(saved)) << i;
            for (const std::string &column : ra_plugin_columns()) {
                if (column == "saved" || column == "started") continue;
                if (column.compare(0, 4, "best") == 0 || column.compare(0, 5, "total") == 0) {
                    EXPECT_EQ(ra_parse_lap(got.get(column)), ra_parse_lap(want.get(column)))
                        << column;
                } else {
                    EXPECT_EQ(got.get(column), want.get(column)) << column;
                }
            }
            EXPECT_EQ(got.fastest_lap, want.fastest_lap);
            EXPECT_EQ(got.player, want.player);
        }
    }
    EXPECT_EQ(original.lines[0].get("name4"), "=HYPERLINK(\"http://x\",\"win\")");
    EXPECT_EQ(original.lines[1].get("name2"), "-Speedy");
}

TEST(RecordReader, ReadsBackEveryTextAndTimeThePluginWrites) {
    // Texts that start with every byte, those a spreadsheet runs as a
    // formula and the mark itself among them, then a quote, a comma and a
    // second byte the mark would follow; the empty text; times at their
    // limits. The plug-in writes each line, the reader gives back each text
    // as written (a control byte as '_'), decoded from the game's code page,
    // and repair's form of the line is the plug-in's line byte for byte.
    std::vector<std::string> texts = {"", "''", "'=", "'a"};
    for (int first = 1; first <= 255; ++first) {
        for (const char *rest : {"", "\",'=", "'"})
            texts.push_back(std::string(1, (char)first) + rest);
    }
    const uint32_t laps[] = {0, 12, 8345, 9999999u * 100u + 99u, UINT32_MAX};
    for (size_t at = 0; at < texts.size(); at += RA_CARS) {
        ra_ctx ctx;
        memset(&ctx, 0, sizeof ctx);
        ctx.year = 2026;
        ctx.month = ctx.day = 7;
        for (size_t car = 0; car < RA_CARS && at + car < texts.size(); ++car) {
            strcpy(ctx.names[car], texts[at + car].c_str());
            ctx.best_lap[car] = laps[(at + car) % (sizeof laps / sizeof laps[0])];
        }
        char buf[RA_RECORD_BUF];
        uint32_t fill = 0;
        ra_record_header(buf, &fill);
        const size_t header = fill;
        ra_record_line(buf, &fill, &ctx, "a.rp4", "replay.rp4", nullptr);
        const std::string line(buf + header, fill - header);
        ra_records records;
        ra_parse_records(std::string(buf, fill), "replays.csv", &records);
        ASSERT_EQ(records.lines.size(), 1u) << line;
        const ra_record &r = records.lines[0];
        for (size_t car = 0; car < RA_CARS && at + car < texts.size(); ++car) {
            std::string written = texts[at + car];
            for (char &c : written) c = (unsigned char)c < 0x20u || c == 0x7F ? '_' : c;
            EXPECT_EQ(r.get("name" + std::to_string(car + 1)), ra_game_text(written)) << line;
        }
        // Repair writes the text back in the game's bytes.
        std::string back;
        EXPECT_TRUE(ra_game_bytes(ra_plugin_form(r), &back));
        EXPECT_EQ(back, line);
    }
}

TEST(RecordReader, ValuesAreDecodedOnceByTheRecordsOwnEncoding) {
    const std::string header = ra_test_record_header();
    auto line = [](const char *file, const char *track, const char *name) {
        return ra_test_record_line(
            {{"file", file}, {"saved", "2026-03-07 21:05:09"}, {"track", track}, {"name1", name}});
    };
    // The game's Windows-1252, the five bytes it leaves unassigned among
    // them: read as the characters Windows gives them (U+0081...), so that
    // repair writes the same bytes back.
    const std::string plugin = line("a.rp4", "C\x9cUR FOR\xeaT", "Zo\xeb \x81\x8d\x8f\x90\x9d");
    ra_records records;
    ra_parse_records(header + plugin, "replays.csv", &records);
    ASSERT_EQ(records.lines.size(), 1u) << warnings_of(records);
    EXPECT_EQ(records.lines[0].get("track"), "C\xC5\x93UR FOR\xC3\xAAT");
    EXPECT_EQ(records.lines[0].get("name1"), "Zo\xC3\xAB \xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    std::string back;
    EXPECT_TRUE(ra_game_bytes(ra_plugin_form(records.lines[0]), &back));
    EXPECT_EQ(back, plugin);

    // A spreadsheet saved it as UTF-8 after its mark; the plug-in appended
    // its own line since, in the game's bytes; a byte of no UTF-8 there is
    // the game's too ("\xC3" alone is "Ã").
    ra_parse_records("\xEF\xBB\xBF" + header + line("b.rp4", "C\xC5\x93UR FOR\xC3\xAAT", "\xC3") +
                         line("c.rp4", "COAST", "Zo\xeb"),
                     "replays.csv", &records);
    ASSERT_EQ(records.lines.size(), 2u) << warnings_of(records);
    EXPECT_EQ(records.lines[0].get("track"), "C\xC5\x93UR FOR\xC3\xAAT");
    EXPECT_EQ(records.lines[0].get("name1"), "\xC3\x83");
    EXPECT_EQ(records.lines[1].get("name1"), "Zo\xC3\xAB");

    // The companion's own lines (a share's) are UTF-8 already.
    ra_parse_records(header + line("d.rp4", "ALPINE", "Zo\xC3\xAB"), "share", &records,
                     ra_record_bytes::utf8);
    ASSERT_EQ(records.lines.size(), 1u);
    EXPECT_EQ(records.lines[0].get("name1"), "Zo\xC3\xAB");
}

TEST(RecordReader, InPartsGivesWhatAWholeReadGives) {
    std::string text = ra_test_record_header();
    for (int i = 1; i <= 12; ++i) {
        std::string line = ra_test_record_line(
            {{"file", "r" + std::to_string(i) + ".rp4"}, {"saved", "2026-03-07 21:05:09"}});
        text += i == 5 ? line.replace(line.find(".rp4,") + 5, 0, "\"Speedy ") : line;
    }
    const std::string dir = ra_test_scratch_dir();
    ASSERT_TRUE(ra_test_write_file(dir + "/replays.csv", text));
    auto named = [](const std::vector<ra_record> &lines) {
        std::string all;
        for (const ra_record &r : lines) all += r.file + "@" + std::to_string(r.line) + " ";
        return all;
    };
    ra_records whole, rest;
    ra_read_records(dir, "replays.csv", &whole);
    std::string sizes, lines;
    ASSERT_TRUE(ra_read_records_in_parts(
        dir, "replays.csv", 4,
        [&](const ra_records &part) {
            sizes += std::to_string(part.lines.size()) + " ";
            lines += named(part.lines);
            return true;
        },
        &rest));
    EXPECT_EQ(sizes, "4 4 3 ");
    EXPECT_EQ(lines, named(whole.lines));
    EXPECT_EQ(warnings_of(rest), warnings_of(whole));
    EXPECT_EQ(rest.skipped, whole.skipped);
    // A part refused stops the reading there.
    int parts = 0;
    EXPECT_FALSE(ra_read_records_in_parts(
        dir, "replays.csv", 4, [&](const ra_records &) { return ++parts < 2; }, &rest));
    EXPECT_EQ(parts, 2);
}
