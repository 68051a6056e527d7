// Small helpers over SQLite's C interface for the library's index: a
// statement that finalizes itself, one-off statements, the index's meta
// values, and lists of byte strings as one blob.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement, finalized when it goes. A statement that cannot
// be prepared steps to nothing and leaves its reason in ok()/message().
class ra_statement {
public:
    ra_statement(sqlite3 *db, const char *sql);
    ra_statement(sqlite3 *db, const std::string &sql) : ra_statement(db, sql.c_str()) {}
    ~ra_statement();
    ra_statement(const ra_statement &) = delete;
    ra_statement &operator=(const ra_statement &) = delete;

    // Binding by 1-based position; text is bound as its bytes.
    ra_statement &bind(int at, int64_t value);
    ra_statement &bind(int at, const std::string &text);
    ra_statement &bind_blob(int at, const std::string &bytes);
    // True while there is a row; false at the end or on failure (ok() says).
    bool step();
    // Ready to run again with new bindings.
    void reset();
    bool ok() const { return ok_; }

    int64_t integer(int column) const;
    std::string text(int column) const;
    // A column's bytes where SQLite keeps them, valid until the next step.
    struct bytes {
        const char *data;
        size_t size;
    };
    bytes blob(int column) const;

private:
    sqlite3_stmt *stmt_ = nullptr;
    bool ok_ = true;
};

// Statements run for their effect, and the first failure's message.
class ra_sql {
public:
    explicit ra_sql(sqlite3 *db) : db_(db) {}
    bool run(const std::string &sql);
    bool one_int(const char *sql, int *out);
    bool one_text(const char *sql, std::string *out);
    std::string message() const;
    // False, with the message in *why.
    bool failed(std::string *why) const;

private:
    sqlite3 *db_;
};

// The index's meta values by key.
bool ra_meta_set(sqlite3 *db, const char *key, int64_t value);
bool ra_meta_set(sqlite3 *db, const char *key, const std::string &value);
int64_t ra_meta_int(sqlite3 *db, const char *key, int64_t otherwise = 0);
std::string ra_meta_text(sqlite3 *db, const char *key);

// A list of byte strings as one string (each as its 4-byte length, then its
// bytes), and back; false for bytes that are no such list (a damaged index).
std::string ra_encode_list(const std::vector<std::string> &items);
bool ra_decode_list(const std::string &bytes, std::vector<std::string> *items);
