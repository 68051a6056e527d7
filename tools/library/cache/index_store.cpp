// SQLite helpers of the library's index.
#include "library/cache/index_store.h"

#include <sqlite3.h>

ra_statement::ra_statement(sqlite3 *db, const char *sql) {
    ok_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK;
}

ra_statement::~ra_statement() { sqlite3_finalize(stmt_); }

ra_statement &ra_statement::bind(int at, int64_t value) {
    if (ok_) ok_ = sqlite3_bind_int64(stmt_, at, value) == SQLITE_OK;
    return *this;
}

ra_statement &ra_statement::bind(int at, const std::string &text) {
    if (ok_)
        ok_ = sqlite3_bind_text(stmt_, at, text.data(), (int)text.size(), SQLITE_TRANSIENT) ==
              SQLITE_OK;
    return *this;
}

ra_statement &ra_statement::bind_blob(int at, const std::string &bytes) {
    if (ok_)
        ok_ = sqlite3_bind_blob(stmt_, at, bytes.data(), (int)bytes.size(), SQLITE_TRANSIENT) ==
              SQLITE_OK;
    return *this;
}

bool ra_statement::step() {
    if (!ok_) return false;
    int code = sqlite3_step(stmt_);
    if (code == SQLITE_ROW) return true;
    ok_ = code == SQLITE_DONE;
    return false;
}

void ra_statement::reset() {
    if (stmt_ == nullptr) return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    ok_ = true;
}

int64_t ra_statement::integer(int column) const { return sqlite3_column_int64(stmt_, column); }

ra_statement::bytes ra_statement::blob(int column) const {
    const void *data = sqlite3_column_blob(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    return {data ? (const char *)data : "", data ? (size_t)size : 0};
}

std::string ra_statement::text(int column) const {
    const void *bytes = sqlite3_column_blob(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    return bytes ? std::string((const char *)bytes, (size_t)size) : std::string();
}

bool ra_sql::run(const std::string &sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool ra_sql::one_int(const char *sql, int *out) {
    ra_statement s(db_, sql);
    if (!s.step()) return false;
    *out = (int)s.integer(0);
    return true;
}

bool ra_sql::one_text(const char *sql, std::string *out) {
    ra_statement s(db_, sql);
    if (!s.step()) return false;
    *out = s.text(0);
    return true;
}

std::string ra_sql::message() const { return sqlite3_errmsg(db_); }

bool ra_sql::failed(std::string *why) const {
    *why = message();
    return false;
}

bool ra_meta_set(sqlite3 *db, const char *key, int64_t value) {
    ra_statement s(db, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
    s.bind(1, std::string(key)).bind(2, value).step();
    return s.ok();
}

bool ra_meta_set(sqlite3 *db, const char *key, const std::string &value) {
    ra_statement s(db, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
    s.bind(1, std::string(key)).bind_blob(2, value).step();
    return s.ok();
}

int64_t ra_meta_int(sqlite3 *db, const char *key, int64_t otherwise) {
    ra_statement s(db, "SELECT value FROM meta WHERE key=?");
    s.bind(1, std::string(key));
    return s.step() ? s.integer(0) : otherwise;
}

std::string ra_meta_text(sqlite3 *db, const char *key) {
    ra_statement s(db, "SELECT value FROM meta WHERE key=?");
    s.bind(1, std::string(key));
    return s.step() ? s.text(0) : std::string();
}

std::string ra_encode_list(const std::vector<std::string> &items) {
    std::string bytes;
    for (const std::string &item : items) {
        uint32_t n = (uint32_t)item.size();
        for (int i = 0; i < 4; ++i) bytes += (char)((n >> (8 * i)) & 0xFF);
        bytes += item;
    }
    return bytes;
}

bool ra_decode_list(const std::string &bytes, std::vector<std::string> *items) {
    items->clear();
    size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < 4) return false;
        uint32_t n = 0;
        for (int i = 0; i < 4; ++i) n |= (uint32_t)(unsigned char)bytes[at + i] << (8 * i);
        at += 4;
        if (bytes.size() - at < n) return false;
        items->push_back(bytes.substr(at, n));
        at += n;
    }
    return true;
}
