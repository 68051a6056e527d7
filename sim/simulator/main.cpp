// replay-autosave-sim: plays replay saves of a simulated game through the
// real host interface and prints every log line of the plug-in.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>

#include "simulation.h"

static const char usage[] =
    "usage: replay-autosave-sim --game-dir DIR --race RACE.ini [--clock YYYY-MM-DDTHH:MM:SS]\n"
    "                           [--saves N] [--plugin PATH.vqp]\n";

// Exit statuses: VQ_Apply accepted the game, refused it, or we could not start.
enum { exit_applied = 0, exit_refused = 1, exit_usage = 2 };

static int bad_usage(const std::string &what) {
    fprintf(stderr, "replay-autosave-sim: %s\n%s", what.c_str(), usage);
    return exit_usage;
}

int main(int argc, char **argv) {
    sim_options options;
    std::string race_path, plugin_path;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) return bad_usage("missing value after " + arg);
        std::string value = argv[++i];
        if (arg == "--game-dir") {
            options.game_dir = value;
        } else if (arg == "--race") {
            race_path = value;
        } else if (arg == "--clock") {
            if (const char *refusal = sim_fixed_clock_refusal()) return bad_usage(refusal);
            if (!sim_parse_clock(value, &options.clock)) {
                return bad_usage("--clock must be YYYY-MM-DDTHH:MM:SS, got '" + value + "'");
            }
            options.fixed_clock = true;
        } else if (arg == "--saves") {
            char *end = nullptr;
            unsigned long n = strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || n > 100000) {
                return bad_usage("--saves needs a number from 0 to 100000, got '" + value + "'");
            }
            options.saves = (uint32_t)n;
        } else if (arg == "--plugin") {
            plugin_path = value;
        } else {
            return bad_usage("unknown option " + arg);
        }
    }
    if (options.game_dir.empty() || race_path.empty()) {
        return bad_usage("--game-dir and --race are required");
    }

    std::ifstream in(race_path, std::ios::binary);
    if (!in) return bad_usage("cannot read race file " + race_path);
    std::ostringstream text;
    text << in.rdbuf();
    std::string error;
    if (!sim_parse_race_file(text.str(), race_path, &options.race, &error)) {
        fprintf(stderr, "replay-autosave-sim: %s\n", error.c_str());
        return exit_usage;
    }

    sim_plugin plugin;
    if (plugin_path.empty()) {
        if (!sim_plugin_default(&plugin, &error)) {
            fprintf(stderr, "replay-autosave-sim: %s\n", error.c_str());
            return exit_usage;
        }
    } else if (!sim_plugin_load_dll(plugin_path.c_str(), &plugin, &error)) {
        fprintf(stderr, "replay-autosave-sim: %s\n", error.c_str());
        return exit_usage;
    }
    sim_outcome outcome;
    bool ran = sim_run(options, &plugin, true, &outcome, &error);
    sim_plugin_unload(&plugin);
    if (!ran) {
        fprintf(stderr, "replay-autosave-sim: %s\n", error.c_str());
        return exit_usage;
    }
    return outcome.apply_result == 1 ? exit_applied : exit_refused;
}
