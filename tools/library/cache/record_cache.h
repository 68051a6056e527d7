// What the companion's two caches of the player's record share: the
// library's index (replays.index in Dir, library_index.h) and the
// leaderboard's (friends.index in Friends\, friends/friends_index.h).
//
// They are two files, each beside what it caches: the library's with the
// record and the replays it lists, the leaderboard's with the friends'
// folders, so that removing Friends\ takes its cache along, a leaderboard
// without a Friends\ keeps its cache in memory for one call, and the app's
// refresh of the list never waits for another process's refresh of the
// leaderboard (each file has its own write lock). What they share is here,
// written once:
// - the change stamp of a file (its size, time stamp and the hash of its
//   first bytes) and the bytes appended to it since a stamp: the record
//   only grows between two races, and only the new lines are read;
// - the opening of a cache: a link in its place is refused, a damaged or
//   foreign file is removed and made anew, never trusted; WAL, the wait for
//   another process's writer, and the page cache;
// - the schema version (SQLite's user_version) with its migrations: an
//   older cache is brought up to this version step by step where its data
//   allows, and made anew from nothing otherwise (a newer program's too).
// Deleting either file changes no answer: it is made again from the files.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <filesystem>
#include <functional>
#include <string>

struct sqlite3;

// FNV-1a, 64 bits, as 16 hex digits: enough to tell a file rewritten from
// one kept or appended to.
std::string ra_fnv1a_hex(const char *data, size_t size);
inline std::string ra_fnv1a_hex(const std::string &bytes) {
    return ra_fnv1a_hex(bytes.data(), bytes.size());
}

// How many first bytes of a file its stamp hashes.
const size_t ra_stamp_head_bytes = 4096;

// A file as a cache compares it.
struct ra_file_stamp {
    bool found = false;  // something is there under the name
    bool plain = false;  // a plain file (never a link), whose bytes were read
    int kind = 0;        // else what is there, as platform/file_system.h tells it
    int64_t size = -1;   // -1 when it could not be read
    int64_t mtime = -1;  // the file system's own count
    std::string head;    // its first ra_stamp_head_bytes bytes at most

    // "-" none; "!<kind>" no plain file; else "<size>@<mtime>#<hash of head>".
    std::string text() const;
};

ra_file_stamp ra_file_stamp_of(const std::filesystem::path &path);

// Appended bytes read alone at most; a bigger change reads the file whole.
const size_t ra_appended_most_bytes = 64u << 20;

// The bytes appended to the file since it had the stamp `before` (its
// text), now that it has `now`: false when it changed otherwise (its first
// bytes differ, it did not grow, what it had did not end a line) or grew by
// more than `most` bytes; the caller then reads it whole.
bool ra_appended_bytes(const std::filesystem::path &path, const std::string &before,
                       const ra_file_stamp &now, size_t most, std::string *tail);

// One step of a cache's schema: from version `from` to `from` + 1.
struct ra_cache_migration {
    int from;
    const char *sql;
};

// A cache's schema and how its file is kept.
struct ra_cache_schema {
    int version;                           // in SQLite's user_version
    const char *tables_sql;                // the schema of `version`, made in an empty file
    const ra_cache_migration *migrations;  // in order of `from`; may be none
    size_t migration_count;
    // Run after tables_sql in the same transaction (indexes, first values);
    // may be empty.
    std::function<bool(sqlite3 *db)> made;
    int wait_ms;          // for another process's writer
    int cache_kib;        // SQLite's page cache per connection; 0: SQLite's own
    int64_t wal_kept;     // what the log keeps of its size once copied; 0: SQLite's own
    bool keep_wal_files;  // the -wal and -shm stay when the last connection closes
    // SQLite's page cache while a cache is made from nothing aside (below),
    // in KiB: what its bulk writes and the sorts of its indexes work in.
    int aside_cache_kib;
};

// How a cache was opened.
enum class ra_cache_opened {
    kept,      // of this version already
    migrated,  // an older version brought up to this one, its rows kept
    made,      // made from nothing: a new file, a foreign one, or no way to migrate
};

// What SQLite adds to a cache's name for the files it keeps beside it.
const size_t ra_cache_suffix_count = 4;
extern const char *const ra_cache_suffixes[ra_cache_suffix_count];

// Removes a cache and SQLite's files beside it (a damaged cache).
void ra_remove_cache(const std::filesystem::path &path);

// Opens the cache at path (in memory when path is empty) as `schema`: a
// file that is no database (or a damaged one) is removed and made anew,
// once. Null with *why (and SQLite's code in *code when given) when it
// cannot be used at all: a link or a folder in its place, a read-only
// folder, another process holding it too long.
sqlite3 *ra_open_cache(const std::filesystem::path &path, const ra_cache_schema &schema,
                       ra_cache_opened *how, std::string *why, int *code = nullptr);

// A cache that is not there yet is made from nothing aside: in a file of
// its own beside path under a temporary name (files.h), without a journal
// and without waiting for the disk, as only a cache may be written, and
// with its temporary tables in files. A crash then leaves a stray
// temporary file, never half a cache under its name. Null with *why (the
// temporary's name in *aside either way).
sqlite3 *ra_open_cache_aside(const std::filesystem::path &path, const ra_cache_schema &schema,
                             std::filesystem::path *aside, std::string *why);

// Closes db (made by ra_open_cache_aside) and gives its file the name
// path, unless something has that name by now (another process made the
// same cache meanwhile, which is as good): then the file made aside goes.
// False with *why when neither is there.
bool ra_place_cache(sqlite3 *db, const std::filesystem::path &aside,
                    const std::filesystem::path &path, std::string *why);
