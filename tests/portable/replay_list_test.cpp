// The replays list: what it shows from the plug-in's record lines and from
// bare files in Dir, record lines whose file is gone, and how the record
// reader copes with damaged and foreign lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "companion_fixture.h"
#include "library/replays/prune.h"
#include "actions/prune_action.h"
#include "jobs/job_list.h"
#include "plugin_state.h"
#include "library/record/record_reader.h"

namespace {

class ReplayList : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        game_ = ra_test_scratch_dir();
        saves_ = game_ + "/SaveData/Saves";
        ASSERT_EQ(system(("mkdir -p '" + saves_ + "'").c_str()), 0);
        ASSERT_TRUE(ra_test_write_file(game_ + "/replay_autosave.ini",
                                       "[ReplayAutosave]\nDir = SaveData\\Saves\n"));
    }
    void TearDown() override { ra_test_reset_plugin(); }

    // The list job's exit status, output and error output for these options.
    int list(ra_list_job job, ra_output *out) {
        ra_test_reset_plugin();
        job.ini = game_ + "/replay_autosave.ini";
        return ra_run_list(job, out);
    }

    std::string game_, saves_;
};

const char alpine[] = "2026-03-07_21-05-09_SR_ALPINE_3L.rp4";

}  // namespace

TEST_F(ReplayList, RecordedBareAndMissingReplaysNewestFirst) {
    // A recorded file (its lap times by car, the fastest in car 2), a record
    // line whose file is gone, and a file no line names, dated by its stamp.
    std::string records = ra_test_record_header() +
                          ra_test_record_line({{"file", alpine},
                                               {"saved", "2026-03-07 21:05:09"},
                                               {"type", "SR"},
                                               {"track", "ALPINE"},
                                               {"laps", "3"},
                                               {"source", "Replays\\replay.rp4"},
                                               {"best_lap_car1", "81.44"},
                                               {"best_lap_car2", "80.01"},
                                               {"best_lap_car3", "0.00"}}) +
                          ra_test_record_line({{"file", "gone.rp4"},
                                               {"saved", "2026-03-06 10:00:00"},
                                               {"type", "ST"},
                                               {"track", "COAST"},
                                               {"laps", "2"}});
    ASSERT_TRUE(ra_test_write_file(saves_ + "/replays.csv", records));
    ASSERT_TRUE(ra_test_write_file(saves_ + "/" + alpine, "A"));
    ASSERT_TRUE(ra_test_set_file_time(saves_ + "/" + alpine, "2026-01-01 00:00:00"));
    ASSERT_TRUE(ra_test_write_file(saves_ + "/bare.rp4", "B"));
    ASSERT_TRUE(ra_test_set_file_time(saves_ + "/bare.rp4", "2026-03-08 08:00:00"));
    ASSERT_TRUE(ra_test_write_file(saves_ + "/notes.txt", "not a replay"));

    ra_output out;
    ASSERT_EQ(list(ra_list_job(), &out), ra_exit_ok) << out.err;
    EXPECT_EQ(out.err, "");
    EXPECT_EQ(out.out,
              "Replays in " + saves_ +
                  ", newest first:\n"
                  "When                 Type  Track   Laps  Fastest lap  File\n"
                  "2026-03-07 21:05:09  SR    ALPINE  3     1:20.01      " +
                  alpine +
                  "\n"
                  "2026-03-06 10:00:00  ST    COAST   2     -            gone.rp4  (missing)\n"
                  "\nOther files in " +
                  saves_ +
                  ", no race of their own (kept by restore, renamed copies or copied in):\n"
                  "When                 Type  Track  Laps  Fastest lap  File\n"
                  "2026-03-08 08:00:00  -     -      -     -            bare.rp4\n");

    // The same as comma-separated values, and cut down by the filters; a
    // bare file has no track or type to match.
    ra_list_job job;
    job.csv = true;
    job.since = "2026-03-07";
    out = ra_output();
    ASSERT_EQ(list(job, &out), ra_exit_ok);
    EXPECT_EQ(out.out,
              "when,type,track,laps,fastest_lap,file,state\n"
              "2026-03-08 08:00:00,,,,,bare.rp4,unrecorded\n"
              "2026-03-07 21:05:09,SR,ALPINE,3,80.01," +
                  std::string(alpine) + ",saved\n");
    job = ra_list_job();
    job.track = "coast";
    job.type = "st";
    out = ra_output();
    ASSERT_EQ(list(job, &out), ra_exit_ok);
    EXPECT_NE(out.out.find("gone.rp4  (missing)"), std::string::npos) << out.out;
    EXPECT_EQ(out.out.find("bare.rp4"), std::string::npos) << out.out;

    // Without a record file every replay is listed from its file.
    ASSERT_EQ(remove((saves_ + "/replays.csv").c_str()), 0);
    out = ra_output();
    ASSERT_EQ(list(ra_list_job(), &out), ra_exit_ok);
    EXPECT_NE(
        out.out.find("2026-01-01 00:00:00  -     -      -     -            " + std::string(alpine)),
        std::string::npos)
        << out.out;
}

TEST_F(ReplayList, ASecondSaveUnderTheSameNameReplacesTheFirst) {
    // Without %time% in the name, the second race overwrote the first's file.
    ASSERT_TRUE(ra_test_write_file(
        saves_ + "/replays.csv",
        ra_test_record_header() +
            ra_test_record_line({{"file", "ALPINE.rp4"}, {"saved", "2026-03-07 20:00:00"}}) +
            ra_test_record_line({{"file", "ALPINE.rp4"}, {"saved", "2026-03-07 21:00:00"}})));
    ASSERT_TRUE(ra_test_write_file(saves_ + "/alpine.RP4", "second"));
    ra_output out;
    ASSERT_EQ(list(ra_list_job(), &out), ra_exit_ok);
    EXPECT_NE(out.out.find("2026-03-07 21:00:00  -     -      -     -            alpine.RP4\n"),
              std::string::npos)
        << out.out;
    EXPECT_NE(out.out.find("ALPINE.rp4  (replaced by a later race of the same name)"),
              std::string::npos)
        << out.out;
}

TEST_F(ReplayList, ALinkInDirIsNeverListed) {
    // Links to a file outside Dir, to a replay in it and to nothing: none is
    // a replay of Dir, and a line that names one shows its race as missing.
    ASSERT_TRUE(ra_test_write_file(
        saves_ + "/replays.csv",
        ra_test_record_header() +
            ra_test_record_line({{"file", "named.rp4"}, {"saved", "2026-03-07 20:00:00"}})));
    ASSERT_TRUE(ra_test_write_file(game_ + "/secret.txt", "private"));
    ASSERT_TRUE(ra_test_write_file(saves_ + "/a.rp4", "A"));
    for (const char *link : {"zz.rp4", "named.rp4"}) {
        std::filesystem::create_symlink(game_ + "/secret.txt", saves_ + "/" + link);
    }
    std::filesystem::create_symlink(saves_ + "/a.rp4", saves_ + "/inside.rp4");
    std::filesystem::create_symlink(saves_ + "/gone.rp4", saves_ + "/nowhere.rp4");
    ra_output out;
    ASSERT_EQ(list(ra_list_job(), &out), ra_exit_ok) << out.err;
    EXPECT_NE(out.out.find("named.rp4  (missing)"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find(" a.rp4\n"), std::string::npos) << out.out;
    for (const char *link : {"zz.rp4", "inside.rp4", "nowhere.rp4"}) {
        EXPECT_EQ(out.out.find(link), std::string::npos) << link << ": " << out.out;
    }
}

TEST_F(ReplayList, DamagedAndForeignLinesAreSkippedWithOneWarningPerCause) {
    // Columns found by name: moved, and one the reader does not know.
    std::string text =
        "laps,extra,saved,file,best_lap_car1,source\r\n"
        "3,x,2026-03-07 21:05:09,a.rp4,81.44,Replays\\replay.rp4\r\n"  // line 2: good
        "3,x,2026-03-07 21:05:09,b.rp4,81.44\r\n"                      // 3: a field short
        "\"multi\r\nline\",\"a \"\"quoted\"\", value\",2026-03-07 21:06:00,c.rp4,,\r\n"  // 4-5:
                                                                                         // a field
                                                                                         // across
                                                                                         // lines
        "3,x,2026-02-30 10:00:00,d.rp4,,\r\n"                      // 6: no such day
        "3,x,2026-03-07 21:05:09,..\\..\\game.exe,,\r\n"           // 7: a path
        "3,x,2026-03-07 21:05:09,e.rp4,,C:\\Windows\\win.ini\r\n"  // 8: not the replay
        "3,x,2026-03-07 21:05:09,f.rp4,,\"unterminated\r\n"        // 9: quote never ends
        "\r\n"                                                     // 10: empty
        "3,x,2026-03-07 21:07:00,g.rp4,79.99,\r\n";                // 11: good
    ra_records records;
    ra_parse_records(text, "replays.csv", &records);
    ASSERT_EQ(records.lines.size(), 2u);
    EXPECT_EQ(records.lines[0].file, "a.rp4");
    EXPECT_EQ(records.lines[0].line, 2);
    EXPECT_EQ(records.lines[0].fastest_lap, 8144u);
    EXPECT_EQ(records.lines[0].get("extra"), "x");
    EXPECT_EQ(records.lines[1].file, "g.rp4");
    EXPECT_EQ(records.lines[1].line, 11);
    EXPECT_EQ(records.skipped, (std::vector<int>{3, 4, 5, 6, 7, 8, 9}));
    // One warning per cause, with its count and its first line.
    const char *const expected[] = {
        "replays.csv: 2 lines (the first is line 4) have a quote that is not closed",
        "replays.csv: 1 line (line 5) has a quote inside a field",
        "replays.csv: 1 line (line 3) does not fit the header (5 fields where the header has 6)",
        "replays.csv: 1 line (line 7) names no replay the plug-in can have saved",
        "replays.csv: 1 line (line 6) has a saved time that cannot be read",
        "replays.csv: 1 line (line 8) names another file than the game's replay.rp4",
    };
    ASSERT_EQ(records.warnings.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(records.warnings[i].rfind(expected[i], 0), 0u) << records.warnings[i];
    }

    // A file whose header is not ours: one warning, and no line is used.
    ra_parse_records("name,when\r\na.rp4,2026-03-07 21:05:09\r\n", "replays.csv", &records);
    EXPECT_TRUE(records.lines.empty());
    ASSERT_EQ(records.warnings.size(), 1u);
    EXPECT_NE(records.warnings[0].find("not the plug-in's record file"), std::string::npos);

    // Through the list: the warning on the error output, the files still listed.
    ASSERT_TRUE(ra_test_write_file(saves_ + "/replays.csv", "\xFF\xFE garbage"));
    ASSERT_TRUE(ra_test_write_file(saves_ + "/a.rp4", "A"));
    ra_output out;
    ASSERT_EQ(list(ra_list_job(), &out), ra_exit_ok);
    EXPECT_EQ(out.err, "warning: " + saves_ +
                           "/replays.csv: not the plug-in's record file (its first line names "
                           "no \"file\" and \"saved\" columns); it is not used\n");
    EXPECT_NE(out.out.find("a.rp4"), std::string::npos);
}

TEST_F(ReplayList, UnreadableSaveFolderOrSettingsFail) {
    ASSERT_EQ(system(("rm -rf '" + saves_ + "'").c_str()), 0);
    ra_output out;
    EXPECT_EQ(list(ra_list_job(), &out), ra_exit_failed);
    EXPECT_EQ(out.out, "");
    EXPECT_NE(out.err.find("the save folder " + saves_ + " does not exist"), std::string::npos)
        << out.err;

    ra_list_job job;
    job.since = "7 March";
    out = ra_output();
    EXPECT_EQ(list(job, &out), ra_exit_usage);
    EXPECT_NE(out.err.find("--since wants a day as YYYY-MM-DD"), std::string::npos);

    ra_test_reset_plugin();
    job = ra_list_job();
    job.ini = game_ + "/missing.ini";
    out = ra_output();
    EXPECT_EQ(ra_run_list(job, &out), ra_exit_usage);
    EXPECT_NE(out.err.find("cannot read " + game_ + "/missing.ini"), std::string::npos) << out.err;
}

TEST_F(ReplayList, ARenamedReplayKeepsItsRaceAndNoWrongFileIsPaired) {
    // Each case: the record's lines (file, saved), the files in Dir with
    // their time stamps, and what list makes of them.
    struct file_case {
        const char *name, *stamp;
    };
    struct pairing_case {
        const char *what;
        std::vector<std::pair<const char *, const char *>> lines;
        std::vector<file_case> files;
        std::vector<std::string> want;  // lines of the listing, in any order
        std::vector<std::string> never;
    };
    const pairing_case cases[] = {
        {"renamed within the save's seconds: its race under its new name",
         {{"r.rp4", "2026-03-07 21:05:09"}},
         {{"ALPINE best.rp4", "2026-03-07 21:05:08"}},
         {"ALPINE  3     1:20.01      ALPINE best.rp4  (renamed from r.rp4)"},
         {"(missing)", "Other files"}},
        {"three seconds off: no pairing",
         {{"r.rp4", "2026-03-07 21:05:09"}},
         {{"other.rp4", "2026-03-07 21:05:12"}},
         {"r.rp4  (missing)", "-     -            other.rp4"},
         {"(renamed from"}},
        {"two files fit one gone line: neither is taken for it",
         {{"r.rp4", "2026-03-07 21:05:09"}},
         {{"a.rp4", "2026-03-07 21:05:09"}, {"b.rp4", "2026-03-07 21:05:10"}},
         {"r.rp4  (missing)", "-            a.rp4", "-            b.rp4"},
         {"(renamed from"}},
        {"a file fits two lines: neither",
         {{"r.rp4", "2026-03-07 21:05:09"}, {"s.rp4", "2026-03-07 21:05:11"}},
         {{"a.rp4", "2026-03-07 21:05:10"}},
         {"r.rp4  (missing)", "s.rp4  (missing)", "-            a.rp4"},
         {"(renamed from"}},
        {"the race's file is still there: a copy, with its race",
         {{"r.rp4", "2026-03-07 21:05:09"}},
         {{"r.rp4", "2026-03-07 21:05:09"}, {"copy.rp4", "2026-03-07 21:05:09"}},
         {"1:20.01      r.rp4\n", "copy.rp4  (a copy; the race of 2026-03-07 21:05:09)"},
         {"(renamed from", "(missing)"}},
        {"a file restore kept is never a rename",
         {{"r.rp4", "2026-03-07 21:05:09"}},
         {{"kept_2026-03-07_21-05-09.rp4", "2026-03-07 21:05:09"}},
         {"r.rp4  (missing)",
          "kept_2026-03-07_21-05-09.rp4  (kept by restore; the race of 2026-03-07 21:05:09)"},
         {"(renamed from"}},
    };
    for (const pairing_case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(system(("rm -rf '" + saves_ + "' && mkdir -p '" + saves_ + "'").c_str()), 0);
        std::string records = ra_test_record_header();
        for (const auto &line : c.lines) {
            records += ra_test_record_line({{"file", line.first},
                                            {"saved", line.second},
                                            {"type", "SR"},
                                            {"track", "ALPINE"},
                                            {"laps", "3"},
                                            {"best_lap_car1", "80.01"}});
        }
        ASSERT_TRUE(ra_test_write_file(saves_ + "/replays.csv", records));
        for (const file_case &f : c.files) {
            ASSERT_TRUE(ra_test_write_file(saves_ + "/" + f.name, "R"));
            ASSERT_TRUE(ra_test_set_file_time(saves_ + "/" + f.name, f.stamp));
        }
        ra_output out;
        ASSERT_EQ(list(ra_list_job(), &out), ra_exit_ok);
        for (const std::string &want : c.want)
            EXPECT_NE(out.out.find(want), std::string::npos) << out.out;
        for (const std::string &never : c.never)
            EXPECT_EQ(out.out.find(never), std::string::npos) << out.out;
        // Prune removes none of the files that no line names under their name.
        ra_prune_policy policy;
        policy.keep = 0;
        ra_output pruned;
        ra_tell(ra_prune_words(ra_prune_folder(saves_, saves_, policy, true), saves_), &pruned);
        size_t unnamed = 0;
        for (const file_case &f : c.files) {
            bool named = false;
            for (const auto &line : c.lines) named = named || std::string(line.first) == f.name;
            if (!named) {
                ++unnamed;
                EXPECT_TRUE(ra_test_file_exists(saves_ + "/" + f.name)) << f.name;
            }
        }
        // ...and counts each of them, renamed ones too, among those left alone.
        if (unnamed > 0) {
            std::string left = "Left alone: " + std::to_string(unnamed) +
                               (unnamed == 1 ? " replay in" : " replays in");
            EXPECT_NE(pruned.out.find(left), std::string::npos) << pruned.out;
        }
    }
}

TEST_F(ReplayList, ANameThatDiffersFromItsFileOnlyInLetterCaseIsNoMissingRace) {
    // Windows compares names ignoring case, every letter from a to z.
    ASSERT_TRUE(ra_test_write_file(
        saves_ + "/replays.csv",
        ra_test_record_header() +
            ra_test_record_line({{"file", "zandvoort_Z.rp4"}, {"saved", "2026-03-07 21:00:00"}})));
    ASSERT_TRUE(ra_test_write_file(saves_ + "/ZANDVOORT_z.RP4", "R"));
    ra_output out;
    ASSERT_EQ(list(ra_list_job(), &out), ra_exit_ok);
    EXPECT_NE(out.out.find("-            ZANDVOORT_z.RP4\n"), std::string::npos) << out.out;
    EXPECT_EQ(out.out.find("missing"), std::string::npos) << out.out;
    EXPECT_EQ(out.out.find("Other files"), std::string::npos) << out.out;
}

TEST_F(ReplayList, ARacerAskedForShowsTheirLapsAndPersonalBests) {
    // Racer "Rival" in car 2: 80.50, then 81.00, then 79.90 on ALPINE (a
    // personal best), and 90.00 on COAST (the first there: none).
    std::string records =
        "file,saved,track,type,laps,name1,name2,best_lap_car1,best_lap_car2\r\n"
        "a.rp4,2026-03-01 20:00:00,ALPINE,SR,3,Me,Rival,79.00,80.50\r\n"
        "b.rp4,2026-03-02 20:00:00,ALPINE,SR,3,Me,Rival,79.50,81.00\r\n"
        "c.rp4,2026-03-03 20:00:00,ALPINE,SR,3,Me,Rival,78.00,79.90\r\n"
        "d.rp4,2026-03-04 20:00:00,COAST,SR,3,Me,Rival,91.00,90.00\r\n";
    ASSERT_TRUE(ra_test_write_file(saves_ + "/replays.csv", records));
    for (const char *f : {"a.rp4", "b.rp4", "c.rp4", "d.rp4"}) {
        ASSERT_TRUE(ra_test_write_file(saves_ + "/" + f, "R"));
    }
    ra_list_job job;
    job.racer = "rival";
    ra_output out;
    ASSERT_EQ(list(job, &out), ra_exit_ok);
    EXPECT_NE(out.out.find("Lap of rival  File\n"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("COAST   3     1:30.00       d.rp4\n"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("ALPINE  3     1:19.90 PB    c.rp4\n"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("ALPINE  3     1:21.00       b.rp4\n"), std::string::npos) << out.out;
    job.csv = true;
    out = ra_output();
    ASSERT_EQ(list(job, &out), ra_exit_ok);
    EXPECT_NE(out.out.find("2026-03-03 20:00:00,SR,ALPINE,3,79.90,c.rp4,saved,1\n"),
              std::string::npos)
        << out.out;
    // Without --racer: the race's fastest, and the player's (here "Me", in
    // car 1 as often as Rival) personal bests beside it.
    out = ra_output();
    ASSERT_EQ(list(ra_list_job(), &out), ra_exit_ok);
    EXPECT_NE(out.out.find("1:18.00 PB   c.rp4"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("PB: a personal best of Me"), std::string::npos) << out.out;
}
