// keep and unkeep: the player's marks on the replays prune must leave alone
// (keep_marks.h), from the command line as from the library app's Keep.
// Only a replay the list shows can be marked, so a mark always names a
// file of Dir that the player has seen.
#include <filesystem>
#include <string>
#include <system_error>

#include "friends/friend_replay.h"
#include "library/keep_marks.h"
#include "library/replays.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"
#include "program/jobs.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

namespace {

// The entry the name gives: exactly as listed, else ignoring letter case
// as Windows compares names.
const ra_replay *ra_listed(const ra_replay_list &list, const std::string &name) {
    for (const ra_replay &r : list.replays) {
        if (r.file == name) return &r;
    }
    for (const ra_replay &r : list.replays) {
        if (ra_ieq(r.file.c_str(), name.c_str())) return &r;
    }
    return nullptr;
}

}  // namespace

int ra_run_keep(const ra_keep_job &job, ra_output *out) {
    ra_game_setup setup;
    ra_replay_list list;
    int status = ra_open_library(job.ini, &setup, &list, out);
    if (status != ra_exit_ok) return status;
    const std::string shown = ra_text(setup.dir);
    // A friend's replay: the mark goes into their folder's own marks.
    ra_friend_replay theirs;
    std::string problem;
    if (ra_is_friend_replay(setup.dir, job.file, &theirs, &problem)) {
        if (!problem.empty()) return ra_fail(out, problem, ra_exit_failed);
        if (!ra_mark_friend_replay(theirs, job.file, job.keep, &problem)) {
            return ra_fail(out, problem, ra_exit_failed);
        }
        out->out += ra_keep_said(job.file, job.keep) + "\n";
        return ra_exit_ok;
    }

    // A path is taken only when it leads into Dir itself.
    std::string name = job.file;
    fs::path given = ra_path(job.file);
    if (given.has_parent_path()) {
        std::error_code failed;
        if (!fs::equivalent(given.parent_path(), setup.dir, failed)) {
            return ra_fail(out,
                           job.file + " is not in " + shown +
                               ": only the replays in the save folder can be marked",
                           ra_exit_failed);
        }
        name = ra_text(given.filename());
    }
    const ra_replay *entry = ra_listed(list, name);
    bool there = entry != nullptr && (entry->state == ra_replay_state::saved ||
                                      entry->state == ra_replay_state::renamed);
    // A mark left for a file that is gone can still be taken away.
    if (!there && (job.keep || !ra_read_keep_marks(setup.dir).has(name))) {
        return ra_fail(out,
                       "no replay " + name + " in " + shown + "; \"" + ra_program +
                           " list\" shows their names",
                       ra_exit_failed);
    }
    if (entry != nullptr) name = entry->file;
    std::string error;
    if (!ra_set_keep_mark(setup.dir, name, job.keep, &error)) {
        return ra_fail(out, error, ra_exit_failed);
    }
    out->out += ra_keep_said(name, job.keep) + "\n";
    return ra_exit_ok;
}

// The rows of keep and unkeep: the marks of the library app's Keep and
// Unkeep, one job with the mark to set.
namespace {

const char ra_keep_file[] = "FILE";

void ra_marked_options(CLI::App *sub, ra_keep_job *job, bool keep) {
    job->keep = keep;
    sub->add_option(
           ra_keep_file, job->file,
           "the replay: its name as list shows it, its path in Dir, or Friends\\<friend>\\<replay>")
        ->required();
}

void ra_keep_options(CLI::App *sub, ra_keep_job *job) { ra_marked_options(sub, job, true); }
void ra_unkeep_options(CLI::App *sub, ra_keep_job *job) { ra_marked_options(sub, job, false); }

// An empty name is no replay: CLI11 takes "" as a value.
std::string ra_keep_refuse(const CLI::App &sub, ra_keep_job *job) {
    if (sub.get_option(ra_keep_file)->count() == 0 || !job->file.empty()) return "";
    return sub.get_name() + " needs a replay: a name that \"" + std::string(ra_program) +
           " list\" shows";
}

}  // namespace

const ra_command ra_keep_command =
    ra_command_row<ra_keep_job, ra_keep_options, ra_keep_refuse, ra_run_keep>(
        "keep", "mark a replay so that prune never removes it");
const ra_command ra_unkeep_command =
    ra_command_row<ra_keep_job, ra_unkeep_options, ra_keep_refuse, ra_run_keep>(
        "unkeep", "take the keep mark away: prune's policies apply again");
