// share and card: the files a player sends a friend. Both say first what
// the file gives away, then write it (actions/share_action.h).
#include "jobs/job_share.h"

#include "actions/share_action.h"
#include "platform/game_paths.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"

namespace {

// The privacy report, then the file: at given, else under its own name in
// folder (here when empty).
int ra_write_planned(const ra_share_said &planned, const std::string &given,
                     const std::string &folder, ra_output *out) {
    const int status = ra_tell(planned, out);
    if (status != ra_exit_ok) return status;
    std::filesystem::path path = ra_path(given);
    if (given.empty()) {
        path = ra_path(ra_share_file_name(planned));
        if (!folder.empty()) path = ra_path(folder) / path;
    }
    return ra_tell(ra_write_share_action(planned, path), out);
}

}  // namespace

int ra_run_share(const ra_share_job &job, ra_output *out) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    return ra_write_planned(ra_share_action(setup, job.files, job.hide_names), job.out, job.folder,
                            out);
}

int ra_run_card(const ra_card_job &job, ra_output *out) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    return ra_write_planned(ra_card_action(setup), job.out, "", out);
}

// The rows of share and card.
namespace {

void ra_share_options(CLI::App *sub, ra_share_job *job) {
    sub->add_option("FILE", job->files, "the replays: names as list shows them, or paths in Dir")
        ->required();
    sub->add_option("-o,--out", job->out, "the share file (default: NAME_DATE.rpshare here)")
        ->type_name("OUT");
    sub->add_flag("--hide-names", job->hide_names,
                  "show the other racers as \"Rival 1\", \"Rival 2\"... in the shared record "
                  "(the replays themselves still hold their names)");
}

void ra_card_options(CLI::App *sub, ra_card_job *job) {
    sub->add_option("-o,--out", job->out, "the card file (default: NAME_DATE.rpcard here)")
        ->type_name("OUT");
}

}  // namespace

const ra_command ra_share_command =
    ra_command_row<ra_share_job, ra_share_options, nullptr, ra_run_share>(
        "share",
        "write replays, scrubbed of addresses, with their record lines into one file for a friend");
const ra_command ra_card_command =
    ra_command_row<ra_card_job, ra_card_options, nullptr, ra_run_card>(
        "card",
        "write your season card: every race's record line and each replay's hash, no replays");
