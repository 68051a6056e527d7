// restore: the options of the command line, and the job.
#pragma once

#include <string>

#include "library/replays/restore.h"
#include "program/job_output.h"

struct ra_restore_job {
    std::string ini;   // the settings file; empty: the one beside this program
    std::string file;  // the replay to play: a path, or a name in Dir
    std::string to;    // the game's replay.rp4, when the record file cannot tell
};

// Makes the game play job.file next time (actions/restore_action.h).
int ra_run_restore(const ra_restore_job &job, ra_output *out,
                   const ra_restore_hooks &hooks = ra_restore_hooks());
