// The library app's server: the library opened, the gate and the routes
// hooked up, the front door on 127.0.0.1, until the player stops it.
#pragma once

#include <string>

#include "program/job_output.h"

struct ra_app_start {
    std::string ini;   // the settings file; empty: the one beside this program
    int port = 0;      // 0: a free one
    bool open = true;  // open the address in the default browser
    // What the app tells the player while it runs: its address, that it stopped.
    void (*say)(const std::string &text) = nullptr;
};

// Serves until the player stops it; an exit status, with the reason the
// app could not start in out->err.
int ra_run_app(const ra_app_start &start, ra_output *out);
