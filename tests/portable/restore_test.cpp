// Restoring a saved replay: the game's replay is replaced by it, the replay
// the game had is kept in Dir (scrubbed as the plug-in saves) unless Dir has
// it already, the restored file is never changed, what is no replay is
// refused before anything is asked or written, and a failure leaves
// everything as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "autosave/autosave.h"
#include "companion_fixture.h"
#include "program/jobs.h"
#include "plugin_state.h"

namespace fs = std::filesystem;

namespace {

class Restore : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        game_ = ra_test_scratch_dir();
        saves_ = game_ + "/SaveData/Saves";
        replay_ = game_ + "/Replays/replay.rp4";
        ASSERT_EQ(system(("mkdir -p '" + saves_ + "' '" + game_ + "/Replays'").c_str()), 0);
        ASSERT_TRUE(ra_test_write_file(game_ + "/replay_autosave.ini",
                                       "[ReplayAutosave]\nDir = SaveData\\Saves\n"));
        ASSERT_TRUE(ra_test_write_file(replay_, "the race just driven"));
        ASSERT_TRUE(ra_test_set_file_time(replay_, "2026-03-08 19:30:00"));
        ASSERT_TRUE(ra_test_write_file(saves_ + "/a.rp4", "replay A"));
        ASSERT_TRUE(ra_test_write_file(saves_ + "/b.rp4", "replay B"));
        // The game's replay folder as the game names it.
        ASSERT_TRUE(ra_test_write_file(
            saves_ + "/replays.csv",
            ra_test_record_header() + ra_test_record_line({{"file", "a.rp4"},
                                                           {"saved", "2026-03-07 21:05:09"},
                                                           {"source", "Replays\\replay.rp4"}})));
    }
    void TearDown() override { ra_test_reset_plugin(); }

    int restore(const std::string &file, ra_output *out, const std::string &to = "",
                const ra_restore_hooks &hooks = ra_restore_hooks()) {
        ra_test_reset_plugin();
        ra_restore_job job;
        job.ini = game_ + "/replay_autosave.ini";
        job.file = file;
        job.to = to;
        *out = ra_output();
        return ra_run_restore(job, out, hooks);
    }

    // Every file below the game's folder with its bytes, to see that nothing changed.
    std::vector<std::string> everything() {
        std::vector<std::string> files;
        for (const auto &entry : fs::recursive_directory_iterator(game_)) {
            files.push_back(entry.path().string() + "=" +
                            (entry.is_regular_file() ? ra_test_read_file(entry.path()) : "/"));
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    std::string game_, saves_, replay_;
};

}  // namespace

TEST_F(Restore, KeepsTheUnsavedReplayOnceAndNeverChangesTheFile) {
    ra_output out;
    // The replay the game has is in no file of Dir: it is kept first, under
    // its time stamp.
    ASSERT_EQ(restore("a.rp4", &out), ra_exit_ok) << out.err;
    const std::string kept = saves_ + "/kept_2026-03-08_19-30-00.rp4";
    EXPECT_EQ(ra_test_read_file(replay_), "replay A");
    EXPECT_EQ(ra_test_read_file(kept), "the race just driven");
    EXPECT_EQ(ra_test_read_file(saves_ + "/a.rp4"), "replay A");
    EXPECT_EQ(out.out, "The game will play a.rp4 when you next watch its replay (copied to " +
                           replay_ + "). The replay it had is kept as " + kept + ".\n");
    EXPECT_FALSE(ra_test_file_exists(replay_ + ra_restore_temp_suffix));

    // Now the game's replay is a.rp4, which Dir has: no second copy.
    ASSERT_EQ(restore(saves_ + "/b.rp4", &out), ra_exit_ok) << out.err;
    EXPECT_EQ(ra_test_read_file(replay_), "replay B");
    EXPECT_EQ(out.out, "The game will play b.rp4 when you next watch its replay (copied to " +
                           replay_ + "). The replay it had is saved already as " + saves_ +
                           "/a.rp4.\n");
    std::vector<std::string> before = everything();
    ASSERT_EQ(restore("b.rp4", &out), ra_exit_ok);
    EXPECT_EQ(out.out, "The game already plays b.rp4 (" + replay_ + "); nothing changed.\n");
    EXPECT_EQ(everything(), before);

    // A kept name already taken by another replay is never replaced.
    ASSERT_TRUE(ra_test_write_file(replay_, "another race"));
    ASSERT_TRUE(ra_test_set_file_time(replay_, "2026-03-08 19:30:00"));
    ASSERT_EQ(restore("a.rp4", &out), ra_exit_ok) << out.err;
    EXPECT_EQ(ra_test_read_file(kept), "the race just driven");
    EXPECT_EQ(ra_test_read_file(saves_ + "/kept_2026-03-08_19-30-00_2.rp4"), "another race");

    // A game's replay named inside Dir is no saved copy of itself.
    ASSERT_TRUE(ra_test_write_file(saves_ + "/replay.rp4", "in Dir"));
    ASSERT_TRUE(ra_test_set_file_time(saves_ + "/replay.rp4", "2026-03-09 10:00:00"));
    ASSERT_EQ(restore("b.rp4", &out, saves_ + "/replay.rp4"), ra_exit_ok) << out.err;
    EXPECT_EQ(ra_test_read_file(saves_ + "/kept_2026-03-09_10-00-00.rp4"), "in Dir");
}

TEST_F(Restore, LeavesEverythingAsItWasWhenTheReplayCannotBeWritten) {
    // The new replay cannot be written beside the game's (its temporary name
    // is taken by a folder): the unsaved replay is not kept either.
    ASSERT_EQ(mkdir((replay_ + ra_restore_temp_suffix).c_str(), 0755), 0);
    ASSERT_TRUE(ra_test_write_file(replay_ + ra_restore_temp_suffix + "/x", "x"));
    std::vector<std::string> before = everything();
    ra_output out;
    EXPECT_EQ(restore("a.rp4", &out), ra_exit_failed);
    EXPECT_EQ(everything(), before);
    EXPECT_EQ(out.out, "");
    EXPECT_NE(out.err.find("cannot write " + replay_ + ra_restore_temp_suffix), std::string::npos)
        << out.err;
    EXPECT_EQ(out.err.find('\n'), out.err.size() - 1) << out.err;

    // A named replay in a folder that does not exist.
    EXPECT_EQ(restore("a.rp4", &out, game_ + "/Nowhere/replay.rp4"), ra_exit_failed);
    EXPECT_EQ(everything(), before);
    EXPECT_NE(out.err.find("its folder does not exist"), std::string::npos) << out.err;

    // The game's replay itself, and a file that does not exist.
    EXPECT_EQ(restore(replay_, &out), ra_exit_usage);
    EXPECT_NE(out.err.find("is the game's replay itself"), std::string::npos) << out.err;
    EXPECT_EQ(restore("c.rp4", &out), ra_exit_usage);
    EXPECT_NE(out.err.find("cannot find the replay c.rp4"), std::string::npos) << out.err;
    EXPECT_EQ(everything(), before);
}

TEST_F(Restore, FindsTheGamesReplayWithoutARecordOrSaysHowToNameIt) {
    ASSERT_EQ(remove((saves_ + "/replays.csv").c_str()), 0);
    // A replay.rp4 inside Dir is a saved one, never the game's.
    ASSERT_TRUE(ra_test_write_file(saves_ + "/replay.rp4", "saved under the game's name"));
    ra_output out;
    ASSERT_EQ(restore("a.rp4", &out), ra_exit_ok) << out.err;
    EXPECT_EQ(ra_test_read_file(replay_), "replay A");

    // Two candidates: nothing changes, and the message says to use --to.
    ASSERT_EQ(system(("mkdir -p '" + game_ + "/Old'").c_str()), 0);
    ASSERT_TRUE(ra_test_write_file(game_ + "/Old/REPLAY.RP4", "old"));
    std::vector<std::string> before = everything();
    EXPECT_EQ(restore("b.rp4", &out), ra_exit_usage);
    EXPECT_EQ(everything(), before);
    EXPECT_NE(out.err.find("cannot tell which replay the game plays, there are 2"),
              std::string::npos)
        << out.err;
    EXPECT_NE(out.err.find("--to PATH"), std::string::npos) << out.err;

    // Named with --to.
    ASSERT_EQ(restore("b.rp4", &out, game_ + "/Old/REPLAY.RP4"), ra_exit_ok) << out.err;
    EXPECT_EQ(ra_test_read_file(game_ + "/Old/REPLAY.RP4"), "replay B");
    EXPECT_EQ(ra_test_read_file(replay_), "replay A");
}

namespace {

// A replay of an online race: long enough to be scrubbed, with an address
// in its first bytes and a block that the scrub clears.
std::string online_replay(char fill) {
    std::string bytes(RA_SCRUB_REGION + 100, fill);
    bytes.replace(200, 12, "192.168.0.17");
    bytes[RA_SCRUB_BLOCK_OFFSET] = 'x';
    return bytes;
}

std::string scrubbed(std::string bytes) {
    ra_scrub_bytes((uint8_t *)&bytes[0], (uint32_t)bytes.size());
    return bytes;
}

fs::file_time_type stamp(const std::string &path) { return fs::last_write_time(path); }

}  // namespace

TEST_F(Restore, TheGamesReplayIsComparedAndKeptAsThePluginSavesIt) {
    // With ClearIp on, the plug-in's copy of the race has no address: it is
    // the game's replay all the same, and nothing is kept.
    const std::string race = online_replay('r');
    ASSERT_TRUE(ra_test_write_file(replay_, race));
    ASSERT_TRUE(ra_test_write_file(saves_ + "/a.rp4", scrubbed(race)));
    ra_output out;
    ASSERT_EQ(restore("b.rp4", &out), ra_exit_ok) << out.err;
    EXPECT_NE(out.out.find("saved already as " + saves_ + "/a.rp4"), std::string::npos) << out.out;
    EXPECT_FALSE(ra_test_file_exists(saves_ + "/kept_2026-03-08_19-30-00.rp4"));

    // A race Dir has no copy of is kept, scrubbed.
    const std::string other = online_replay('s');
    ASSERT_TRUE(ra_test_write_file(replay_, other));
    ASSERT_TRUE(ra_test_set_file_time(replay_, "2026-03-08 19:30:00"));
    ASSERT_EQ(restore("a.rp4", &out), ra_exit_ok) << out.err;
    const std::string kept = saves_ + "/kept_2026-03-08_19-30-00.rp4";
    EXPECT_EQ(ra_test_read_file(kept), scrubbed(other));
    EXPECT_NE(ra_test_read_file(kept), other);

    // With ClearIp = 0 the copies keep every byte, and so does the kept one.
    ASSERT_TRUE(ra_test_write_file(game_ + "/replay_autosave.ini",
                                   "[ReplayAutosave]\nDir = SaveData\\Saves\nClearIp = 0\n"));
    ASSERT_TRUE(ra_test_write_file(replay_, other));
    ASSERT_TRUE(ra_test_set_file_time(replay_, "2026-03-09 19:30:00"));
    ASSERT_EQ(restore("b.rp4", &out), ra_exit_ok) << out.err;
    EXPECT_EQ(ra_test_read_file(saves_ + "/kept_2026-03-09_19-30-00.rp4"), other);
}

TEST_F(Restore, AKeptCopyKeepsTheTimeStampOfTheRace) {
    // The list shows a file without a record line at its time stamp: a kept
    // race must not look as if it had just been saved.
    ra_output out;
    const fs::file_time_type written = stamp(replay_);
    ASSERT_EQ(restore("a.rp4", &out), ra_exit_ok) << out.err;
    EXPECT_EQ(stamp(saves_ + "/kept_2026-03-08_19-30-00.rp4"), written);
}

TEST_F(Restore, RefusesWhatIsNoReplayAndSaysWhereARemovedOneWent) {
    ASSERT_TRUE(ra_test_write_file(saves_ + "/notes.rp4", ""));
    ASSERT_TRUE(ra_test_write_file(saves_ + "/replays.csv",
                                   ra_test_record_header() +
                                       ra_test_record_line({{"file", "a.rp4"},
                                                            {"saved", "2026-03-07 21:05:09"},
                                                            {"source", "Replays\\replay.rp4"}}) +
                                       ra_test_record_line({{"file", "pruned.rp4"},
                                                            {"saved", "2026-03-07 21:15:09"},
                                                            {"source", "Replays\\replay.rp4"}})));
    struct {
        const char *file;
        int status;
        const char *says;
    } cases[] = {
        {"notes.rp4", ra_exit_usage, "notes.rp4 is empty (0 bytes), so it holds no replay"},
        {"pruned.rp4", ra_exit_failed,
         "the replay pruned.rp4 was removed or moved: replays.csv records it, but it is no "
         "longer in "},
        {"pruned", ra_exit_failed, "the replay pruned.rp4 was removed or moved"},
        {"", ra_exit_usage, "restore needs a replay"},
    };
    std::vector<std::string> before = everything();
    for (const auto &c : cases) {
        ra_output out;
        EXPECT_EQ(restore(c.file, &out), c.status) << c.file;
        EXPECT_NE(out.err.find(c.says), std::string::npos) << c.file << ": " << out.err;
        EXPECT_EQ(everything(), before) << c.file;
    }
    // A name as the list shows it, without its ".rp4".
    ra_output out;
    ASSERT_EQ(restore("b", &out), ra_exit_ok) << out.err;
    EXPECT_EQ(ra_test_read_file(replay_), "replay B");
}

TEST_F(Restore, TheGamesReplayUnderAnotherSpellingIsRefused) {
    std::vector<std::string> before = everything();
    ra_output out;
    EXPECT_EQ(restore(game_ + "/Replays/./replay.rp4", &out), ra_exit_usage);
    EXPECT_NE(out.err.find("is the game's replay itself"), std::string::npos) << out.err;
    EXPECT_EQ(everything(), before);
}

// The final rename fails, as it does when the game holds its replay open.
bool refuse_rename(const fs::path &, const fs::path &, std::string *why) {
    *why = "it is in use by another program";
    return false;
}

TEST_F(Restore, AFailedRenameLeavesNoKeptCopyBehind) {
    std::vector<std::string> before = everything();
    ra_output out;
    ra_restore_hooks hooks;
    hooks.move = refuse_rename;
    EXPECT_EQ(restore("a.rp4", &out, "", hooks), ra_exit_failed);
    EXPECT_NE(out.err.find("cannot replace " + replay_ +
                           ": it is in use by another program; close the game if it has the "
                           "replay open. Nothing changed"),
              std::string::npos)
        << out.err;
    EXPECT_EQ(everything(), before);
}

int asked = 0;
bool say_no(const std::string &) {
    ++asked;
    return false;
}

TEST_F(Restore, ADropIsCheckedWholeBeforeThePlayerIsAsked) {
    ra_restore_hooks hooks;
    hooks.confirm = say_no;
    ASSERT_TRUE(ra_test_write_file(saves_ + "/empty.rp4", ""));
    // No question for what cannot be done: a file that is no replay, a game's
    // replay that cannot be found.
    ra_output out;
    asked = 0;
    EXPECT_EQ(restore(saves_ + "/empty.rp4", &out, "", hooks), ra_exit_usage);
    EXPECT_EQ(restore(saves_ + "/a.rp4", &out, game_ + "/Nowhere/replay.rp4", hooks),
              ra_exit_failed);
    EXPECT_EQ(asked, 0);
    // Asked once all is checked; no changes the answer no.
    std::vector<std::string> before = everything();
    EXPECT_EQ(restore(saves_ + "/a.rp4", &out, "", hooks), ra_exit_failed);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(out.out, "Nothing changed.\n");
    EXPECT_EQ(everything(), before);
}
