// replay-autosave check: shows a player what the plug-in will make of a
// replay_autosave.ini before a race. Everything it reports comes from the
// plug-in's own settings loader, template cascade, expander and path
// builder, run against an example race in a stand-in of the game's memory,
// so the tool can never disagree with the plug-in. The INI text is also read
// line by line, with the reader the Windows stand-ins use, to find keys the
// plug-in never reads and to show what the loader cut or repaired.
#pragma once

#include <stdint.h>
#include <windows.h>

#include <string>
#include <vector>

#include "check/check_ini.h"
#include "race_file.h"

// One race type code and game words that make the plug-in build it.
struct ra_check_code {
    const char *code;    // e.g. "SR"
    uint32_t race_type;  // game_race_type
    uint32_t variant;    // game_race_variant
    uint32_t circ_type;  // captured circuit type (race type 4 only)
    uint32_t m_flag;     // 0 or 1
};

// Every race type code, SR to "??", in the order the tool lists them.
extern const ra_check_code ra_check_codes[];
extern const uint32_t ra_check_code_count;

// The local time at which every example name is expanded, so that the
// output is the same on every run.
extern const SYSTEMTIME ra_check_clock;

// The example race the tool uses when no race file is given: three laps of
// ALPINE, four racers, started at 20:59:30.
void ra_check_example_race(sim_race_file *race);

// What the plug-in would name the replay of one race type code.
struct ra_check_name {
    const ra_check_code *code = nullptr;
    std::string key;         // key the template came from, or "built-in"
    std::string key_m;       // "??" only: the key with the M flag set, if different
    std::string path;        // full destination path; empty when nothing is saved
    std::string why_none;    // when path is empty: why
    bool is_source = false;  // the name is the game's own replay: nothing saved
};

struct ra_check_report {
    std::string ini_path;                // the file as the player named it
    bool ini_missing = false;            // there is no such file: every default applies
    std::vector<std::string> settings;   // Enabled, Dir, IndexStart, ClearIp as read
    std::vector<std::string> templates;  // the 22 templates as read, "-" when unset
    bool enabled = true;                 // Enabled is not 0: replays are saved
    bool example_race = true;            // the names use the built-in example race
    std::string race;                    // a few facts of that race, one line
    std::vector<ra_check_name> names;    // one per race type code
    std::vector<std::string> warnings;   // "KEY: what is wrong", one per finding
};

// Checks the INI file at ini_path, whose bytes are ini_text, against race
// (the built-in example race when null); ini_missing: there is no such file,
// and the plug-in runs on its defaults. The settings are loaded through the
// plug-in's loader and given to the plug-in's code as its own.
// Game memory is mapped at the game's base for the example names.
void ra_check_run(const std::string &ini_path, const std::string &ini_text,
                  const sim_race_file *race, ra_check_report *out, bool ini_missing = false);

// The report as printed; with quiet, only the warnings.
std::string ra_check_format(const ra_check_report &report, bool quiet);
