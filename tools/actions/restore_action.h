// Watch and restore: make the game play a saved replay next time
// (library/replays/restore.h does the writing), a friend's as the player's own.
#pragma once

#include <filesystem>
#include <string>

#include "actions/action_said.h"
#include "library/record/record_reader.h"
#include "library/replays/restore.h"
#include "program/game_setup.h"

struct ra_restore_ask {
    std::string file;     // a path, a name in Dir, or Friends\<friend>\<replay>
    std::string to;       // the game's replay as the player names it; empty: the record tells
    bool in_dir = false;  // file is a name in Dir and never a path (a row of the app's list)
};

struct ra_restore_said : ra_action_said {
    ra_restore_result restore;  // what restore found and did
};

// Makes the game play ask.file next time, keeping its current replay in
// Dir when no copy of it is there yet; records are the lines of Dir's
// record restore may need (those of that name and the newest).
ra_restore_said ra_restore_action(const ra_game_setup &setup, const ra_records &records,
                                  const ra_restore_ask &ask,
                                  const ra_restore_hooks &hooks = ra_restore_hooks());
