// The library app's answers about friends, in JSON: who was imported and
// when, their races, the leaderboards and head to head, as the Friends view
// reads them. Every name from a share is given as UTF-8 text for the page
// to set as text; a friend's replay is named for Watch as
// "Friends/<friend>/<file>", percent-encoded as the page names a replay.
// Lists are cut at a bound of their own, with the count before the cut.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "friends/leaderboard.h"

// Friends listed, and boards given, in one answer at most.
const size_t ra_friends_shown_max = 500;
const size_t ra_boards_shown_max = 300;
// A friend's races given at once, unless asked for fewer, and at most: a
// friend may bring a whole career of races.
const size_t ra_friend_races_page = 100;
const size_t ra_friend_races_page_max = 500;

// {player, friends: [{name, shown, imported, races, replays}], versus,
// boards, boards_total, warnings}. A friend's "imported" is the time their
// record was last written: an import writes it last, so it is when their
// newest import ended.
nlohmann::json ra_friends_json(const std::filesystem::path &dir);

// The races of the friend imported as Friends\<name>, newest first, from
// the offset'th: {friend, total, offset, races: [{id, when, track, type,
// laps, lap, replay, kept}]}, at most `limit` (bounded by
// ra_friend_races_page_max). A race's id names it for Watch, Keep and
// Remove; replay tells whether its replay is in their folder, lap is their
// own car's best. False with *error, a sentence, when no such friend was
// imported or their folder cannot be read.
bool ra_friend_races_json(const std::filesystem::path &dir, const std::string &name, size_t offset,
                          size_t limit, nlohmann::json *out, std::string *error);

// The boards of one leaderboard: [{track, type, meaning, entries: [{racer,
// you, lap, when, gap, with_replay, watch}]}], at most ra_boards_shown_max,
// each with the first ra_friends_shown_max + 1 racers.
nlohmann::json ra_boards_json(const ra_leaderboard &board);
