// Keep and unkeep: the player's marks on the replays prune must leave alone
// (library/replays/keep_marks.h), a friend's in their folder's own marks. Only a
// replay the list shows can be marked, so a mark always names a file of
// Dir that the player has seen.
#pragma once

#include <string>

#include "actions/action_said.h"
#include "library/replays/replays.h"
#include "program/game_setup.h"

struct ra_mark_said : ra_action_said {
    std::string marked;  // done: the name the mark was set or taken away under
};

// Marks file (its name as listed, its path in Dir, or
// Friends\<friend>\<replay>) so that prune never removes it, or takes the
// mark away (keep false). list holds the entries of Dir that may bear
// that name; a name is matched exactly first, then in any letter case.
ra_mark_said ra_keep_action(const ra_game_setup &setup, const ra_replay_list &list,
                            const std::string &file, bool keep);
