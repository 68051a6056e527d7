#include "program/game_setup.h"

#include <system_error>

#include "platform/check_platform.h"
#include "library/replays/files.h"
#include "platform/game_paths.h"
#include "platform/game_text.h"
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
    std::filesystem::path path = std::filesystem::absolute(ra_path(named), failed);
    if (failed) path = ra_path(named);
    std::string text, why;
    bool absent = !std::filesystem::exists(path, failed);
    if (!(absent && ini.empty()) && !ra_read_file(path, &text, &why)) {
        *error = "cannot read " + ra_text(path) + ": " + why +
                 "; name your replay_autosave.ini with --ini, or put this program next to it";
        return false;
    }
    out->ini = path;
    out->game = path.parent_path();
    // The plug-in's loader takes the path in the game's bytes. A name the
    // code page cannot spell opens no file then, as the game's own spelling
    // of it opens none for the plug-in: both run on its defaults.
    std::string ini_bytes;
    ra_game_bytes(ra_text(path), &ini_bytes);
    ra_load_settings(ini_bytes.c_str(), &out->settings);
    out->dir_setting = ra_game_text(out->settings.dir);
    out->dir = ra_game_path(out->game, out->dir_setting);
    return true;
}
