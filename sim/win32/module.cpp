// The path of the game executable as GetModuleFileNameA reports it. Tests
// place the "executable" wherever they need an INI file beside it. The name
// is the system's, in UTF-8 as the host keeps it; the "A" answer is its
// Windows-1252 spelling, with '?' for what the code page lacks, as
// Windows' conversion through the ANSI code page gives it (code_page.h).
#include <string.h>
#include <unistd.h>

#include <string>

#include "code_page.h"
#include "sim_internal.h"
#include "sim_win32.h"

static std::string &sim_module_override() {
    static std::string path;
    return path;
}
static bool sim_module_set = false;

// "<current directory in Windows form>\game.exe": drive C: for the host's
// root, "\" as separator, so that a relative "SaveData\Saves" and the folder
// of the executable agree as they do when the game is started from its folder.
static std::string sim_default_module_path() {
    std::string cwd;
    char buf[4096];
    if (getcwd(buf, sizeof buf) != nullptr) cwd = buf;
    for (char &c : cwd) {
        if (c == '/') c = '\\';
    }
    if (cwd.empty() || cwd.back() != '\\') cwd += '\\';
    return "C:" + cwd + "game.exe";
}

extern "C" void sim_set_module_path(const char *windows_path) {
    sim_module_set = windows_path != nullptr;
    sim_module_override() = windows_path ? windows_path : "";
}

extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR filename, DWORD size) {
    if (sim_enter("GetModuleFileNameA")) return 0;
    // Only the main executable (null handle) is known here.
    if (module != nullptr) {
        sim_set_error(SIM_ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (filename == nullptr || size == 0) {
        sim_set_error(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    bool lossy = false;
    std::string path = ra_utf8_to_cp1252(
        sim_module_set ? sim_module_override() : sim_default_module_path(), &lossy);
    if (path.size() < size) {
        memcpy(filename, path.c_str(), path.size() + 1);
        sim_set_error(ERROR_SUCCESS);
        return (DWORD)path.size();
    }
    // As Windows does: size - 1 characters, the terminator, the full size
    // as result and ERROR_INSUFFICIENT_BUFFER.
    memcpy(filename, path.data(), size - 1);
    filename[size - 1] = '\0';
    sim_set_error(ERROR_INSUFFICIENT_BUFFER);
    return size;
}
