// serve: the options of the command line, and the job.
#pragma once

#include <string>

#include "program/job_output.h"

struct ra_serve_job {
    std::string ini;   // the settings file; empty: the one beside this program
    std::string port;  // --port N as given; empty: a free one
    bool open = true;  // open the address in the default browser
};

// The library app (job_serve.cpp): the library page with its actions,
// on 127.0.0.1, until the player stops it.
int ra_run_serve(const ra_serve_job &job, ra_output *out);
