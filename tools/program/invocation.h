// What the program is asked to do, decided from its arguments alone (no
// file is looked at), so that every way of starting it can be tested on any
// system. Players mostly start the Windows program without a command line:
// a double click gives no argument, a file dropped on it gives that file.
#pragma once

#include <string>
#include <vector>

#include "program/jobs.h"

enum class ra_job {
    check,           // the check tool's report
    list,            // the replays in Dir
    restore,         // make the game play a replay
    page,            // the library as a web page
    prune,           // remove the oldest replays the plug-in saved
    keep,            // mark a replay that prune must leave, or take the mark away
    repair,          // write replays.csv back in the plug-in's form
    serve,           // the library app in the browser
    check_and_list,  // double click: check the INI beside the program, then the ten newest
    show_text,       // --help: print text, exit 0
    usage_error,     // a wrong command line: print text, exit 2
};

struct ra_invocation {
    ra_job job = ra_job::usage_error;
    bool dropped = false;  // started by a double click or a dropped file: the player confirms
                           // a restore, and the window stays open at the end
    ra_check_job check;
    ra_list_job list;
    ra_restore_job restore;
    ra_page_job page;
    ra_prune_job prune;
    ra_keep_job keep;
    ra_repair_job repair;
    ra_serve_job serve;
    std::string text;  // show_text: the help; usage_error: what is wrong, then the usage
};

// The program's version, the plug-in's: "1.0.0".
extern const char ra_version[];

// How many replays a double click lists.
extern const size_t ra_double_click_newest;

// The job for the arguments that follow the program's name.
ra_invocation ra_parse_invocation(const std::vector<std::string> &args);
