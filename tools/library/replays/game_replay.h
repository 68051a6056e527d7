// The game's own replay, replay.rp4, which restore replaces: where it is,
// and whether the game has just saved a race into it that the plug-in may
// not have copied into Dir yet. What it holds restore looks at itself.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>

#include "library/record/record_reader.h"
#include "platform/file_system.h"

// The biggest file taken for a replay: the game's replays are far smaller,
// so a bigger file is no replay and is never read into memory.
extern const uintmax_t ra_replay_max_bytes;

// The game's replay written this recently may not be in Dir yet: the game
// writes it and the plug-in copies it at once, but a big replay takes a
// moment to copy and FAT drives keep time stamps in steps of two seconds.
extern const int ra_just_saved_seconds;

// A replay newer than the record's newest line may still be copied: the
// plug-in copies and records it within the game's own save call, so after
// this long it has given up on that save, and only a clock set back can
// make a replay look newer than its line.
extern const int ra_plugin_gives_up_seconds;

// Where the game keeps its replay: `to` as the player named it; else the
// source of the restored replay's own record line (own, may be null), else
// of the newest line, else the single replay.rp4 in the game's folder
// (game) outside Dir (dir). Any process may write the record file, so a
// source is only taken when it is a replay.rp4 inside the game's folder
// reached through plain folders. Empty, with *problem saying what and how to name it
// (--to), when there is none.
std::filesystem::path ra_find_game_replay(const std::string &to, const std::filesystem::path &game,
                                          const std::filesystem::path &dir,
                                          const ra_records &records, const ra_record *own,
                                          std::string *problem);

// True when the game's replay (at path, last written at written) may hold a race
// the plug-in is still copying: written within ra_just_saved_seconds, or
// newer than the record's newest line and written within
// ra_plugin_gives_up_seconds. Only asked when Dir has no copy of it.
bool ra_just_saved(const std::filesystem::path &path,
                   const std::filesystem::file_time_type &written, const ra_records &records);
