// alias: the options of the command line, and the job.
#pragma once

#include <string>

#include "program/job_output.h"

struct ra_alias_job {
    std::string ini;       // the settings file; empty: the one beside this program
    std::string old_name;  // a racer's name as the records spell it; empty: list the aliases
    std::string new_name;  // the name every view shows for it; empty: take the alias away
};

// Stores, removes or lists the racers' aliases (actions/alias_action.h).
int ra_run_alias(const ra_alias_job &job, ra_output *out);
