// repair: the record written back in the plug-in's form after a spreadsheet
// or a hand edit changed it (actions/repair_action.h).
#include "jobs/job_repair.h"

#include "actions/repair_action.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"

int ra_run_repair(const ra_repair_job &job, ra_output *out) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    return ra_tell(ra_repair_action(setup, job.apply), out);
}

// The row of repair.
namespace {

void ra_repair_options(CLI::App *sub, ra_repair_job *job) {
    sub->add_flag("--apply", job->apply,
                  "write it (the old file is kept as replays.csv.bak); without it, only show "
                  "what would change");
}

}  // namespace

const ra_command ra_repair_command =
    ra_command_row<ra_repair_job, ra_repair_options, nullptr, ra_run_repair>(
        "repair", "write replays.csv back in the plug-in's form after a spreadsheet changed it");
