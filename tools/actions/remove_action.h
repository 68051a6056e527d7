// Removing what came from friends: one of a friend's replays with its lines
// in their record (friends/friend_replay.h), or a whole friend
// (friends/friend_removal.h). The player's own replays leave by prune and
// Tidy alone, which show first what goes.
#pragma once

#include <string>

#include "actions/action_said.h"
#include "program/game_setup.h"

// Removes Friends\<friend>\<replay> and its lines from their record. A
// name of any other form is refused, pointing to prune (the console) or to
// Tidy (the app).
ra_action_said ra_remove_action(const ra_game_setup &setup, const std::string &file,
                                ra_front front);

// Removes Friends\<name>, every race of that friend.
ra_action_said ra_remove_friend_action(const ra_game_setup &setup, const std::string &name);
