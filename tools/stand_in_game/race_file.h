// The simulator's race file: an INI text that describes the game's memory for
// one race and how the simulated game plays it.
#pragma once

#include <stdint.h>
#include <windows.h>

#include <string>

#include "game_memory.h"

// Bytes the game's save writes when the race file does not say.
#define SIM_DEFAULT_REPLAY_SIZE 8000u
// Offset at which the game writes replay_ip into its replay file.
#define SIM_REPLAY_IP_OFFSET 100u

struct sim_race_file {
    sim_race race;                                   // the game's memory
    bool pause_site = false;                         // save through the "pause" call site
    uint32_t replay_size = SIM_DEFAULT_REPLAY_SIZE;  // bytes of replay.rp4
    bool write_replay = true;                        // false: the game's save writes nothing
    std::string replay_ip;        // dotted quad written at SIM_REPLAY_IP_OFFSET, or empty
    bool has_circuit = false;     // the game asks its career accessor first
    uint32_t circuit_type = 0;    // word at offset 4 of the career record
    uint32_t circuit_id = 0;      // word at offset 0
    bool has_race_start = false;  // the game runs its race setup first
    SYSTEMTIME race_start = {};   // local time of that setup
};

// Parses "YYYY-MM-DDTHH:MM:SS" (day of week filled in); false when malformed.
bool sim_parse_clock(const std::string &text, SYSTEMTIME *out);

// Parses a race file's text. On failure returns false with *error naming the
// offending line ("race.ini:12: ..."), using `source` as the file's name.
bool sim_parse_race_file(const std::string &text, const std::string &source, sim_race_file *out,
                         std::string *error);
