// remove: a friend's replay leaves their folder and their record
// (friends/friend_replay.h). The player's own replays are prune's alone.
#include <string>

#include "friends/friend_replay.h"
#include "platform/game_paths.h"
#include "platform/remove.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"
#include "program/jobs.h"

int ra_run_remove(const ra_remove_job &job, ra_output *out) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    ra_friend_replay theirs;
    if (!ra_is_friend_replay(setup.dir, job.file, &theirs, &error)) {
        return ra_fail(out,
                       "remove takes a friend's replay, Friends\\<friend>\\<replay>; your own "
                       "replays are removed by \"" +
                           std::string(ra_program) + " prune\"",
                       ra_exit_usage);
    }
    if (!error.empty()) return ra_fail(out, error, ra_exit_usage);
    if (!ra_remove_friend_replay(theirs, &error)) return ra_fail(out, error, ra_exit_failed);
    out->out += "Removed " + job.file + " and its lines from " + theirs.friend_name +
                "'s record (" + ra_removed_how + ").\n";
    return ra_exit_ok;
}

// The row of remove.
namespace {

const char ra_remove_file[] = "FILE";

void ra_remove_options(CLI::App *sub, ra_remove_job *job) {
    sub->add_option(ra_remove_file, job->file, "the friend's replay: Friends\\<friend>\\<replay>")
        ->required();
}

}  // namespace

const ra_command ra_remove_command =
    ra_command_row<ra_remove_job, ra_remove_options, nullptr, ra_run_remove>(
        "remove", "remove a friend's replay from their folder and their record");
