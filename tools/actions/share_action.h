// Share and card: the files a player sends a friend. Both are planned
// first (friends/sharing.h), and the player reads what the file gives away
// before it is written; neither changes anything in Dir.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "actions/action_said.h"
#include "friends/sharing.h"
#include "program/game_setup.h"

struct ra_share_said : ra_action_said {
    ra_share_plan plan;          // done: what the file will hold; said is its privacy report
    const char *extension = "";  // the file's: ".rpshare" or ".rpcard"
};

// A share of the given replays of Dir (names as the list shows them, or
// paths in Dir); hide_names: the other racers become "Rival 1", "Rival 2"...
ra_share_said ra_share_action(const ra_game_setup &setup, const std::vector<std::string> &files,
                              bool hide_names);

// The season card of Dir: every record line and each replay's hash.
ra_share_said ra_card_action(const ra_game_setup &setup);

// The file's own name: "<sharer>_<when><extension>".
std::string ra_share_file_name(const ra_share_said &planned);

// Writes what was planned at path; says where.
ra_action_said ra_write_share_action(const ra_share_said &planned,
                                     const std::filesystem::path &path);
