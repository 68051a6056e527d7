// keep and unkeep: the options of the command line, and the job.
#pragma once

#include <string>

#include "program/job_output.h"

struct ra_keep_job {
    std::string ini;   // the settings file; empty: the one beside this program
    std::string file;  // the replay: its name as the list shows it, or its path in Dir
    bool keep = true;  // mark it; false: take the mark away
};

// Marks a replay of Dir so that prune never removes it, or takes the mark
// away (actions/keep_action.h): the same marks as the library app's Keep.
int ra_run_keep(const ra_keep_job &job, ra_output *out);
