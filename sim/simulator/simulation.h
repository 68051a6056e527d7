// One run of the simulated game: the host loads the plug-in (linked in, or
// the shipped DLL: through our PE loader on Linux, the system's on Windows),
// calls VQ_Apply, and the game plays its race setup, career accessor and
// replay saves through the patched code. What differs between the two
// systems is in linux/simulation_platform.cpp and win/simulation_platform.cpp.
#pragma once

#include <stdint.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "plugin_module.h"
#include "race_file.h"

// The plug-in as the host sees it: its VQ_Apply, from either build.
struct sim_plugin {
    int (*apply)(const vq_host *host) = nullptr;
    sim_plugin_module dll;  // loaded when the plug-in is the shipped DLL
};

// The plug-in built into this program (Linux only: the Windows simulator
// has none and always loads a DLL).
void sim_plugin_linked(sim_plugin *plugin);
// The plug-in a run without --plugin uses: the one linked in on Linux,
// replay_autosave.vqp beside the program on Windows. False with a message.
bool sim_plugin_default(sim_plugin *plugin, std::string *error);
// The shipped DLL at path; false with a message in *error when it is refused.
bool sim_plugin_load_dll(const char *path, sim_plugin *plugin, std::string *error);
void sim_plugin_unload(sim_plugin *plugin);

// Null where the local clock of the saves can be fixed (--clock); otherwise
// why it cannot.
const char *sim_fixed_clock_refusal(void);

struct sim_options {
    std::string game_dir;      // the game folder; the process works there
    sim_race_file race;        // what the game's memory holds
    bool fixed_clock = false;  // clock set: the local time of every save
    SYSTEMTIME clock = {};
    uint32_t saves = 1;  // replay saves the game makes
};

// What one run produced.
struct sim_outcome {
    int apply_result = 0;                // what VQ_Apply returned
    std::vector<uint32_t> save_results;  // what each save call returned to the game
    std::vector<std::string> log;        // every log line, in order
};

// Plays the race. The current directory is the game folder during the run
// and restored afterwards. With echo, log lines go to standard output as they
// come. Returns false with *error when the game folder cannot be entered.
bool sim_run(const sim_options &options, sim_plugin *plugin, bool echo, sim_outcome *outcome,
             std::string *error);

// Bytes the game's save writes into replay.rp4 for save number n (0-based).
std::string sim_replay_bytes(const sim_race_file &race, uint32_t n);
