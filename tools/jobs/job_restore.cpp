// restore: the replay and the game's replay from the command line, the game
// and Dir from the player's replay_autosave.ini; library/restore.cpp does
// the rest, and this job says what came of it.
#include <string>

#include "friends/friend_replay.h"
#include "library/records.h"
#include "library/restore.h"
#include "platform/game_paths.h"
#include "program/game_setup.h"
#include "program/jobs.h"
#include "program/reports.h"

int ra_run_restore(const ra_restore_job &job, ra_output *out, const ra_restore_hooks &hooks) {
    if (job.file.empty()) {
        return ra_fail(out,
                       "restore needs a replay: its path, or a name that \"" +
                           std::string(ra_program) + " list\" shows",
                       ra_exit_usage);
    }
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);

    // The record as the index has it; a Dir that cannot be listed (not
    // there yet) still has its record file read, if any.
    ra_records records;
    ra_replay_list list;
    std::string unlisted;
    ra_index_request existing;
    existing.make = false;
    if (ra_indexed_list(setup.dir, ra_text(setup.dir), &list, &unlisted, existing)) {
        records = std::move(list.records);
    } else {
        ra_read_records(setup.dir, ra_text(setup.dir / ra_records_file), &records);
    }
    for (const std::string &w : records.warnings) out->err += "warning: " + w + "\n";

    // A friend's replay is played as the player's own are: only the replay
    // read comes from their folder; the game's replay is kept in Dir.
    std::string given = job.file, problem;
    ra_friend_replay theirs;
    if (ra_is_friend_replay(setup.dir, job.file, &theirs, &problem)) {
        if (!problem.empty()) return ra_fail(out, problem, ra_exit_usage);
        given = ra_text(theirs.path);
    }

    ra_restore_place place;
    place.game = setup.game;
    place.dir = setup.dir;
    place.clear_ip = setup.settings.clear_ip != 0;
    return ra_print_restore(ra_restore(place, records, given, job.to, hooks), job.file, out);
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
    return "restore needs a replay: its path, or a name that \"" + std::string(ra_program) +
           " list\" shows";
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
