// The leaderboard's cache, Dir\Friends\friends.index (SQLite, with its -wal
// and -shm beside it): the races of the player's own record and of every
// friend's, one row each, with the facts the leaderboard compares, so that
// it need not read twenty long careers from their CSV files at each call.
//
// It is a cache and never the only copy of anything: deleting it loses
// nothing, and one that is damaged or of another schema is made anew (its
// opening, stamps and schema are record_cache.h's). Each
// racer's rows (a "source": "" for the player, else the friend's folder
// name) are made again from their files when those changed, told by each
// file's size, time stamp and the hash of its first bytes; lines appended
// to the player's record after a race are read alone. Per source it
// keeps each track and type's best lap, found once when the rows are made;
// per friend the head to head, counted again only when the player's or the
// friend's rows changed. Where Friends\ does not exist or the file cannot be
// used, the same cache lives in memory for one call.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "friends/versus.h"
#include "library/cache/record_cache.h"

struct sqlite3;

// One race of the player's as head to head pairs it.
struct ra_own_start {
    int64_t at;      // started, seconds from 1970
    int64_t line;    // in the record's usable lines
    uint32_t total;  // the player's race time, 0 none
};

// The cache's file name in Friends\: a file, so never taken for a friend.
extern const char ra_friends_index_file[];
// What SQLite adds to that name for the files it keeps beside it is
// ra_cache_suffixes (library/cache/record_cache.h); the first is the cache itself.

// One racer's best lap on a track and type.
struct ra_best_row {
    std::string source;       // "" for the player, else the friend's folder name
    std::string track, type;  // folded
    uint32_t lap = 0;         // hundredths
    std::string when;         // when that race was saved
    std::string file;         // its replay's name in the racer's folder
    std::string stated;       // the SHA-256 the friend's hash list gives it, or ""
    std::string digest;       // the replay's digest its record line states, or ""
};

// What ties a friend's replay to their share and to its record line.
struct ra_replay_proof {
    std::string sha256;  // of its bytes, as their share or card stated it
    std::string digest;  // as its record line states it (friends/line_binding.h)
};

class ra_friends_index {
public:
    ra_friends_index() = default;
    ~ra_friends_index();
    ra_friends_index(const ra_friends_index &) = delete;
    ra_friends_index &operator=(const ra_friends_index &) = delete;

    // Opens dir's cache (in memory when it cannot be kept in Friends\) and
    // brings it up to date with the player's record and the friends'
    // folders. A friend's folder that cannot be read is left out, with a
    // warning. False when not even a cache in memory could be made.
    bool refresh(const std::filesystem::path &dir,
                 const std::vector<std::pair<std::string, std::filesystem::path>> &friends,
                 std::vector<std::string> *warnings);

    // The player's racer name: the one in the newest line that has one.
    std::string player();
    // Every racer's best laps, of the track and type only when given
    // (folded), in racer order (the player first, then by folder name).
    bool bests(const std::string &track, const std::string &type, std::vector<ra_best_row> *out);
    // The player against one friend (racer left for the caller to show);
    // false for a friend whose folder could not be read.
    bool versus(const std::string &friend_name, ra_versus *out);
    // The SHA-256 and the digest of a friend's replay (a plain file of a
    // sane size), kept by its size and time stamp so that a replay is read
    // once; both "" when it cannot be read.
    ra_replay_proof replay_proof(const std::string &friend_name,
                                 const std::filesystem::path &replay);

private:
    // Null path: in memory. SQLite's code of a failure in *code when given.
    bool open(const std::filesystem::path &path, int *code);
    bool refresh_all(const std::filesystem::path &dir,
                     const std::vector<std::pair<std::string, std::filesystem::path>> &friends,
                     std::vector<std::string> *warnings);
    void close();

    sqlite3 *db_ = nullptr;
    // The player's races by race key, starts in order: read once a call.
    std::map<std::string, std::vector<ra_own_start>> own_;
    bool own_read_ = false;
};
