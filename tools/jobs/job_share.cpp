// share and card: the files a player sends a friend. Both say first what
// the file gives away, then write it; neither changes anything in Dir.
#include <string>

#include "friends/share_file.h"
#include "friends/sharing.h"
#include "library/local_time.h"
#include "platform/game_paths.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"
#include "program/jobs.h"

namespace fs = std::filesystem;

namespace {

// The file's path: as given, else "<sharer>_<when><extension>" in folder
// (here when empty).
fs::path ra_share_path(const std::string &given, const std::string &folder, const ra_share &share,
                       const char *extension) {
    if (!given.empty()) return ra_path(given);
    ra_time made;
    ra_parse_time(share.made, &made);
    const fs::path name = ra_path(share.sharer + "_" + ra_format_time_for_name(made) + extension);
    return folder.empty() ? name : ra_path(folder) / name;
}

int ra_write_planned(const ra_share_plan &plan, const std::string &given, const std::string &folder,
                     const char *extension, ra_output *out) {
    out->out += ra_privacy_report(plan);
    const fs::path path = ra_share_path(given, folder, plan.share, extension);
    std::string why;
    if (!ra_write_share(path, plan.share, &why)) {
        return ra_fail(out, "cannot write " + ra_text(path) + ": " + why, ra_exit_failed);
    }
    out->out += "Written: " + ra_text(path) + "\n";
    return ra_exit_ok;
}

}  // namespace

int ra_run_share(const ra_share_job &job, ra_output *out) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    ra_share_plan plan;
    if (!ra_plan_share(setup.dir, job.files, job.hide_names, &plan, &error)) {
        return ra_fail(out, error, ra_exit_failed);
    }
    return ra_write_planned(plan, job.out, job.folder, ra_share_extension, out);
}

int ra_run_card(const ra_card_job &job, ra_output *out) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    ra_share_plan plan;
    if (!ra_plan_card(setup.dir, &plan, &error)) return ra_fail(out, error, ra_exit_failed);
    return ra_write_planned(plan, job.out, "", ra_card_extension, out);
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
