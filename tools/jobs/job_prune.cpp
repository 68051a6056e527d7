// prune: the policies from the command line, the save folder from the
// player's replay_autosave.ini; the action decides, removes and says what
// it found and did. The library app's Tidy shows the same text.
#include "jobs/job_prune.h"

#include <string>

#include "actions/prune_action.h"
#include "program/game_setup.h"

int ra_run_prune(const ra_prune_job &job, ra_output *out) {
    ra_prune_ask ask;
    ask.keep = job.keep;
    ask.max_size = job.max_size;
    ask.older_than = job.older_than;
    ask.apply = job.apply;
    // Nonsense is refused before the settings are read.
    const ra_action_said refused = ra_check_prune_ask(ask);
    if (!refused.ok()) return ra_tell(refused, out);
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    return ra_tell(ra_prune_action(setup, ask), out);
}

// The row of prune, with a footer of its own.
#include "check/setting_names.h"
#include "program/command_row.h"
#include "program/commands.h"

namespace {

// Built before the row below, which points at it (one file, in order).
const std::string ra_prune_footer =
    "Policies combine: a replay is removed when any policy given removes it. Only replays the "
    "plug-in saved and named in replays.csv (" +
    ra_setting_line(RA_SET_RECORD, 1) +
    ") are ever removed; \"keep FILE\" "
    "or renaming a replay keeps it for ever. Without --apply nothing is removed.\n"
    "Exit status: 0 done, 1 failed (no replays.csv in Dir, or a replay could not be removed), "
    "2 on a bad command line or an unreadable file.";

void ra_prune_options(CLI::App *sub, ra_prune_job *job) {
    sub->add_option("--keep", job->keep, "the N newest stay")->type_name("N");
    sub->add_option("--max-size", job->max_size,
                    "the newest that fit in SIZE stay (bytes, or with KB, MB or GB: 2GB, 500MB)")
        ->type_name("SIZE");
    sub->add_option("--older-than", job->older_than, "replays saved more than DAYS days ago go")
        ->type_name("DAYS");
    sub->add_flag("--apply", job->apply,
                  "remove them (into the Recycle Bin on Windows); without it, only show which "
                  "would go");
}

}  // namespace

const ra_command ra_prune_command =
    ra_command_row<ra_prune_job, ra_prune_options, nullptr, ra_run_prune>(
        "prune", "remove the oldest replays the plug-in saved", nullptr, ra_prune_footer.c_str());
