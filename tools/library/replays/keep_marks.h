// The replays the player keeps: prune never removes them. The marks live in
// a small file of the companion's own in Dir, "replays.keep", one file name
// a line in UTF-8 (a line of an older version, in the game's bytes, is read
// as those), so that replays.csv stays the plug-in's alone. Consoles and the
// library app may change them at the same time: every change is made under
// one lock (replays.keep.lock in Dir), from the file as it is then, and
// written whole in one step; prune reads them under the same lock and holds
// it while it removes replays.
#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "platform/file_lock.h"

// The marks file's name in Dir, and its lock file's.
extern const char ra_keep_file[];
extern const char ra_keep_lock_file[];

// The names marked in dir, compared ignoring letter case as Windows compares
// names.
struct ra_keep_marks {
    std::set<std::string> folded;  // upper case
    bool has(const std::string &file) const;
};

// The marks as they are, for what only shows them (list, the page): none
// when there is no marks file, or when it cannot be read.
ra_keep_marks ra_read_keep_marks(const std::filesystem::path &dir);

// The marks for what removes replays: false with *error when the marks file
// is there but cannot be read (a link, unreadable, or larger than marks
// ever take), so that nothing is removed then. None when there is no file.
bool ra_load_keep_marks(const std::filesystem::path &dir, ra_keep_marks *marks, std::string *error);

// Takes the marks' lock of dir for as long as *lock lives, waiting a few
// seconds at most for another process. False with *error, a sentence for
// the player.
bool ra_lock_keep_marks(const std::filesystem::path &dir, ra_file_lock *lock, std::string *error);

// Marks or unmarks one file name of dir, under the marks' lock; a replay is
// marked only while it is in dir. False with *error when the marks cannot
// be locked, read or written, or the replay is gone.
bool ra_set_keep_mark(const std::filesystem::path &dir, const std::string &file, bool keep,
                      std::string *error);

// What the player is told once a mark is made (keep) or taken away.
std::string ra_keep_said(const std::string &file, bool keep);
