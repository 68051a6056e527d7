// A friend's laps on one track and type, as the lap charts overlay them on
// the player's own: the best lap of the friend's own car in each race of
// their imported record, read through the friends readers.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "library/cache/index_queries.h"

// The laps of the friend imported as Friends\<name> on the track and type
// (any letter case), oldest first, each marked pb when faster than all
// before it. False with *error when no such friend was imported or their
// folder cannot be read.
bool ra_friend_laps(const std::filesystem::path &dir, const std::string &name,
                    const std::string &track, const std::string &type,
                    std::vector<ra_chart_lap> *out, std::string *error);
