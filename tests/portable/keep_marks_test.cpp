// The player's keep marks when several of our processes work on one Dir at
// once: no mark is lost, prune never removes a replay marked kept, a lock
// that cannot be had is an error, and hostile files where the marks, their
// lock or a temporary live are refused, never followed or listed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "companion_fixture.h"
#include "library/replays/keep_marks.h"
#include "library/replays/prune.h"
#include "library/replays/replays.h"
#include "platform/file_lock.h"
#include "plugin_state.h"
#include "actions/prune_action.h"
#include "program/job_output.h"

namespace fs = std::filesystem;

namespace {

using ra_clock = std::chrono::steady_clock;

// How long the processes of a race test work on the marks at once.
const auto ra_race_time = std::chrono::milliseconds(1500);

class KeepMarks : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        dir_ = ra_test_scratch_dir();
    }
    void TearDown() override { ra_test_reset_plugin(); }

    // Replays r0.rp4 .. r<count-1>.rp4 with a record line each.
    std::vector<std::string> replays(int count) {
        std::vector<std::string> names;
        std::string records = ra_test_record_header();
        for (int i = 0; i < count; ++i) {
            names.push_back("r" + std::to_string(i) + ".rp4");
            EXPECT_TRUE(ra_test_write_file(dir_ + "/" + names.back(), "replay"));
            records += ra_test_record_line({{"file", names.back()},
                                            {"saved", "2026-03-01 20:00:00"},
                                            {"source", "Replays\\replay.rp4"}});
        }
        EXPECT_TRUE(ra_test_write_file(dir_ + "/replays.csv", records));
        return names;
    }

    // Runs work in a child process; the child's exit status says whether
    // every step of it worked.
    pid_t in_child(bool (*work)(const std::string &dir, ra_clock::time_point until),
                   ra_clock::time_point until) {
        pid_t child = fork();
        if (child == 0) _exit(work(dir_, until) ? 0 : 1);
        EXPECT_GT(child, 0);
        return child;
    }
    static bool child_worked(pid_t child) {
        int status = 0;
        return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    std::string dir_;
};

// Marks r40..r79 one after another, as a second console would.
bool mark_second_half(const std::string &dir, ra_clock::time_point) {
    std::string error;
    for (int i = 40; i < 80; ++i) {
        if (!ra_set_keep_mark(dir, "r" + std::to_string(i) + ".rp4", true, &error)) return false;
    }
    return true;
}

TEST_F(KeepMarks, MarksMadeFromTwoProcessesAtOnceAreAllKept) {
    std::vector<std::string> names = replays(80);
    pid_t child = in_child(mark_second_half, ra_clock::now());
    std::string error;
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(ra_set_keep_mark(dir_, names[i], true, &error)) << error;
    EXPECT_TRUE(child_worked(child));

    const ra_keep_marks marks = ra_read_keep_marks(dir_);
    for (const std::string &name : names) EXPECT_TRUE(marks.has(name)) << name << " lost";
    // Neither the lock nor a temporary is ever a replay of the list.
    ra_replay_list list;
    ASSERT_TRUE(ra_list_replays(dir_, dir_, &list, &error)) << error;
    EXPECT_EQ(list.replays.size(), names.size());
}

// Until then, marks and unmarks r8 and r9 over and over, leaving r0..r7
// marked: every rewrite of the marks file keeps those. A moment between
// changes, as between a player's clicks, lets the others have the lock.
bool toggle_two_marks(const std::string &dir, ra_clock::time_point until) {
    std::string error;
    while (ra_clock::now() < until) {
        for (bool keep : {true, false}) {
            for (const char *name : {"r8.rp4", "r9.rp4"}) {
                if (!ra_set_keep_mark(dir, name, keep, &error)) return false;
                usleep(1000);
            }
        }
    }
    return true;
}

// prune's removal: instead of removing, checks that none of the files is
// marked at this moment. Fails the test, under prune's lock, when one is.
const std::string *removal_dir = nullptr;
std::vector<std::string> check_none_marked(const std::vector<fs::path> &files) {
    const ra_keep_marks marks = ra_read_keep_marks(*removal_dir);
    for (const fs::path &f : files) {
        EXPECT_FALSE(marks.has(f.filename().string())) << f << " is marked, and would be removed";
    }
    return std::vector<std::string>(files.size());
}

TEST_F(KeepMarks, PruneNeverOffersOrRemovesAKeptReplayWhileMarksChange) {
    std::vector<std::string> names = replays(10);
    // r0..r7 marked after many marks of replays gone long ago: a reader that
    // saw part of the file would miss them.
    std::string marks;
    for (int i = 0; i < 2000; ++i) marks += "gone" + std::to_string(i) + ".rp4\r\n";
    for (int i = 0; i < 8; ++i) marks += names[i] + "\r\n";
    ASSERT_TRUE(ra_test_write_file(dir_ + "/replays.keep", marks));
    removal_dir = &dir_;
    pid_t child = in_child(toggle_two_marks, ra_clock::now() + ra_race_time);

    ra_prune_policy all;
    all.keep = 0;
    int offered = 0, runs = 0;
    for (auto until = ra_clock::now() + ra_race_time; ra_clock::now() < until; ++runs) {
        // The preview: never one of the replays that stay marked.
        ra_output preview;
        ASSERT_EQ(ra_tell(ra_prune_words(ra_prune_folder(dir_, dir_, all, false), dir_), &preview),
                  ra_exit_ok)
            << preview.err;
        for (int i = 0; i < 8; ++i)
            offered += preview.out.find(" " + names[i]) != std::string::npos;
        // Apply: at the removal none is marked, r8 and r9 included.
        ra_output apply;
        EXPECT_EQ(
            ra_tell(ra_prune_words(ra_prune_folder(dir_, dir_, all, true, check_none_marked), dir_),
                    &apply),
            ra_exit_ok)
            << apply.out << apply.err;
    }
    EXPECT_TRUE(child_worked(child));
    EXPECT_EQ(offered, 0) << "of " << runs << " previews";
}

TEST_F(KeepMarks, ALockHeldElsewhereIsAnErrorAndChangesNothing) {
    std::vector<std::string> names = replays(2);
    std::string error;
    ASSERT_TRUE(ra_set_keep_mark(dir_, names[0], true, &error)) << error;
    const std::string before = ra_test_read_file(dir_ + "/replays.keep");
    ra_file_lock held;
    ASSERT_TRUE(ra_lock_keep_marks(dir_, &held, &error)) << error;
    EXPECT_FALSE(ra_set_keep_mark(dir_, names[1], true, &error));
    EXPECT_NE(error.find("replays.keep.lock, which guards the replays you keep: another program "
                         "held it for 5 seconds (the library app or another replay-autosave, "
                         "marking or removing replays); nothing changed, try again in a moment"),
              std::string::npos)
        << error;
    EXPECT_EQ(ra_test_read_file(dir_ + "/replays.keep"), before);
}

TEST_F(KeepMarks, AMarkAnOlderVersionWroteInTheGamesBytesStillHolds) {
    // "Zoë.rp4", a copy the player named; the older version wrote its mark
    // in the game's Windows-1252, and the new one reads names as UTF-8.
    const std::string zoe = "Zo\xC3\xAB.rp4";
    ASSERT_TRUE(ra_test_write_file(dir_ + "/" + zoe, "replay"));
    ASSERT_TRUE(ra_test_write_file(dir_ + "/replays.keep", "Zo\xEB.rp4\r\nr0.rp4\r\n"));
    EXPECT_TRUE(ra_read_keep_marks(dir_).has(zoe));
    // Unkeep takes that very mark away; the marks are written back in UTF-8.
    std::string error;
    ASSERT_TRUE(ra_set_keep_mark(dir_, zoe, false, &error)) << error;
    EXPECT_FALSE(ra_read_keep_marks(dir_).has(zoe));
    ASSERT_TRUE(ra_set_keep_mark(dir_, zoe, true, &error)) << error;
    EXPECT_EQ(ra_test_read_file(dir_ + "/replays.keep"), "r0.rp4\r\n" + zoe + "\r\n");
}

TEST_F(KeepMarks, HostileFilesWhereTheMarksLiveAreRefusedNeverFollowed) {
    std::vector<std::string> names = replays(1);
    ASSERT_TRUE(ra_test_write_file(dir_ + "/elsewhere", "r0.rp4\r\n"));
    struct hostile {
        const char *what;
        const char *file;  // in Dir: a link to "elsewhere", a folder, or too large
        const char *why;
    } cases[] = {
        {"link", "replays.keep", "it is a link, not a file"},
        {"link", "replays.keep.lock", "it is a link, not a file"},
        {"folder", "replays.keep", "it is not a file"},
        {"large", "replays.keep", "it holds more than 1 MB"},
    };
    for (const hostile &c : cases) {
        SCOPED_TRACE(std::string(c.what) + " " + c.file);
        const std::string path = dir_ + "/" + c.file;
        for (const char *left : {"/replays.keep", "/replays.keep.lock"})
            fs::remove_all(dir_ + left);
        if (std::string(c.what) == "link") fs::create_symlink(dir_ + "/elsewhere", path);
        if (std::string(c.what) == "folder") fs::create_directory(path);
        if (std::string(c.what) == "large") {
            ASSERT_TRUE(ra_test_write_file(path, std::string((1 << 20) + 1, '\n')));
        }
        // Neither keep nor prune goes on, and what the link leads to stays.
        std::string error;
        EXPECT_FALSE(ra_set_keep_mark(dir_, names[0], false, &error));
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
        ra_prune_policy all;
        all.keep = 0;
        ra_output out;
        EXPECT_EQ(ra_tell(ra_prune_words(ra_prune_folder(dir_, dir_, all, true), dir_), &out),
                  ra_exit_failed);
        EXPECT_TRUE(ra_test_file_exists(dir_ + "/r0.rp4"));
        EXPECT_EQ(ra_test_read_file(dir_ + "/elsewhere"), "r0.rp4\r\n");
    }
}

}  // namespace
