// The simulated game on Windows: the shipped DLL loaded by the system's own
// loader (LoadLibraryA, GetProcAddress), and every service it calls, the
// clock included, the system's. The game's own files are written with the
// system's file functions too.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include "simulation.h"
#include "simulation_platform.h"

namespace {

// The plug-in's file name as players install it.
const char default_plugin_name[] = "replay_autosave.vqp";

std::string error_text(const char *what, const std::string &subject, DWORD code) {
    return std::string(what) + " " + subject + " (error " + std::to_string(code) + ")";
}

}  // namespace

bool sim_plugin_default(sim_plugin *plugin, std::string *error) {
    char exe[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, exe, sizeof exe);
    if (length == 0 || length >= sizeof exe) {
        *error = "cannot find this program's folder for " + std::string(default_plugin_name);
        return false;
    }
    std::string path(exe, length);
    size_t slash = path.find_last_of("\\/");
    path = (slash == std::string::npos ? "" : path.substr(0, slash + 1)) + default_plugin_name;
    return sim_plugin_load_dll(path.c_str(), plugin, error);
}

bool sim_plugin_load_dll(const char *path, sim_plugin *plugin, std::string *error) {
    HMODULE module = LoadLibraryA(path);
    if (module == nullptr) {
        *error = error_text("cannot load the plug-in", path, GetLastError());
        return false;
    }
    // The host reads the plug-in's records before it applies it; a DLL
    // without them is not a plug-in of this host.
    const char *const records[] = {"vq_manifest_data", "vq_def_count", "vq_def_table"};
    for (const char *record : records) {
        if (GetProcAddress(module, record) == nullptr) {
            *error = std::string(path) + " exports no " + record;
            FreeLibrary(module);
            return false;
        }
    }
    FARPROC apply = GetProcAddress(module, "VQ_Apply");
    if (apply == nullptr) {
        *error = std::string(path) + " exports no VQ_Apply";
        FreeLibrary(module);
        return false;
    }
    const vq_manifest *manifest = (const vq_manifest *)GetProcAddress(module, "vq_manifest_data");
    if (manifest->abi_version != VQ_ABI_VERSION) {
        *error = std::string(path) + " has interface version " +
                 std::to_string(manifest->abi_version) + ", not " + std::to_string(VQ_ABI_VERSION);
        FreeLibrary(module);
        return false;
    }
    plugin->dll.handle = module;
    plugin->apply = (int (*)(const vq_host *))(void *)apply;
    return true;
}

void sim_plugin_unload(sim_plugin *plugin) {
    if (plugin->dll.handle != nullptr) FreeLibrary(plugin->dll.handle);
    plugin->dll.handle = nullptr;
    plugin->apply = nullptr;
}

const char *sim_fixed_clock_refusal(void) {
    return "--clock cannot be used on Windows: the saves take the system's local time";
}

bool sim_enter_game_folder(const std::string &game_dir, std::string *previous, std::string *error) {
    char cwd[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof cwd, cwd);
    if (length == 0 || length >= sizeof cwd) {
        *error = "cannot read the current directory";
        return false;
    }
    if (!SetCurrentDirectoryA(game_dir.c_str())) {
        *error = "cannot enter the game folder " + game_dir;
        return false;
    }
    *previous = cwd;
    // Log lines end in a bare line feed, as on Linux.
    _setmode(_fileno(stdout), _O_BINARY);
    return true;
}

bool sim_leave_game_folder(const std::string &previous) {
    return SetCurrentDirectoryA(previous.c_str()) != 0;
}

// The system's clock is the players' and not ours to set.
void sim_use_clock(const SYSTEMTIME *) {}

bool sim_make_game_folders(const std::string &windows_folder) {
    for (size_t i = 1; i <= windows_folder.size(); ++i) {
        if (i < windows_folder.size() && windows_folder[i] != '\\' && windows_folder[i] != '/') {
            continue;
        }
        std::string level = windows_folder.substr(0, i);
        // "C:" alone is a drive, not a folder to make.
        if (level.size() == 2 && level[1] == ':') continue;
        if (!CreateDirectoryA(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return true;
}

bool sim_write_game_file(const std::string &windows_path, const std::string &bytes,
                         std::string *shown) {
    *shown = windows_path;
    HANDLE file = CreateFileA(windows_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    if (!CloseHandle(file)) ok = FALSE;
    return ok && written == bytes.size();
}
