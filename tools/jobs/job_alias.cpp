// alias: a racer's other name, which every view of friends shows in place
// of the name the records spell (friends/aliases.h).
#include <string>

#include "friends/aliases.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"
#include "program/jobs.h"

int ra_run_alias(const ra_alias_job &job, ra_output *out) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    if (job.old_name.empty()) {
        const ra_aliases aliases = ra_read_aliases(setup.dir);
        if (aliases.spelled.empty()) out->out += "No aliases.\n";
        for (const auto &a : aliases.spelled)
            out->out += a.first + " is shown as " + a.second + "\n";
        return ra_exit_ok;
    }
    if (!ra_set_alias(setup.dir, job.old_name, job.new_name, &error)) {
        return ra_fail(out, error, ra_exit_failed);
    }
    out->out += ra_alias_stored(job.old_name, job.new_name);
    return ra_exit_ok;
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
