// Whether the plug-in can make Dir and write replays into it: a drive that
// does not exist, a file where a folder of Dir should be, or a folder we
// may not write end every autosave silently in the game, so the check tool
// says so beforehand. It looks with the same file functions the plug-in
// uses and creates nothing that outlives the check: the one test file it
// writes is deleted by the system when it is closed.
#include <windows.h>

#include <string>
#include <vector>

#include "check/check_internal.h"
#include "settings/settings.h"

namespace {

// The test file's name in the deepest folder of Dir that exists.
const char ra_check_probe_file[] = "replay-autosave-check.tmp";

bool ra_check_is_sep(char c) { return c == '\\' || c == '/'; }

bool ra_check_has_drive(const std::string &path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// Dir as a path the file functions take from here: relative to the game's
// folder, which is the plug-in's current folder in the game.
std::string ra_check_full_dir(const std::string &game_folder, const std::string &dir) {
    if (ra_check_has_drive(dir) || ra_check_is_sep(dir[0])) return dir;
    return game_folder + dir;
}

// Whether a test file can be created in folder: 1 yes, 0 no (with the
// error), -1 when it cannot be told (a file of the test's name is there).
int ra_check_may_write(const std::string &folder, DWORD *error) {
    std::string probe = folder;
    if (!probe.empty() && !ra_check_is_sep(probe.back())) probe += '\\';
    probe += ra_check_probe_file;
    // Never over a file; the system deletes ours as the handle closes.
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return *error == ERROR_FILE_EXISTS ? -1 : 0;
    }
    CloseHandle(file);
    return 1;
}

}  // namespace

void ra_check_dir_warnings(const ra_settings &settings, const std::string &game_folder,
                           std::vector<std::string> *warnings) {
    if (settings.enabled == 0 || settings.dir[0] == '\0') return;
    const std::string dir = settings.dir;
    const std::string key = ra_setting_name(RA_SET_DIR);
    const std::string full = ra_check_full_dir(game_folder, dir);
    const std::string lost = ", so the plug-in cannot save any replay there";

    // The drive first: every level below it would fail alike.
    size_t start = 0;
    std::string deepest = game_folder.empty() ? "." : game_folder;
    if (ra_check_has_drive(full)) {
        std::string root = full.substr(0, 2) + "\\";
        if (GetFileAttributesA(root.c_str()) == INVALID_FILE_ATTRIBUTES) {
            warnings->push_back(key + ": the drive " + full.substr(0, 2) + " of " + dir +
                                " does not exist or has no disk in it" + lost +
                                "; choose a folder on a drive of this computer");
            return;
        }
        start = 2;
        deepest = root;
    }
    while (start < full.size() && ra_check_is_sep(full[start])) ++start;
    if (start > 0 && !ra_check_has_drive(full)) deepest = full.substr(0, start);

    // Each level as the plug-in makes them, down to the first that is missing.
    size_t from = start;
    for (size_t end = start; end <= full.size(); ++end) {
        if (end < full.size() && !ra_check_is_sep(full[end])) continue;
        bool empty = end == from;  // two separators in a row, or one at the end
        from = end + 1;
        if (empty) continue;
        std::string level = full.substr(0, end);
        DWORD attributes = GetFileAttributesA(level.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) break;  // made by the plug-in from here on
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            warnings->push_back(key + ": " + level + " is a file, not a folder" + lost +
                                "; move that file away or choose another Dir");
            return;
        }
        deepest = level;
    }

    DWORD error = 0;
    if (ra_check_may_write(deepest, &error) == 0 &&
        (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)) {
        warnings->push_back(
            key + ": this account may not write in " + deepest +
            (error == ERROR_WRITE_PROTECT ? " (the disk is write-protected)" : " (access denied)") +
            lost + "; choose a folder of your own, such as one in Documents");
    }
}
