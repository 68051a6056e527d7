// The library's index in SQLite: its schema, its refresh and the list read
// back from it.
#include "library/cache/library_index.h"

#include <sqlite3.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <system_error>
#include <unordered_map>

#include "library/record/csv.h"
#include "library/replays/files.h"
#include "library/text/folded_name.h"
#include "library/cache/index_store.h"
#include "library/replays/keep_marks.h"
#include "library/record/racers.h"
#include "library/cache/record_cache.h"
#include "library/record/record_schema.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "settings/settings.h"
#include "snapshot/race_context.h"

namespace fs = std::filesystem;

const char ra_index_file[] = "replays.index";

namespace {

// The schema's version, in SQLite's user_version. Since 9 its texts are
// UTF-8, as the record reader decodes them (older ones held the record's
// bytes, and are made anew); since 10 the record's state is one change
// stamp, as record_cache.h takes it; since 11 the laps have fewer indexes
// (each rebuild makes them anew), and the sorts by laps and cars their own.
const int ra_index_schema = 11;
// How long a process waits for another one's refresh before it lists Dir
// without the index; a rebuild of a long season takes seconds.
const int ra_index_wait_ms = 30000;
// A rebuild reads the record, and writes the list's rows, this many at a
// time (some 5 MB of lines).
const size_t ra_rebuild_part_lines = 5000;
// Rows between two reports of a rebuild's progress.
const size_t ra_progress_step = 1000;
// Dir's files are read into room for as many as the index had, up to this
// many: the count comes from a file that may be damaged.
const uint64_t ra_files_room_most = 1 << 20;
// What SQLite's log keeps of its size once copied into the index while
// the app has it open (it is emptied when the last connection closes).
const int ra_wal_kept_bytes = 4 << 20;
// SQLite's page cache per connection, in KiB, about SQLite's own default:
// most reads pass through it once (a track's list reads some 40 MB of
// pages), and a larger cache made no rebuild faster but each such read
// slower, by the memory it fills.
const int ra_cache_kib = 2 << 10;
// The page cache of an index made from nothing (record_cache.h): its bulk
// writes and the sorts that make its indexes, within the rebuild's bound
// of memory.
const int ra_rebuild_cache_kib = 8 << 10;

const char ra_schema_sql[] = R"(
CREATE TABLE meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID;
CREATE TABLE layouts(id INTEGER PRIMARY KEY, columns BLOB NOT NULL UNIQUE);
CREATE TABLE lines(line INTEGER PRIMARY KEY, layout INTEGER NOT NULL, fields BLOB NOT NULL,
                   folded TEXT NOT NULL);
CREATE TABLE files(folded TEXT PRIMARY KEY, name TEXT NOT NULL, size INTEGER NOT NULL,
                   mtime INTEGER NOT NULL, stamp INTEGER, claimed INTEGER NOT NULL)
                   WITHOUT ROWID;
CREATE TABLE entries(id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE, file TEXT NOT NULL,
                     folded TEXT NOT NULL, when_text TEXT NOT NULL, line INTEGER NOT NULL,
                     holds INTEGER NOT NULL, state INTEGER NOT NULL, kind INTEGER NOT NULL,
                     renamed_from TEXT NOT NULL, track TEXT NOT NULL, type TEXT NOT NULL,
                     laps TEXT NOT NULL, cars TEXT NOT NULL, weather TEXT NOT NULL,
                     track_key TEXT NOT NULL, type_key TEXT NOT NULL, weather_key TEXT NOT NULL,
                     lap INTEGER NOT NULL, lap_by TEXT NOT NULL, laps_by BLOB NOT NULL,
                     search TEXT NOT NULL, player_name TEXT NOT NULL, kept INTEGER NOT NULL,
                     digest BLOB NOT NULL, version INTEGER NOT NULL, born INTEGER NOT NULL,
                     removed INTEGER NOT NULL);
CREATE TABLE laps(entry INTEGER NOT NULL, racer TEXT NOT NULL, lap INTEGER NOT NULL,
                  track_key TEXT NOT NULL, type_key TEXT NOT NULL, when_text TEXT NOT NULL,
                  line INTEGER NOT NULL, pb INTEGER NOT NULL);
CREATE TABLE racers(racer TEXT PRIMARY KEY, name TEXT NOT NULL, races INTEGER NOT NULL,
                    car INTEGER NOT NULL) WITHOUT ROWID;
CREATE VIRTUAL TABLE search_text USING fts5(search, content='entries', content_rowid='id',
                                            tokenize='trigram case_sensitive 1');
)";

// From 9, whose record state was five values: the same state as one stamp
// (its head's hash was of the same first bytes). A record that was not
// found, or not read, gets a stamp that matches no file.
const ra_cache_migration ra_index_migrations[] = {
    {9,
     "INSERT OR REPLACE INTO meta(key, value) SELECT 'record_stamp', "
     "CASE WHEN (SELECT value FROM meta WHERE key='record_found')=1 "
     "AND (SELECT value FROM meta WHERE key='record_size')>=0 "
     "THEN (SELECT value FROM meta WHERE key='record_size') || '@' || "
     "(SELECT value FROM meta WHERE key='record_mtime') || '#' || "
     "CAST((SELECT value FROM meta WHERE key='record_head') AS TEXT) "
     "WHEN (SELECT value FROM meta WHERE key='record_found')=0 THEN '-' ELSE '?' END; "
     "DELETE FROM meta WHERE key IN ('record_size', 'record_mtime', 'record_head', "
     "'record_head_length');"},
    // From 10: two indexes of the laps fewer (their reads go through
    // laps_racer and laps_yours), the personal bests' index holds only them,
    // and the sorts by a race's laps and cars have theirs.
    {10,
     "DROP INDEX IF EXISTS laps_group; DROP INDEX IF EXISTS laps_best; "
     "DROP INDEX IF EXISTS laps_pb; CREATE INDEX laps_pb ON laps(racer) WHERE pb = 1; "
     "CREATE INDEX entries_laps ON entries(removed, kind, CAST(laps AS INTEGER)) "
     "WHERE laps <> ''; "
     "CREATE INDEX entries_cars ON entries(removed, kind, CAST(cars AS INTEGER)) "
     "WHERE cars <> '';"},
};

// The search's own index of the entries' folded names (search_text, a
// substring of three letters or more found from its letter triples), kept
// up to date by these triggers. The text is folded already: the index
// compares bytes as they are.
struct ra_search_trigger {
    const char *name;
    const char *body;
};
const ra_search_trigger ra_search_triggers[] = {
    {"search_added",
     "AFTER INSERT ON entries BEGIN "
     "INSERT INTO search_text(rowid, search) VALUES(new.id, new.search); END"},
    {"search_changed",
     "AFTER UPDATE OF search ON entries BEGIN "
     "INSERT INTO search_text(search_text, rowid, search) VALUES('delete', old.id, old.search); "
     "INSERT INTO search_text(rowid, search) VALUES(new.id, new.search); END"},
    {"search_dropped",
     "AFTER DELETE ON entries BEGIN "
     "INSERT INTO search_text(search_text, rowid, search) VALUES('delete', old.id, old.search); "
     "END"},
};

// The indexes of the tables, apart from the tables: a table written whole
// (a rebuild) is written without them, and they are made after it in one
// sorted pass each, which is many times faster than keeping them up to date
// row by row.
struct ra_table_index {
    const char *table;
    const char *name;
    const char *columns;
    const char *rows;  // the rows it holds, null for all
};
const ra_table_index ra_table_indexes[] = {
    {"lines", "lines_folded", "folded", nullptr},
    {"entries", "entries_order", "removed, kind, when_text DESC, line DESC, file", nullptr},
    // A track's part of the list, read in the list's order from the index alone.
    {"entries", "entries_track",
     "track_key, removed, when_text DESC, line DESC, file, holds, state, kind", nullptr},
    {"entries", "entries_folded", "folded", nullptr},
    {"entries", "entries_version", "version", nullptr},
    // What the app filters by, with what it sorts by most: a count or a
    // page of filtered rows is read from this index alone.
    {"entries", "entries_filters",
     "removed, kind, track_key, type_key, weather_key, kept, lap, when_text, line, file", nullptr},
    // The sorts by a lap read a page in the lap's order: the race's
    // fastest, and a racer's own.
    {"entries", "entries_lap", "removed, kind, lap", nullptr},
    // The sorts by a race's laps and cars count each value's rows here.
    {"entries", "entries_laps", "removed, kind, CAST(laps AS INTEGER)", "laps <> ''"},
    {"entries", "entries_cars", "removed, kind, CAST(cars AS INTEGER)", "cars <> ''"},
    // A racer's laps on a track in time order, with what their personal
    // bests are decided by: read from the index alone. A chart and the
    // racer's tracks and race types are read through it too.
    {"laps", "laps_racer", "racer, track_key, when_text, line, lap, pb", nullptr},
    {"laps", "laps_entry", "entry, racer", nullptr},
    // A racer's personal bests, a few of their laps: only those are held.
    {"laps", "laps_pb", "racer", "pb = 1"},
    // The sort by the racer's lap; a new race's lap against the racer's
    // best on its track is its first lap there in this order.
    {"laps", "laps_yours", "racer, lap", nullptr},
};

// Drops (made false) or makes (made true) the indexes of a table.
bool ra_table_indexes_made(sqlite3 *db, const char *table, bool made) {
    ra_sql sql(db);
    for (const ra_table_index &i : ra_table_indexes) {
        if (strcmp(i.table, table) != 0) continue;
        const std::string name = i.name;
        const std::string rows = i.rows == nullptr ? "" : std::string(" WHERE ") + i.rows;
        if (!sql.run(made ? "CREATE INDEX IF NOT EXISTS " + name + " ON " + table + "(" +
                                i.columns + ")" + rows
                          : "DROP INDEX IF EXISTS " + name)) {
            return false;
        }
    }
    // The entries' search index, as their other indexes: made whole from the
    // table after it was written.
    if (strcmp(table, "entries") != 0) return true;
    if (!made) {
        for (const ra_search_trigger &t : ra_search_triggers)
            if (!sql.run(std::string("DROP TRIGGER IF EXISTS ") + t.name)) return false;
        return true;
    }
    // Made in one pass, its terms gathered 4 MB at a time and its pieces
    // merged by the writes after (SQLite's own settings are 1 MB and a
    // merge while it is made): some 40 % less time, and no slower a search.
    for (const char *step :
         {"INSERT INTO search_text(search_text, rank) VALUES('hashsize', 4194304)",
          "INSERT INTO search_text(search_text, rank) VALUES('automerge', 0)",
          "INSERT INTO search_text(search_text) VALUES('rebuild')",
          "INSERT INTO search_text(search_text, rank) VALUES('automerge', 4)",
          "INSERT INTO search_text(search_text, rank) VALUES('hashsize', 1048576)"}) {
        if (!sql.run(step)) return false;
    }
    for (const ra_search_trigger &t : ra_search_triggers) {
        if (!sql.run(std::string("CREATE TRIGGER IF NOT EXISTS ") + t.name + " " + t.body))
            return false;
    }
    return true;
}

// A file of Dir as the index compares it.
struct ra_dir_file {
    std::string folded;  // ra_folded_name of name: the order of the files table
    std::string name;
    int64_t size = 0;
    int64_t mtime = 0;     // the file system's own count
    bool stamped = false;  // its local time could be read
    int64_t stamp = 0;     // that time, in seconds from 1970
};

// The file system's own time, not the C++ library's: on Windows that is in
// whole seconds, and a file copied into Dir in the second of its last
// change would go unseen.
int64_t ra_mtime_of(const fs::path &path) {
    const ra_entry_facts facts = ra_entry_facts_of(path);
    return facts.kind == ra_entry_kind::none ? -1 : facts.written;
}

// A file's size and time stamp as one text, "-" when there is none.
std::string ra_stat_text(const fs::path &path) {
    std::error_code failed;
    uintmax_t size = fs::file_size(path, failed);
    if (failed) return "-";
    return std::to_string(size) + "@" + std::to_string(ra_mtime_of(path));
}

int64_t ra_seconds_of(const ra_time &t) {
    ra_time epoch;
    epoch.year = 1970;
    epoch.month = 1;
    epoch.day = 1;
    return ra_seconds_between(epoch, t);
}

// Two different hashes of the same bytes: FNV-1a, and a multiply and
// shift of each byte into another state.
struct ra_two_hashes {
    uint64_t fnv = 1469598103934665603ull, other = 0x243F6A8885A308D3ull;

    void take(unsigned char c) {
        fnv = (fnv ^ c) * 1099511628211ull;
        other = (other ^ c) * 0x9E3779B97F4A7C15ull;
        other ^= other >> 29;
    }
    void take(const std::string &bytes) {
        for (unsigned char c : bytes) take(c);
    }
    // Both, as 32 hex digits.
    std::string text() const {
        char t[2 * 16 + 1];
        snprintf(t, sizeof t, "%016llx%016llx", (unsigned long long)fnv, (unsigned long long)other);
        return t;
    }
};

// What a listing of Dir comes to: sums over its files that do not depend on
// their order, so that a folder the index already has is told from one that
// changed without sorting its names or walking the index's rows. Two
// different hashes of each file: a change goes unseen only when both of
// them collide at once.
struct ra_listing_digest {
    uint64_t count = 0, sum = 0, mix = 0;

    void add(const std::string &name, int64_t size, int64_t mtime) {
        ra_two_hashes h;
        h.take(name);
        // The name's end, so that "ab" of size 1 is no "a" of another size.
        h.take('\0');
        add_hashed(h, size, mtime);
    }
    // A file to the digest of files and, as of size and time 0, to that of
    // names: its name hashed once for both.
    static void add_both(const std::string &name, int64_t size, int64_t mtime,
                         ra_listing_digest *files, ra_listing_digest *names) {
        ra_two_hashes h;
        h.take(name);
        h.take('\0');
        files->add_hashed(h, size, mtime);
        names->add_hashed(h, 0, 0);
    }
    // A file whose name (and its end) `h` has taken already.
    void add_hashed(ra_two_hashes h, int64_t size, int64_t mtime) {
        for (int64_t v : {size, mtime}) {
            for (int i = 0; i < 8; ++i) h.take((unsigned char)((uint64_t)v >> (8 * i)));
        }
        ++count;
        sum += h.fnv;
        mix += h.other ^ (h.other >> 31);
    }
    std::string text() const {
        char t[3 * 17 + 3];
        snprintf(t, sizeof t, "%llx:%016llx:%016llx", (unsigned long long)count,
                 (unsigned long long)sum, (unsigned long long)mix);
        return t;
    }
    // The digest kept as text; false for text that is none (an empty digest stays).
    bool read(const std::string &kept) {
        unsigned long long c = 0, s = 0, m = 0;
        if (sscanf(kept.c_str(), "%llx:%llx:%llx", &c, &s, &m) != 3) return false;
        count = c;
        sum = s;
        mix = m;
        return true;
    }
};

// The replay files of Dir, as ra_list_replays takes them (plain files with
// the replay extension), in the folder's own order, and what they come to:
// names, sizes and times, and the names alone.
bool ra_dir_files(const fs::path &dir, std::vector<ra_dir_file> *out, ra_listing_digest *files,
                  ra_listing_digest *names) {
    return ra_folder_entries(dir, [&](const std::string &name, const ra_entry_facts &facts) {
        if (!ra_replay_name(name) || facts.kind != ra_entry_kind::file) return;
        ra_dir_file file;
        file.name = name;
        file.size = (int64_t)facts.size;
        file.mtime = facts.written;
        ra_listing_digest::add_both(file.name, file.size, file.mtime, files, names);
        out->push_back(std::move(file));
    });
}

// The names alone of Dir's replay files, as ra_dir_files would take them:
// the kind of each name as the folder tells it, no look at each file.
bool ra_dir_names(const fs::path &dir, ra_listing_digest *names) {
    return ra_folder_entries(
        dir,
        [&](const std::string &name, const ra_entry_facts &facts) {
            if (ra_replay_name(name) && facts.kind == ra_entry_kind::file) names->add(name, 0, 0);
        },
        ra_entry_detail::kind);
}

// Dir's files in the order of the files table.
void ra_sort_files(std::vector<ra_dir_file> *files) {
    for (ra_dir_file &f : *files) {
        if (f.folded.empty()) f.folded = ra_folded_name(f.name);
    }
    std::sort(files->begin(), files->end(),
              [](const ra_dir_file &a, const ra_dir_file &b) { return a.folded < b.folded; });
}

// A file's local time stamp, which pairs it with a record line: only read
// for the files the index writes, not for each comparison of Dir.
void ra_stamp(const fs::path &dir, ra_dir_file *file) {
    ra_time when;
    file->stamped = ra_file_time(dir / ra_path(file->name), &when);
    file->stamp = file->stamped ? ra_seconds_of(when) : 0;
}

// Lines [1, n] of a file read a piece at a time, as ra_next_line counts
// them; false when it cannot be read, *size then what was read.
bool ra_count_lines(const fs::path &path, int *next_line, bool *clean_end, int64_t *size) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<char> piece(1 << 16);
    int64_t ends = 0, read = 0;
    char last = 0;
    for (;;) {
        in.read(piece.data(), (std::streamsize)piece.size());
        const std::streamsize n = in.gcount();
        for (std::streamsize i = 0; i < n; ++i) {
            const char c = piece[(size_t)i];
            // "\r\n" ends one line, as a lone "\r" or "\n" does.
            if (c == '\r' || (c == '\n' && last != '\r')) ++ends;
            last = c;
        }
        read += n;
        if (n < (std::streamsize)piece.size()) break;
    }
    *size = read;
    const bool open_line = read > 0 && last != '\n' && last != '\r';
    *next_line = (int)(ends + (open_line ? 1 : 0)) + 1;
    *clean_end = read == 0 || last == '\n';
    return !in.bad();
}

// Lines [1, n] of a text read up to its end: the number the next line
// appended gets, and whether the text ends where a line ends.
int ra_next_line(const std::string &text, bool *clean_end) {
    ra_csv_lines lines;
    lines.text = &text;
    const char *begin, *end;
    while (ra_csv_next_line(&lines, &begin, &end)) {
    }
    *clean_end = text.empty() || text.back() == '\n';
    return lines.line + 1;
}

// An entry's row: what the app filters and sorts by, and what gives the
// commands their ra_replay back.
struct ra_entry_row {
    std::string key;  // the line for a race, the file for the others
    std::string file, folded, when_text, renamed_from;
    int line = 0, holds = 0, state = 0, kind = 0;
    std::string track, type, laps, cars, weather;
    uint32_t lap = 0;
    std::string lap_by;
    std::vector<std::string> laps_by;  // name, lap in hundredths, ...
    std::string search;                // folded file and racer names, a line each
    std::string player_name;
    int kept = 0;
    std::string digest;  // the hashes of all of the above but kept, to compare
};

std::string ra_field(const ra_record *facts, const char *column) {
    return facts ? facts->get(column) : std::string();
}

ra_entry_row ra_row_of(const ra_replay &r) {
    ra_entry_row row;
    row.file = r.file;
    row.folded = ra_folded_name(r.file);
    row.when_text = ra_format_time(r.when);
    row.line = r.record ? r.record->line : 0;
    row.holds = r.holds ? r.holds->line : 0;
    row.state = (int)r.state;
    row.kind = (int)r.kind;
    row.key = row.line != 0 ? "L" + std::to_string(row.line) : "F" + row.folded;
    row.renamed_from = r.state == ra_replay_state::renamed && r.record ? r.record->file : "";
    const ra_record *facts = r.record ? &*r.record : r.holds ? &*r.holds : nullptr;
    row.track = ra_field(facts, ra_column_track);
    row.type = ra_field(facts, ra_column_type);
    row.laps = ra_field(facts, ra_column_laps);
    row.cars = ra_field(facts, ra_column_cars);
    row.weather = ra_field(facts, ra_column_weather);
    row.search = row.folded;
    if (facts != nullptr) {
        row.lap = facts->fastest_lap;
        if (facts->fastest_car != 0) row.lap_by = facts->get_car(ra_car_name, facts->fastest_car);
        std::set<std::string> seen;
        for (int car = 1; car <= RA_CARS; ++car) {
            const std::string name = facts->get_car(ra_car_name, car);
            if (name.empty() || !seen.insert(ra_folded_name(name)).second) continue;
            row.search += "\n" + ra_folded_name(name);
            uint32_t lap = ra_racer_lap(*facts, name);
            if (lap == 0) continue;
            row.laps_by.push_back(name);
            row.laps_by.push_back(std::to_string(lap));
        }
        if (r.record && r.kind == ra_replay_kind::race && facts->player >= 1)
            row.player_name = facts->get_car(ra_car_name, facts->player);
    }
    ra_two_hashes digest;
    digest.take(ra_encode_list({row.file, row.when_text, std::to_string(row.line),
                                std::to_string(row.holds), std::to_string(row.state),
                                std::to_string(row.kind), row.renamed_from, row.track, row.type,
                                row.laps, row.cars, row.weather, std::to_string(row.lap),
                                row.lap_by, ra_encode_list(row.laps_by), row.player_name}));
    row.digest = digest.text();
    return row;
}

}  // namespace

void ra_remove_index(const fs::path &dir) { ra_remove_cache(dir / ra_index_file); }

ra_library_index::~ra_library_index() { close(); }

void ra_library_index::close() {
    if (db_ != nullptr) sqlite3_close(db_);
    db_ = nullptr;
    // An index made aside that never took its name is no index of anyone's.
    if (!aside_.empty()) ra_remove_cache(aside_);
    aside_.clear();
}

namespace {

// A new index: its tables' indexes, and versions that start past any
// cursor an earlier index gave, so that a page that held one reloads.
bool ra_index_made(sqlite3 *db) {
    for (const char *table : {"lines", "entries", "laps"})
        if (!ra_table_indexes_made(db, table, true)) return false;
    const int64_t start = (int64_t)time(nullptr) * 1000;
    return ra_meta_set(db, "counter", start) && ra_meta_set(db, "floor", start);
}

const ra_cache_schema ra_index_cache = {
    ra_index_schema,
    ra_schema_sql,
    ra_index_migrations,
    sizeof ra_index_migrations / sizeof ra_index_migrations[0],
    ra_index_made,
    ra_index_wait_ms,
    ra_cache_kib,
    ra_wal_kept_bytes,
    // The -wal and -shm files stay when the last connection closes: Dir's
    // own time stamp then changes only when the player's files do. The log
    // is emptied then, once copied into the index: a log left full would be
    // read whole by every next command, and copied again when it closes
    // (hundreds of MB after a rebuild of a long season).
    true,
    ra_rebuild_cache_kib,
};

}  // namespace

bool ra_library_index::open(const fs::path &dir, std::string *why) {
    close();
    dir_ = dir;
    const fs::path path = dir / ra_index_file;
    // No index yet: it is made aside, and takes its name once the first
    // refresh has written it whole.
    if (ra_entry_kind_of(path) == ra_entry_kind::none) {
        opened_ = ra_cache_opened::made;
        db_ = ra_open_cache_aside(path, ra_index_cache, &aside_, why);
        if (db_ == nullptr) aside_.clear();
        return db_ != nullptr;
    }
    db_ = ra_open_cache(path, ra_index_cache, &opened_, why);
    return db_ != nullptr;
}

namespace {

// One refresh: what the index had, what the files are now, and the writing
// of the difference, all inside one write transaction.
class ra_refresh {
public:
    ra_refresh(sqlite3 *db, const fs::path &dir, const std::string &shown,
               const ra_index_progress &progress, size_t *done, size_t *total)
        : db_(db), dir_(dir), shown_(shown), progress_(progress), done_(done), total_(total) {}

    ra_index_change change = ra_index_change::none;

    // Looks at the files; false when nothing changed since the last
    // refresh (with quick: the record, the marks and Dir's own time stamp).
    bool changed(bool quick);
    // Writes what changed: the marks alone, appended lines, or the rows
    // that differ after the whole pipeline.
    bool write();

private:
    bool marks_only();
    bool appended(bool *taken);
    bool full();
    // A new row (id 0; as the id `as` when given) or the row `id` written anew.
    bool write_entry(const ra_entry_row &row, int64_t id, int64_t as = 0);
    // Dir's files into the files table (a rebuild's).
    bool write_files();
    // Into laps, with the personal bests they change.
    bool write_laps(const std::vector<std::pair<int64_t, const ra_replay *>> &races);
    bool update_pbs(const std::set<std::pair<std::string, std::string>> &pairs);
    bool newest_pb(int64_t row, const std::string &racer, const std::string &track, uint32_t lap,
                   const std::string &when, int line);
    bool write_state();
    int64_t version() {
        if (version_ == 0) version_ = ra_meta_int(db_, "counter") + 1;
        return version_;
    }
    void report(size_t done, size_t total) {
        *done_ = done;
        *total_ = total;
        if (progress_ && (done % ra_progress_step == 0 || done == total)) progress_(done, total);
    }

    sqlite3 *db_;
    fs::path dir_;
    std::string shown_;
    const ra_index_progress &progress_;
    size_t *done_, *total_;

    bool list_files();
    bool compare_files();

    // The statements that write an entry's row, prepared once a refresh.
    std::unique_ptr<ra_statement> insert_entry_, update_entry_;

    ra_file_stamp record_;
    std::string keep_state_, dir_state_;
    // Dir's replay files as listed (sorted only once compared row by row),
    // and what they come to.
    std::vector<ra_dir_file> files_;
    ra_listing_digest files_digest_, names_digest_;
    bool built_ = false, have_files_ = false;
    bool same_record_ = false, same_keep_ = false, same_files_ = false;
    // Dir's files the index does not have yet, and whether those are all
    // that changed.
    std::vector<ra_dir_file> added_;
    bool only_added_ = false;
    int64_t version_ = 0;
    // A rebuild's part of the list: each replay's entry id.
    std::vector<int64_t> ids_;
};

bool ra_refresh::changed(bool quick) {
    built_ = ra_meta_int(db_, "built") == 1;
    keep_state_ = ra_stat_text(dir_ / ra_keep_file);
    dir_state_ = std::to_string(ra_mtime_of(dir_));
    record_ = ra_file_stamp_of(dir_ / ra_records_file);
    same_record_ = built_ && ra_meta_text(db_, "record_stamp") == record_.text();
    same_keep_ = ra_meta_text(db_, "keep_state") == keep_state_;
    if (!built_) return true;
    const bool same_dir = ra_meta_text(db_, "dir_state") == dir_state_;
    if (quick && same_record_ && same_keep_ && same_dir) return false;
    // The app takes a file as unchanged as long as its name is there (a
    // file added, removed or renamed changes Dir's own time stamp; one
    // written over in place does not). After an action (the marks file is
    // written in Dir) the names alone then tell that no replay changed,
    // without a look at each file. A new line in the record is a new race:
    // then every file is looked at, as a command does.
    if (quick && same_record_) {
        ra_listing_digest names;
        if (ra_dir_names(dir_, &names) && names.text() == ra_meta_text(db_, "names_digest")) {
            same_files_ = true;
            return true;
        }
    }
    if (!list_files()) return true;
    same_files_ = files_digest_.text() == ra_meta_text(db_, "files_digest");
    if (!same_files_ && !compare_files()) return true;
    return !(same_record_ && same_keep_ && same_files_) || !same_dir;
}

bool ra_refresh::list_files() {
    files_.clear();
    files_digest_ = ra_listing_digest();
    names_digest_ = ra_listing_digest();
    // Room for as many as last time, and a few more: a long season's names
    // are not moved again and again as the folder is read.
    ra_listing_digest before;
    if (before.read(ra_meta_text(db_, "files_digest")))
        files_.reserve((size_t)std::min(before.count + 64, ra_files_room_most));
    have_files_ = ra_dir_files(dir_, &files_, &files_digest_, &names_digest_);
    return have_files_;
}

// Dir's files against those the index has, by name, size and time. Both
// in the order of their folded names: one walk through each, which also
// finds the files that are new and nothing else (the everyday case).
bool ra_refresh::compare_files() {
    ra_sort_files(&files_);
    ra_statement stored(db_, "SELECT folded, name, size, mtime FROM files ORDER BY folded");
    auto it = files_.begin();
    only_added_ = true;
    added_.clear();
    while (stored.step()) {
        const std::string folded = stored.text(0);
        for (; it != files_.end() && it->folded < folded; ++it) added_.push_back(*it);
        if (it == files_.end() || it->folded != folded) {
            only_added_ = false;  // a file the index had is gone
            continue;
        }
        only_added_ = only_added_ && it->name == stored.text(1) && it->size == stored.integer(2) &&
                      it->mtime == stored.integer(3);
        ++it;
    }
    for (; it != files_.end(); ++it) added_.push_back(*it);
    only_added_ = only_added_ && stored.ok();
    same_files_ = only_added_ && added_.empty();
    return stored.ok();
}

bool ra_refresh::write() {
    change = ra_index_change::rebuilt;
    if (!built_ || !(have_files_ || same_files_)) return full();
    // Only Dir's own time stamp: nothing of the list changed.
    change = same_keep_ ? ra_index_change::none : ra_index_change::marks;
    if (same_record_ && same_files_) return marks_only() && write_state();
    bool taken = false;
    if (!appended(&taken)) return false;
    change = taken ? ra_index_change::appended : ra_index_change::rebuilt;
    return taken ? marks_only() && write_state() : full();
}

// Marks are compared with those the index last read; the rows of names
// that changed get their new mark.
bool ra_refresh::marks_only() {
    if (same_keep_) return true;
    ra_keep_marks marks = ra_read_keep_marks(dir_);
    std::vector<std::string> before;
    if (!ra_decode_list(ra_meta_text(db_, "marks"), &before)) before.clear();
    std::set<std::string> old(before.begin(), before.end());
    ra_statement mark(db_, "UPDATE entries SET kept=?, version=? WHERE folded=? AND kept<>?");
    for (int keep = 0; keep <= 1; ++keep) {
        const std::set<std::string> &from = keep ? marks.folded : old;
        const std::set<std::string> &against = keep ? old : marks.folded;
        for (const std::string &name : from) {
            if (against.count(name)) continue;
            mark.reset();
            mark.bind(1, keep).bind(2, version()).bind(3, name).bind(4, keep).step();
            if (!mark.ok()) return false;
        }
    }
    std::vector<std::string> now(marks.folded.begin(), marks.folded.end());
    return ra_meta_set(db_, "marks", ra_encode_list(now));
}

// The record's and Dir's state as this refresh found them.
bool ra_refresh::write_state() {
    return ra_meta_set(db_, "record_stamp", record_.text()) &&
           ra_meta_set(db_, "keep_state", keep_state_) &&
           ra_meta_set(db_, "dir_state", dir_state_) && ra_meta_set(db_, "built", 1) &&
           (version_ == 0 || ra_meta_set(db_, "counter", version_));
}

bool ra_refresh::write_entry(const ra_entry_row &row, int64_t id, int64_t as) {
    std::unique_ptr<ra_statement> &prepared = id != 0 ? update_entry_ : insert_entry_;
    if (!prepared) {
        prepared = std::make_unique<ra_statement>(
            db_,
            id != 0
                ? "UPDATE entries SET key=?1, file=?2, folded=?3, when_text=?4, line=?5, holds=?6, "
                  "state=?7, kind=?8, renamed_from=?9, track=?10, type=?11, laps=?12, cars=?13, "
                  "weather=?14, track_key=?15, type_key=?16, weather_key=?17, lap=?18, lap_by=?19, "
                  "laps_by=?20, search=?21, player_name=?22, kept=?23, digest=?24, version=?25, "
                  "born=CASE WHEN removed THEN ?25 ELSE born END, removed=0 WHERE id=?26"
                : "INSERT INTO entries(id, key, file, folded, when_text, line, holds, state, kind, "
                  "renamed_from, track, type, laps, cars, weather, track_key, type_key, "
                  "weather_key, "
                  "lap, lap_by, laps_by, search, player_name, kept, digest, version, born, "
                  "removed) "
                  "VALUES(?26, ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, "
                  "?16, "
                  "?17, "
                  "?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25, ?25, 0)");
    }
    ra_statement &put = *prepared;
    put.reset();
    put.bind(1, row.key).bind(2, row.file).bind(3, row.folded).bind(4, row.when_text);
    put.bind(5, row.line).bind(6, row.holds).bind(7, row.state).bind(8, row.kind);
    put.bind(9, row.renamed_from).bind(10, row.track).bind(11, row.type).bind(12, row.laps);
    put.bind(13, row.cars).bind(14, row.weather).bind(15, ra_folded_name(row.track));
    put.bind(16, ra_folded_name(row.type)).bind(17, ra_folded_name(row.weather));
    put.bind(18, (int64_t)row.lap).bind(19, row.lap_by).bind_blob(20, ra_encode_list(row.laps_by));
    put.bind(21, row.search).bind(22, row.player_name).bind(23, row.kept);
    put.bind_blob(24, row.digest).bind(25, version());
    if (id != 0 || as != 0) put.bind(26, id != 0 ? id : as);
    put.step();
    return put.ok();
}

// The laps rows of these new races, with the personal bests they change.
bool ra_refresh::write_laps(const std::vector<std::pair<int64_t, const ra_replay *>> &races) {
    std::set<std::pair<std::string, std::string>> pairs;  // racer, track
    ra_statement add(db_,
                     "INSERT INTO laps(entry, racer, lap, track_key, type_key, when_text, line, "
                     "pb) VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    for (const auto &race : races) {
        const int64_t entry = race.first;
        const ra_replay &r = *race.second;
        const std::string when = ra_format_time(r.when);
        if (r.kind != ra_replay_kind::race || !r.record) continue;
        std::set<std::string> seen;
        const std::string track = ra_folded_name(r.record->get(ra_column_track));
        const std::string type = ra_folded_name(r.record->get(ra_column_type));
        for (int car = 1; car <= RA_CARS; ++car) {
            const std::string name = r.record->get_car(ra_car_name, car);
            std::string racer = ra_folded_name(name);
            if (name.empty() || !seen.insert(racer).second) continue;
            uint32_t lap = ra_racer_lap(*r.record, name);
            if (lap == 0) continue;
            add.reset();
            add.bind(1, entry).bind(2, racer).bind(3, (int64_t)lap).bind(4, track);
            add.bind(5, type).bind(6, when).bind(7, r.record->line).bind(8, 0).step();
            if (!add.ok()) return false;
            if (!newest_pb(sqlite3_last_insert_rowid(db_), racer, track, lap, when,
                           r.record->line)) {
                pairs.insert({racer, track});
            }
        }
    }
    return update_pbs(pairs);
}

// A new race that is the racer's latest on the track (the everyday case)
// is a personal best when it beats every earlier lap there, and changes no
// earlier one: false when it is not the latest, so that the track's
// personal bests are decided again whole.
bool ra_refresh::newest_pb(int64_t row, const std::string &racer, const std::string &track,
                           uint32_t lap, const std::string &when, int line) {
    ra_statement later(db_,
                       "SELECT 1 FROM laps WHERE racer=?1 AND track_key=?2 AND "
                       "(when_text > ?3 OR (when_text = ?3 AND line > ?4)) LIMIT 1");
    later.bind(1, racer).bind(2, track).bind(3, when).bind(4, line);
    if (later.step() || !later.ok()) return false;
    ra_statement best(db_,
                      "SELECT lap FROM laps WHERE racer=?1 AND track_key=?2 AND "
                      "rowid <> ?3 ORDER BY lap LIMIT 1");
    best.bind(1, racer).bind(2, track).bind(3, row);
    // No earlier lap (0: a lap is never 0): the racer's first on the track,
    // which is no personal best.
    const int64_t earlier = best.step() ? best.integer(0) : 0;
    if (!best.ok()) return false;
    ra_statement mark(db_, "UPDATE laps SET pb=1 WHERE rowid=?");
    if (earlier != 0 && lap < (uint64_t)earlier) {
        mark.bind(1, row).step();
        return mark.ok();
    }
    return true;
}

// The personal bests of these racers on these tracks, decided again.
bool ra_refresh::update_pbs(const std::set<std::pair<std::string, std::string>> &pairs) {
    ra_statement laps(db_,
                      "SELECT rowid, lap, pb FROM laps WHERE racer=? AND track_key=? "
                      "ORDER BY when_text, line");
    ra_statement mark(db_, "UPDATE laps SET pb=? WHERE rowid=?");
    for (const auto &pair : pairs) {
        laps.reset();
        laps.bind(1, pair.first).bind(2, pair.second);
        std::vector<std::pair<int64_t, int64_t>> changes;
        int64_t best = 0;
        bool first = true;
        while (laps.step()) {
            int64_t lap = laps.integer(1);
            bool pb = !first && lap < best;
            if (first || lap < best) best = lap;
            first = false;
            if ((laps.integer(2) != 0) != pb) changes.push_back({laps.integer(0), pb ? 1 : 0});
        }
        if (!laps.ok()) return false;
        for (const auto &c : changes) {
            mark.reset();
            mark.bind(1, c.second).bind(2, c.first).step();
            if (!mark.ok()) return false;
        }
    }
    return true;
}

// The record's lines as they are now.
bool ra_write_lines(sqlite3 *db, const std::vector<ra_record> &lines) {
    std::map<std::string, int64_t> layouts;  // encoded columns -> id
    ra_statement known(db, "SELECT id, columns FROM layouts");
    while (known.step()) layouts[known.text(1)] = known.integer(0);
    ra_statement new_layout(db, "INSERT INTO layouts(columns) VALUES(?)");
    ra_statement add(db,
                     "INSERT OR REPLACE INTO lines(line, layout, fields, folded) "
                     "VALUES(?, ?, ?, ?)");
    const ra_record_layout *last = nullptr;
    int64_t last_id = 0;
    for (const ra_record &r : lines) {
        if (r.layout.get() != last) {
            std::string columns = ra_encode_list(ra_record_columns(r));
            auto found = layouts.find(columns);
            if (found == layouts.end()) {
                new_layout.reset();
                new_layout.bind_blob(1, columns).step();
                if (!new_layout.ok()) return false;
                found = layouts.emplace(columns, sqlite3_last_insert_rowid(db)).first;
            }
            last = r.layout.get();
            last_id = found->second;
        }
        add.reset();
        add.bind(1, r.line).bind(2, last_id).bind_blob(3, ra_record_packed(r));
        add.bind(4, ra_folded_name(r.file)).step();
        if (!add.ok()) return false;
    }
    return true;
}

// Counts each racer of these races once per race, with the lowest car
// they drove, as ra_racer_names does. The races are newer than those
// counted before, and the newest race's spelling of a name is the one shown
// (the first in the list's order).
bool ra_write_racers(sqlite3 *db, const std::vector<const ra_replay *> &races) {
    ra_statement add(db,
                     "INSERT INTO racers(racer, name, races, car) VALUES(?1, ?2, 1, ?3) "
                     "ON CONFLICT(racer) DO UPDATE SET races=races+1, car=min(car, ?3), name=?2");
    for (const ra_replay *r : races) {
        if (r->kind != ra_replay_kind::race || !r->record) continue;
        std::set<std::string> seen;
        for (int car = 1; car <= RA_CARS; ++car) {
            const std::string name = r->record->get_car(ra_car_name, car);
            if (name.empty() || !seen.insert(ra_folded_name(name)).second) continue;
            add.reset();
            add.bind(1, ra_folded_name(name)).bind(2, name).bind(3, car).step();
            if (!add.ok()) return false;
        }
    }
    return true;
}

// The name at `player` in the newest race that has one, from the rows.
std::string ra_newest_player(sqlite3 *db) {
    ra_statement s(db,
                   "SELECT player_name FROM entries WHERE removed=0 AND kind=0 AND line<>0 "
                   "AND player_name<>'' ORDER BY when_text DESC, line DESC LIMIT 1");
    return s.step() ? s.text(0) : std::string();
}

// The layouts of the lines read, each read from the index once.
class ra_layouts {
public:
    explicit ra_layouts(sqlite3 *db) : read_(db, "SELECT columns FROM layouts WHERE id=?") {}

    // Null when the index has no such layout, or one that cannot be read.
    std::shared_ptr<const ra_record_layout> of(int64_t id) {
        auto known = known_.find(id);
        if (known != known_.end()) return known->second;
        std::vector<std::string> columns;
        read_.reset();
        read_.bind(1, id);
        if (!read_.step() || !ra_decode_list(read_.text(0), &columns)) return nullptr;
        return known_[id] = ra_record_layout_of(columns);
    }

private:
    ra_statement read_;
    std::map<int64_t, std::shared_ptr<const ra_record_layout>> known_;
};

// The line `line` from a row's columns `at` (its layout) and `at` + 1 (its
// packed values); false for a line the index cannot give.
bool ra_line_of_row(const ra_statement &row, int at, int line, ra_layouts *layouts,
                    ra_record *out) {
    const ra_statement::bytes packed = row.blob(at + 1);
    return ra_record_of_packed(line, layouts->of(row.integer(at)), packed.data, packed.size, out);
}

// The tables of one rebuild, in SQLite's temporary store (a file, not
// memory): what the join of lines and files looks at (replays.h), so that
// SQLite joins and sorts them and a long career's list is never in this
// process's memory whole. listing: Dir's replay files in the order listed;
// lines: each usable line's number, folded and own
// name, saved time; claims: per folded name the latest line, which claims
// the file; strays: Dir's files that no line names, with their time
// stamps; pairs: a claiming line and a stray of the same save, unique on
// both sides (renamed: the line's file is gone and the stray is no
// backup); listed: the list in its order.
const char ra_rebuild_tables_sql[] = R"(
CREATE TEMP TABLE rebuild_listing(seq INTEGER PRIMARY KEY, folded TEXT NOT NULL,
                                  name TEXT NOT NULL, size INTEGER NOT NULL,
                                  mtime INTEGER NOT NULL);
CREATE TEMP TABLE rebuild_lines(line INTEGER PRIMARY KEY, folded TEXT NOT NULL,
                                file TEXT NOT NULL, at INTEGER NOT NULL,
                                when_text TEXT NOT NULL);
CREATE TEMP TABLE rebuild_strays(folded TEXT PRIMARY KEY, name TEXT NOT NULL,
                                 stamped INTEGER NOT NULL, at INTEGER NOT NULL,
                                 when_text TEXT NOT NULL, backup INTEGER NOT NULL) WITHOUT ROWID;
CREATE TEMP TABLE rebuild_pairs(line INTEGER PRIMARY KEY, stray TEXT NOT NULL,
                                renamed INTEGER NOT NULL);
CREATE TEMP TABLE rebuild_listed(seq INTEGER PRIMARY KEY, file TEXT NOT NULL,
                                 when_text TEXT NOT NULL, line INTEGER NOT NULL,
                                 holds INTEGER NOT NULL, state INTEGER NOT NULL,
                                 kind INTEGER NOT NULL);
CREATE TEMP TABLE rebuild_seen(id INTEGER PRIMARY KEY);
)";
const char *const ra_rebuild_tables[] = {"rebuild_listing", "rebuild_lines", "rebuild_claims",
                                         "rebuild_strays",  "rebuild_near",  "rebuild_pairs",
                                         "rebuild_listed",  "rebuild_seen"};

bool ra_drop_rebuild_tables(sqlite3 *db) {
    ra_sql sql(db);
    for (const char *t : ra_rebuild_tables)
        if (!sql.run(std::string("DROP TABLE IF EXISTS temp.") + t)) return false;
    return true;
}

}  // namespace

// Dir's replay files into the files table, the first listed of names that
// fold alike (as ra_list_replays takes them), each claimed until it is found
// a stray (nearly all are claimed: few rows are written twice); and what
// they come to. They are written in the table's order, sorted by SQLite: a
// long season's files written as listed would land all over the table.
bool ra_refresh::write_files() {
    ra_sql sql(db_);
    if (!sql.run("DELETE FROM files")) return false;
    files_digest_ = ra_listing_digest();
    names_digest_ = ra_listing_digest();
    bool written = true;
    bool listed = false;
    {
        ra_statement add(
            db_, "INSERT INTO rebuild_listing(folded, name, size, mtime) VALUES(?, ?, ?, ?)");
        listed = ra_folder_entries(dir_, [&](const std::string &name, const ra_entry_facts &facts) {
            if (!written || !ra_replay_name(name) || facts.kind != ra_entry_kind::file) return;
            ra_listing_digest::add_both(name, (int64_t)facts.size, facts.written, &files_digest_,
                                        &names_digest_);
            add.reset();
            add.bind(1, ra_folded_name(name)).bind(2, name).bind(3, (int64_t)facts.size);
            add.bind(4, facts.written).step();
            written = add.ok();
        });
    }
    written =
        written && sql.run(
                       "INSERT OR IGNORE INTO files(folded, name, size, mtime, stamp, claimed) "
                       "SELECT folded, name, size, mtime, NULL, 1 FROM rebuild_listing "
                       "ORDER BY folded, seq");
    have_files_ = listed && written;
    return have_files_;
}

bool ra_refresh::full() {
    ra_sql sql(db_);
    // Dir's files are listed before the record is read: a file that comes
    // in between is then one the next refresh finds new.
    if (!ra_drop_rebuild_tables(db_) || !sql.run(ra_rebuild_tables_sql) || !write_files() ||
        !sql.run("DELETE FROM lines") || !ra_table_indexes_made(db_, "lines", false)) {
        return false;
    }
    // The record is read a part at a time into the lines table, and what
    // the join looks at of each line into rebuild_lines.
    ra_records records;
    {
        ra_statement fact(db_,
                          "INSERT INTO rebuild_lines(line, folded, file, at, when_text) "
                          "VALUES(?, ?, ?, ?, ?)");
        bool written = true;
        const bool read = ra_read_records_in_parts(
            dir_, ra_text(dir_ / ra_records_file), ra_rebuild_part_lines,
            [&](const ra_records &part) {
                written = ra_write_lines(db_, part.lines);
                for (const ra_record &r : part.lines) {
                    if (!written) break;
                    fact.reset();
                    fact.bind(1, r.line).bind(2, ra_folded_name(r.file)).bind(3, r.file);
                    fact.bind(4, ra_seconds_of(r.saved)).bind(5, ra_format_time(r.saved)).step();
                    written = fact.ok();
                }
                return written;
            },
            &records);
        if (!read || !written || !ra_table_indexes_made(db_, "lines", true)) return false;
    }
    // The latest line of each name claims its file; the files no line
    // names are strays, each with its time stamp.
    if (!sql.run("CREATE TEMP TABLE rebuild_claims(folded TEXT PRIMARY KEY, line INTEGER NOT NULL, "
                 "at INTEGER NOT NULL) WITHOUT ROWID") ||
        !sql.run("INSERT INTO rebuild_claims SELECT folded, max(line), at FROM rebuild_lines "
                 "GROUP BY folded") ||
        !sql.run("CREATE INDEX temp.rebuild_claims_at ON rebuild_claims(at)")) {
        return false;
    }
    const std::string unknown_time = ra_format_time(ra_time());
    {
        ra_statement unnamed(db_,
                             "SELECT name FROM files f WHERE NOT EXISTS "
                             "(SELECT 1 FROM rebuild_claims c WHERE c.folded = f.folded)");
        ra_statement stray(db_,
                           "INSERT INTO rebuild_strays(folded, name, stamped, at, when_text, "
                           "backup) VALUES(?, ?, ?, ?, ?, ?)");
        while (unnamed.step()) {
            const std::string name = unnamed.text(0);
            ra_time when;
            // A time stamp that cannot be read sorts the file last and pairs with nothing.
            const bool stamped = ra_file_time(dir_ / ra_path(name), &when);
            stray.reset();
            stray.bind(1, ra_folded_name(name)).bind(2, name).bind(3, (int64_t)stamped);
            stray.bind(4, stamped ? ra_seconds_of(when) : 0);
            stray.bind(5, stamped ? ra_format_time(when) : unknown_time);
            stray.bind(6, (int64_t)ra_backup_name(name)).step();
            if (!stray.ok()) return false;
        }
        if (!unnamed.ok()) return false;
    }
    // A claiming line and a stray within ra_same_save_seconds, each the
    // only one near the other.
    const std::string near = std::to_string(ra_same_save_seconds);
    if (!sql.run("CREATE TEMP TABLE rebuild_near AS SELECT s.folded AS stray, c.line AS line "
                 "FROM rebuild_strays s JOIN rebuild_claims c ON c.at BETWEEN s.at - " +
                 near + " AND s.at + " + near + " WHERE s.stamped") ||
        !sql.run("INSERT INTO rebuild_pairs(line, stray, renamed) "
                 "SELECT n.line, n.stray, s.backup = 0 AND NOT EXISTS "
                 "(SELECT 1 FROM files f JOIN rebuild_lines r ON f.folded = r.folded "
                 "WHERE r.line = n.line) "
                 "FROM rebuild_near n JOIN rebuild_strays s ON s.folded = n.stray "
                 "WHERE (SELECT count(*) FROM rebuild_near m WHERE m.stray = n.stray) = 1 "
                 "AND (SELECT count(*) FROM rebuild_near m WHERE m.line = n.line) = 1")) {
        return false;
    }
    // The list in its order (replays.h): each line with its state, then the
    // strays but those taken for a rename; newest first, of equal times the
    // later line, then by name.
    {
        ra_statement listed(
            db_,
            "INSERT INTO rebuild_listed(file, when_text, line, holds, state, kind) "
            "SELECT file, when_text, line, holds, state, kind FROM ("
            "SELECT CASE WHEN c.line <> r.line THEN r.file WHEN f.folded IS NOT NULL THEN f.name "
            "WHEN p.renamed THEN s.name ELSE r.file END AS file, r.when_text AS when_text, "
            "r.line AS line, 0 AS holds, "
            "CASE WHEN c.line <> r.line THEN (CASE WHEN f.folded IS NULL THEN ?1 ELSE ?2 END) "
            "WHEN f.folded IS NOT NULL THEN ?3 WHEN p.renamed THEN ?4 ELSE ?1 END AS state, "
            "?5 AS kind "
            "FROM rebuild_lines r JOIN rebuild_claims c ON c.folded = r.folded "
            "LEFT JOIN files f ON f.folded = r.folded "
            "LEFT JOIN rebuild_pairs p ON p.line = r.line "
            "LEFT JOIN rebuild_strays s ON s.folded = p.stray "
            "UNION ALL "
            "SELECT s.name, s.when_text, 0, coalesce(p.line, 0), ?3, "
            "CASE WHEN ?8 = 0 THEN ?5 WHEN s.backup THEN ?6 ELSE ?7 END "
            "FROM rebuild_strays s LEFT JOIN rebuild_pairs p ON p.stray = s.folded "
            "WHERE coalesce(p.renamed, 0) = 0) "
            "ORDER BY when_text DESC, line DESC, file");
        listed.bind(1, (int64_t)ra_replay_state::missing)
            .bind(2, (int64_t)ra_replay_state::replaced)
            .bind(3, (int64_t)ra_replay_state::saved)
            .bind(4, (int64_t)ra_replay_state::renamed)
            .bind(5, (int64_t)ra_replay_kind::race)
            .bind(6, (int64_t)ra_replay_kind::backup)
            .bind(7, (int64_t)ra_replay_kind::unrecorded)
            .bind(8, (int64_t)records.found);
        listed.step();
        if (!listed.ok()) return false;
    }
    // The files no entry with a line claims are paired by their time
    // stamps (appended() looks them up so).
    if (!sql.run("UPDATE files SET claimed = 0, stamp = (SELECT s.at FROM rebuild_strays s "
                 "WHERE s.folded = files.folded AND s.stamped) "
                 "WHERE folded IN (SELECT folded FROM rebuild_strays) "
                 "AND folded NOT IN (SELECT stray FROM rebuild_pairs WHERE renamed)")) {
        return false;
    }
    int usable_lines = 0, total = 0;
    if (!sql.one_int("SELECT count(*) FROM rebuild_lines", &usable_lines) ||
        !sql.one_int("SELECT count(*) FROM rebuild_listed", &total)) {
        return false;
    }
    ra_keep_marks marks = ra_read_keep_marks(dir_);
    // Where the next appended line starts, counted a piece at a time. A
    // record that changed while it was read is read whole again next time.
    bool clean_end = false;
    int next_line = 1;
    int64_t counted = -1;
    if (record_.plain && ra_count_lines(dir_ / ra_records_file, &next_line, &clean_end, &counted) &&
        counted != record_.size) {
        record_.size = -1;
    }
    // An index made from nothing writes every row: its indexes come after.
    int any_entry = 0;
    if (!sql.one_int("SELECT EXISTS(SELECT 1 FROM entries)", &any_entry)) return false;
    const bool fresh = any_entry == 0;
    if (fresh && !ra_table_indexes_made(db_, "entries", false)) return false;
    // The laps and the racers made anew as the list is written.
    if (!sql.run("DELETE FROM laps") || !ra_table_indexes_made(db_, "laps", false) ||
        !sql.run("DELETE FROM racers")) {
        return false;
    }
    ra_racer_tally racers;
    // The statements that read the list end before its tables are dropped.
    {
        ra_layouts layouts(db_);
        ra_statement list(db_,
                          "SELECT e.file, e.when_text, e.line, e.holds, e.state, e.kind, "
                          "l.layout, l.fields, h.layout, h.fields FROM rebuild_listed e "
                          "LEFT JOIN lines l ON l.line = e.line "
                          "LEFT JOIN lines h ON h.line = e.holds ORDER BY e.seq DESC");
        ra_statement stored(db_, "SELECT id, digest, kept, removed FROM entries WHERE key=?");
        ra_statement seen(db_, "INSERT OR IGNORE INTO rebuild_seen(id) VALUES(?)");
        // A row's line, and the line of the race it holds, made whole again.
        auto line_of = [&](int line, int column, std::optional<ra_record> *into) {
            if (line == 0) return true;
            ra_record r;
            if (!ra_line_of_row(list, column, line, &layouts, &r)) return false;
            *into = std::move(r);
            return true;
        };
        // The list is written oldest first: each racer's laps in time order,
        // a personal best where one beats every earlier lap of theirs on the
        // track (ra_racer_races), told from the best so far of each racer
        // and track.
        ra_statement lap(db_,
                         "INSERT INTO laps(entry, racer, lap, track_key, type_key, when_text, "
                         "line, pb) VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
        std::map<std::pair<std::string, std::string>, uint32_t> best;
        auto write_laps_of = [&](int64_t entry, const ra_replay &r) {
            if (r.kind != ra_replay_kind::race || !r.record) return true;
            const std::string when = ra_format_time(r.when);
            const std::string track = ra_folded_name(r.record->get(ra_column_track));
            const std::string type = ra_folded_name(r.record->get(ra_column_type));
            std::set<std::string> seen_racers;
            for (int car = 1; car <= RA_CARS; ++car) {
                const std::string name = r.record->get_car(ra_car_name, car);
                const std::string racer = ra_folded_name(name);
                if (name.empty() || !seen_racers.insert(racer).second) continue;
                const uint32_t time = ra_racer_lap(*r.record, name);
                if (time == 0) continue;
                auto held = best.emplace(std::make_pair(racer, track), time);
                const bool pb = !held.second && time < held.first->second;
                if (pb) held.first->second = time;
                lap.reset();
                lap.bind(1, entry).bind(2, racer).bind(3, (int64_t)time).bind(4, track);
                lap.bind(5, type).bind(6, when).bind(7, r.record->line).bind(8, (int64_t)pb);
                lap.step();
                if (!lap.ok()) return false;
            }
            return true;
        };
        // The racers as ra_write_racers counts them, each once here: their
        // number grows with the people raced, not with the races.
        struct ra_racer_count {
            std::string name;
            int64_t races = 0;
            int car = 0;
        };
        std::map<std::string, ra_racer_count> counted;
        auto count_racers = [&](const ra_replay &r) {
            if (r.kind != ra_replay_kind::race || !r.record) return;
            std::set<std::string> seen_racers;
            for (int car = 1; car <= RA_CARS; ++car) {
                const std::string name = r.record->get_car(ra_car_name, car);
                const std::string racer = ra_folded_name(name);
                if (name.empty() || !seen_racers.insert(racer).second) continue;
                ra_racer_count &c = counted[racer];
                c.car = c.races == 0 ? car : std::min(c.car, car);
                c.name = name;  // the newest race's spelling
                ++c.races;
            }
        };
        size_t done = 0;
        while (list.step()) {
            ra_replay r;
            r.file = list.text(0);
            if (!ra_parse_time(list.text(1), &r.when)) r.when = ra_time();
            r.state = (ra_replay_state)list.integer(4);
            r.kind = (ra_replay_kind)list.integer(5);
            if (!line_of((int)list.integer(2), 6, &r.record) ||
                !line_of((int)list.integer(3), 8, &r.holds)) {
                return false;
            }
            ra_entry_row row = ra_row_of(r);
            row.kept = marks.has(r.file) ? 1 : 0;
            // Made from nothing: numbered in the order written, oldest
            // first, so that each row goes at the table's end.
            int64_t id = fresh ? (int64_t)done + 1 : 0;
            bool same = false;
            if (!fresh) {
                stored.reset();
                stored.bind(1, row.key);
                if (stored.step()) {
                    id = stored.integer(0);
                    same = stored.text(1) == row.digest && stored.integer(2) == row.kept &&
                           stored.integer(3) == 0;
                }
                if (!stored.ok()) return false;
            }
            if (!same) {
                if (!write_entry(row, fresh ? 0 : id, fresh ? id : 0)) return false;
                if (id == 0) id = sqlite3_last_insert_rowid(db_);
            }
            if (!fresh) {
                seen.reset();
                seen.bind(1, id).step();
                if (!seen.ok()) return false;
            }
            if (!write_laps_of(id, r)) return false;
            racers.add_newer(r);
            count_racers(r);
            report(++done, (size_t)total);
        }
        if (!list.ok()) return false;
        ra_statement racer(db_, "INSERT INTO racers(racer, name, races, car) VALUES(?, ?, ?, ?)");
        for (const auto &c : counted) {
            racer.reset();
            racer.bind(1, c.first).bind(2, c.second.name).bind(3, c.second.races);
            racer.bind(4, c.second.car).step();
            if (!racer.ok()) return false;
        }
    }
    if (!ra_table_indexes_made(db_, "laps", true)) return false;
    if (fresh && !ra_table_indexes_made(db_, "entries", true)) return false;
    // The rows that went leave tombstones (an index made from nothing has none).
    int gone = 0;
    if (!fresh && !sql.one_int("SELECT count(*) FROM entries WHERE removed=0 AND id NOT IN "
                               "(SELECT id FROM rebuild_seen)",
                               &gone)) {
        return false;
    }
    if (gone > 0) {
        ra_statement tombstones(db_,
                                "UPDATE entries SET removed=1, version=? WHERE removed=0 AND "
                                "id NOT IN (SELECT id FROM rebuild_seen)");
        tombstones.bind(1, version()).step();
        if (!tombstones.ok()) return false;
    }
    std::vector<std::string> warnings = records.warnings, skipped;
    // New warnings are a change of the library too: the page shows them.
    if (ra_meta_text(db_, "warnings") != ra_encode_list(warnings)) version();
    for (int line : records.skipped) skipped.push_back(std::to_string(line));
    std::vector<std::string> marked(marks.folded.begin(), marks.folded.end());
    bool ok = ra_drop_rebuild_tables(db_) &&
              ra_meta_set(db_, "files_digest", files_digest_.text()) &&
              ra_meta_set(db_, "names_digest", names_digest_.text()) &&
              ra_meta_set(db_, "record_found", (int64_t)records.found) &&
              ra_meta_set(db_, "warnings", ra_encode_list(warnings)) &&
              ra_meta_set(db_, "skipped", ra_encode_list(skipped)) &&
              ra_meta_set(db_, "usable_lines", (int64_t)usable_lines) &&
              ra_meta_set(db_, "next_line", (int64_t)next_line) &&
              ra_meta_set(db_, "clean_end", (int64_t)clean_end) &&
              ra_meta_set(db_, "entries", (int64_t)total) &&
              ra_meta_set(db_, "marks", ra_encode_list(marked)) &&
              ra_meta_set(db_, "default_racer", racers.default_racer()) &&
              ra_meta_set(db_, "player", ra_newest_player(db_));
    report(0, 0);
    return ok && write_state();
}

// The everyday case: lines appended whose files are new in Dir, and
// nothing else changed. Only when each condition below holds is the list
// the pipeline would make the old one plus these races; otherwise *taken
// stays false and nothing is written.
bool ra_refresh::appended(bool *taken) {
    *taken = false;
    if (ra_meta_int(db_, "record_found") != 1 || ra_meta_int(db_, "clean_end") != 1 ||
        ra_meta_int(db_, "usable_lines") == 0) {
        return true;
    }
    // Dir: the files the index had, unchanged, and new ones.
    if (!only_added_) return true;
    std::string text;
    if (!ra_appended_bytes(dir_ / ra_records_file, ra_meta_text(db_, "record_stamp"), record_,
                           ra_appended_most_bytes, &text)) {
        return true;
    }
    std::map<std::string, ra_dir_file> added;
    for (const ra_dir_file &file : added_) added[file.folded] = file;
    // Whole lines of the plug-in's own, whose times are its own: no date
    // that a spreadsheet wrote, which would decide the order of day and
    // month for the whole file.
    if (text.back() != '\n' || text.find('/') != std::string::npos ||
        text.compare(0, sizeof ra_utf8_mark - 1, ra_utf8_mark) == 0) {
        return true;
    }
    ra_records parsed;
    ra_parse_records(text, shown_, &parsed);
    if (!parsed.warnings.empty() || !parsed.skipped.empty() || parsed.lines.empty() ||
        parsed.lines.size() != added.size()) {
        return true;
    }
    const int64_t base = ra_meta_int(db_, "next_line");
    ra_statement claimed(db_, "SELECT 1 FROM lines WHERE folded=?");
    ra_statement near(db_, "SELECT 1 FROM files WHERE claimed=0 AND stamp BETWEEN ? AND ?");
    std::set<std::string> names;
    bool player = !ra_meta_text(db_, "player").empty();
    for (ra_record &r : parsed.lines) {
        const std::string folded = ra_folded_name(r.file);
        if (ra_record_columns(r) != ra_plugin_columns() || !added.count(folded) ||
            !names.insert(folded).second) {
            return true;
        }
        claimed.reset();
        claimed.bind(1, folded);
        if (claimed.step() || !claimed.ok()) return claimed.ok();
        int64_t at = ra_seconds_of(r.saved);
        near.reset();
        near.bind(1, at - ra_same_save_seconds).bind(2, at + ra_same_save_seconds);
        if (near.step() || !near.ok()) return near.ok();
        r.line = (int)(base + r.line - 1);
        player = player || (r.player >= 1 && !r.get_car(ra_car_name, r.player).empty());
    }
    // Without any race that names the player, the default racer is the one
    // in most races: the whole pipeline decides it.
    if (!player) return true;

    *taken = true;
    ra_keep_marks marks = ra_read_keep_marks(dir_);
    if (!ra_write_lines(db_, parsed.lines)) return false;
    std::vector<ra_replay> replays;
    for (const ra_record &r : parsed.lines) {
        ra_replay replay;
        replay.file = added[ra_folded_name(r.file)].name;
        replay.when = r.saved;
        replay.record = r;
        replays.push_back(replay);
    }
    std::vector<std::pair<int64_t, const ra_replay *>> races;
    ra_statement add_file(db_,
                          "INSERT OR REPLACE INTO files(folded, name, size, mtime, stamp, "
                          "claimed) VALUES(?, ?, ?, ?, ?, 1)");
    for (const ra_replay &r : replays) {
        ra_entry_row row = ra_row_of(r);
        row.kept = marks.has(r.file) ? 1 : 0;
        // A tombstone of the same line (a record that was longer once) is
        // taken up again.
        ra_statement old(db_, "SELECT id FROM entries WHERE key=?");
        old.bind(1, row.key);
        int64_t id = old.step() ? old.integer(0) : 0;
        if (!write_entry(row, id)) return false;
        races.push_back({id != 0 ? id : sqlite3_last_insert_rowid(db_), &r});
        ra_dir_file &f = added[row.folded];
        ra_stamp(dir_, &f);
        add_file.reset();
        add_file.bind(1, row.folded).bind(2, f.name).bind(3, f.size).bind(4, f.mtime);
        if (f.stamped) add_file.bind(5, f.stamp);
        add_file.step();
        if (!add_file.ok()) return false;
    }
    bool clean_end = false;
    int lines_read = ra_next_line(text, &clean_end) - 1;
    std::string player_name = ra_newest_player(db_);
    std::vector<const ra_replay *> added_races;
    for (const ra_replay &r : replays) added_races.push_back(&r);
    // The files are those the index had and the new ones: the listing's
    // digests are the files table's now.
    return write_laps(races) && ra_write_racers(db_, added_races) &&
           ra_meta_set(db_, "files_digest", files_digest_.text()) &&
           ra_meta_set(db_, "names_digest", names_digest_.text()) &&
           ra_meta_set(db_, "usable_lines",
                       ra_meta_int(db_, "usable_lines") + (int64_t)parsed.lines.size()) &&
           ra_meta_set(db_, "next_line", base + lines_read) &&
           ra_meta_set(db_, "entries", ra_meta_int(db_, "entries") + (int64_t)replays.size()) &&
           ra_meta_set(db_, "default_racer", player_name) &&
           ra_meta_set(db_, "player", player_name);
}

bool ra_library_index::refresh(const std::string &shown, bool quick,
                               const ra_index_progress &progress, std::string *why) {
    ra_sql sql(db_);
    if (!sql.run("BEGIN IMMEDIATE")) return sql.failed(why);
    bool ok = false;
    {
        // Its statements end before the index made aside is closed.
        ra_refresh r(db_, dir_, shown, progress, &done_, &total_);
        ok = !r.changed(quick) || r.write();
        change_ = r.change;
    }
    if (ok && sql.run("COMMIT")) return aside_.empty() || place(why);
    sql.failed(why);
    sql.run("ROLLBACK");
    done_ = total_ = 0;
    // Without a journal nothing was rolled back: an index made aside starts
    // again from nothing.
    if (!aside_.empty()) {
        std::string again;
        open(dir_, &again);
    }
    return false;
}

bool ra_library_index::place(std::string *why) {
    const fs::path path = dir_ / ra_index_file;
    sqlite3 *made = db_;
    db_ = nullptr;
    const bool placed = ra_place_cache(made, aside_, path, why);
    if (!placed) ra_remove_cache(aside_);
    aside_.clear();
    if (!placed) return false;
    // Opened again as every index is opened: its log, its cache, its wait.
    ra_cache_opened how;
    db_ = ra_open_cache(path, ra_index_cache, &how, why);
    return db_ != nullptr;
}

bool ra_library_index::read_lines(const std::set<int> *wanted, ra_records *records) {
    ra_layouts layouts(db_);
    auto add_line = [&](ra_statement &s) {
        ra_record r;
        if (!ra_line_of_row(s, 1, (int)s.integer(0), &layouts, &r)) return false;
        records->lines.push_back(std::move(r));
        return true;
    };
    if (wanted == nullptr) {
        ra_statement lines(db_, "SELECT line, layout, fields FROM lines ORDER BY line");
        while (lines.step()) {
            if (!add_line(lines)) return false;
        }
        return lines.ok();
    }
    ra_statement lines(db_, "SELECT line, layout, fields FROM lines WHERE line=?");
    for (int line : *wanted) {
        lines.reset();
        lines.bind(1, line);
        if (!lines.step() || !add_line(lines)) return false;
    }
    return true;
}

bool ra_library_index::read_lines_in_parts(
    size_t skip, size_t part_lines, const std::function<bool(const ra_records &part)> &each) {
    ra_layouts layouts(db_);
    ra_statement lines(db_,
                       "SELECT line, layout, fields FROM lines ORDER BY line LIMIT -1 OFFSET ?");
    lines.bind(1, (int64_t)skip);
    ra_records part;
    part.found = true;
    while (lines.step()) {
        ra_record r;
        if (!ra_line_of_row(lines, 1, (int)lines.integer(0), &layouts, &r)) return false;
        part.lines.push_back(std::move(r));
        if (part.lines.size() < part_lines) continue;
        if (!each(part)) return false;
        part.lines.clear();
    }
    return lines.ok() && (part.lines.empty() || each(part));
}

std::string ra_library_index::record_stamp() { return ra_meta_text(db_, "record_stamp"); }

bool ra_library_index::records_for(const std::string &file, ra_records *out) {
    *out = ra_records();
    out->found = ra_meta_int(db_, "record_found") == 1;
    if (!ra_decode_list(ra_meta_text(db_, "warnings"), &out->warnings)) return false;
    std::set<int> wanted;
    ra_statement named(db_, "SELECT max(line) FROM lines WHERE folded=?");
    named.bind(1, ra_folded_name(file));
    if (named.step() && named.integer(0) != 0) wanted.insert((int)named.integer(0));
    ra_statement newest(db_,
                        "SELECT line FROM entries WHERE removed=0 AND line<>0 "
                        "ORDER BY when_text DESC, line DESC LIMIT 1");
    if (newest.step()) wanted.insert((int)newest.integer(0));
    return named.ok() && newest.ok() && read_lines(&wanted, out);
}

bool ra_library_index::load(ra_replay_list *out, const std::string &track,
                            const std::string &file) {
    *out = ra_replay_list();
    ra_records &records = out->records;
    records.found = ra_meta_int(db_, "record_found") == 1;
    std::vector<std::string> skipped;
    if (!ra_decode_list(ra_meta_text(db_, "warnings"), &records.warnings) ||
        !ra_decode_list(ra_meta_text(db_, "skipped"), &skipped)) {
        return false;
    }
    for (const std::string &line : skipped) records.skipped.push_back(atoi(line.c_str()));

    // The whole list takes its rows' lines from all the lines, read in file
    // order; a part of it (one track, one file) reads the lines of its rows
    // with them, in one pass through an index in the list's order.
    const bool all = track.empty() && file.empty();
    std::unordered_map<int, size_t> at;  // line -> its place in records.lines
    if (all) {
        if (!read_lines(nullptr, &records)) return false;
        at.reserve(records.lines.size());
        for (size_t i = 0; i < records.lines.size(); ++i) at[records.lines[i].line] = i;
    }
    ra_layouts layouts(db_);
    // A row's own line and the line of the race it holds.
    auto line_of = [&](const ra_statement &row, int line, int column,
                       std::optional<ra_record> *into) {
        if (line == 0) return true;
        if (all) {
            auto found = at.find(line);
            if (found == at.end()) return false;
            *into = records.lines[found->second];
            return true;
        }
        ra_record r;
        if (!ra_line_of_row(row, column, line, &layouts, &r)) return false;
        *into = std::move(r);
        return true;
    };
    // The rows wanted: a track's through entries_track, one file's through
    // its folded name (named, or SQLite may walk all rows by `removed`).
    const std::string from = std::string(" FROM entries e ") +
                             (track.empty() && !file.empty() ? "INDEXED BY entries_folded " : "");
    const std::string where =
        std::string("WHERE e.removed=0 ") + (!track.empty()  ? "AND e.track_key=?1 "
                                             : !file.empty() ? "AND e.folded=?1 AND e.file=?2 "
                                                             : "");
    ra_statement entries(db_, std::string("SELECT e.file, e.when_text, e.line, e.holds, e.state, "
                                          "e.kind") +
                                  (all ? from
                                       : ", l.layout, l.fields, h.layout, h.fields" + from +
                                             "LEFT JOIN lines l ON l.line = e.line "
                                             "LEFT JOIN lines h ON h.line = e.holds ") +
                                  where + "ORDER BY e.when_text DESC, e.line DESC, e.file");
    // Room for every row at once: a row is large, and a list that grows
    // moves all of them again and again.
    ra_statement count(db_, "SELECT count(*)" + from + where);
    for (ra_statement *s : {&entries, &count}) {
        if (!track.empty())
            s->bind(1, ra_folded_name(track));
        else if (!file.empty())
            s->bind(1, ra_folded_name(file)).bind(2, file);
    }
    if (!count.step()) return false;
    out->replays.reserve((size_t)std::max<int64_t>(count.integer(0), 0));
    while (entries.step()) {
        ra_replay r;
        r.file = entries.text(0);
        ra_parse_time(entries.text(1), &r.when);
        if (!line_of(entries, (int)entries.integer(2), 6, &r.record) ||
            !line_of(entries, (int)entries.integer(3), 8, &r.holds)) {
            return false;
        }
        r.state = (ra_replay_state)entries.integer(4);
        r.kind = (ra_replay_kind)entries.integer(5);
        out->replays.push_back(std::move(r));
    }
    if (!entries.ok()) return false;
    if (!all) {
        // The lines the rows need, in file order, each once.
        records.lines.reserve(2 * out->replays.size());
        for (const ra_replay &r : out->replays) {
            for (const std::optional<ra_record> *line : {&r.record, &r.holds})
                if (*line) records.lines.push_back(**line);
        }
        std::sort(records.lines.begin(), records.lines.end(),
                  [](const ra_record &a, const ra_record &b) { return a.line < b.line; });
        records.lines.erase(
            std::unique(records.lines.begin(), records.lines.end(),
                        [](const ra_record &a, const ra_record &b) { return a.line == b.line; }),
            records.lines.end());
    }
    return true;
}

bool ra_library_index::facts(ra_index_facts *out) {
    out->entries = (size_t)ra_meta_int(db_, "entries");
    out->default_racer = ra_meta_text(db_, "default_racer");
    out->player = ra_meta_text(db_, "player");
    out->cursor = ra_meta_int(db_, "counter");
    out->floor = ra_meta_int(db_, "floor");
    return true;
}

bool ra_indexed_list(const fs::path &dir, const std::string &shown, ra_replay_list *out,
                     std::string *error, const ra_index_request &request, ra_index_facts *facts) {
    const std::string &track = request.track;
    std::error_code failed;
    bool usable = fs::is_directory(dir, failed) &&
                  (request.make || ra_entry_kind_of(dir / ra_index_file) == ra_entry_kind::file);
    // Twice at most: an index that cannot be read is removed and made again.
    for (int attempt = 0; usable && attempt < 2; ++attempt) {
        {
            ra_library_index index;
            std::string why;
            if (!index.open(dir, &why)) break;
            if (index.refresh(shown, false, request.progress, &why)) {
                if (index.load(out, track) && (facts == nullptr || index.facts(facts))) return true;
            } else if (sqlite3_errcode(index.db()) == SQLITE_BUSY) {
                break;  // another process is writing it: do without it this time
            }
        }
        ra_remove_index(dir);
        usable = request.make;
    }
    // Without the index: the pipeline itself, and the whole list.
    if (!ra_list_replays(dir, shown, out, error)) return false;
    if (facts != nullptr) {
        *facts = ra_index_facts();
        facts->entries = out->replays.size();
        facts->default_racer = ra_default_racer(*out);
    }
    if (!track.empty()) {
        // Only what list --track needs, as the index would give it.
        std::vector<ra_replay> kept;
        for (ra_replay &r : out->replays) {
            const ra_record *f = r.record ? &*r.record : r.holds ? &*r.holds : nullptr;
            if (f && ra_folded_name(f->get(ra_column_track)) == ra_folded_name(track))
                kept.push_back(std::move(r));
        }
        out->replays = std::move(kept);
    }
    return true;
}
