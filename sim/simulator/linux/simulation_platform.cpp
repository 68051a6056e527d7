// The simulated game on Linux: the plug-in linked in or loaded by our PE
// loader, the Windows stand-ins of sim/win32 for every service it calls,
// and the game's own files written straight to the host file system, so
// that the stand-ins' call counters and injected faults concern the
// plug-in alone.
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim_win32.h"
#include "simulation.h"
#include "simulation_platform.h"

void sim_plugin_linked(sim_plugin *plugin) { plugin->apply = VQ_Apply; }

bool sim_plugin_default(sim_plugin *plugin, std::string *) {
    sim_plugin_linked(plugin);
    return true;
}

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

const char *sim_fixed_clock_refusal(void) { return nullptr; }

bool sim_enter_game_folder(const std::string &game_dir, std::string *previous, std::string *error) {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) {
        *error = "cannot read the current directory";
        return false;
    }
    if (chdir(game_dir.c_str()) != 0) {
        *error = "cannot enter the game folder " + game_dir;
        return false;
    }
    *previous = cwd;
    // The executable is <game folder>\game.exe, so the plug-in reads the INI
    // file beside it: the stand-ins' default module path.
    sim_set_module_path(nullptr);
    return true;
}

bool sim_leave_game_folder(const std::string &previous) { return chdir(previous.c_str()) == 0; }

void sim_use_clock(const SYSTEMTIME *time) { sim_set_clock(time); }

bool sim_make_game_folders(const std::string &windows_folder) {
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

bool sim_write_game_file(const std::string &windows_path, const std::string &bytes,
                         std::string *shown) {
    char path[4096];
    sim_host_path(windows_path.c_str(), path, sizeof path);
    *shown = path;
    FILE *file = fopen(path, "wb");
    bool written = file != nullptr && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file != nullptr && fclose(file) != 0) written = false;
    return written;
}
