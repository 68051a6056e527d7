// What goes into a share or a season card, gathered from the player's own
// Dir before anything is written: the replays scrubbed of addresses by the
// plug-in's own scrub (whatever ClearIp says), their record lines, and what
// the player is told about them first.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "friends/share_file.h"
#include "library/record/record_reader.h"

// What one shared replay gives away, for the report printed before the share is written.
struct ra_shared_privacy {
    std::string name;                 // the replay
    uint64_t size = 0;                // its size in bytes
    int addresses = 0;                // addresses found in it and cleared
    bool block = false;               // the block of the game's connection data was cleared
    std::vector<std::string> racers;  // the names in its record line, as shared
};

struct ra_share_plan {
    ra_share share;                          // what the file will hold
    std::vector<ra_shared_privacy> privacy;  // per replay, for the report
    bool hide_names = false;                 // --hide-names was asked for
    std::vector<std::string> hidden;         // the names it replaced
};

// The racer name the plug-in recorded for the player's car in this line;
// empty when the line does not tell.
std::string ra_line_player_name(const ra_record &record);

// A share of the given replays of dir (names as the list shows them, or
// paths in dir): each read without following a link, scrubbed in memory,
// hashed, with its record line; with hide_names the other racers' names in
// those lines become "Rival 1", "Rival 2"... False with *error.
bool ra_plan_share(const std::filesystem::path &dir, const std::vector<std::string> &files,
                   bool hide_names, ra_share_plan *plan, std::string *error);

// The season card of dir: every record line, and the hash of each replay
// still there as a share would send it. False with *error.
bool ra_plan_card(const std::filesystem::path &dir, ra_share_plan *plan, std::string *error);

// The report the player reads before the file is written.
std::string ra_privacy_report(const ra_share_plan &plan);

// The record line with one column's value changed (a renamed file, a
// hidden name); the line as it was when it has no such column.
ra_record ra_record_with(const ra_record &record, const std::string &column,
                         const std::string &value);
