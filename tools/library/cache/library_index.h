// The library's index: what ra_list_replays makes of Dir (replays.h), kept
// in an SQLite file in Dir ("replays.index", with SQLite's -wal and -shm
// beside it), so that a command or the app need not read the whole record
// and list the whole folder each time.
//
// It is a cache and never the only copy of anything: the record stays the
// plug-in's, the keep marks stay in their own file, and an index that is
// deleted, damaged or foreign is made again from them; one of an older
// schema is migrated where its rows allow (record_cache.h). It is
// brought up to date by what changed: lines appended to the record whose
// files are new in Dir are read alone, from the offset reached last time;
// anything else (a record rewritten by repair or a spreadsheet, found by
// its size, time stamp and the hash of its first bytes; a file added,
// removed or changed in Dir, found by name, size and time) runs the whole
// pipeline again and writes the rows that differ. Every row carries the
// version of the refresh that last changed it, and a row that went leaves a
// tombstone, so that the app can ask what changed since a cursor. A
// rebuild reads the record a part at a time into the index and writes the
// rows from there: a long career is never in memory whole.
//
// One writer at a time: a refresh is one transaction that takes SQLite's
// write lock first (WAL: readers go on meanwhile) and looks at the files
// only then, so two processes refreshing at once both end right, and a
// crash leaves the last committed index, which the next refresh corrects.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "library/cache/record_cache.h"
#include "library/replays/replays.h"

struct sqlite3;

// The index's file name in Dir; SQLite adds "-wal", "-shm" and "-journal".
extern const char ra_index_file[];

// How far a rebuild has come: rows written of all.
using ra_index_progress = std::function<void(size_t done, size_t total)>;

// What the last refresh did.
enum class ra_index_change {
    none,      // nothing had changed
    marks,     // the keep marks (or only Dir's time stamp) changed
    appended,  // lines appended for new files were read alone
    rebuilt,   // the whole pipeline ran again
};

// What the whole library says beyond its rows.
struct ra_index_facts {
    size_t entries = 0;         // every entry of the list
    std::string default_racer;  // ra_default_racer of the whole list
    std::string player;         // the name at `player` in the newest race that has one
    int64_t cursor = 0;         // the version of the last change
    int64_t floor = 0;          // cursors below it are too old to answer
};

class ra_library_index {
public:
    ra_library_index() = default;
    ~ra_library_index();
    ra_library_index(const ra_library_index &) = delete;
    ra_library_index &operator=(const ra_library_index &) = delete;

    // Opens dir's index, making it when it is missing and making it anew
    // when it cannot be read as ours. False with *why when SQLite cannot
    // open or write the file at all (a read-only Dir).
    bool open(const std::filesystem::path &dir, std::string *why);

    // Brings the index up to date with the record (shown as `shown` in its
    // warnings), Dir's files and the keep marks. With `quick`, a Dir whose
    // own time stamp is unchanged is taken as unchanged (files added,
    // removed or renamed change it); the app asks so on every request.
    // False with *why when it could not be written (another process held
    // it too long): the index then stays as it was.
    bool refresh(const std::string &shown, bool quick, const ra_index_progress &progress,
                 std::string *why);

    // The list as ra_list_replays makes it. With a track, only the entries
    // whose facts name that track (any letter case), newest first, and the
    // record lines they need: what list --track shows, with the same
    // personal bests (those are per track). With a file, only the entries
    // of exactly that name (a race's details). False when the index cannot
    // be read; *out is then empty.
    bool load(ra_replay_list *out, const std::string &track = std::string(),
              const std::string &file = std::string());

    // The record as restore asks it about one file: the latest line that
    // names it (any letter case) and the newest line, the record's warnings.
    bool records_for(const std::string &file, ra_records *out);

    // The whole library's facts, as of the last refresh.
    bool facts(ra_index_facts *out);

    // The record's usable lines as the index keeps them, in file order,
    // from the skip-th on (0: all), handed to `each` part_lines at a time as
    // ra_read_records_in_parts hands them (records.h): what the leaderboard's
    // cache takes of the player's record instead of reading it again. False
    // when `each` said to stop or the index cannot give them.
    bool read_lines_in_parts(size_t skip, size_t part_lines,
                             const std::function<bool(const ra_records &part)> &each);
    // The change stamp (record_cache.h) of the record as the last refresh
    // read it: the lines above are of a record with this stamp.
    std::string record_stamp();

    // The database, for the queries of index_queries.h.
    sqlite3 *db() const { return db_; }
    const std::filesystem::path &dir() const { return dir_; }
    // A rebuild under way in this process: rows done of all (0 of 0: none).
    size_t indexing_done() const { return done_; }
    size_t indexing_total() const { return total_; }
    ra_index_change last_change() const { return change_; }
    // How open found the file: of this schema, migrated from an older one,
    // or made from nothing.
    ra_cache_opened opened() const { return opened_; }

private:
    void close();
    // The index made aside by the first refresh given its name, and opened
    // as it is from then on.
    bool place(std::string *why);
    // The record lines (all, or these) in file order into records->lines.
    bool read_lines(const std::set<int> *wanted, ra_records *records);

    sqlite3 *db_ = nullptr;
    std::filesystem::path dir_;
    // While the index is made from nothing: the file it is written in.
    std::filesystem::path aside_;
    size_t done_ = 0, total_ = 0;
    ra_index_change change_ = ra_index_change::none;
    ra_cache_opened opened_ = ra_cache_opened::made;
};

// How a command asks for the list through the index.
struct ra_index_request {
    ra_index_progress progress;  // a rebuild's progress, when wanted
    std::string track;           // as ra_library_index::load
    // False: use an index that is there, but make none. What must leave Dir
    // as it found it (a dry run of prune, a restore that fails) asks so.
    bool make = true;
};

// ra_list_replays through dir's index: the same list and the same error
// for a Dir that cannot be read. Where the index cannot be opened or
// written, the list is made without it: the index is never the reason a
// command fails. The whole library's facts in *facts when given.
bool ra_indexed_list(const std::filesystem::path &dir, const std::string &shown,
                     ra_replay_list *out, std::string *error,
                     const ra_index_request &request = ra_index_request(),
                     ra_index_facts *facts = nullptr);

// Removes dir's index and SQLite's files beside it (a damaged index).
void ra_remove_index(const std::filesystem::path &dir);
