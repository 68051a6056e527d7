// import: a friend's share or card into Dir\Friends\<sharer>\ (the action
// in actions/import_action.h).
#include "jobs/job_import.h"

#include "actions/import_action.h"
#include "platform/game_paths.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"

int ra_run_import(const ra_import_job &job, ra_output *out) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    return ra_tell(ra_import_action(setup, ra_path(job.file)), out);
}

// The row of import.
namespace {

void ra_import_options(CLI::App *sub, ra_import_job *job) {
    sub->add_option("FILE", job->file, "the .rpshare or .rpcard a friend sent")->required();
}

}  // namespace

const ra_command ra_import_command =
    ra_command_row<ra_import_job, ra_import_options, nullptr, ra_run_import>(
        "import", "import a friend's share or card into Friends\\<their name>\\ in Dir");
