// The racers' aliases: a friend who changed their racer name is still one
// racer. They live in "replays.aliases" in Dir, one "OLD<TAB>NEW" a line
// in UTF-8 (a line of an older version, in the game's bytes, is read as those),
// written whole in one step under the lock replays.aliases.lock; every view
// of friends (the leaderboard, head to head) shows a name through them.
#pragma once

#include <filesystem>
#include <map>
#include <string>

// The aliases file's name in Dir, and its lock file's.
extern const char ra_aliases_file[];
extern const char ra_aliases_lock_file[];

struct ra_aliases {
    std::map<std::string, std::string> by_folded;  // folded old name -> new name
    std::map<std::string, std::string> spelled;    // old name as given -> new name
    // The name a view shows: the alias of the name, else the name.
    std::string shown(const std::string &name) const;
};

// The aliases of dir; none when there is no file or it cannot be read.
ra_aliases ra_read_aliases(const std::filesystem::path &dir);

// What the player is told once OLD -> NEW is stored, one sentence with one
// full stop, whether NEW ends in one ("Ż.") or not.
std::string ra_alias_stored(const std::string &old_name, const std::string &new_name);

// Stores OLD -> NEW (NEW empty: takes the alias of OLD away). False with
// *error, a sentence for the player.
bool ra_set_alias(const std::filesystem::path &dir, const std::string &old_name,
                  const std::string &new_name, std::string *error);
