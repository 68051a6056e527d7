// The change stamp, the appended bytes and the opening of the companion's caches.
#include "library/cache/record_cache.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <system_error>
#include <vector>

#include "library/replays/files.h"
#include "library/cache/index_store.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"

namespace fs = std::filesystem;

const char *const ra_cache_suffixes[ra_cache_suffix_count] = {"", "-wal", "-shm", "-journal"};

std::string ra_fnv1a_hex(const char *data, size_t size) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < size; ++i) {
        h ^= (unsigned char)data[i];
        h *= 1099511628211ull;
    }
    static const char digits[] = "0123456789abcdef";
    std::string hex(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4) hex[(size_t)i] = digits[h & 15];
    return hex;
}

std::string ra_file_stamp::text() const {
    if (!found) return "-";
    if (!plain) return "!" + std::to_string(kind);
    return std::to_string(size) + "@" + std::to_string(mtime) + "#" + ra_fnv1a_hex(head);
}

ra_file_stamp ra_file_stamp_of(const fs::path &path) {
    ra_file_stamp stamp;
    // The file system's own time, not the C++ library's: on Windows that is
    // in whole seconds, and a file changed twice in a second would look kept.
    const ra_entry_facts facts = ra_entry_facts_of(path);
    stamp.found = facts.kind != ra_entry_kind::none;
    // A link or a device is read by no cache; whoever reads it says why.
    stamp.plain = facts.kind == ra_entry_kind::file;
    stamp.kind = (int)facts.kind;
    if (!stamp.plain) return stamp;
    stamp.mtime = facts.written;
    std::error_code failed;
    stamp.size = (int64_t)fs::file_size(path, failed);
    std::ifstream in(path, std::ios::binary);
    const size_t want = failed ? 0 : (size_t)std::min<int64_t>(stamp.size, ra_stamp_head_bytes);
    stamp.head.assign(want, '\0');
    in.read(&stamp.head[0], (std::streamsize)want);
    // A file that cannot be read now never matches what a cache has.
    if (failed || !in || (size_t)in.gcount() != want) {
        stamp.size = -1;
        stamp.head.clear();
    }
    return stamp;
}

bool ra_appended_bytes(const fs::path &path, const std::string &before, const ra_file_stamp &now,
                       size_t most, std::string *tail) {
    const size_t at = before.find('@'), hash = before.rfind('#');
    if (at == std::string::npos || hash == std::string::npos || hash < at || !now.plain ||
        now.size < 0) {
        return false;
    }
    const int64_t had = atoll(before.substr(0, at).c_str());
    if (had <= 0 || now.size <= had || now.size - had > (int64_t)most ||
        ra_fnv1a_hex(now.head.data(), (size_t)std::min<int64_t>(had, (int64_t)now.head.size())) !=
            before.substr(hash + 1)) {
        return false;
    }
    // From the last byte it had, which must end a line.
    std::ifstream in(path, std::ios::binary);
    std::string bytes((size_t)(now.size - had + 1), '\0');
    in.seekg(had - 1);
    in.read(&bytes[0], (std::streamsize)bytes.size());
    if (!in || bytes[0] != '\n') return false;
    tail->assign(bytes, 1, std::string::npos);
    return true;
}

void ra_remove_cache(const fs::path &path) {
    std::error_code ignored;
    for (const char *suffix : ra_cache_suffixes) fs::remove(fs::path(path).concat(suffix), ignored);
}

namespace {

// Every table of the file dropped (a virtual table first: its own tables go
// with it), then the schema of this version made.
bool ra_make_tables(sqlite3 *db, const ra_cache_schema &schema) {
    ra_sql sql(db);
    std::vector<std::string> tables;
    {
        ra_statement names(db,
                           "SELECT name FROM sqlite_master WHERE type='table' "
                           "ORDER BY sql LIKE 'CREATE VIRTUAL%' DESC");
        while (names.step()) tables.push_back(names.text(0));
        if (!names.ok()) return false;
    }
    for (const std::string &t : tables)
        if (!sql.run("DROP TABLE IF EXISTS \"" + t + "\"")) return false;
    return sql.run(schema.tables_sql) && (!schema.made || schema.made(db));
}

// The steps from `version` to the schema's, run in order; false when some
// step is missing or fails.
bool ra_migrate(sqlite3 *db, const ra_cache_schema &schema, int version) {
    ra_sql sql(db);
    for (size_t i = 0; i < schema.migration_count && version < schema.version; ++i) {
        const ra_cache_migration &step = schema.migrations[i];
        if (step.from != version) continue;
        if (!sql.run(step.sql)) return false;
        ++version;
    }
    return version == schema.version;
}

// The file's schema made this version's, inside the write lock (another
// process may have done it meanwhile).
bool ra_bring_to_version(sqlite3 *db, const ra_cache_schema &schema, ra_cache_opened *how) {
    ra_sql sql(db);
    int version = 0;
    if (!sql.one_int("PRAGMA user_version", &version)) return false;
    *how = ra_cache_opened::kept;
    if (version == schema.version) return true;
    if (!sql.run("BEGIN IMMEDIATE")) return false;
    bool ok = sql.one_int("PRAGMA user_version", &version);
    if (ok && version != schema.version) {
        // An older version of ours (0 is a fresh file, or one that is no
        // cache of ours) is migrated where every step is known; a failed
        // step leaves nothing of itself, and the cache is made anew.
        *how = ra_cache_opened::migrated;
        if (version == 0 || version > schema.version ||
            !(sql.run("SAVEPOINT migration") && ra_migrate(db, schema, version) &&
              sql.run("RELEASE migration"))) {
            if (version != 0 && version < schema.version)
                ok = sql.run("ROLLBACK TO migration") && sql.run("RELEASE migration");
            *how = ra_cache_opened::made;
            ok = ok && ra_make_tables(db, schema);
        }
        ok = ok && sql.run("PRAGMA user_version=" + std::to_string(schema.version));
    }
    if (ok && sql.run("COMMIT")) return true;
    sql.run("ROLLBACK");
    return false;
}

// The connection's policy: the writer's wait, WAL for a file, the cache.
bool ra_set_policy(sqlite3 *db, bool in_file, const ra_cache_schema &schema) {
    sqlite3_busy_timeout(db, schema.wait_ms);
    ra_sql sql(db);
    if (in_file) {
        if (schema.keep_wal_files) {
            int persist = 1;
            sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
        }
        std::string mode;
        if (!(sql.one_text("PRAGMA journal_mode=WAL", &mode) && mode == "wal" &&
              sql.run("PRAGMA synchronous=NORMAL"))) {
            return false;
        }
        if (schema.wal_kept > 0 &&
            !sql.run("PRAGMA journal_size_limit=" + std::to_string(schema.wal_kept))) {
            return false;
        }
    }
    return schema.cache_kib <= 0 ||
           sql.run("PRAGMA cache_size=-" + std::to_string(schema.cache_kib));
}

}  // namespace

sqlite3 *ra_open_cache(const fs::path &path, const ra_cache_schema &schema, ra_cache_opened *how,
                       std::string *why, int *code) {
    const bool in_file = !path.empty();
    const std::string name = in_file ? path.u8string() : std::string(":memory:");
    // Twice at most: a file that is not a database of ours is removed and
    // made again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ra_entry_kind kind = in_file ? ra_entry_kind_of(path) : ra_entry_kind::none;
        if (kind != ra_entry_kind::none && kind != ra_entry_kind::file) {
            // A link or a folder planted in its place: never written through.
            *why = "the cache " + ra_text(path) + " is no plain file";
            if (code != nullptr) *code = SQLITE_CANTOPEN;
            return nullptr;
        }
        sqlite3 *db = nullptr;
        int failed = sqlite3_open_v2(
            name.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
            nullptr);
        if (failed == SQLITE_OK && ra_set_policy(db, in_file, schema) &&
            ra_bring_to_version(db, schema, how)) {
            return db;
        }
        *why = db ? sqlite3_errmsg(db) : "out of memory";
        failed = db ? sqlite3_errcode(db) : SQLITE_NOMEM;
        if (code != nullptr) *code = failed;
        sqlite3_close(db);
        if (!in_file || (failed != SQLITE_CORRUPT && failed != SQLITE_NOTADB)) return nullptr;
        ra_remove_cache(path);
    }
    return nullptr;
}

sqlite3 *ra_open_cache_aside(const fs::path &path, const ra_cache_schema &schema, fs::path *aside,
                             std::string *why) {
    if (!ra_temporary_beside(path, aside)) {
        *why = "the system gave no random numbers for a temporary file's name";
        return nullptr;
    }
    sqlite3 *db = nullptr;
    // A new file of this call's own: SQLite makes it, and no link is there.
    const int opened =
        sqlite3_open_v2(aside->u8string().c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    ra_sql sql(db);
    std::string mode;
    if (opened == SQLITE_OK && sql.one_text("PRAGMA journal_mode=OFF", &mode) &&
        sql.run("PRAGMA synchronous=OFF") && sql.run("PRAGMA locking_mode=EXCLUSIVE") &&
        sql.run("PRAGMA temp_store=FILE") && sql.run("PRAGMA page_size=16384") &&
        (schema.aside_cache_kib <= 0 ||
         (sql.run("PRAGMA cache_size=-" + std::to_string(schema.aside_cache_kib)) &&
          sql.run("PRAGMA temp.cache_size=-" + std::to_string(schema.aside_cache_kib)))) &&
        sql.run("BEGIN") && sql.run(schema.tables_sql) && (!schema.made || schema.made(db)) &&
        sql.run("PRAGMA user_version=" + std::to_string(schema.version)) && sql.run("COMMIT")) {
        sqlite3_busy_timeout(db, schema.wait_ms);
        return db;
    }
    *why = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    ra_remove_cache(*aside);
    return nullptr;
}

bool ra_place_cache(sqlite3 *db, const fs::path &aside, const fs::path &path, std::string *why) {
    if (sqlite3_close(db) != SQLITE_OK) {
        *why = sqlite3_errmsg(db);
        sqlite3_close_v2(db);  // closed once its last statement ends
        return false;
    }
    std::error_code ignored;
    if (ra_entry_kind_of(path) == ra_entry_kind::none) {
        // SQLite's files left beside a cache that was deleted without them
        // belong to no cache now: the new one must not take up their log.
        for (size_t i = 1; i < ra_cache_suffix_count; ++i)
            fs::remove(fs::path(path).concat(ra_cache_suffixes[i]), ignored);
        if (ra_move_new(aside, path, why)) return true;
    }
    fs::remove(aside, ignored);
    if (ra_entry_kind_of(path) == ra_entry_kind::file) return true;
    if (why->empty()) *why = "the cache " + ra_text(path) + " is no plain file";
    return false;
}
