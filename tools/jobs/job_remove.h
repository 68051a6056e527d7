// remove: the options of the command line, and the job.
#pragma once

#include <string>

#include "program/job_output.h"

struct ra_remove_job {
    std::string ini;   // the settings file; empty: the one beside this program
    std::string file;  // Friends\<friend>\<replay>
};

// Removes a friend's replay and its lines from their record
// (actions/remove_action.h).
int ra_run_remove(const ra_remove_job &job, ra_output *out);
