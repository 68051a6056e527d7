// The file a player sends a friend: a share (".rpshare": replays, their
// record lines, a manifest) or a season card (the same without the replays'
// bytes). It is one SQLite database: a manifest row, a row per replay (its
// name, size, SHA-256 and, in a share, its bytes) and the record's lines in
// the record's own CSV form, header first. Its texts are UTF-8, whatever
// the code page of the sharer's system (format 2); a share of format 1,
// made by the previous version, holds them in the sharer's bytes and is
// read as Windows-1252.
//
// A share comes from outside and is hostile until checked: the reader opens
// it read-only and immutable (no journal, no lock, nothing written beside
// it), refuses it when it is bigger than ra_share_max_bytes, damaged or cut
// short, of another program or of a newer format, or when its schema is not
// exactly ours (so no view or trigger of the sender's is ever run), and
// checks every row before anything is handed on.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "library/record/record_reader.h"
#include "platform/file_system.h"

struct sqlite3;

// The biggest share taken: one a player can attach to a message is far smaller.
extern const uint64_t ra_share_max_bytes;
// The share file's extension, and the season card's.
extern const char ra_share_extension[];
extern const char ra_card_extension[];

enum class ra_share_kind {
    share,  // replays with their bytes
    card,   // every race's line and its replay's hash, no bytes
};

// One replay named in a share.
struct ra_shared_replay {
    std::string name;    // its file name in the sharer's Dir
    uint64_t size = 0;   // its size in bytes
    std::string sha256;  // the SHA-256 of its bytes (as shared: scrubbed), 64 hex digits
    std::string bytes;   // for writing a share: the bytes, unless fill gives them
    // For writing a share: gives the bytes a piece at a time (a replay is
    // never in memory whole); the writer checks their size and hash.
    ra_file_filler fill;
    int64_t row = 0;  // the reader's: its row in the file
};

struct ra_share {
    ra_share_kind kind = ra_share_kind::share;
    std::string sharer;                     // the sharer's racer name
    std::string made;                       // when it was made, "YYYY-MM-DD HH:MM:SS"
    std::vector<ra_shared_replay> replays;  // in the order they were shared
    std::string record;                     // the record's header and lines, CR LF
};

// Writes the share as a new file at path (never replacing one): into a
// temporary file beside it, renamed into place once whole. False with *why.
bool ra_write_share(const std::filesystem::path &path, const ra_share &share, std::string *why);

// A share opened for reading, checked whole before open() returns true.
class ra_share_reader {
public:
    ra_share_reader() = default;
    ~ra_share_reader();
    ra_share_reader(const ra_share_reader &) = delete;
    ra_share_reader &operator=(const ra_share_reader &) = delete;

    // Opens and checks the file; false with *error, one sentence that says
    // what is wrong and what to do.
    bool open(const std::filesystem::path &path, std::string *error);
    // What it holds (replays without their bytes), its texts in UTF-8.
    const ra_share &share() const { return share_; }
    // Its record's lines, as read when it was checked.
    const ra_records &records() const { return records_; }
    // The bytes of replay i of a share handed to each a piece at a time,
    // read from the file as they are needed, and checked against its stated
    // size and hash once all are read: a caller that keeps them undoes what
    // it made of them on false. each returns false to stop (then false,
    // *error untouched). False with *error.
    bool read(size_t i, const ra_put_bytes &each, std::string *error);
    // The same, whole. False with *error.
    bool bytes(size_t i, std::string *out, std::string *error);

private:
    bool check(const std::filesystem::path &path, std::string *error);
    void close();
    sqlite3 *db_ = nullptr;
    struct sqlite3_blob *blob_ = nullptr;  // reopened on each row read
    ra_share share_;
    ra_records records_;  // share_.record, read
    std::string shown_;   // the file, for messages
};
