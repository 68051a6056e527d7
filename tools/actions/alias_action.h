// The racers' aliases (friends/aliases.h): a racer shown under another name
// in every view of friends.
#pragma once

#include <string>

#include "actions/action_said.h"
#include "program/game_setup.h"

// Stores OLD -> NEW; an empty new_name takes the alias of OLD away.
ra_action_said ra_alias_action(const ra_game_setup &setup, const std::string &old_name,
                               const std::string &new_name);

// Every alias stored, one line each.
ra_action_said ra_aliases_action(const ra_game_setup &setup);
