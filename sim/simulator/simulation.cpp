#include "simulation.h"

#include <stdio.h>
#include <string.h>

#include "game_code.h"
#include "game_image.h"
#include "game_memory.h"
#include "simulation_platform.h"
#include "test_host.h"

std::string sim_replay_bytes(const sim_race_file &race, uint32_t n) {
    // Recognisable, different for every save, and with no dotted quad of its
    // own: letters only, apart from the address the race file asks for.
    std::string bytes(race.replay_size, '\0');
    for (uint32_t i = 0; i < race.replay_size; ++i) bytes[i] = (char)('a' + (i + n) % 26);
    if (!race.replay_ip.empty() && SIM_REPLAY_IP_OFFSET + race.replay_ip.size() <= bytes.size()) {
        bytes.replace(SIM_REPLAY_IP_OFFSET, race.replay_ip.size(), race.replay_ip);
    }
    return bytes;
}

namespace {

// What the game's save callback needs: it runs inside the stock save.
const sim_options *g_options = nullptr;
uint32_t g_save_number = 0;

// The game's own save: it writes replay.rp4 into its replay folder, before
// the plug-in copies it.
void game_writes_replay(void) {
    const sim_race_file &race = g_options->race;
    if (!race.write_replay) return;
    std::string shown;
    if (!sim_write_game_file(race.race.replay_dir + "replay.rp4",
                             sim_replay_bytes(race, g_save_number), &shown)) {
        fprintf(stderr, "replay-autosave-sim: the game cannot write %s\n", shown.c_str());
    }
}

}  // namespace

bool sim_run(const sim_options &options, sim_plugin *plugin, bool echo, sim_outcome *outcome,
             std::string *error) {
    std::string previous;
    if (!sim_enter_game_folder(options.game_dir, &previous, error)) return false;
    sim_use_clock(options.fixed_clock ? &options.clock : nullptr);

    // The game keeps its replay folder; make it when the race names a new one.
    if (!sim_make_game_folders(options.race.race.replay_dir)) {
        *error = "cannot make the replay folder " + options.race.race.replay_dir;
        sim_leave_game_folder(previous);
        return false;
    }

    sim_game_map();
    sim_game_install_code();
    sim_game_write_race(options.race.race);

    sim_host_reset();
    sim_host_echo_log = echo;
    vq_host host = sim_host_record();
    *outcome = sim_outcome();
    outcome->apply_result = plugin->apply(&host);

    if (outcome->apply_result) {
        const sim_race_file &race = options.race;
        if (race.has_race_start) {
            // The race is set up at its own time; the saves come at the clock's.
            // Where the clock cannot be fixed, both are the real time.
            sim_use_clock(&race.race_start);
            sim_game_race_setup(0);
            sim_use_clock(options.fixed_clock ? &options.clock : nullptr);
        }
        if (race.has_circuit) {
            sim_game_career_accessor(
                sim_game_put_career_record(race.circuit_id, race.circuit_type));
        }
        g_options = &options;
        sim_game_set_save_callback(game_writes_replay);
        for (g_save_number = 0; g_save_number < options.saves; ++g_save_number) {
            outcome->save_results.push_back(sim_game_save_replay(race.pause_site ? 1 : 0));
        }
        sim_game_set_save_callback(nullptr);
        g_options = nullptr;
    }
    outcome->log = sim_host_log_lines;
    sim_host_echo_log = false;
    sim_use_clock(nullptr);
    if (!sim_leave_game_folder(previous)) {
        *error = "cannot return to " + previous;
        return false;
    }
    return true;
}
