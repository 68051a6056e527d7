// A friend's replay named from Dir, as restore, keep, unkeep and remove take
// it: "Friends\<friend>\<file>" (either slash). The friend must be one of
// the folders ra_friend_folders lists (no link, no import at work), and the
// file a plain name in it: nothing here ever leads out of that folder.
// A friend's keep marks live in their own folder's replays.keep (the same
// file and lock as the player's marks in Dir), so that they go with the
// folder when the friend is removed and the player's own marks name only
// the player's own replays, as prune reads them.
#pragma once

#include <filesystem>
#include <string>

struct ra_friend_replay {
    std::string friend_name;       // the folder's own name in Friends\ .
    std::filesystem::path folder;  // Dir\Friends\<friend_name>
    std::string file;              // the replay's name there
    std::filesystem::path path;    // folder / file
};

// True when given is of the form "Friends\<friend>\<file>": then *problem
// is empty and *out is set, or *problem says in one sentence why it names
// no replay of a friend. False when given is of another form.
bool ra_is_friend_replay(const std::filesystem::path &dir, const std::string &given,
                         ra_friend_replay *out, std::string *problem);

// Marks a friend's replay kept (or not) in their folder's own marks. A
// replay that is not there cannot be kept. False with *error, a sentence.
bool ra_mark_friend_replay(const ra_friend_replay &replay, const std::string &given, bool keep,
                           std::string *error);

// Removes a friend's replay, under the lock of Friends\: its lines leave
// the friend's record and its hash the hash list (each file written anew
// and renamed over the old one, the record first), then the replay goes to
// the Recycle Bin where the system has one. A replay the player keeps is
// refused. False with *error, a sentence; the record is then as it was.
bool ra_remove_friend_replay(const ra_friend_replay &replay, std::string *error);
