// share and card: the options of the command line, and the jobs.
#pragma once

#include <string>
#include <vector>

#include "program/job_output.h"

struct ra_share_job {
    std::string ini;                 // the settings file; empty: the one beside this program
    std::vector<std::string> files;  // the replays: names as list shows them, or paths in Dir
    std::string out;  // the share file; empty: <sharer>_<when>.rpshare in the current folder
    bool hide_names = false;  // other racers become "Rival 1", "Rival 2"...
    std::string folder;       // where the default name goes; empty: the current folder
};

// Writes a share of the player's replays (actions/share_action.h), after
// the privacy report.
int ra_run_share(const ra_share_job &job, ra_output *out);

struct ra_card_job {
    std::string ini;  // the settings file; empty: the one beside this program
    std::string out;  // the card file; empty: <sharer>_<when>.rpcard in the current folder
};

// Writes the player's season card: every record line and each replay's hash.
int ra_run_card(const ra_card_job &job, ra_output *out);
