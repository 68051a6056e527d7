// Importing a friend's share or season card into Dir\Friends\<sharer>\.
// Everything is checked before anything is written (the file, every blob
// against its size and hash); then the new replays and files are made in a
// folder of their own inside Friends\ and moved into place, the friend's
// record last, so that the record never names a replay that is not there.
// A replay already present (the same SHA-256) is skipped, a name taken by
// another file gets the next free name, and nothing is ever replaced.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "friends/share_file.h"

struct ra_import_result {
    std::string sharer;  // whose share it was
    ra_share_kind kind = ra_share_kind::share;
    std::filesystem::path folder;      // Friends\<sharer>
    std::vector<std::string> added;    // replays written, by their name there
    std::vector<std::string> renamed;  // "theirs.rp4 as theirs (2).rp4"
    std::vector<std::string> skipped;  // replays already there: "theirs.rp4 (as mine.rp4)"
    size_t lines_added = 0;            // record lines new to the folder
    size_t lines_known = 0;            // record lines it had already
    bool changed = false;              // anything was written
};

// Imports the share or card at file into dir. False with *error, one
// sentence, and then nothing in dir has changed.
bool ra_import_share(const std::filesystem::path &dir, const std::filesystem::path &file,
                     ra_import_result *result, std::string *error);

// What the player is told of an import.
std::string ra_import_report(const ra_import_result &result);
