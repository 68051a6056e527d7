// Paths on Linux: the plug-in runs on the Windows stand-ins of sim/win32,
// which keep names in UTF-8 on the host as Windows keeps them in Unicode,
// so a text names its host path as it is; a path the plug-in names resolves
// by their rules (a drive letter or a leading separator starts at the root,
// letter case is matched as Windows would).
#include <limits.h>

#include "platform/game_paths.h"
#include "sim_win32.h"

std::filesystem::path ra_path(const std::string &text) { return std::filesystem::path(text); }

std::string ra_text(const std::filesystem::path &path) { return path.string(); }

std::vector<std::string> ra_arguments(int argc, char **argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

namespace {

bool ra_separator(char c) { return c == '\\' || c == '/'; }

bool ra_rooted(const std::string &p) {
    bool drive = p.size() >= 2 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) &&
                 p[1] == ':';
    return drive ? p.size() > 2 && ra_separator(p[2]) : !p.empty() && ra_separator(p[0]);
}

}  // namespace

std::filesystem::path ra_game_path(const std::filesystem::path &game,
                                   const std::string &windows_path) {
    std::string full = ra_rooted(windows_path) ? windows_path : game.string() + "/" + windows_path;
    char host[PATH_MAX];
    if (sim_host_path_utf8(full.c_str(), host, sizeof host)[0] == '\0') {
        // Too long for this system: kept as written, so that opening it fails.
        for (char &c : full) c = c == '\\' ? '/' : c;
        return std::filesystem::path(full);
    }
    return std::filesystem::path(host);
}
