// prune: each policy and their union, the sizes and day counts it takes,
// that a dry run changes nothing, that only replays the record file names
// under their names directly in Dir are ever removed, the refusal without a
// record file, and a removal that fails part-way.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "companion_fixture.h"
#include "program/invocation.h"
#include "actions/prune_action.h"
#include "jobs/job_prune.h"
#include "library/text/local_time.h"
#include "plugin_state.h"
#include "library/replays/prune.h"

namespace fs = std::filesystem;

namespace {

ra_time at(const char *text) {
    ra_time t;
    EXPECT_TRUE(ra_parse_time(text, &t)) << text;
    return t;
}

// Candidates, newest first, of these sizes, saved a day apart.
std::vector<ra_prune_candidate> candidates(const std::vector<uint64_t> &sizes) {
    std::vector<ra_prune_candidate> list;
    for (size_t i = 0; i < sizes.size(); ++i) {
        ra_prune_candidate c;
        c.file = "r" + std::to_string(i) + ".rp4";
        c.saved = ra_days_before(at("2026-03-20 21:00:00"), i);
        c.size = sizes[i];
        list.push_back(c);
    }
    return list;
}

// The indexes of the candidates that go.
std::vector<size_t> going(const ra_prune_policy &policy, const std::vector<uint64_t> &sizes) {
    std::vector<ra_prune_candidate> list = candidates(sizes);
    ra_prune_decide(policy, &list);
    std::vector<size_t> out;
    for (size_t i = 0; i < list.size(); ++i) {
        if (!list[i].reasons.empty()) out.push_back(i);
    }
    return out;
}

using ids = std::vector<size_t>;

TEST(PruneDecide, EachPolicyAloneAndAnyOfThemTogether) {
    const std::vector<uint64_t> sizes = {100, 200, 300, 400, 500};
    ra_prune_policy none;
    EXPECT_EQ(going(none, sizes), ids{});

    // --keep: the N newest stay.
    ra_prune_policy keep;
    keep.keep = 2;
    EXPECT_EQ(going(keep, sizes), (ids{2, 3, 4}));
    keep.keep = 0;
    EXPECT_EQ(going(keep, sizes), (ids{0, 1, 2, 3, 4}));
    keep.keep = 5;
    EXPECT_EQ(going(keep, sizes), ids{});

    // --max-size: the newest that fit stay; once one does not fit, every
    // older one goes, even one small enough to fit in what is left.
    ra_prune_policy size;
    size.max_size = 300;
    EXPECT_EQ(going(size, sizes), (ids{2, 3, 4}));
    EXPECT_EQ(going(size, {100, 500, 50}), (ids{1, 2}));
    size.max_size = 0;
    EXPECT_EQ(going(size, {0, 1}), (ids{1}));

    // --older-than: saved before the time go, one saved at that second stays.
    ra_prune_policy age;
    age.before = at("2026-03-18 21:00:00");
    EXPECT_EQ(going(age, sizes), (ids{3, 4}));

    // Together: a replay goes when any of them removes it, with every reason.
    ra_prune_policy all;
    all.keep = 4;
    all.max_size = 900;
    all.before = at("2026-03-19 12:00:00");
    std::vector<ra_prune_candidate> list = candidates(sizes);
    ra_prune_decide(all, &list);
    EXPECT_EQ(list[0].reasons.size(), 0u);
    EXPECT_EQ(list[1].reasons.size(), 0u);
    ASSERT_EQ(list[2].reasons.size(), 1u);  // 600 bytes fit in 900, but it is too old
    EXPECT_EQ(list[2].reasons[0], "saved before 2026-03-19 12:00:00");
    ASSERT_EQ(list[3].reasons.size(), 2u);  // 400 more do not fit, and too old
    EXPECT_EQ(list[3].reasons[0], "beyond the newest 900 bytes");
    ASSERT_EQ(list[4].reasons.size(), 3u);
    EXPECT_EQ(list[4].reasons[0], "not among the 4 newest");
}

TEST(PruneParse, SizesDaysAndNonsense) {
    uint64_t n = 0;
    EXPECT_TRUE(ra_parse_size("1000", &n));
    EXPECT_EQ(n, 1000u);
    EXPECT_TRUE(ra_parse_size("0", &n));
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(ra_parse_size("2G", &n));
    EXPECT_EQ(n, 2ull << 30);
    EXPECT_TRUE(ra_parse_size("500m", &n));
    EXPECT_EQ(n, 500ull << 20);
    EXPECT_TRUE(ra_parse_size("1k", &n));
    EXPECT_EQ(n, 1024u);
    EXPECT_TRUE(ra_parse_size("18446744073709551615", &n));
    EXPECT_EQ(n, UINT64_MAX);
    // As the guide and Windows write sizes.
    for (auto size : std::vector<std::pair<const char *, uint64_t>>{
             {"2GB", 2ull << 30}, {"2 GB", 2ull << 30}, {"500MB", 500ull << 20}, {"3kb", 3072}}) {
        EXPECT_TRUE(ra_parse_size(size.first, &n)) << size.first;
        EXPECT_EQ(n, size.second) << size.first;
    }
    for (const char *bad : {"", "G", "GB", "2.5G", "-1", "2T", "2B", " 2G", "2G ", "2  GB", "2GBB",
                            "0x10", "1e3", "18446744073709551616", "17179869184G"}) {
        n = 7;
        EXPECT_FALSE(ra_parse_size(bad, &n)) << bad;
        EXPECT_EQ(n, 7u) << bad;
    }
    EXPECT_TRUE(ra_parse_count("30", &n));
    EXPECT_EQ(n, 30u);
    for (const char *bad : {"", "-1", "+3", "3d", "1.5"}) {
        EXPECT_FALSE(ra_parse_count(bad, &n)) << bad;
    }
    EXPECT_EQ(ra_format_size(950), "950 bytes");
    EXPECT_EQ(ra_format_size(2ull << 30), "2 GB");
    EXPECT_EQ(ra_format_size(1536 * 1024), "1.5 MB");
}

TEST(PruneDaysBefore, CountsCalendarDaysAndKeepsTheTimeOfDay) {
    EXPECT_EQ(ra_format_time(ra_days_before(at("2026-03-01 07:08:09"), 1)), "2026-02-28 07:08:09");
    EXPECT_EQ(ra_format_time(ra_days_before(at("2024-03-01 00:00:00"), 1)), "2024-02-29 00:00:00");
    EXPECT_EQ(ra_format_time(ra_days_before(at("2026-01-05 23:59:59"), 10)), "2025-12-26 23:59:59");
    EXPECT_EQ(ra_format_time(ra_days_before(at("2025-03-01 12:00:00"), 365)),
              "2024-03-01 12:00:00");
    EXPECT_EQ(ra_format_time(ra_days_before(at("2000-02-29 12:00:00"), 0)), "2000-02-29 12:00:00");
    // Beyond the calendar: earlier than any replay.
    EXPECT_TRUE(ra_days_before(at("2026-03-01 12:00:00"), UINT64_MAX) < at("0000-03-01 00:00:00"));
}

// A save folder with a record file, and what is in and around it.
class PruneFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        root_ = ra_test_scratch_dir();
        dir_ = root_ + "/Saves";
        fs::create_directories(dir_);
    }
    void TearDown() override { ra_test_reset_plugin(); }

    // A file of that many bytes, relative to the scratch folder.
    void file(const std::string &name, size_t bytes) {
        fs::create_directories(fs::path(root_ + "/" + name).parent_path());
        ASSERT_TRUE(ra_test_write_file(root_ + "/" + name, std::string(bytes, 'r')));
    }
    // The record file, a line per name: saved a day apart, newest last.
    void records(const std::vector<std::string> &names) {
        std::string text = ra_test_record_header();
        for (size_t i = 0; i < names.size(); ++i) {
            ra_time saved = ra_days_before(at("2026-03-20 21:00:00"), names.size() - i);
            text += ra_test_record_line({{"file", names[i]},
                                         {"saved", ra_format_time(saved)},
                                         {"type", "SR"},
                                         {"track", "ALPINE"},
                                         {"source", "Replays\\replay.rp4"}});
        }
        ASSERT_TRUE(ra_test_write_file(dir_ + "/replays.csv", text));
    }
    // Every file below the scratch folder and its bytes; links by their target.
    std::map<std::string, std::string> everything() {
        std::map<std::string, std::string> all;
        for (const auto &e : fs::recursive_directory_iterator(root_)) {
            std::string name = e.path().string().substr(root_.size() + 1);
            if (fs::is_symlink(e.symlink_status())) {
                all[name] = "-> " + fs::read_symlink(e.path()).string();
            } else if (e.is_regular_file()) {
                all[name] = ra_test_read_file(e.path().string());
            }
        }
        return all;
    }
    int prune(const ra_prune_policy &policy, bool apply, ra_remover remove = nullptr) {
        out_ = ra_output();
        return ra_tell(ra_prune_words(ra_prune_folder(dir_, dir_, policy, apply, remove), dir_),
                       &out_);
    }

    std::string root_, dir_;
    ra_output out_;
};

TEST_F(PruneFolder, DryRunListsWhatWouldGoAndChangesNothing) {
    for (const char *name : {"a", "b", "c", "d"}) file(std::string("Saves/") + name + ".rp4", 1024);
    file("Saves/mine.rp4", 1024);
    records({"a.rp4", "b.rp4", "c.rp4", "d.rp4"});
    std::map<std::string, std::string> before = everything();

    ra_prune_policy policy;
    policy.keep = 1;
    EXPECT_EQ(prune(policy, false), ra_exit_ok) << out_.err;
    EXPECT_EQ(everything(), before);
    EXPECT_EQ(out_.err, "");
    EXPECT_NE(out_.out.find("Would remove 3 replays (3 KB) of the 4 the plug-in saved in"),
              std::string::npos)
        << out_.out;
    EXPECT_NE(out_.out.find("  2026-03-18 21:00:00  1 KB  c.rp4  (not among the 1 newest)\n"),
              std::string::npos)
        << out_.out;
    EXPECT_NE(out_.out.find("b.rp4"), std::string::npos);
    EXPECT_NE(out_.out.find("a.rp4"), std::string::npos);
    EXPECT_EQ(out_.out.find("d.rp4"), std::string::npos);
    EXPECT_EQ(out_.out.find("mine.rp4"), std::string::npos);
    EXPECT_NE(out_.out.find("Nothing was removed; run the same command with --apply"),
              std::string::npos);
    EXPECT_NE(out_.out.find("Left alone: 1 replay in"), std::string::npos);
}

TEST_F(PruneFolder, ApplyRemovesOnlyReplaysTheRecordNamesDirectlyInDir) {
    file("Saves/a.rp4", 10);
    file("Saves/b.rp4", 20);
    // Renamed by the player, copied in, and kept by restore: no line names them.
    file("Saves/a_best_lap.rp4", 10);
    file("Saves/kept_2026-03-01_20-00-00.rp4", 30);
    // A line names a kept replay: restore made it, so it stays all the same.
    file("Saves/kept_2026-03-02_20-00-00.rp4", 30);
    // Lines that would lead out of Dir, or to a folder, a link, a file elsewhere.
    file("outside.rp4", 40);
    file("Saves/sub/inner.rp4", 50);
    fs::create_directories(root_ + "/Saves/folder.rp4");
    fs::create_symlink(root_ + "/outside.rp4", root_ + "/Saves/link.rp4");
    records({"a.rp4", "../outside.rp4", "..\\outside.rp4", "sub/inner.rp4", "sub\\inner.rp4",
             "folder.rp4", "link.rp4", "kept_2026-03-02_20-00-00.rp4", "gone.rp4", "b.rp4"});
    const std::string record_text = ra_test_read_file(dir_ + "/replays.csv");
    std::map<std::string, std::string> before = everything();

    ra_prune_policy policy;
    policy.keep = 0;
    EXPECT_EQ(prune(policy, true), ra_exit_ok) << out_.err;
    std::map<std::string, std::string> expected = before;
    expected.erase("Saves/a.rp4");
    expected.erase("Saves/b.rp4");
    // The marks' lock, which prune holds while it removes replays.
    expected["Saves/replays.keep.lock"] = "";
    EXPECT_EQ(everything(), expected);
    // The record lines stay: the history of every race.
    EXPECT_EQ(ra_test_read_file(dir_ + "/replays.csv"), record_text);
    EXPECT_NE(out_.out.find("Removing 2 replays (30 bytes) of the 2 the plug-in saved in"),
              std::string::npos)
        << out_.out;
    EXPECT_NE(out_.out.find("2 replays (30 bytes) deleted; the plug-in's replays left: 0.\n"),
              std::string::npos)
        << out_.out;
    // The lines with separators are damaged ones, and say so.
    EXPECT_NE(out_.err.find("name no replay the plug-in can have saved"), std::string::npos);

    // Nothing of the plug-in's left: nothing to do.
    EXPECT_EQ(prune(policy, true), ra_exit_ok);
    EXPECT_EQ(everything(), expected);
    EXPECT_NE(out_.out.find("Nothing to remove: replays.csv names no replay that is still in"),
              std::string::npos)
        << out_.out;
}

TEST_F(PruneFolder, RefusesWithoutARecordFile) {
    file("Saves/2026-03-07_21-05-09_SR_ALPINE_3L.rp4", 10);
    std::map<std::string, std::string> before = everything();
    ra_prune_policy policy;
    policy.keep = 0;
    EXPECT_EQ(prune(policy, true), ra_exit_failed);
    EXPECT_EQ(everything(), before);
    EXPECT_NE(out_.err.find("prune needs Record = 1 to know which replays the plug-in saved"),
              std::string::npos)
        << out_.err;
    EXPECT_EQ(out_.out, "");
}

// Removes every file but b.rp4, which it reports as in use.
std::vector<std::string> remove_all_but_b(const std::vector<fs::path> &files) {
    std::vector<std::string> results;
    for (const fs::path &f : files) {
        if (f.filename() == "b.rp4") {
            results.push_back("it is in use");
        } else {
            fs::remove(f);
            results.push_back("");
        }
    }
    return results;
}

TEST_F(PruneFolder, AFailureIsReportedAndTheOthersStillGo) {
    for (const char *name : {"a", "b", "c", "d"}) file(std::string("Saves/") + name + ".rp4", 100);
    records({"a.rp4", "b.rp4", "c.rp4", "d.rp4"});
    ra_prune_policy policy;
    policy.keep = 1;
    EXPECT_EQ(prune(policy, true, remove_all_but_b), ra_exit_failed);
    std::map<std::string, std::string> left = everything();
    EXPECT_EQ(left.count("Saves/a.rp4"), 0u);
    EXPECT_EQ(left.count("Saves/c.rp4"), 0u);
    EXPECT_EQ(left.count("Saves/b.rp4"), 1u);
    EXPECT_EQ(left.count("Saves/d.rp4"), 1u);
    // The failure under the summary it belongs to.
    EXPECT_EQ(out_.err, "");
    EXPECT_NE(out_.out.find("2 replays (200 bytes) deleted; the plug-in's replays left: 2.\n"
                            "1 replay could not be removed:\n"
                            "  cannot remove b.rp4: it is in use\n"
                            "Close any program that has it open, check that you may change "
                            "files in " +
                            dir_ + ", then run prune --apply again.\n"),
              std::string::npos)
        << out_.out;
}

TEST_F(PruneFolder, OfTwoFilesThatDifferOnlyInCaseNeitherGoes) {
    // The folder tells letter case apart: b.rp4 is the player's, B.rp4 the
    // plug-in's, and either could be the one the line means to Windows.
    file("Saves/b.rp4", 10);
    file("Saves/B.rp4", 20);
    file("Saves/x.rp4", 10);
    file("Saves/X.rp4", 20);
    file("Saves/c.rp4", 30);
    // A line whose name is in no file's letter case has no file here.
    file("Saves/d.rp4", 40);
    records({"B.rp4", "X.rp4", "c.rp4", "D.rp4"});
    ra_prune_policy policy;
    policy.keep = 0;
    EXPECT_EQ(prune(policy, true), ra_exit_ok) << out_.err;
    std::map<std::string, std::string> left = everything();
    EXPECT_EQ(left.count("Saves/b.rp4"), 1u);
    EXPECT_EQ(left.count("Saves/B.rp4"), 1u);
    EXPECT_EQ(left.count("Saves/x.rp4"), 1u);
    EXPECT_EQ(left.count("Saves/X.rp4"), 1u);
    EXPECT_EQ(left.count("Saves/c.rp4"), 0u);
    EXPECT_EQ(left.count("Saves/d.rp4"), 1u);
}

TEST_F(PruneFolder, OnlyTheLatestLineOfANameCounts) {
    // Without %time% in the template every race of the day is saved under
    // one name: the older lines are races the newest one replaced.
    file("Saves/day.rp4", 10);
    file("Saves/old.rp4", 10);
    records({"day.rp4", "old.rp4", "day.rp4"});
    ra_prune_policy policy;
    policy.keep = 1;
    EXPECT_EQ(prune(policy, true), ra_exit_ok) << out_.err;
    EXPECT_TRUE(ra_test_file_exists(dir_ + "/day.rp4"));
    EXPECT_FALSE(ra_test_file_exists(dir_ + "/old.rp4"));
}

TEST_F(PruneFolder, OlderThanCountsWholeDays) {
    // Saved 29 days and 1 hour ago: not older than 30 days.
    ra_time young = ra_days_before(ra_local_now(), 29);
    ra_time old = ra_days_before(ra_local_now(), 30);
    if (young.hour > 0) {
        --young.hour;
        --old.hour;
    } else {
        young = ra_days_before(young, 1);
        old = ra_days_before(old, 1);
        young.hour = old.hour = 23;
    }
    ASSERT_TRUE(ra_test_write_file(root_ + "/replay_autosave.ini",
                                   "[ReplayAutosave]\nDir = Saves\nRecord = 1\n"));
    file("Saves/young.rp4", 10);
    file("Saves/old.rp4", 10);
    ASSERT_TRUE(ra_test_write_file(dir_ + "/replays.csv", "file,saved\nold.rp4," +
                                                              ra_format_time(old) + "\nyoung.rp4," +
                                                              ra_format_time(young) + "\n"));
    ra_prune_job job;
    job.ini = root_ + "/replay_autosave.ini";
    job.older_than = "30";
    job.apply = true;
    ra_output out;
    EXPECT_EQ(ra_run_prune(job, &out), ra_exit_ok) << out.err;
    EXPECT_TRUE(ra_test_file_exists(dir_ + "/young.rp4"));
    EXPECT_FALSE(ra_test_file_exists(dir_ + "/old.rp4"));
}

// The whole job as the command line starts it: Dir from replay_autosave.ini,
// the age against the clock, and usage errors before anything is read.
TEST_F(PruneFolder, CommandLineToRemovedFiles) {
    ra_invocation inv = ra_parse_invocation(
        {"prune", "--older-than", "30", "--apply", "--ini", root_ + "/replay_autosave.ini"});
    const ra_prune_job *job = ra_job_of<ra_prune_job>(inv);
    ASSERT_NE(job, nullptr) << inv.text;
    EXPECT_EQ(job->older_than, "30");
    EXPECT_TRUE(job->apply);

    ASSERT_TRUE(ra_test_write_file(root_ + "/replay_autosave.ini",
                                   "[ReplayAutosave]\nDir = Saves\nRecord = 1\n"));
    file("Saves/old.rp4", 10);
    file("Saves/future.rp4", 10);
    ASSERT_TRUE(ra_test_write_file(dir_ + "/replays.csv",
                                   "file,saved\nold.rp4,2000-01-01 00:00:00\n"
                                   "future.rp4,2999-01-01 00:00:00\n"));
    ra_output out;
    EXPECT_EQ(ra_run_prune(*job, &out), ra_exit_ok) << out.err;
    EXPECT_EQ(out.err, "");
    EXPECT_FALSE(ra_test_file_exists(dir_ + "/old.rp4"));
    EXPECT_TRUE(ra_test_file_exists(dir_ + "/future.rp4"));

    // Nonsense is refused before the settings are read.
    for (auto bad : std::vector<std::vector<std::string>>{{"prune", "--max-size", "2.5G"},
                                                          {"prune", "--keep", "-1"},
                                                          {"prune", "--older-than", "soon"},
                                                          {"prune"}}) {
        ra_invocation i = ra_parse_invocation(bad);
        ASSERT_NE(ra_job_of<ra_prune_job>(i), nullptr) << i.text;
        ra_prune_job refused = *ra_job_of<ra_prune_job>(i);
        refused.ini = root_ + "/missing.ini";
        ra_output o;
        EXPECT_EQ(ra_run_prune(refused, &o), ra_exit_usage) << bad.back();
        EXPECT_EQ(o.err.find("cannot read"), std::string::npos) << o.err;
        EXPECT_NE(o.err.find("see \"replay-autosave prune --help\""), std::string::npos) << o.err;
    }
}

}  // namespace
