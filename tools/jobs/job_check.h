// check: the options of the command line, and the job.
#pragma once

#include <string>

#include "program/job_output.h"

struct ra_check_job {
    bool quiet = false;  // only the warnings
    std::string race;    // a race file instead of the built-in example race
    std::string ini;     // the settings file; empty: the one beside this program
};

// What the plug-in will make of a replay_autosave.ini: 0 without warnings,
// 1 with warnings, 2 when a file cannot be read.
int ra_run_check(const ra_check_job &job, ra_output *out);
