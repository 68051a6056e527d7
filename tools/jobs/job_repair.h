// repair: the options of the command line, and the job.
#pragma once

#include <string>

#include "program/job_output.h"

struct ra_repair_job {
    std::string ini;     // the settings file; empty: the one beside this program
    bool apply = false;  // write it; otherwise only say what would change
};

// Writes Dir's replays.csv back in the plug-in's own form
// (actions/repair_action.h); without apply it only says what would change.
int ra_run_repair(const ra_repair_job &job, ra_output *out);
