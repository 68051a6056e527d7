// The check tool on Windows: the plug-in's code runs on the real system.
#include <stdio.h>
#include <windows.h>

#include "platform/check_platform.h"
#include "patches/hooks.h"
#include "settings/settings.h"

std::string ra_check_default_ini(void) {
    char exe[RA_PATH_SIZE];
    DWORD n = GetModuleFileNameA(nullptr, exe, sizeof exe);
    if (n == 0 || n >= sizeof exe) return "";
    std::string path(exe, n);
    size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return "";
    return path.substr(0, slash + 1) + RA_INI_FILE;
}

// GetPrivateProfileStringA looks for a path without a folder in the Windows
// folder, not in the current one, so it gets the full path.
std::string ra_check_profile_path(const std::string &path) {
    char full[RA_PATH_SIZE];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) return path;
    return std::string(full, n);
}

bool ra_check_window_is_own(void) {
    // A console opened for us alone lists only this process.
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

void ra_check_hold_window(void) {
    if (!ra_check_window_is_own()) return;
    fputs("\nPress Enter to close this window.", stdout);
    fflush(stdout);
    getchar();
}
