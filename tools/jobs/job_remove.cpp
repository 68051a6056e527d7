// remove: a friend's replay leaves their folder and their record
// (actions/remove_action.h). The player's own replays are prune's alone.
#include "jobs/job_remove.h"

#include "actions/remove_action.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"

int ra_run_remove(const ra_remove_job &job, ra_output *out) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    return ra_tell(ra_remove_action(setup, job.file, ra_front::console), out);
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
