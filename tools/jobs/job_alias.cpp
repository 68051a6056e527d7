// alias: a racer's other name, which every view of friends shows in place
// of the name the records spell (actions/alias_action.h).
#include "jobs/job_alias.h"

#include "actions/alias_action.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"

int ra_run_alias(const ra_alias_job &job, ra_output *out) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    if (job.old_name.empty()) return ra_tell(ra_aliases_action(setup), out);
    return ra_tell(ra_alias_action(setup, job.old_name, job.new_name), out);
}

// The row of alias.
namespace {

void ra_alias_options(CLI::App *sub, ra_alias_job *job) {
    sub->add_option("OLD", job->old_name,
                    "a racer's name as the records spell it (none: list the aliases)");
    sub->add_option("NEW", job->new_name, "the name to show for it (none: show OLD again)");
}

}  // namespace

const ra_command ra_alias_command =
    ra_command_row<ra_alias_job, ra_alias_options, nullptr, ra_run_alias>(
        "alias", "show a racer under another name in every view of friends");
