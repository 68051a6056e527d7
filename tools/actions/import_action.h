// Import: a friend's share or card into Dir\Friends\<sharer>\, checked whole
// first (friends/import.h); the player's own files are never touched.
#pragma once

#include <filesystem>
#include <string>

#include "actions/action_said.h"
#include "friends/import.h"
#include "program/game_setup.h"

struct ra_import_said : ra_action_said {
    ra_import_result import;  // done: whose it was and what was added
};

// Imports the share or card at file. The player knows it as shown_as (the
// name they picked in the app); empty: as its path. A failure changed
// nothing in Dir.
ra_import_said ra_import_action(const ra_game_setup &setup, const std::filesystem::path &file,
                                const std::string &shown_as = std::string(),
                                const ra_import_progress &progress = nullptr);
