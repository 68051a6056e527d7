// The check tool on Linux: the plug-in runs on the Windows stand-ins, whose
// clock can be fixed.
#include <limits.h>
#include <unistd.h>

#include "platform/check_platform.h"
#include "settings/settings.h"
#include "sim_win32.h"

std::string ra_check_default_ini(void) {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "";
    std::string path(exe, (size_t)n);
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return "";
    return path.substr(0, slash + 1) + RA_INI_FILE;
}

// The stand-ins read "/" as the root and anything else relative to the
// current folder, as a host path would be, except a name without a folder,
// which they look for in the Windows folder as Windows does: such a name
// gets the current folder in front.
std::string ra_check_profile_path(const std::string &path) {
    return path.find_first_of("/\\") == std::string::npos ? "./" + path : path;
}

void ra_check_hold_window(void) {}

bool ra_check_window_is_own(void) { return false; }
