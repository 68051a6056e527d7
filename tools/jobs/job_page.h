// page: the options of the command line, and the job.
#pragma once

#include <string>

#include "program/job_output.h"

struct ra_page_job {
    std::string ini;    // the settings file; empty: the one beside this program
    std::string out;    // where the page goes; empty: replays.html in Dir
    bool open = false;  // then open it in the default browser
};

// Writes the library page (library_page.h) and prints its path.
int ra_run_page(const ra_page_job &job, ra_output *out);
