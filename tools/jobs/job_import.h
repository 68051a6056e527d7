// import: the options of the command line, and the job.
#pragma once

#include <string>

#include "program/job_output.h"

struct ra_import_job {
    std::string ini;   // the settings file; empty: the one beside this program
    std::string file;  // the share or card to import
};

// Imports a friend's share or card into Dir\Friends\<sharer>\ (the action
// in actions/import_action.h).
int ra_run_import(const ra_import_job &job, ra_output *out);
