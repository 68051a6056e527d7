#include "simulation.h"

#include <errno.h>
#include <limits.h>
#include <sys/stat.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "game_code.h"
#include "game_image.h"
#include "game_memory.h"
#include "sim_win32.h"
#include "test_host.h"

void sim_plugin_linked(sim_plugin *plugin) { plugin->apply = VQ_Apply; }

bool sim_plugin_load_dll(const char *path, sim_plugin *plugin, std::string *error) {
    if (!sim_pe_load(path, &plugin->dll, error)) return false;
    void *apply = sim_pe_export(plugin->dll, "VQ_Apply", error);
    if (apply == nullptr) {
        sim_pe_unload(&plugin->dll);
        return false;
    }
    plugin->apply = (int (*)(const vq_host *))apply;
    return true;
}

void sim_plugin_unload(sim_plugin *plugin) {
    sim_pe_unload(&plugin->dll);
    plugin->apply = nullptr;
}

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
// the plug-in copies it. The folder text is a Windows path like every other
// the game holds; the write goes straight to the host file system, so that
// the stand-ins' call counters and injected faults concern the plug-in alone.
void game_writes_replay(void) {
    const sim_race_file &race = g_options->race;
    if (!race.write_replay) return;
    std::string windows_path = race.race.replay_dir + "replay.rp4";
    char path[4096];
    sim_host_path(windows_path.c_str(), path, sizeof path);
    std::string bytes = sim_replay_bytes(race, g_save_number);
    FILE *file = fopen(path, "wb");
    if (file == nullptr || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        fprintf(stderr, "replay-autosave-sim: the game cannot write %s\n", path);
    }
    if (file != nullptr) fclose(file);
}

// Every level of a Windows folder path, relative to the current directory.
bool make_folders(const std::string &windows_folder) {
    if (windows_folder.empty()) return true;
    char host[4096];
    sim_host_path(windows_folder.c_str(), host, sizeof host);
    std::string path = host;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        std::string level = path.substr(0, i);
        if (mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

}  // namespace

bool sim_run(const sim_options &options, sim_plugin *plugin, bool echo, sim_outcome *outcome,
             std::string *error) {
    char previous[PATH_MAX];
    if (getcwd(previous, sizeof previous) == nullptr) {
        *error = "cannot read the current directory";
        return false;
    }
    if (chdir(options.game_dir.c_str()) != 0) {
        *error = "cannot enter the game folder " + options.game_dir;
        return false;
    }
    // The executable is <game folder>\game.exe, so the plug-in reads the INI
    // file beside it: the stand-ins' default module path.
    sim_set_module_path(nullptr);
    sim_set_clock(options.fixed_clock ? &options.clock : nullptr);

    // The game keeps its replay folder; make it when the race names a new one.
    if (!make_folders(options.race.race.replay_dir)) {
        *error = "cannot make the replay folder " + options.race.race.replay_dir;
        chdir(previous);
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
            sim_set_clock(&race.race_start);
            sim_game_race_setup(0);
            sim_set_clock(options.fixed_clock ? &options.clock : nullptr);
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
    sim_set_clock(nullptr);
    if (chdir(previous) != 0) {
        *error = "cannot return to " + std::string(previous);
        return false;
    }
    return true;
}
