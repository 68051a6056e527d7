// What the program is asked to do, decided from its arguments alone (no
// file is looked at), so that every way of starting it can be tested on any
// system. Players mostly start the Windows program without a command line:
// a double click gives no argument, a file dropped on it gives that file.
// A command line names one of the commands of commands.h.
#pragma once

#include <any>
#include <string>
#include <vector>

#include "program/command.h"
#include "jobs/job_check.h"
#include "jobs/job_list.h"
#include "jobs/job_serve.h"

enum class ra_action {
    run_command,   // the command's job
    double_click,  // check the INI beside the program, then the ten newest
    replays,       // replays dropped: the player chooses to watch one or share them
    show_text,     // --help, --version: print text, exit 0
    usage_error,   // a wrong command line or drop: print text, exit 2
};

// A double click's jobs, one after the other.
struct ra_double_click_job {
    ra_check_job check;
    ra_list_job list;
    ra_serve_job serve;  // when the player asks for the library app
};

// Replays dropped on the program, as Explorer gave them.
struct ra_dropped_replays_job {
    std::vector<std::string> files;
};

struct ra_invocation {
    ra_action action = ra_action::usage_error;
    const ra_command *command = nullptr;  // run_command: the command to run
    std::any job;          // run_command: the command's job (ra_list_job for list, ...);
                           // double_click: ra_double_click_job; replays:
                           // ra_dropped_replays_job
    bool dropped = false;  // started by a double click or a dropped file: the player confirms
                           // a restore, and the window stays open at the end
    std::string text;      // show_text: the help; usage_error: what is wrong, then the usage
};

// The invocation's job when it is a Job, else null.
template <class Job>
const Job *ra_job_of(const ra_invocation &inv) {
    return std::any_cast<Job>(&inv.job);
}

// The program's version, the plug-in's: "1.0.0".
extern const char ra_version[];

// How many replays a double click lists.
extern const size_t ra_double_click_newest;

// The job for the arguments that follow the program's name.
ra_invocation ra_parse_invocation(const std::vector<std::string> &args);
