// leaderboard: the options of the command line, and the job.
#pragma once

#include <string>

#include "program/job_output.h"

struct ra_leaderboard_job {
    std::string ini;    // the settings file; empty: the one beside this program
    std::string track;  // only this track (any letter case)
    std::string type;   // only this race type code (any letter case)
};

// The best laps of the player and every friend imported, per track and
// type, and the head to head records (friends/leaderboard.h).
int ra_run_leaderboard(const ra_leaderboard_job &job, ra_output *out);
