// Importing a friend's share or season card into Dir\Friends\<sharer>\.
// Everything is checked before anything is written (the file, every blob
// against its size and hash); then the new replays and files are made in a
// folder of their own inside Friends\ and moved into place, the friend's
// record last, so that the record never names a replay that is not there.
// A replay already present (the same SHA-256) is skipped, a name taken by
// another file gets the next free name, and nothing is ever replaced.
#pragma once

#include <filesystem>
#include <functional>
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
    // Of the share's lines whose replay came with it: those whose digest is
    // another replay's (changed, or moved onto another race's replay), and
    // those of an older record, without a digest. Both are imported, and
    // shown without "with its replay".
    size_t lines_unmatched = 0;
    size_t lines_undigested = 0;
    bool changed = false;  // anything was written
};

// What an import is doing, for the progress it tells.
enum class ra_import_stage {
    checking,  // every replay's bytes against its size and hash, nothing written yet
    writing,   // the new replays into a folder of the import's own
    placing,   // into the friend's folder: renames, no longer cancelled
};

// Told now and then while an import works: how many of the share's
// replays the stage has done of how many. Returning false cancels the
// import while it still can (before it places anything): then it ends as
// a refusal, with nothing of it left in dir.
using ra_import_progress =
    std::function<bool(ra_import_stage stage, uint64_t done, uint64_t total)>;

// The sentence of an import the player cancelled.
extern const char ra_import_cancelled[];

// Imports the share or card at file into dir. False with *error, one
// sentence, and then nothing in dir has changed.
bool ra_import_share(const std::filesystem::path &dir, const std::filesystem::path &file,
                     ra_import_result *result, std::string *error,
                     const ra_import_progress &progress = nullptr);

// The import in one sentence: "Added 40 of Renée's races (0 already here)."
std::string ra_import_summary(const ra_import_result &result);
// What the player is told of an import: that sentence, then its details
// (where it went, each replay, the record's lines).
std::string ra_import_report(const ra_import_result &result);
std::string ra_import_details(const ra_import_result &result);
