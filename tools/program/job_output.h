// What a job prints and the status it ends with. A job parses its command
// line, calls its action (actions/) and prints the action's words here;
// main prints the output.
#pragma once

#include <string>

#include "actions/action_said.h"

// What a job prints: the report or the listing on the output, warnings and
// errors (one line each) on the error output.
struct ra_output {
    std::string out;
    std::string err;
};

// Exit statuses of list, restore and page (check keeps its own: 1 means warnings).
enum { ra_exit_ok = 0, ra_exit_failed = 1, ra_exit_usage = 2 };

// Appends "replay-autosave: what" as one line to the error output; returns status.
int ra_fail(ra_output *out, const std::string &what, int status);

// An action's words in *out (warnings, what it says, then its problem)
// and its exit status: refused is a usage error, failed a failure.
int ra_tell(const ra_action_said &said, ra_output *out);

// The exit status of an action that ended so.
int ra_status_of(ra_action_end end);
