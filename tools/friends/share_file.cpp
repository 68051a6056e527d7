// Writing and reading the share's SQLite file, with every check a file from
// outside needs before its rows are used.
#include "friends/share_file.h"

#include <sqlite3.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

#include "friends/friends_folder.h"
#include "friends/plain_name.h"
#include "library/replays/files.h"
#include "library/text/folded_name.h"
#include "library/replays/game_replay.h"
#include "library/cache/index_store.h"
#include "library/record/record_reader.h"
#include "library/replays/sha256.h"
#include "library/text/utf8_text.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "platform/random.h"
#include "code_page.h"

namespace fs = std::filesystem;

const uint64_t ra_share_max_bytes = 2ull << 30;
const char ra_share_extension[] = ".rpshare";
const char ra_card_extension[] = ".rpcard";

namespace {

// SQLite's application_id of our files, "RASH", so that no other program's
// database is taken for a share.
const int ra_share_application = 0x52415348;
// The format's version, in SQLite's user_version: a reader refuses a newer
// one. Format 2 holds its texts in UTF-8; format 1 in the sharer's bytes.
const int ra_share_format = 2;
const int ra_share_format_sharers_bytes = 1;
// The most replays one file may name, and the most record text it may hold:
// a season card of many years stays far below both.
const int64_t ra_share_max_replays = 1000000;
const int64_t ra_share_max_record_bytes = 256ll << 20;
// Pages of 1 KB: a share of one short race stays a few KB, and a replay's
// overflow pages lose less than half a percent to their links.
const int ra_share_page_size = 1024;
// SQLite's header: its first 16 bytes, and the two bytes that say whether
// the file keeps a write-ahead log beside it (1: no, 2: yes).
const char ra_sqlite_magic[] = "SQLite format 3";
const size_t ra_sqlite_header_bytes = 100;
const size_t ra_sqlite_write_version_at = 18;
// Where the header keeps the page size (2 bytes, 1 meaning 65536) and the
// number of pages (4 bytes), both big-endian.
const size_t ra_sqlite_page_size_at = 16;
const size_t ra_sqlite_page_count_at = 28;

uint32_t ra_big_endian(const char *p, size_t bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value = value << 8 | (uint8_t)p[i];
    return value;
}

// The schema, exactly: the reader compares sqlite_master with these rows.
struct ra_share_table {
    const char *name;
    const char *sql;
};
const ra_share_table ra_share_tables[] = {
    {"manifest",
     "CREATE TABLE manifest(kind TEXT NOT NULL, sharer TEXT NOT NULL, made TEXT NOT NULL)"},
    {"record", "CREATE TABLE record(line INTEGER PRIMARY KEY, text TEXT NOT NULL)"},
    {"replays",
     "CREATE TABLE replays(id INTEGER PRIMARY KEY, name TEXT NOT NULL, size INTEGER NOT NULL, "
     "sha256 TEXT NOT NULL, bytes BLOB)"},
};

// A text of the file as UTF-8: as it is in format 2, where anything else
// is no text of ours (false); Windows-1252 in format 1, whose texts are the
// sharer's bytes and whose most likely code page that is.
bool ra_share_text(int format, std::string *text) {
    if (format == ra_share_format_sharers_bytes) {
        *text = ra_cp1252_to_utf8(*text);
        return true;
    }
    return ra_is_utf8(*text);
}

const char *ra_kind_text(ra_share_kind kind) {
    return kind == ra_share_kind::card ? "card" : "share";
}

bool ra_is_hash_text(const std::string &text) {
    if (text.size() != 2 * ra_sha256_bytes) return false;
    return text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// A URI that opens path read-only as a file nobody changes: SQLite then
// takes no lock and never looks for a journal or a log beside it.
std::string ra_immutable_uri(const fs::path &path) {
    std::string text = fs::absolute(path).generic_u8string();
    std::string uri = text.empty() || text[0] != '/' ? "file:///" : "file://";
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if (isalnum(c) || strchr("-._~/:", c)) {
            uri += (char)c;
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri + "?immutable=1";
}

// How much of a replay's bytes goes into or out of the file at once.
const size_t ra_blob_piece = 1 << 16;

// The replay's bytes into its row's blob (made as long as it states), a
// piece at a time, checked against its size and hash as they go in: a
// replay changed since it was planned is refused. False with *why.
bool ra_fill_blob(sqlite3 *db, int64_t row, const ra_shared_replay &r, std::string *why) {
    sqlite3_blob *blob = nullptr;
    if (sqlite3_blob_open(db, "main", "replays", "bytes", row, 1, &blob) != SQLITE_OK) {
        *why = sqlite3_errmsg(db);
        sqlite3_blob_close(blob);
        return false;
    }
    ra_sha256 hash;
    uint64_t at = 0;
    bool too_long = false, written = true;
    const ra_put_bytes put = [&](const char *data, size_t size) {
        for (size_t done = 0; written && done < size;) {
            const size_t n = std::min(ra_blob_piece, size - done);
            if (at + n > r.size) {
                too_long = true;
                return false;
            }
            hash.add(data + done, n);
            written = sqlite3_blob_write(blob, data + done, (int)n, (int)at) == SQLITE_OK;
            at += n;
            done += n;
        }
        return written;
    };
    const bool filled = r.fill ? r.fill(put) : put(r.bytes.data(), r.bytes.size());
    if (!written) *why = sqlite3_errmsg(db);
    sqlite3_blob_close(blob);
    if (!written) return false;
    if (!filled && !too_long) {
        *why = r.name + " could not be read";
        return false;
    }
    if (too_long || at != r.size || ra_hex(hash.digest()) != r.sha256) {
        *why = r.name + " changed while the share was written; share it again";
        return false;
    }
    return true;
}

}  // namespace

bool ra_write_share(const fs::path &path, const ra_share &share, std::string *why) {
    if (ra_entry_kind_of(path) != ra_entry_kind::none) {
        *why = ra_text(path) + " exists already; name another file with -o";
        return false;
    }
    std::string random = ra_random_hex(8);
    if (random.empty()) {
        *why = "the system gave no random numbers for a temporary file's name";
        return false;
    }
    fs::path temp = path;
    temp += "." + random + ".tmp";
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(temp.u8string().c_str(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK;
    ra_sql sql(db);
    std::string failed_how;  // why a replay's bytes could not be written
    // No journal: a share half written is a temporary file, removed.
    ok = ok && sql.run("PRAGMA page_size=" + std::to_string(ra_share_page_size)) &&
         sql.run("PRAGMA journal_mode=OFF") &&
         sql.run("PRAGMA application_id=" + std::to_string(ra_share_application)) &&
         sql.run("PRAGMA user_version=" + std::to_string(ra_share_format)) && sql.run("BEGIN");
    for (const ra_share_table &table : ra_share_tables) ok = ok && sql.run(table.sql);
    if (ok) {
        ra_statement manifest(db, "INSERT INTO manifest VALUES(?,?,?)");
        manifest.bind(1, std::string(ra_kind_text(share.kind)))
            .bind(2, share.sharer)
            .bind(3, share.made);
        manifest.step();
        ok = manifest.ok();
    }
    if (ok) {
        // A replay's row is made with room for its bytes, which then go in
        // a piece at a time: none is ever in memory whole.
        ra_statement replay(db, share.kind == ra_share_kind::share
                                    ? "INSERT INTO replays(name,size,sha256,bytes) "
                                      "VALUES(?1,?2,?3,zeroblob(?2))"
                                    : "INSERT INTO replays(name,size,sha256) VALUES(?1,?2,?3)");
        for (const ra_shared_replay &r : share.replays) {
            if (!ok) break;
            replay.bind(1, r.name).bind(2, (int64_t)r.size).bind(3, r.sha256);
            replay.step();
            replay.reset();
            ok = replay.ok();
            if (ok && share.kind == ra_share_kind::share) {
                ok = ra_fill_blob(db, sqlite3_last_insert_rowid(db), r, why);
                if (!ok) failed_how = *why;
            }
        }
    }
    if (ok) {
        ra_statement line(db, "INSERT INTO record(line,text) VALUES(?,?)");
        int64_t n = 0;
        for (const std::string &text : ra_text_lines(share.record)) {
            line.bind(1, n++).bind(2, text);
            line.step();
            line.reset();
        }
        ok = line.ok();
    }
    ok = ok && sql.run("COMMIT");
    if (!ok) *why = !failed_how.empty() ? failed_how : db ? sql.message() : "out of memory";
    if (db && sqlite3_close(db) != SQLITE_OK && ok) {
        ok = false;
        *why = "it could not be closed";
    }
    std::error_code ignored;
    if (ok && ra_entry_kind_of(path) != ra_entry_kind::none) {
        ok = false;
        *why = ra_text(path) + " was made meanwhile by another program; name another file with -o";
    } else if (ok) {
        ok = ra_move_file(temp, path, why);
    }
    if (!ok) fs::remove(temp, ignored);
    return ok;
}

ra_share_reader::~ra_share_reader() { close(); }

void ra_share_reader::close() {
    if (blob_) sqlite3_blob_close(blob_);
    blob_ = nullptr;
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
}

bool ra_share_reader::open(const fs::path &path, std::string *error) {
    close();
    share_ = ra_share();
    records_ = ra_records();
    shown_ = ra_text(path);
    if (check(path, error)) return true;
    close();
    share_ = ra_share();
    records_ = ra_records();
    return false;
}

bool ra_share_reader::check(const fs::path &path, std::string *error) {
    const std::string not_ours =
        shown_ + " is not a share or card made by replay-autosave; ask for the file again";
    const std::string damaged = shown_ + " is damaged or cut short; ask for the file again";
    // What the file is, before SQLite sees it.
    switch (ra_entry_kind_of(path)) {
    case ra_entry_kind::file:
        break;
    case ra_entry_kind::none:
        *error = "there is no file " + shown_;
        return false;
    case ra_entry_kind::link:
        *error = shown_ + " is a link; give the share file itself";
        return false;
    default:
        *error = shown_ + " is not a file; give a .rpshare or .rpcard file";
        return false;
    }
    std::error_code failed;
    const uintmax_t size = fs::file_size(path, failed);
    if (failed) {
        *error = "cannot read " + shown_ + ": " + ra_reason(failed);
        return false;
    }
    if (size > ra_share_max_bytes) {
        *error = shown_ + " is bigger than " + std::to_string(ra_share_max_bytes >> 30) +
                 " GB, more than a share ever takes; ask for fewer replays at once";
        return false;
    }
    // A file another program holds is not ours to judge: say so, and why.
    std::string start, why;
    if (!ra_load_file_start(path, ra_sqlite_header_bytes, &start, &why)) {
        *error = "cannot open " + shown_ + ": " + why;
        return false;
    }
    const char *header = start.data();
    if (size < ra_sqlite_header_bytes || start.size() < ra_sqlite_header_bytes ||
        memcmp(header, ra_sqlite_magic, sizeof ra_sqlite_magic) != 0) {
        *error = not_ours;
        return false;
    }
    if (header[ra_sqlite_write_version_at] != 1 || header[ra_sqlite_write_version_at + 1] != 1) {
        *error = not_ours;
        return false;
    }
    // A file cut short (or grown) is no longer as long as its header says.
    uint32_t page_size = ra_big_endian(header + ra_sqlite_page_size_at, 2);
    if (page_size == 1) page_size = 65536;
    if ((uintmax_t)page_size * ra_big_endian(header + ra_sqlite_page_count_at, 4) != size) {
        *error = damaged;
        return false;
    }
    const int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(ra_immutable_uri(path).c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        *error = "cannot open " + shown_ + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
        return false;
    }
    // Nothing of the file is trusted: no function of its schema runs, and
    // no text or blob bigger than a replay is ever made.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, (int)ra_replay_max_bytes);
    sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 0);
    ra_sql sql(db_);
    int app = 0, format = 0, pages = 0;
    if (!sql.one_int("PRAGMA application_id", &app)) {
        *error = damaged;
        return false;
    }
    if (app != ra_share_application) {
        *error = not_ours;
        return false;
    }
    if (!sql.one_int("PRAGMA user_version", &format) || format < 1) {
        *error = not_ours;
        return false;
    }
    if (format > ra_share_format) {
        *error = shown_ + " was made by a newer version; update replay-autosave";
        return false;
    }
    if (!sql.one_int("PRAGMA page_count", &pages) || (uintmax_t)pages * page_size != size) {
        *error = damaged;
        return false;
    }
    std::string quick;
    if (!sql.one_text("PRAGMA quick_check", &quick) || quick != "ok") {
        *error = damaged;
        return false;
    }
    // Exactly our tables: no view, no trigger, no index, nothing else.
    {
        ra_statement master(db_,
                            "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name");
        size_t n = 0;
        const size_t want = sizeof ra_share_tables / sizeof ra_share_tables[0];
        bool same = true;
        while (same && master.step()) {
            same = n < want && master.text(0) == "table" &&
                   master.text(1) == ra_share_tables[n].name &&
                   master.text(2) == ra_share_tables[n].name &&
                   master.text(3) == ra_share_tables[n].sql;
            ++n;
        }
        if (!master.ok() || !same || n != want) {
            *error = not_ours;
            return false;
        }
    }

    // The manifest: one row.
    {
        ra_statement manifest(
            db_,
            "SELECT kind, sharer, made, typeof(kind), typeof(sharer), typeof(made) FROM manifest");
        int rows = 0;
        std::string kind;
        bool typed = true;
        while (manifest.step()) {
            ++rows;
            kind = manifest.text(0);
            share_.sharer = manifest.text(1);
            share_.made = manifest.text(2);
            typed = manifest.text(3) == "text" && manifest.text(4) == "text" &&
                    manifest.text(5) == "text";
        }
        if (!manifest.ok() || rows != 1 || !typed || (kind != "share" && kind != "card") ||
            !ra_share_text(format, &share_.sharer) || !ra_share_text(format, &share_.made)) {
            *error = shown_ + " has a malformed manifest; ask for the file again";
            return false;
        }
        share_.kind = kind == "card" ? ra_share_kind::card : ra_share_kind::share;
    }
    std::string problem = ra_friend_name_problem(share_.sharer);
    if (!problem.empty()) {
        *error = shown_ + " names its sharer \"" + share_.sharer +
                 "\", which cannot be a folder name (" + problem +
                 "); ask them to share again under a plain racer name";
        return false;
    }

    // The replays: plain names, sizes within the caps, and a blob exactly
    // as long as stated (so that nothing unpacks to more), only in a share.
    {
        ra_statement replays(
            db_,
            "SELECT name, size, sha256, typeof(name), typeof(size), typeof(sha256), "
            "typeof(bytes), length(bytes), id FROM replays ORDER BY id");
        uint64_t total = 0;
        std::set<std::string> names;
        const bool card = share_.kind == ra_share_kind::card;
        while (replays.step()) {
            ra_shared_replay r;
            r.row = replays.integer(8);
            r.name = replays.text(0);
            int64_t stated = replays.integer(1);
            r.sha256 = replays.text(2);
            if ((int64_t)share_.replays.size() >= ra_share_max_replays ||
                replays.text(3) != "text" || replays.text(4) != "integer" ||
                replays.text(5) != "text" || !ra_share_text(format, &r.name)) {
                *error = shown_ + " has a malformed list of replays; ask for the file again";
                return false;
            }
            problem = ra_plain_name_problem(r.name);
            if (!problem.empty()) {
                *error = shown_ + " holds a replay named \"" + r.name + "\", which " +
                         problem.substr(3) + "; nothing was imported, ask for the file again";
                return false;
            }
            if (!names.insert(ra_folded_name(r.name)).second) {
                *error = shown_ + " holds the replay " + r.name + " twice; ask for the file again";
                return false;
            }
            if (stated < 0 || (uint64_t)stated > ra_replay_max_bytes ||
                (total += (uint64_t)stated) > ra_share_max_bytes) {
                *error = shown_ + " states a replay size bigger than any replay (" + r.name +
                         "); ask for the file again";
                return false;
            }
            r.size = (uint64_t)stated;
            if (!ra_is_hash_text(r.sha256)) {
                *error = shown_ + " has no proper hash for " + r.name + "; ask for the file again";
                return false;
            }
            const std::string type = replays.text(6);
            if (card ? type != "null" : type != "blob") {
                *error =
                    shown_ +
                    (card ? " is a card that holds replays" : " is a share without the replay ") +
                    (card ? "" : r.name) + "; ask for the file again";
                return false;
            }
            if (!card && (uint64_t)replays.integer(7) != r.size) {
                *error = shown_ + " holds " + r.name +
                         " with another size than it states; ask for the file again";
                return false;
            }
            share_.replays.push_back(r);
        }
        if (!replays.ok()) {
            *error = damaged;
            return false;
        }
    }

    // The record: header and lines as the plug-in writes them, one a row.
    {
        ra_statement lines(db_, "SELECT line, text, typeof(text) FROM record ORDER BY line");
        int64_t expect = 0;
        while (lines.step()) {
            std::string text = lines.text(1);
            if (lines.integer(0) != expect++ || lines.text(2) != "text" ||
                text.find_first_of("\r\n") != std::string::npos || !ra_share_text(format, &text) ||
                (int64_t)(share_.record.size() + text.size()) > ra_share_max_record_bytes) {
                *error = shown_ + " has a malformed record; ask for the file again";
                return false;
            }
            share_.record.append(text).append("\r\n");
        }
        if (!lines.ok()) {
            *error = damaged;
            return false;
        }
    }
    ra_parse_records(share_.record, shown_, &records_, ra_record_bytes::utf8);
    if (!records_.skipped.empty() || !records_.warnings.empty()) {
        *error = shown_ + " has a malformed record (line " +
                 std::to_string(records_.skipped.empty() ? 1 : records_.skipped[0]) +
                 " cannot be read); ask for the file again";
        return false;
    }
    for (const ra_record &r : records_.lines) {
        problem = ra_plain_name_problem(r.file);
        if (!problem.empty()) {
            *error = shown_ + " has a record line for \"" + r.file + "\", which " +
                     problem.substr(3) + "; nothing was imported, ask for the file again";
            return false;
        }
    }
    return true;
}

bool ra_share_reader::read(size_t i, const ra_put_bytes &each, std::string *error) {
    if (!db_ || i >= share_.replays.size() || share_.kind != ra_share_kind::share) {
        *error = "no such replay in " + shown_;
        return false;
    }
    // Each replay by its row, with one handle moved from row to row: no
    // lookup by name (the file has no index of names), and none whole in memory.
    const ra_shared_replay &r = share_.replays[i];
    const bool opened =
        blob_ ? sqlite3_blob_reopen(blob_, r.row) == SQLITE_OK
              : sqlite3_blob_open(db_, "main", "replays", "bytes", r.row, 0, &blob_) == SQLITE_OK;
    if (!opened || (uint64_t)sqlite3_blob_bytes(blob_) != r.size) {
        if (!opened && blob_) sqlite3_blob_close(blob_);
        if (!opened) blob_ = nullptr;
        *error = opened ? shown_ + " holds " + r.name +
                              " with another size than it states; ask for the file again"
                        : shown_ + " is damaged or cut short; ask for the file again";
        return false;
    }
    ra_sha256 hash;
    std::string piece;
    for (uint64_t at = 0; at < r.size;) {
        piece.resize((size_t)std::min<uint64_t>(ra_blob_piece, r.size - at));
        if (sqlite3_blob_read(blob_, &piece[0], (int)piece.size(), (int)at) != SQLITE_OK) {
            *error = shown_ + " is damaged or cut short; ask for the file again";
            return false;
        }
        hash.add(piece.data(), piece.size());
        at += piece.size();
        if (!each(piece.data(), piece.size())) return false;
    }
    if (ra_hex(hash.digest()) != r.sha256) {
        *error =
            shown_ + " holds " + r.name +
            " with other bytes than its hash says (changed on the way?); ask for the file again";
        return false;
    }
    return true;
}

bool ra_share_reader::bytes(size_t i, std::string *out, std::string *error) {
    out->clear();
    return read(
        i,
        [out](const char *data, size_t size) {
            out->append(data, size);
            return true;
        },
        error);
}
