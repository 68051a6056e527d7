// The settings and Dir's replays for the jobs that show them.
#pragma once

#include <string>

#include "library/cache/library_index.h"
#include "library/record/record_reader.h"
#include "library/replays/replays.h"
#include "program/game_setup.h"
#include "program/job_output.h"

// The settings of the INI (empty: the one beside this program) and the
// replays in their Dir, for the jobs that show them, through Dir's index
// (library_index.h): with a track only the entries of that track, and the
// whole library's facts in *facts when given. The record file's warnings
// go to the error output; a long rebuild of the index tells its progress
// on a terminal's error output. ra_exit_ok, or the status of the failure.
int ra_open_library(const std::string &ini, ra_game_setup *setup, ra_replay_list *list,
                    ra_output *out, const std::string &track = std::string(),
                    ra_index_facts *facts = nullptr);

// "Indexing the library: 12000 of 50000" on a terminal's error output,
// written over itself, when a rebuild is long enough to be worth telling.
void ra_tell_index_progress(size_t done, size_t total);

// The settings of the INI and Dir's record, for restore: from Dir's index
// where there is one (never made for this), else from the record file; a
// Dir that cannot be listed (not there yet) still has its record file read,
// if any. ra_exit_ok, or the status of the failure.
int ra_open_records(const std::string &ini, ra_game_setup *setup, ra_records *records,
                    ra_output *out);
