// prune: the options of the command line, and the job.
#pragma once

#include <string>

#include "program/job_output.h"

struct ra_prune_job {
    std::string ini;         // the settings file; empty: the one beside this program
    std::string keep;        // --keep N as given; empty: not given
    std::string max_size;    // --max-size SIZE as given; empty: not given
    std::string older_than;  // --older-than DAYS as given; empty: not given
    bool apply = false;      // remove them; otherwise only say which would go
};

// Removes the oldest of the replays the plug-in saved in Dir by the job's
// policies (actions/prune_action.h); without apply it only says which would go.
int ra_run_prune(const ra_prune_job &job, ra_output *out);
