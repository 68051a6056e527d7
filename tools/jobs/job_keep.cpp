// keep and unkeep from the command line: the list as the player sees it,
// then the action (actions/keep_action.h), as the library app's Keep.
#include "jobs/job_keep.h"

#include "actions/keep_action.h"
#include "program/open_library.h"

int ra_run_keep(const ra_keep_job &job, ra_output *out) {
    ra_game_setup setup;
    ra_replay_list list;
    int status = ra_open_library(job.ini, &setup, &list, out);
    if (status != ra_exit_ok) return status;
    return ra_tell(ra_keep_action(setup, list, job.file, job.keep), out);
}

#include "program/command_row.h"
#include "program/commands.h"

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
