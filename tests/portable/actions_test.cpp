// The actions the command line and the library app share: one that is
// refused or fails changes nothing, a job prints what the action says and
// ends with its status, and Tidy applies only a plan it showed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "actions/keep_action.h"
#include "actions/prune_action.h"
#include "actions/remove_action.h"
#include "actions/restore_action.h"
#include "companion_fixture.h"
#include "library/replays/keep_marks.h"
#include "plugin_state.h"
#include "program/job_output.h"
#include "program/open_library.h"

namespace fs = std::filesystem;

namespace {

class Actions : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        game_ = ra_test_scratch_dir() + "/actions";
        fs::remove_all(game_);
        fs::create_directories(game_ + "/Replays");
        fs::create_directories(game_ + "/Saves");
        setup_.game = game_;
        setup_.dir = game_ + "/Saves";
        setup_.ini = game_ + "/replay_autosave.ini";
        setup_.settings.record_enabled = 1;
        std::string records = ra_test_record_header();
        for (const char *name : {"Zoë.rp4", "Renée.rp4"}) {
            EXPECT_TRUE(ra_test_write_file(saves(name), name));
            records += ra_test_record_line({{"file", name},
                                            {"saved", "2026-03-01 20:00:00"},
                                            {"source", "Replays\\replay.rp4"}});
        }
        EXPECT_TRUE(ra_test_write_file(saves("replays.csv"), records));
        EXPECT_TRUE(ra_test_write_file(game_ + "/Replays/replay.rp4", "the game's"));
    }
    void TearDown() override { ra_test_reset_plugin(); }

    std::string saves(const std::string &name) const { return game_ + "/Saves/" + name; }

    std::string game_;
    ra_game_setup setup_;
};

}  // namespace

TEST_F(Actions, ARefusedOrFailedActionChangesNothing) {
    // Remove takes a friend's replay only: the player's own stays, and the
    // refusal points the console to prune and the app to Tidy.
    ra_action_said removed = ra_remove_action(setup_, "Zoë.rp4", ra_front::console);
    EXPECT_EQ(removed.end, ra_action_end::refused);
    EXPECT_NE(removed.problem.find("prune"), std::string::npos) << removed.problem;
    EXPECT_NE(ra_remove_action(setup_, "Zoë.rp4", ra_front::app).problem.find("Tidy"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(saves("Zoë.rp4")));

    // Keep of a file outside Dir, or of one the list does not show: no mark.
    ra_replay_list list;
    EXPECT_FALSE(ra_keep_action(setup_, list, game_ + "/Replays/replay.rp4", true).ok());
    EXPECT_FALSE(ra_keep_action(setup_, list, "Zoë.rp4", true).ok());
    EXPECT_FALSE(fs::exists(saves(ra_keep_file)));

    // Restore of an empty replay: the game's replay is as it was.
    ASSERT_TRUE(ra_test_write_file(saves("empty.rp4"), ""));
    ra_restore_ask ask;
    ask.file = "empty.rp4";
    const ra_restore_said restored = ra_restore_action(setup_, ra_records(), ask);
    EXPECT_EQ(restored.end, ra_action_end::refused);
    EXPECT_EQ(ra_test_read_file(game_ + "/Replays/replay.rp4"), "the game's");

    // Tidy applies only the plan its preview showed: without one nothing goes.
    ra_prune_ask tidy;
    tidy.keep = "0";
    tidy.apply = true;
    tidy.front = ra_front::app;
    EXPECT_EQ(ra_prune_action(setup_, tidy).end, ra_action_end::refused);
    EXPECT_TRUE(fs::exists(saves("Zoë.rp4")));
    EXPECT_TRUE(fs::exists(saves("Renée.rp4")));
}

TEST_F(Actions, AJobPrintsTheActionsWordsAndEndsWithItsStatus) {
    // Done: the words on the output, the warnings before on the error output.
    ra_action_said said;
    said.said = "Zoë.rp4 is kept.\n";
    said.warnings = {"line 3 of replays.csv cannot be read"};
    ra_output out;
    EXPECT_EQ(ra_tell(said, &out), ra_exit_ok);
    EXPECT_EQ(out.out, said.said);
    EXPECT_EQ(out.err, "warning: line 3 of replays.csv cannot be read\n");
    // Refused is a usage error, failed a failure, each with its sentence.
    out = ra_output();
    EXPECT_EQ(ra_tell(ra_action_said().stop(ra_action_end::refused, "no such replay"), &out),
              ra_exit_usage);
    EXPECT_EQ(out.err, std::string(ra_program) + ": no such replay\n");
    out = ra_output();
    EXPECT_EQ(ra_tell(ra_action_said().stop(ra_action_end::failed, "the disk is full"), &out),
              ra_exit_failed);
}
