// restore: the replay and the game's replay from the command line, the game
// and Dir from the player's replay_autosave.ini; the action does the rest.
#include "jobs/job_restore.h"

#include <string>

#include "actions/restore_action.h"
#include "program/open_library.h"

int ra_run_restore(const ra_restore_job &job, ra_output *out, const ra_restore_hooks &hooks) {
    ra_game_setup setup;
    ra_records records;
    const int opened = ra_open_records(job.ini, &setup, &records, out);
    if (opened != ra_exit_ok) return opened;
    ra_restore_ask ask;
    ask.file = job.file;
    ask.to = job.to;
    return ra_tell(ra_restore_action(setup, records, ask, hooks), out);
}

// The row of restore: a replay dropped on the program is restored only
// after the player's word.
#include "program/command_row.h"
#include "program/commands.h"

namespace {

const char ra_restore_file[] = "FILE";

void ra_restore_options(CLI::App *sub, ra_restore_job *job) {
    sub->add_option(ra_restore_file, job->file,
                    "the replay: its path, its name in Dir, or Friends\\<friend>\\<replay>")
        ->required();
    sub->add_option("--to", job->to, "the game's replay.rp4, when the record file cannot tell");
}

// An empty name is no replay: CLI11 takes "" as a value.
std::string ra_restore_refuse(const CLI::App &sub, ra_restore_job *job) {
    if (sub.get_option(ra_restore_file)->count() == 0 || !job->file.empty()) return "";
    return "restore needs a replay: its path, or " + ra_list_shows();
}

int ra_restore_started(const ra_restore_job &job, const ra_start &start, ra_output *out) {
    ra_restore_hooks hooks;
    hooks.confirm = start.confirm;
    return ra_run_restore(job, out, hooks);
}

}  // namespace

const ra_command ra_restore_command =
    ra_command_row<ra_restore_job, ra_restore_options, ra_restore_refuse, ra_restore_started>(
        "restore", "make the game play a saved replay next time");
