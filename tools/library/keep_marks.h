// The replays the player keeps: prune never removes them. The marks live in
// a small file of the companion's own in Dir, "replays.keep", one file name
// a line, so that replays.csv stays the plug-in's alone.
#pragma once

#include <filesystem>
#include <set>
#include <string>

// The marks file's name in Dir.
extern const char ra_keep_file[];

// The names marked in dir, compared ignoring letter case as Windows compares
// names; none when there is no marks file.
struct ra_keep_marks {
    std::set<std::string> folded;  // upper case
    bool has(const std::string &file) const;
};
ra_keep_marks ra_read_keep_marks(const std::filesystem::path &dir);

// Marks or unmarks one file name of dir. False with *error when the marks
// file cannot be written.
bool ra_mark_kept(const std::filesystem::path &dir, const std::string &file, bool keep,
                  std::string *error);

// What the player is told once a mark is made (keep) or taken away.
std::string ra_keep_said(const std::string &file, bool keep);
