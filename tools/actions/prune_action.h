// Prune and the library app's Tidy: the oldest of the replays the plug-in
// saved in Dir go by the player's policies (library/replays/prune.h decides and
// removes). The console and Tidy say the same of what went; Tidy adds its
// own sentence and the words of its button.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "actions/action_said.h"
#include "library/replays/prune.h"
#include "program/game_setup.h"

struct ra_prune_ask {
    std::string keep;        // how many of the newest stay, as given; empty: not given
    std::string max_size;    // how much space they may take, as given; empty: not given
    std::string older_than;  // after how many days they go, as given; empty: not given
    bool apply = false;      // remove them; otherwise only say which would go
    // Tidy applies only the plan its preview showed (ra_prune_plan);
    // the console applies what the policies give.
    ra_front front = ra_front::console;
    std::string plan;
};

struct ra_prune_said : ra_action_said {
    ra_prune_result prune;             // what prune found and did
    std::vector<std::string> removed;  // the replays removed, or with a preview that would go
    uint64_t bytes = 0;                // their size
    size_t not_removed = 0;            // replays that should have gone and could not
    std::string summary;               // Tidy's one sentence of it
    // A preview with replays to go: its plan, which applying takes back,
    // and the words of the button that applies it.
    std::string plan;
    std::string apply_words;
};

// Whether ask can be done as asked, before anything is looked at (the
// settings neither): done, or refused in the words of ask.front.
ra_action_said ra_check_prune_ask(const ra_prune_ask &ask);

// Prunes Dir by ask's policies (any policy given removes a replay);
// without apply it only says which would go. A policy given wrongly is
// refused in the words of ask.front, and nothing is looked at.
ra_prune_said ra_prune_action(const ra_game_setup &setup, const ra_prune_ask &ask,
                              ra_remover remove = nullptr);

// What prune found and did in Dir (shown as `shown`), in the console's words.
ra_action_said ra_prune_words(const ra_prune_result &result, const std::string &shown);
