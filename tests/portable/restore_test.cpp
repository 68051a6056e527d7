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
#include "platform/file_system.h"
#include "jobs/job_restore.h"
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
        // A folder beside the game's, where nothing may ever be written.
        outside_ = game_ + ".outside";
        ASSERT_EQ(system(("rm -rf '" + outside_ + "' && mkdir -p '" + outside_ + "'").c_str()), 0);
        ASSERT_TRUE(ra_test_write_file(outside_ + "/secret.txt", "private"));
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

    // The temporary files restore left beside the game's replay.
    int temporaries() {
        int n = 0;
        for (const auto &entry : fs::directory_iterator(game_ + "/Replays")) {
            const std::string name = entry.path().filename().string();
            const std::string suffix = ra_restore_temp_suffix;
            n += name.size() > suffix.size() &&
                 name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
        }
        return n;
    }

    std::string game_, saves_, replay_, outside_;
};

// Writing the new replay fails, as it does on a full disk.
bool refuse_create(const fs::path &, const std::string &, std::string *why) {
    *why = "the disk is full";
    return false;
}

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
    EXPECT_EQ(temporaries(), 0);

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
    // The new replay cannot be written beside the game's (the disk is
    // full): the unsaved replay is not kept either.
    std::vector<std::string> before = everything();
    ra_output out;
    ra_restore_hooks full;
    full.create = refuse_create;
    EXPECT_EQ(restore("a.rp4", &out, "", full), ra_exit_failed);
    EXPECT_EQ(everything(), before);
    EXPECT_EQ(out.out, "");
    EXPECT_NE(out.err.find("cannot write " + replay_ + "."), std::string::npos) << out.err;
    EXPECT_NE(out.err.find(std::string(ra_restore_temp_suffix) + ": the disk is full"),
              std::string::npos)
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
    ASSERT_TRUE(ra_test_set_file_time(game_ + "/Old/REPLAY.RP4", "2026-03-01 10:00:00"));
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

namespace {

// The temporary paths restore asked for, and a link planted at the next one
// before it is created, as another program that guessed the name would.
std::vector<fs::path> temporary_paths;
std::string plant_link_to;
bool create_seen(const fs::path &path, const std::string &bytes, std::string *why) {
    temporary_paths.push_back(path);
    if (!plant_link_to.empty()) fs::create_symlink(plant_link_to, path);
    return ra_create_new_file(path, bytes, why);
}

}  // namespace

TEST_F(Restore, NothingIsWrittenThroughALink) {
    const std::string secret = outside_ + "/secret.txt";
    ra_restore_hooks hooks;
    hooks.create = create_seen;
    temporary_paths.clear();
    ra_output out;

    // The temporary file has a name of its own each time, beside the game's replay.
    ASSERT_EQ(restore("a.rp4", &out, "", hooks), ra_exit_ok) << out.err;
    ASSERT_EQ(restore("b.rp4", &out, "", hooks), ra_exit_ok) << out.err;
    ASSERT_EQ(temporary_paths.size(), 2u);
    EXPECT_NE(temporary_paths[0], temporary_paths[1]);
    for (const fs::path &p : temporary_paths) {
        EXPECT_EQ(p.parent_path(), fs::path(game_ + "/Replays")) << p;
        EXPECT_NE(p, fs::path(replay_ + ra_restore_temp_suffix)) << p;
    }

    // A link at the temporary name, even one guessed: the file it points to
    // stays as it was, the link is no file of restore's to remove.
    plant_link_to = secret;
    std::vector<std::string> before = everything();
    EXPECT_EQ(restore("a.rp4", &out, "", hooks), ra_exit_failed);
    plant_link_to.clear();
    EXPECT_NE(out.err.find("a file of that name is already there"), std::string::npos) << out.err;
    EXPECT_EQ(ra_test_read_file(secret), "private");
    EXPECT_EQ(ra_test_read_file(replay_), "replay B");
    ASSERT_EQ(temporary_paths.size(), 3u);
    EXPECT_EQ(remove(temporary_paths[2].c_str()), 0);
    EXPECT_EQ(everything(), before);

    struct {
        const char *what;
        std::string link, to;  // the link made, and what it points to
        std::string says;
    } cases[] = {
        // The game's replay a link to a private file: neither written nor
        // kept in Dir.
        {"the game's replay", replay_, secret,
         "the game's replay " + replay_ +
             " is a link to another place, and restore never writes through a link"},
        // A replay in Dir that is a link: the file it points to is never
        // copied to the game.
        {"a link in Dir", saves_ + "/zz.rp4", secret,
         saves_ + "/zz.rp4 is a link to another file, not a replay of its own"},
        {"a link in Dir to nowhere", saves_ + "/zz.rp4", outside_ + "/gone.rp4",
         saves_ + "/zz.rp4 is a link to another file"},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(ra_test_write_file(replay_, "replay B"));
        ASSERT_EQ(remove(c.link.c_str()), c.link == replay_ ? 0 : -1) << c.what;
        fs::create_symlink(c.to, c.link);
        before = everything();
        EXPECT_NE(restore(c.link == replay_ ? "a.rp4" : "zz.rp4", &out), ra_exit_ok) << c.what;
        EXPECT_NE(out.err.find(c.says), std::string::npos) << c.what << ": " << out.err;
        EXPECT_NE(out.err.find("Nothing changed"), std::string::npos) << c.what << ": " << out.err;
        EXPECT_EQ(everything(), before) << c.what;
        EXPECT_TRUE(fs::is_symlink(c.link)) << c.what;
        EXPECT_EQ(ra_test_read_file(secret), "private") << c.what;
        EXPECT_EQ(remove(c.link.c_str()), 0);
    }
}

TEST_F(Restore, ARecordLineNeverLeadsTheWriteOutOfTheGame) {
    ASSERT_EQ(system(("mkdir -p '" + outside_ + "/Replays' '" + game_ + "/Sub'").c_str()), 0);
    ASSERT_TRUE(ra_test_write_file(outside_ + "/Replays/replay.rp4", "someone else's"));
    fs::create_symlink(outside_ + "/Replays", game_ + "/Linked");
    // The outside folder as the game would write it: a separator starts at the root.
    std::string outside_windows = outside_;
    for (char &c : outside_windows) c = c == '/' ? '\\' : c;
    struct {
        std::string source;  // the record line's source of the replay played
        std::string says;    // why it is refused
    } cases[] = {
        {outside_windows + "\\Replays\\replay.rp4", "it is outside the game's folder"},
        {"Sub\\..\\..\\" + fs::path(outside_).filename().string() + "\\Replays\\replay.rp4",
         "it is outside the game's folder"},
        {"D:\\Replays\\replay.rp4", "it is outside the game's folder"},
        {"Linked\\replay.rp4", "the folder " + game_ + "/Linked is a link to another place"},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(ra_test_write_file(
            saves_ + "/replays.csv",
            ra_test_record_header() +
                ra_test_record_line(
                    {{"file", "a.rp4"}, {"saved", "2026-03-07 21:05:09"}, {"source", c.source}})));
        std::vector<std::string> before = everything();
        ra_output out;
        EXPECT_EQ(restore("a.rp4", &out), ra_exit_usage) << c.source;
        EXPECT_NE(out.err.find("names the game's replay as " + c.source), std::string::npos)
            << out.err;
        EXPECT_NE(out.err.find(c.says), std::string::npos) << out.err;
        EXPECT_NE(out.err.find("--to PATH"), std::string::npos) << out.err;
        EXPECT_EQ(everything(), before) << c.source;
        EXPECT_EQ(ra_test_read_file(outside_ + "/Replays/replay.rp4"), "someone else's");
        EXPECT_EQ(ra_test_read_file(outside_ + "/secret.txt"), "private");
    }
    // The player may name any place with --to.
    ASSERT_TRUE(ra_test_set_file_time(outside_ + "/Replays/replay.rp4", "2026-03-08 19:30:00"));
    ra_output out;
    ASSERT_EQ(restore("a.rp4", &out, outside_ + "/Replays/replay.rp4"), ra_exit_ok) << out.err;
    EXPECT_EQ(ra_test_read_file(outside_ + "/Replays/replay.rp4"), "replay A");
}

namespace {

// The game saves a race while restore is at work: new bytes, or the same
// bytes written again.
const char race_saved_meanwhile[] = "the race the game saved meanwhile";
void game_saves_a_race(const fs::path &replay) {
    ASSERT_TRUE(ra_test_write_file(replay.string(), race_saved_meanwhile));
}
void game_saves_the_same_bytes(const fs::path &replay) {
    ASSERT_TRUE(ra_test_set_file_time(replay.string(), "2026-03-08 19:31:00"));
}

}  // namespace

TEST_F(Restore, AReplayTheGameHasJustSavedIsNeverReplaced) {
    const std::string just_saved = "the game has just saved a race; try again in a moment";
    struct {
        const char *what;
        int written_ago;  // seconds since the game wrote its replay
        int line_ago;     // seconds since the record's newest line was saved
        bool in_dir;      // Dir has a copy of it
        bool refused;
    } cases[] = {
        {"written a moment ago", 1, 1, false, true},
        {"newer than the record's newest line", 30, 600, false, true},
        {"recorded by the plug-in", 30, 30, false, false},
        {"written before the plug-in gave up", 120, 600, false, false},
        {"copied into Dir already", 1, 600, true, false},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(ra_test_write_file(replay_, std::string("race: ") + c.what));
        ASSERT_TRUE(ra_test_set_file_time(replay_, ra_test_local_time_ago(c.written_ago).c_str()));
        ASSERT_TRUE(ra_test_write_file(
            saves_ + "/replays.csv",
            ra_test_record_header() +
                ra_test_record_line({{"file", "a.rp4"},
                                     {"saved", ra_test_local_time_ago(c.line_ago)},
                                     {"source", "Replays\\replay.rp4"}})));
        ASSERT_TRUE(ra_test_write_file(saves_ + "/copy.rp4",
                                       c.in_dir ? std::string("race: ") + c.what : "other"));
        std::vector<std::string> before = everything();
        ra_output out;
        int status = restore("a.rp4", &out);
        if (c.refused) {
            EXPECT_EQ(status, ra_exit_failed) << c.what;
            EXPECT_NE(out.err.find(just_saved), std::string::npos) << c.what << ": " << out.err;
            EXPECT_EQ(everything(), before) << c.what;
        } else {
            EXPECT_EQ(status, ra_exit_ok) << c.what << ": " << out.err;
            EXPECT_EQ(ra_test_read_file(replay_), "replay A") << c.what;
        }
        ASSERT_EQ(system(("rm -f '" + saves_ + "'/kept_*").c_str()), 0);
    }

    // The game saves while the new replay is being put in place: restore
    // gives up and leaves no temporary file and no kept copy behind.
    for (void (*game)(const fs::path &) : {game_saves_a_race, game_saves_the_same_bytes}) {
        ASSERT_TRUE(ra_test_write_file(replay_, "the race before"));
        ASSERT_TRUE(ra_test_set_file_time(replay_, "2026-03-08 19:30:00"));
        ra_restore_hooks hooks;
        hooks.before_replace = game;
        std::vector<std::string> before = everything();
        ra_output out;
        EXPECT_EQ(restore("b.rp4", &out, "", hooks), ra_exit_failed);
        EXPECT_NE(out.err.find("changed meanwhile: " + just_saved), std::string::npos) << out.err;
        EXPECT_EQ(temporaries(), 0);
        // Nothing changed but what the game wrote.
        if (game == game_saves_a_race) {
            EXPECT_EQ(ra_test_read_file(replay_), race_saved_meanwhile);
            ASSERT_TRUE(ra_test_write_file(replay_, "the race before"));
        }
        EXPECT_EQ(everything(), before);
    }
}
