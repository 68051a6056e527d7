// leaderboard: the player's best laps against every friend imported, per
// track and type, and the head to head records (friends/leaderboard.h).
#include "jobs/job_leaderboard.h"

#include <string>

#include "friends/leaderboard.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"

int ra_run_leaderboard(const ra_leaderboard_job &job, ra_output *out) {
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    ra_leaderboard board = ra_make_leaderboard(setup.dir, job.track, job.type);
    for (const std::string &w : board.warnings) out->err += "warning: " + w + "\n";
    out->out += ra_leaderboard_text(board);
    return ra_exit_ok;
}

// The row of leaderboard.
namespace {

void ra_leaderboard_options(CLI::App *sub, ra_leaderboard_job *job) {
    sub->add_option("--track", job->track, "only this track (any letter case)")->type_name("T");
    sub->add_option("--type", job->type, "only this race type code, e.g. SR")->type_name("CODE");
}

}  // namespace

const ra_command ra_leaderboard_command =
    ra_command_row<ra_leaderboard_job, ra_leaderboard_options, nullptr, ra_run_leaderboard>(
        "leaderboard", "your best laps against your friends' per track and type, and head to head");
