// list: the options of the command line, and the job.
#pragma once

#include <stddef.h>

#include <string>

#include "program/job_output.h"

struct ra_list_job {
    std::string ini;    // the settings file; empty: the one beside this program
    std::string track;  // only this track (any letter case)
    std::string type;   // only this race type code (any letter case)
    std::string since;  // only replays saved on this day (YYYY-MM-DD) or later
    bool csv = false;   // comma-separated values instead of a table
    size_t newest = 0;  // only this many of the newest; 0: all
    std::string racer;  // show this racer's lap in place of the race's fastest
};

// The replays in Dir, newest first.
int ra_run_list(const ra_list_job &job, ra_output *out);
