// Where the game and its saved replays are, read from the player's
// replay_autosave.ini through the plug-in's own settings loader, so that
// the companion looks in the folder the plug-in saves to.
#pragma once

#include <filesystem>
#include <string>

#include "settings/settings.h"

struct ra_game_setup {
    std::filesystem::path ini;   // the settings file, absolute
    std::filesystem::path game;  // the game's folder: the INI's folder
    ra_settings settings;        // what the plug-in reads from it
    std::string dir_setting;     // Dir as the plug-in reads it, as text
    std::filesystem::path dir;   // that folder on this system
};

// Loads the settings from ini, or from replay_autosave.ini beside this
// program when ini is empty. Without a file beside the program the plug-in's
// defaults hold, as they do for the plug-in; a file that was named and
// cannot be read, or one that exists and cannot be read, is an error: false
// with *error saying what and how to fix it. Each call reads the file
// afresh, with the plug-in's own loader.
bool ra_load_setup(const std::string &ini, ra_game_setup *out, std::string *error);
