#include "friends/friends_index.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <system_error>

#include "friends/friends_folder.h"
#include "friends/line_binding.h"
#include "friends/sharing.h"
#include "library/text/folded_name.h"
#include "library/replays/game_replay.h"
#include "library/cache/index_store.h"
#include "library/record/lap_time.h"
#include "library/cache/library_index.h"
#include "library/text/local_time.h"
#include "library/record/record_schema.h"
#include "library/cache/record_cache.h"
#include "library/record/record_reader.h"
#include "library/replays/sha256.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "snapshot/race_context.h"

namespace fs = std::filesystem;

const char ra_friends_index_file[] = "friends.index";

namespace {

// The schema's version, in SQLite's user_version: a cache of another
// version is made anew. Since 4 its texts are UTF-8, as the record reader
// decodes them; since 5 each best and each replay seen keeps its digest.
const int ra_friends_index_schema = 5;
// How long a call waits for another process's refresh of the cache.
const int ra_friends_index_wait_ms = 30000;
// The player's rows in the cache.
const char ra_player_source[] = "";
// The player's record made anew is read this many lines at a time (some
// 5 MB of them).
const size_t ra_record_part_lines = 5000;

// races: one row per usable record line of a source (line: its place in the
// record's usable lines); race: what makes two lines one race apart from
// the start (folded track, type, laps and sorted folded racer names);
// started: seconds from 1970, -1 unknown; total: the source's own car's race
// time in hundredths, 0 none. Head to head reads a friend's races of one
// race key in line order through races_pair.
// sources: per source its files' stamp, the generation of its rows, the
// player's name with when that line was saved, and its usable lines.
// bests: per source, track and type the fastest of its laps (the first line
// of equal laps), with the hash the friend's list states for its replay and
// the digest the line states. versus: the head to head of a friend, as counted from the
// sources' generations named. seen: the SHA-256 and the digest of friends'
// replays (friends/line_binding.h) by size and time stamp.
const char ra_friends_schema_sql[] = R"(
CREATE TABLE meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID;
CREATE TABLE sources(source TEXT PRIMARY KEY, stamp TEXT NOT NULL, generation INTEGER NOT NULL,
                     player TEXT NOT NULL, player_when TEXT NOT NULL, lines INTEGER NOT NULL)
                     WITHOUT ROWID;
CREATE TABLE races(source TEXT NOT NULL, line INTEGER NOT NULL, race TEXT NOT NULL,
                   started INTEGER NOT NULL, total INTEGER NOT NULL,
                   PRIMARY KEY(source, line)) WITHOUT ROWID;
CREATE INDEX races_pair ON races(source, race, line);
CREATE TABLE bests(source TEXT NOT NULL, track TEXT NOT NULL, type TEXT NOT NULL,
                   lap INTEGER NOT NULL, saved TEXT NOT NULL, file TEXT NOT NULL,
                   stated TEXT NOT NULL, digest TEXT NOT NULL,
                   PRIMARY KEY(source, track, type)) WITHOUT ROWID;
CREATE TABLE versus(source TEXT PRIMARY KEY, mine INTEGER NOT NULL, theirs INTEGER NOT NULL,
                    races INTEGER NOT NULL, wins INTEGER NOT NULL, losses INTEGER NOT NULL,
                    gap_sum INTEGER NOT NULL, timed INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE seen(source TEXT NOT NULL, file TEXT NOT NULL, size INTEGER NOT NULL,
                  mtime INTEGER NOT NULL, sha256 TEXT NOT NULL, digest TEXT NOT NULL,
                  PRIMARY KEY(source, file)) WITHOUT ROWID;
)";

// Older schemas held other texts (the record's bytes before 4) or lacked
// the digests that prove a replay (before 5): no step can make those, and
// such a cache is made anew.
const ra_cache_schema ra_friends_cache = {
    ra_friends_index_schema,
    ra_friends_schema_sql,
    nullptr,
    0,
    nullptr,
    ra_friends_index_wait_ms,
    0,
    0,
    false,
    0,
};

// The file system's own time (the C++ library's is in whole seconds on
// Windows, and a replay changed twice in a second would look unchanged).
int64_t ra_mtime_count(const fs::path &path) {
    const ra_entry_facts facts = ra_entry_facts_of(path);
    return facts.kind == ra_entry_kind::none ? -1 : facts.written;
}

// The lines appended to a record since the stamp it had, header line first
// so that they are read by it; false when it changed otherwise.
bool ra_appended_lines(const fs::path &path, const std::string &stored, const ra_file_stamp &now,
                       std::string *text) {
    const size_t header_end = now.head.find('\n');
    std::string tail;
    if (header_end == std::string::npos ||
        (int64_t)header_end >= atoll(stored.substr(0, stored.find('@')).c_str()) ||
        !ra_appended_bytes(path, stored, now, ra_appended_most_bytes, &tail)) {
        return false;
    }
    *text = now.head.substr(0, header_end + 1) + tail;
    return true;
}

uint32_t ra_car_hundredths(const ra_record &r, ra_car_field field) {
    if (r.player < 1) return 0;
    return ra_parse_lap(r.get_car(field, r.player));
}

int64_t ra_started_seconds(const ra_record &r) {
    ra_time started, epoch;
    epoch.year = 1970;
    epoch.month = epoch.day = 1;
    if (!ra_parse_time(r.get(ra_column_started), &started)) return -1;
    return ra_seconds_between(epoch, started);
}

// The facts that make two lines one race, apart from the start.
std::string ra_race_key(const ra_record &r) {
    std::vector<std::string> names;
    for (int car = 1; car <= RA_CARS; ++car) {
        std::string name = r.get_car(ra_car_name, car);
        if (!name.empty()) names.push_back(ra_folded_name(name));
    }
    std::sort(names.begin(), names.end());
    std::string key = ra_folded_name(r.get(ra_column_track)) + '\n' +
                      ra_folded_name(r.get(ra_column_type)) + '\n' + r.get(ra_column_laps);
    for (const std::string &n : names) key += '\n' + n;
    return key;
}

// The newest line of the records that names the player (of equal times
// the later line), or null.
const ra_record *ra_newest_named(const ra_records &records) {
    const ra_record *newest = nullptr;
    for (const ra_record &r : records.lines) {
        if (!ra_line_player_name(r).empty() && (newest == nullptr || !(r.saved < newest->saved))) {
            newest = &r;
        }
    }
    return newest;
}

// Drops a source's rows and what was counted from them.
bool ra_forget_source(sqlite3 *db, const std::string &source) {
    bool ok = true;
    for (const char *sql :
         {"DELETE FROM races WHERE source=?", "DELETE FROM bests WHERE source=?",
          "DELETE FROM sources WHERE source=?", "DELETE FROM versus WHERE source=?",
          "DELETE FROM seen WHERE source=?"}) {
        ra_statement s(db, sql);
        s.bind(1, source).step();
        ok = ok && s.ok();
    }
    return ok;
}

// Adds a source's record lines to its rows, numbered from `first` on, and
// keeps each track and type's best lap where one of them is faster (for a
// friend, with the hash each replay was stated to have); then its row in
// sources, with a new generation.
bool ra_add_lines(sqlite3 *db, const std::string &source, const std::string &stamp,
                  const ra_records &records, int64_t first,
                  const std::map<std::string, std::string> &hashes) {
    ra_statement race(db,
                      "INSERT INTO races(source, line, race, started, total) VALUES(?,?,?,?,?)");
    // The fastest line per folded track and type, the first of equal laps.
    std::map<std::pair<std::string, std::string>, const ra_record *> fastest;
    for (size_t i = 0; i < records.lines.size(); ++i) {
        const ra_record &r = records.lines[i];
        race.bind(1, source)
            .bind(2, first + (int64_t)i)
            .bind(3, ra_race_key(r))
            .bind(4, ra_started_seconds(r))
            .bind(5, (int64_t)ra_car_hundredths(r, ra_car_total_time));
        race.step();
        if (!race.ok()) return false;
        race.reset();
        uint32_t lap = ra_car_hundredths(r, ra_car_best_lap);
        if (lap == 0) continue;
        const ra_record *&held = fastest[{ra_folded_name(r.get(ra_column_track)),
                                          ra_folded_name(r.get(ra_column_type))}];
        if (held == nullptr || lap < ra_car_hundredths(*held, ra_car_best_lap)) held = &r;
    }
    ra_statement held(db, "SELECT lap FROM bests WHERE source=? AND track=? AND type=?");
    ra_statement best(db,
                      "INSERT OR REPLACE INTO bests(source, track, type, lap, saved, file, stated, "
                      "digest) VALUES(?,?,?,?,?,?,?,?)");
    for (const auto &group : fastest) {
        const ra_record &r = *group.second;
        const uint32_t lap = ra_car_hundredths(r, ra_car_best_lap);
        held.reset();
        held.bind(1, source).bind(2, group.first.first).bind(3, group.first.second);
        if (held.step() && held.integer(0) <= (int64_t)lap) continue;
        auto stated = hashes.find(ra_folded_name(r.file));
        best.reset();
        best.bind(1, source)
            .bind(2, group.first.first)
            .bind(3, group.first.second)
            .bind(4, (int64_t)lap)
            .bind(5, ra_format_time(r.saved))
            .bind(6, r.file)
            .bind(7, stated == hashes.end() ? std::string() : stated->second)
            .bind(8, ra_line_digest(r));
        best.step();
        if (!best.ok()) return false;
    }
    // The player's name: of the newest line that has one, these lines after
    // the earlier ones at equal times.
    std::string player, player_when;
    ra_statement had(db, "SELECT player, player_when FROM sources WHERE source=?");
    had.bind(1, source);
    if (first > 0 && had.step()) {
        player = had.text(0);
        player_when = had.text(1);
    }
    const ra_record *newest = ra_newest_named(records);
    if (newest != nullptr && !(ra_format_time(newest->saved) < player_when)) {
        player = ra_line_player_name(*newest);
        player_when = ra_format_time(newest->saved);
    }
    int64_t generation = ra_meta_int(db, "generation") + 1;
    ra_statement s(db,
                   "INSERT OR REPLACE INTO sources(source, stamp, generation, player, player_when, "
                   "lines) VALUES(?,?,?,?,?,?)");
    s.bind(1, source)
        .bind(2, stamp)
        .bind(3, generation)
        .bind(4, player)
        .bind(5, player_when)
        .bind(6, first + (int64_t)records.lines.size())
        .step();
    return s.ok() && ra_meta_set(db, "generation", generation);
}

// Makes a source's rows anew from its whole record.
bool ra_store_source(sqlite3 *db, const std::string &source, const std::string &stamp,
                     const ra_records &records, const std::map<std::string, std::string> &hashes) {
    return ra_forget_source(db, source) && ra_add_lines(db, source, stamp, records, 0, hashes);
}

int64_t ra_stored_lines(sqlite3 *db, const std::string &source) {
    ra_statement s(db, "SELECT lines FROM sources WHERE source=?");
    s.bind(1, source);
    return s.step() ? s.integer(0) : -1;
}

std::string ra_stored_stamp(sqlite3 *db, const std::string &source) {
    ra_statement s(db, "SELECT stamp FROM sources WHERE source=?");
    s.bind(1, source);
    return s.step() ? s.text(0) : std::string();
}

int64_t ra_generation(sqlite3 *db, const std::string &source) {
    ra_statement s(db, "SELECT generation FROM sources WHERE source=?");
    s.bind(1, source);
    return s.step() ? s.integer(0) : -1;
}

}  // namespace

ra_friends_index::~ra_friends_index() { close(); }

void ra_friends_index::close() {
    if (db_ != nullptr) sqlite3_close(db_);
    db_ = nullptr;
}

bool ra_friends_index::open(const fs::path &path, int *code) {
    close();
    ra_cache_opened how;
    std::string why;
    db_ = ra_open_cache(path, ra_friends_cache, &how, &why, code);
    return db_ != nullptr;
}

bool ra_friends_index::refresh_all(const fs::path &dir,
                                   const std::vector<std::pair<std::string, fs::path>> &friends,
                                   std::vector<std::string> *warnings) {
    // The player's record is read once, into the library's index: where
    // that index is brought up to date with the same record, the player's
    // rows are made from its lines. Before this cache's write lock, so that
    // no process waits for one index while holding the other.
    const fs::path record = dir / ra_records_file;
    const ra_file_stamp own = ra_file_stamp_of(record);
    const std::string own_text = own.text();
    std::unique_ptr<ra_library_index> library;
    if (ra_stored_stamp(db_, ra_player_source) != own_text) {
        library = std::make_unique<ra_library_index>();
        std::string why;
        if (!library->open(dir, &why) ||
            !library->refresh(ra_text(dir), false, ra_index_progress(), &why) ||
            library->record_stamp() != own_text) {
            library.reset();  // read from the record itself, as without an index
        }
    }
    ra_sql sql(db_);
    // The write lock first, then the files: two processes refreshing at once
    // both end right.
    if (!sql.run("BEGIN IMMEDIATE")) return false;
    bool ok = true;
    // The player's record grows by a line after every race: lines appended
    // are read alone.
    const std::string had = ra_stored_stamp(db_, ra_player_source);
    std::string appended;
    if (had != own_text && library) {
        // The lines past those the rows have when lines were appended, else
        // all of them anew.
        int64_t first = ra_stored_lines(db_, ra_player_source);
        if (first < 0 || !ra_appended_lines(record, had, own, &appended)) {
            ok = ra_forget_source(db_, ra_player_source);
            first = 0;
        }
        bool added = false;
        ok = ok && library->read_lines_in_parts(
                       (size_t)first, ra_record_part_lines, [&](const ra_records &part) {
                           added = true;
                           if (!ra_add_lines(db_, ra_player_source, own_text, part, first, {}))
                               return false;
                           first += (int64_t)part.lines.size();
                           return true;
                       });
        // A record without a usable line (or none new) still has its row.
        if (ok && !added)
            ok = ra_add_lines(db_, ra_player_source, own_text, ra_records(), first, {});
    } else if (had != own_text) {
        ra_records records;
        const int64_t lines = ra_stored_lines(db_, ra_player_source);
        if (lines >= 0 && ra_appended_lines(record, had, own, &appended)) {
            ra_parse_records(appended, ra_text(record), &records);
            ok = ra_add_lines(db_, ra_player_source, own_text, records, lines, {});
        } else {
            // Made anew a part at a time: a long career's lines are never
            // all in memory at once.
            int64_t first = 0;
            ok = ra_forget_source(db_, ra_player_source) &&
                 ra_read_records_in_parts(
                     dir, ra_text(record), ra_record_part_lines,
                     [&](const ra_records &part) {
                         if (!ra_add_lines(db_, ra_player_source, own_text, part, first, {}))
                             return false;
                         first += (int64_t)part.lines.size();
                         return true;
                     },
                     &records);
            // A record without a usable line still has its row.
            if (ok && first == 0)
                ok = ra_add_lines(db_, ra_player_source, own_text, records, 0, {});
        }
    }
    std::vector<std::string> gone;
    ra_statement stored(db_, "SELECT source FROM sources WHERE source<>''");
    while (stored.step()) gone.push_back(stored.text(0));
    for (const auto &f : friends) {
        if (!ok) break;
        gone.erase(std::remove(gone.begin(), gone.end(), f.first), gone.end());
        const std::string stamp = ra_file_stamp_of(f.second / ra_records_file).text() + "|" +
                                  ra_file_stamp_of(f.second / ra_hashes_file).text();
        if (ra_stored_stamp(db_, f.first) == stamp) continue;
        ra_friend one;
        std::string error;
        if (ra_read_friend(f.second, f.first, &one, &error)) {
            ok = ra_store_source(db_, f.first, stamp, one.records, one.hashes);
        } else {
            warnings->push_back(error);
            ok = ra_forget_source(db_, f.first);
        }
    }
    for (const std::string &source : gone) ok = ok && ra_forget_source(db_, source);
    if (ok && sql.run("COMMIT")) return true;
    sql.run("ROLLBACK");
    return false;
}

bool ra_friends_index::refresh(const fs::path &dir,
                               const std::vector<std::pair<std::string, fs::path>> &friends,
                               std::vector<std::string> *warnings) {
    const fs::path folder = dir / ra_friends_folder;
    const fs::path path = folder / ra_friends_index_file;
    const size_t warned = warnings->size();
    own_.clear();
    own_read_ = false;
    // The cache is kept in Friends\, made for it before any friend is
    // imported: without a place to keep it, every leaderboard (the app asks
    // for one each time it opens) read the player's whole record again.
    std::error_code unmade;
    if (ra_entry_kind_of(folder) == ra_entry_kind::none) fs::create_directory(folder, unmade);
    // Twice at most: a file that is not a database of ours is removed and
    // made again.
    // Twice at most: damage found only as the rows are read removes the file
    // and makes it again (open itself does so for a file that is no database).
    for (int attempt = 0; attempt < 2 && ra_entry_kind_of(folder) == ra_entry_kind::folder;
         ++attempt) {
        int code = SQLITE_CANTOPEN;
        if (open(path, &code) && refresh_all(dir, friends, warnings)) return true;
        if (db_ != nullptr) code = sqlite3_errcode(db_);
        close();
        warnings->resize(warned);
        if ((code != SQLITE_CORRUPT && code != SQLITE_NOTADB) ||
            ra_entry_kind_of(path) != ra_entry_kind::file) {
            break;
        }
        ra_remove_cache(path);
    }
    // No place to keep it: the same cache for this call alone.
    return open(fs::path(), nullptr) && refresh_all(dir, friends, warnings);
}

std::string ra_friends_index::player() {
    ra_statement s(db_, "SELECT player FROM sources WHERE source=''");
    return s.step() ? s.text(0) : std::string();
}

bool ra_friends_index::bests(const std::string &track, const std::string &type,
                             std::vector<ra_best_row> *out) {
    out->clear();
    ra_statement s(db_,
                   "SELECT source, track, type, lap, saved, file, stated, digest FROM bests "
                   "WHERE (?1='' OR track=?1) AND (?2='' OR type=?2) ORDER BY source");
    s.bind(1, track).bind(2, type);
    while (s.step()) {
        ra_best_row b;
        b.source = s.text(0);
        b.track = s.text(1);
        b.type = s.text(2);
        b.lap = (uint32_t)s.integer(3);
        b.when = s.text(4);
        b.file = s.text(5);
        b.stated = s.text(6);
        b.digest = s.text(7);
        out->push_back(std::move(b));
    }
    return s.ok();
}

bool ra_friends_index::versus(const std::string &friend_name, ra_versus *out) {
    *out = ra_versus();
    const int64_t mine = ra_generation(db_, ra_player_source),
                  theirs = ra_generation(db_, friend_name);
    if (mine < 0 || theirs < 0) return false;
    ra_statement kept(db_,
                      "SELECT races, wins, losses, gap_sum, timed FROM versus "
                      "WHERE source=? AND mine=? AND theirs=?");
    kept.bind(1, friend_name).bind(2, mine).bind(3, theirs);
    if (kept.step()) {
        out->races = (int)kept.integer(0);
        out->wins = (int)kept.integer(1);
        out->losses = (int)kept.integer(2);
        out->gap_sum = kept.integer(3);
        out->timed = (int)kept.integer(4);
        return true;
    }
    // Counted again: the player's races by what makes them one race (read
    // once for all friends), then per such race the friend's lines in their
    // order, each paired with the nearest unpaired start of the player's
    // within the window. A line of the player's belongs to one race key, so
    // the keys are paired apart.
    if (!own_read_) {
        ra_statement mine_rows(db_,
                               "SELECT race, started, line, total FROM races "
                               "WHERE source='' AND started>=0 ORDER BY race, started, line");
        while (mine_rows.step()) {
            own_[mine_rows.text(0)].push_back(
                {mine_rows.integer(1), mine_rows.integer(2), (uint32_t)mine_rows.integer(3)});
        }
        if (!mine_rows.ok()) return false;
        own_read_ = true;
    }
    ra_statement rows(
        db_,
        "SELECT started, total FROM races "
        "INDEXED BY races_pair WHERE source=? AND race=? AND started>=0 ORDER BY line");
    for (const auto &key : own_) {
        const std::vector<ra_own_start> &starts = key.second;
        std::vector<bool> paired(starts.size());
        rows.reset();
        rows.bind(1, friend_name).bind(2, key.first);
        while (rows.step()) {
            const int64_t at = rows.integer(0);
            auto first =
                std::lower_bound(starts.begin(), starts.end(), at - ra_same_race_seconds,
                                 [](const ra_own_start &s, int64_t t) { return s.at < t; });
            size_t best = starts.size();
            for (size_t i = (size_t)(first - starts.begin());
                 i < starts.size() && starts[i].at <= at + ra_same_race_seconds; ++i) {
                if (!paired[i] && (best == starts.size() ||
                                   llabs(starts[i].at - at) < llabs(starts[best].at - at))) {
                    best = i;
                }
            }
            if (best == starts.size()) continue;
            // Each race once, however many times either record holds it.
            paired[best] = true;
            ++out->races;
            const uint32_t my_time = starts[best].total, their_time = (uint32_t)rows.integer(1);
            if (my_time > 0 && (their_time == 0 || my_time < their_time)) ++out->wins;
            if (their_time > 0 && (my_time == 0 || their_time < my_time)) ++out->losses;
            if (my_time > 0 && their_time > 0) {
                out->gap_sum += (int64_t)my_time - (int64_t)their_time;
                ++out->timed;
            }
        }
        if (!rows.ok()) return false;
    }
    // Kept for next time; a cache that cannot be written only costs time.
    ra_statement keep(db_,
                      "INSERT OR REPLACE INTO versus(source, mine, theirs, races, wins, losses, "
                      "gap_sum, timed) VALUES(?,?,?,?,?,?,?,?)");
    keep.bind(1, friend_name)
        .bind(2, mine)
        .bind(3, theirs)
        .bind(4, (int64_t)out->races)
        .bind(5, (int64_t)out->wins)
        .bind(6, (int64_t)out->losses)
        .bind(7, out->gap_sum)
        .bind(8, (int64_t)out->timed)
        .step();
    return true;
}

ra_replay_proof ra_friends_index::replay_proof(const std::string &friend_name,
                                               const fs::path &replay) {
    ra_replay_proof proof;
    if (ra_entry_kind_of(replay) != ra_entry_kind::file) return proof;
    std::error_code failed;
    const int64_t size = (int64_t)fs::file_size(replay, failed);
    if (failed) return proof;
    const int64_t mtime = ra_mtime_count(replay);
    const std::string file = ra_folded_name(ra_text(replay.filename()));
    ra_statement s(
        db_, "SELECT sha256, digest FROM seen WHERE source=? AND file=? AND size=? AND mtime=?");
    s.bind(1, friend_name).bind(2, file).bind(3, size).bind(4, mtime);
    if (s.step()) {
        proof.sha256 = s.text(0);
        proof.digest = s.text(1);
        return proof;
    }
    // Read a piece at a time: a long replay is never in memory whole.
    ra_sha256 hash;
    ra_shared_digest digest;
    std::string why;
    uint64_t read = 0;
    if (!ra_read_plain_file(
            replay, ra_replay_max_bytes,
            [&](const char *data, size_t n) {
                hash.add(data, n);
                digest.add(data, n);
                read += n;
                return true;
            },
            &why)) {
        return proof;
    }
    proof.sha256 = ra_hex(hash.digest());
    proof.digest = digest.hex();
    // Kept only when the file was not changed while it was read.
    if ((int64_t)read == size && ra_mtime_count(replay) == mtime) {
        ra_statement keep(db_,
                          "INSERT OR REPLACE INTO seen(source, file, size, mtime, sha256, digest) "
                          "VALUES(?,?,?,?,?,?)");
        keep.bind(1, friend_name)
            .bind(2, file)
            .bind(3, size)
            .bind(4, mtime)
            .bind(5, proof.sha256)
            .bind(6, proof.digest)
            .step();
    }
    return proof;
}
