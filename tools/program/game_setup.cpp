#include "program/game_setup.h"

#include <system_error>

#include "platform/check_platform.h"
#include "library/files.h"
#include "platform/game_paths.h"
#include "settings/settings.h"

bool ra_load_setup(const std::string &ini, ra_game_setup *out, std::string *error) {
    *out = ra_game_setup();
    std::string named = ini;
    if (named.empty()) {
        named = ra_check_default_ini();
        if (named.empty()) {
            *error = "cannot find the folder of this program; name the settings file with --ini";
            return false;
        }
    }
    std::error_code failed;
    std::filesystem::path path = std::filesystem::absolute(ra_argument_path(named), failed);
    if (failed) path = ra_argument_path(named);
    std::string text, why;
    bool absent = !std::filesystem::exists(path, failed);
    if (!(absent && ini.empty()) && !ra_read_file(path, &text, &why)) {
        *error = "cannot read " + ra_text(path) + ": " + why +
                 "; name your replay_autosave.ini with --ini, or put this program next to it";
        return false;
    }
    out->ini = path;
    out->game = path.parent_path();
    ra_load_settings(ra_text(path).c_str(), &out->settings);
    out->dir_setting = out->settings.dir;
    out->dir = ra_game_path(out->game, out->settings.dir);
    return true;
}
