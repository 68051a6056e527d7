// Repair: writes replays.csv back in the plug-in's own form (commas, times
// as YYYY-MM-DD HH:MM:SS, the full header, CR LF, the game's code page)
// after a spreadsheet or a hand edit changed it, so that every line is read
// again as the plug-in wrote it. Without --apply it only says what it would change. The old file
// is kept beside it under a name no older backup has, and the new one takes
// its place in one rename, so that at no time is the record half written.
#pragma once

#include "actions/action_said.h"
#include "program/game_setup.h"

// Writes Dir's replays.csv back in the plug-in's own form; without apply
// it only says what would change.
ra_action_said ra_repair_action(const ra_game_setup &setup, bool apply);
