// The check tool on Windows: the plug-in's code runs on the real system.
#include <stdio.h>
#include <windows.h>

#include "platform/check_platform.h"
#include "platform/win/wide_text.h"
#include "patches/hooks.h"
#include "settings/settings.h"

// The longest path Windows gives, in characters: a long path of \\?\ form.
const DWORD ra_wide_path_max = 32768;

std::string ra_check_default_ini(void) {
    // The wide name: GetModuleFileNameA spells a folder the code page lacks
    // letters for with others ("Gry Lukasza" for "Gry Łukasza"), a folder
    // that does not exist.
    std::wstring exe(MAX_PATH, L'\0');
    DWORD n = 0;
    for (;;) {
        n = GetModuleFileNameW(nullptr, &exe[0], (DWORD)exe.size());
        if (n == 0) return "";
        if (n < exe.size()) break;
        if (exe.size() >= ra_wide_path_max) return "";
        exe.resize(exe.size() * 2);
    }
    exe.resize(n);
    size_t slash = exe.rfind(L'\\');
    if (slash == std::wstring::npos) return "";
    return ra_utf8_of(exe.substr(0, slash + 1)) + RA_INI_FILE;
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
