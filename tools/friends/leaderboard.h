// Leaderboards without a server: the player's own record and every
// friend's imported record, compared per track and race type code. A
// friend's time is shown "with its replay" when the replay its line names
// is in their folder, still hashes as their card or share stated, and is
// the one the line was written for (the digest the plug-in put in the line,
// friends/line_binding.h). That proves the pairing, not the time: a friend
// writes their own record, and only watching the replay checks a lap.
// Head to head pairs the races two players drove together: the same track,
// type, laps and racers, started within a minute of each other.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

#include "friends/versus.h"

struct ra_board_entry {
    std::string racer;          // the name shown, through the aliases
    std::string friend_folder;  // Friends\<this>; empty for the player's own time
    uint32_t lap = 0;           // their best lap there, in hundredths
    std::string when;           // when that race was saved, "YYYY-MM-DD HH:MM:SS"
    uint32_t gap = 0;           // behind the leader, in hundredths
    bool with_replay = false;   // a friend's time whose own replay is there (watch to check)
    bool watchable = false;     // its replay is there to restore and watch
    std::string file;           // that replay's name in its folder
};

// One track and type code, fastest first.
struct ra_board {
    std::string track, type;
    std::vector<ra_board_entry> entries;
};

struct ra_leaderboard {
    std::string player;                 // the player's racer name, through the aliases
    std::vector<ra_board> boards;       // by track, then type
    std::vector<ra_versus> versus;      // one per friend, by name
    std::vector<std::string> warnings;  // friends' folders that could not be read
};

// The leaderboards of dir (only track and type when given, any letter case).
ra_leaderboard ra_make_leaderboard(const std::filesystem::path &dir, const std::string &track,
                                   const std::string &type);

// What a friend's time is shown with: its replay, or why not.
extern const char ra_with_replay[];

// The leaderboards as the console shows them.
std::string ra_leaderboard_text(const ra_leaderboard &board);
