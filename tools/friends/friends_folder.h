// Friends\ in Dir: one folder per friend imported, named by their racer
// name, holding their shared replays, their record lines in a replays.csv
// of the plug-in's form (in UTF-8, after its mark, so that the record
// reader knows it; one an older version wrote is in the game's bytes), and
// "replays.sha256", the hash each of their replays had by their share or
// card ("<hash>  <name>" a line). The player's own files stay in Dir
// itself: prune and the list never look below it.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "library/record/record_reader.h"

// The folder's name in Dir, and the hash list's in a friend's folder.
extern const char ra_friends_folder[];
extern const char ra_hashes_file[];
// The lock every import takes in Friends\ (platform/file_lock.h).
extern const char ra_friends_lock_file[];
// Folders of ours in Friends\ that are no friend: an import at work.
extern const char ra_import_prefix[];

// What is wrong with a sharer's racer name as their folder's name in
// Friends\: a plain name (friends/plain_name.h), not hidden (a leading dot:
// the folders of an import at work start so) and none of the names the
// program keeps in Friends\ itself; empty when it is fine.
std::string ra_friend_name_problem(const std::string &name);

struct ra_friend {
    std::string name;                           // the folder's name: their racer name
    std::filesystem::path folder;               // Friends\<name>
    ra_records records;                         // their replays.csv
    std::map<std::string, std::string> hashes;  // folded file name -> the stated SHA-256
    std::map<std::string, std::string> stated;  // the hash list as written: name -> SHA-256
    std::map<std::string, std::string> files;   // folded file name -> name, of their replays there
};

// A friend's replays.csv as the companion writes it: the mark of UTF-8,
// the plug-in's header, then the lines (in the plug-in's form, CR LF each).
std::string ra_friend_record_text(const std::string &lines);

// The hash list's text, and back (lines that are no "<hash>  <name>" are skipped).
std::string ra_hashes_text(const std::map<std::string, std::string> &by_name);
std::map<std::string, std::string> ra_parse_hashes(const std::string &text);

// A friend's folder as it is now; false with *error when it cannot be read
// (a link, a record or hash list too big or unreadable).
bool ra_read_friend(const std::filesystem::path &folder, const std::string &name, ra_friend *out,
                    std::string *error);

// The friend of this folder name imported into dir, read; false with
// *error when there is none of that name or it cannot be read.
bool ra_read_named_friend(const std::filesystem::path &dir, const std::string &name, ra_friend *out,
                          std::string *error);

// The folders of the friends imported into dir, by name, with their paths;
// links, and folders of an import at work, are left out.
std::vector<std::pair<std::string, std::filesystem::path>> ra_friend_folders(
    const std::filesystem::path &dir);

// Every friend imported into dir, by name; folders that are links, or of an
// import at work, are left out.
std::vector<ra_friend> ra_read_friends(const std::filesystem::path &dir,
                                       std::vector<std::string> *warnings);
