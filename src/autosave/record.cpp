// The record of saved replays: with "Record" on, every saved replay adds one
// line to replays.csv in Dir, so that a player's program can list the
// replays by the facts of their races instead of parsing file names. The
// values are what the name tokens give, except that text keeps the
// characters a file name may not hold: it is written as RFC 4180 has it.
// Every save pays for its line, so the line is written straight from the
// race context's fields, not through the token table's lookups by name.
#include <stddef.h>
#include <string.h>
#include <windows.h>

#include "autosave/autosave.h"
#include "autosave/record_cell.h"
#include "autosave/record_columns.h"
#include "host/host.h"
#include "naming/naming.h"
#include "settings/settings.h"
#include "snapshot/hundredths.h"

// What a column holds, and so how its value is written; the numbers are
// written as their tokens write them into file names.
enum ra_column_kind : uint8_t {
    RA_COL_FILE,    // the saved replay's file name, without Dir
    RA_COL_SOURCE,  // the game's replay path
    RA_COL_STAMP,   // three date words, three time words: "YYYY-MM-DD HH:MM:SS"
    RA_COL_TEXT,    // a text field of the race context, not made file-name-safe
    RA_COL_DEC,     // a 32-bit number in decimal
    RA_COL_HEX,     // a 32-bit number as eight upper-case hex digits
    RA_COL_CENTI,   // hundredths of a second as seconds, '.', two digits
    RA_COL_WORD,    // one of two words, chosen by a 0/1 field
    RA_COL_DIGEST,  // the saved copy's digest, 32 hex digits, or nothing
};

struct ra_column {
    const char *name;     // header name; of a numbered column, the prefix of 1..count
    ra_column_kind kind;  // what the column holds
    uint32_t count;       // 1, or RA_CARS for a numbered column (name1..name16)
    uint32_t offset;      // the field (of entry 1) in ra_ctx; RA_COL_STAMP: its date words
    uint32_t stride;      // numbered: bytes from one entry to the next; RA_COL_STAMP: time words
    const char *set;      // RA_COL_WORD: the word for a non-zero field
    const char *clear;    // RA_COL_WORD: the word for zero
    uint32_t max;         // longest value, before quoting
};

// Longest values the record writes.
#define RA_REC_DECIMAL_MAX 10u  // a 32-bit number: 4294967295
#define RA_REC_HEX_MAX 8u       // %seed%: eight hex digits
#define RA_REC_DATE_LEN 10u     // YYYY-MM-DD
#define RA_REC_TIME_LEN 8u      // HH:MM:SS
#define RA_REC_STAMP_LEN (RA_REC_DATE_LEN + 1u + RA_REC_TIME_LEN)
#define RA_REC_WORD(a, b) (sizeof a > sizeof b ? sizeof a - 1u : sizeof b - 1u)
// Paths, and so the file name in one, hold at most 259 characters.
#define RA_REC_PATH_MAX (RA_PATH_SIZE - 1u)
// Lines end as RFC 4180 has them.
static constexpr char ra_crlf[] = "\r\n";
// Eight hex digits hold a 32-bit word, most significant nibble first.
#define RA_REC_HEX_DIGITS 8
static const char ra_rec_hex[] = "0123456789ABCDEF";

#define RA_REC_FIELD(f) ((uint32_t)offsetof(ra_ctx, f))
#define RA_REC_ONE(name, kind, field, max) \
    { name, kind, 1, RA_REC_FIELD(field), 0, nullptr, nullptr, max }
#define RA_REC_DEC(name, field) RA_REC_ONE(name, RA_COL_DEC, field, RA_REC_DECIMAL_MAX)
#define RA_REC_TEXT(name, field) RA_REC_ONE(name, RA_COL_TEXT, field, sizeof(ra_ctx::field) - 1u)
#define RA_REC_WORDS(name, field, set, clear) \
    { name, RA_COL_WORD, 1, RA_REC_FIELD(field), 0, set, clear, RA_REC_WORD(set, clear) }
#define RA_REC_CARS(name, kind, field, max) \
    { name, kind, RA_CARS, RA_REC_FIELD(field), sizeof(uint32_t), nullptr, nullptr, max }

// The stamps read three words in a row from their first one.
static_assert(offsetof(ra_ctx, day) == offsetof(ra_ctx, year) + 8, "date words in a row");
static_assert(offsetof(ra_ctx, second) == offsetof(ra_ctx, hour) + 8, "time words in a row");
static_assert(offsetof(ra_ctx, start_day) == offsetof(ra_ctx, start_year) + 8, "in a row");
static_assert(offsetof(ra_ctx, start_second) == offsetof(ra_ctx, start_hour) + 8, "in a row");

// The columns in their order; the header names them. A column added later
// goes at the end, so that readers of older lines find theirs where they were.
static constexpr ra_column ra_columns[] = {
    {RA_COLUMN_FILE, RA_COL_FILE, 1, 0, 0, nullptr, nullptr, RA_REC_PATH_MAX},
    {RA_COLUMN_SAVED, RA_COL_STAMP, 1, RA_REC_FIELD(year), RA_REC_FIELD(hour), nullptr, nullptr,
     RA_REC_STAMP_LEN},
    {RA_COLUMN_STARTED, RA_COL_STAMP, 1, RA_REC_FIELD(start_year), RA_REC_FIELD(start_hour),
     nullptr, nullptr, RA_REC_STAMP_LEN},
    RA_REC_TEXT(RA_COLUMN_TYPE, type),
    RA_REC_TEXT(RA_COLUMN_TRACK, track),
    RA_REC_DEC(RA_COLUMN_LAPS, laps),
    RA_REC_DEC(RA_COLUMN_CARS, cars),
    RA_REC_DEC(RA_COLUMN_COUNT, count),
    RA_REC_DEC(RA_COLUMN_COPS, cops),
    RA_REC_DEC(RA_COLUMN_TRAFFIC, traffic),
    RA_REC_DEC(RA_COLUMN_TIER, tier),
    RA_REC_DEC(RA_COLUMN_CIRC, circ),
    RA_REC_ONE(RA_COLUMN_SEED, RA_COL_HEX, seed, RA_REC_HEX_MAX),
    RA_REC_WORDS(RA_COLUMN_WEATHER, wet, "WET", "DRY"),
    RA_REC_WORDS(RA_COLUMN_NIGHT, night, "NIGHT", "DAY"),
    RA_REC_WORDS(RA_COLUMN_DIRECTION, reverse, "REVERSE", "NORMAL"),
    RA_REC_WORDS(RA_COLUMN_MIRROR, mirror, "MIRRORED", "NORMAL"),
    RA_REC_DEC(RA_COLUMN_START_POS, start_pos),
    RA_REC_DEC(RA_COLUMN_INDEX, index),
    RA_REC_TEXT(RA_COLUMN_TRACK_TR_MD5, md5_tr),
    RA_REC_TEXT(RA_COLUMN_TRACK_TRN_MD5, md5_trn),
    {RA_COLUMN_SOURCE, RA_COL_SOURCE, 1, 0, 0, nullptr, nullptr, RA_REC_PATH_MAX},
    {RA_COLUMN_NAME, RA_COL_TEXT, RA_CARS, RA_REC_FIELD(names), RA_NAME_SIZE, nullptr, nullptr,
     RA_NAME_SIZE - 1u},
    RA_REC_CARS(RA_COLUMN_BEST_LAP, RA_COL_CENTI, best_lap, RA_HUNDREDTHS_TEXT_MAX),
    RA_REC_CARS(RA_COLUMN_TOTAL_TIME, RA_COL_CENTI, total_time, RA_HUNDREDTHS_TEXT_MAX),
    RA_REC_CARS(RA_COLUMN_MAX_SPEED, RA_COL_DEC, max_speed, RA_REC_DECIMAL_MAX),
    RA_REC_DEC(RA_COLUMN_PLAYER, player),
    {RA_COLUMN_REPLAY_MD5, RA_COL_DIGEST, 1, 0, 0, nullptr, nullptr, RA_MD5_TEXT_SIZE - 1u},
};

// The worst case, proven at compile time: the header and the longest line
// must fit the buffer, so that nothing is ever cut off a line.
static constexpr uint32_t ra_rec_strlen(const char *s) {
    uint32_t n = 0;
    while (s[n] != '\0') ++n;
    return n;
}
static constexpr int ra_rec_is_text(ra_column_kind kind) {
    return kind == RA_COL_FILE || kind == RA_COL_SOURCE || kind == RA_COL_TEXT;
}
// Numbered columns carry 1 to 9 in one digit and 10 to 16 in two.
static constexpr uint32_t ra_rec_digits(uint32_t count) {
    return count < 10u ? count : 9u + 2u * (count - 9u);
}
static constexpr uint32_t ra_rec_header_len(void) {
    uint32_t n = 0, values = 0;
    for (const ra_column &c : ra_columns) {
        n += c.count * ra_rec_strlen(c.name) + (c.count > 1 ? ra_rec_digits(c.count) : 0u);
        values += c.count;
    }
    return n + (values - 1u) + ra_rec_strlen(ra_crlf);
}
// Text in quotes, after the mark of a formula-like text, every byte of it
// a doubled quote at worst.
static constexpr uint32_t ra_rec_line_max(void) {
    uint32_t n = 0, values = 0;
    for (const ra_column &c : ra_columns) {
        n += c.count * (ra_rec_is_text(c.kind) ? 3u + 2u * c.max : c.max);
        values += c.count;
    }
    return n + (values - 1u) + ra_rec_strlen(ra_crlf);
}
static_assert(ra_rec_header_len() + ra_rec_line_max() <= RA_RECORD_BUF,
              "the header and the longest line fit one write");
static_assert(sizeof ra_crlf - 1u + ra_rec_line_max() <= RA_RECORD_BUF,
              "a line end to close a cut line, and the longest line, fit one write");

// Dir, a backslash and the file name; with Dir's 95 characters it always fits.
static const char ra_record_leaf[] = "\\" RA_RECORD_FILE;
static_assert(RA_DIR_SIZE - 1u + sizeof ra_record_leaf <= RA_PATH_SIZE, "record path fits");

// Bounded append into the record buffer: never past its end. The proof
// above makes the bound unreachable.
static void ra_rec_putc(char *buf, uint32_t *fill, char c) {
    if (*fill >= RA_RECORD_BUF) return;
    buf[*fill] = c;
    *fill += 1;
}

static void ra_rec_puts(char *buf, uint32_t *fill, const char *s) {
    for (; *s != '\0'; ++s) ra_rec_putc(buf, fill, *s);
}

// Ten digits hold any 32-bit value.
#define RA_REC_U32_DIGITS 10

static void ra_rec_putu(char *buf, uint32_t *fill, uint32_t v) {
    char digits[RA_REC_U32_DIGITS];
    int n = 0;
    do {
        digits[n++] = (char)('0' + v % 10u);
        v /= 10u;
    } while (v != 0);
    while (n > 0) ra_rec_putc(buf, fill, digits[--n]);
}

// The last two decimal digits, as the date and time tokens write them.
static void ra_rec_put2(char *buf, uint32_t *fill, uint32_t v) {
    ra_rec_putc(buf, fill, (char)('0' + (v / 10u) % 10u));
    ra_rec_putc(buf, fill, (char)('0' + v % 10u));
}

static uint32_t ra_rec_word(const ra_ctx *ctx, uint32_t offset) {
    uint32_t v;
    memcpy(&v, (const char *)ctx + offset, sizeof v);
    return v;
}

// A text of the race context or a path, as one cell of the line.
static void ra_rec_put_text(char *buf, uint32_t *fill, const char *text) {
    ra_record_put_cell(buf, RA_RECORD_BUF, fill, text, nullptr);
}

// Three words in a row, two digits each joined by sep; a date's year gets
// the two digits of year / 100 before its own two, as %date% writes it.
static void ra_rec_put_three(char *buf, uint32_t *fill, const ra_ctx *ctx, uint32_t offset,
                             int is_date) {
    const char sep = is_date ? '-' : ':';
    if (is_date) ra_rec_put2(buf, fill, ra_rec_word(ctx, offset) / 100u);
    ra_rec_put2(buf, fill, ra_rec_word(ctx, offset));
    ra_rec_putc(buf, fill, sep);
    ra_rec_put2(buf, fill, ra_rec_word(ctx, offset + 4u));
    ra_rec_putc(buf, fill, sep);
    ra_rec_put2(buf, fill, ra_rec_word(ctx, offset + 8u));
}

// "prefix" and the number 1..RA_CARS: a numbered column's name.
static void ra_rec_numbered(char *out, const char *prefix, uint32_t number) {
    char *at = ra_stpcpy(out, prefix);
    if (number >= 10u) *at++ = (char)('0' + number / 10u);
    *at++ = (char)('0' + number % 10u);
    *at = '\0';
}
static_assert(sizeof RA_COLUMN_TOTAL_TIME "16" <= RA_TOKEN_BUF, "numbered names fit a token name");

static void ra_rec_put_value(char *buf, uint32_t *fill, const ra_column &c, uint32_t entry,
                             const ra_ctx *ctx, const char *file, const char *source,
                             const char *digest) {
    const uint32_t at = c.offset + entry * c.stride;
    uint32_t v;
    switch (c.kind) {
    case RA_COL_FILE:
        ra_rec_put_text(buf, fill, file);
        break;
    case RA_COL_SOURCE:
        ra_rec_put_text(buf, fill, source);
        break;
    case RA_COL_STAMP:
        ra_rec_put_three(buf, fill, ctx, c.offset, 1);
        ra_rec_putc(buf, fill, ' ');
        ra_rec_put_three(buf, fill, ctx, c.stride, 0);
        break;
    case RA_COL_TEXT:
        ra_rec_put_text(buf, fill, (const char *)ctx + at);
        break;
    case RA_COL_DEC:
        ra_rec_putu(buf, fill, ra_rec_word(ctx, at));
        break;
    case RA_COL_HEX:
        v = ra_rec_word(ctx, at);
        for (int shift = (RA_REC_HEX_DIGITS - 1) * 4; shift >= 0; shift -= 4) {
            ra_rec_putc(buf, fill, ra_rec_hex[(v >> shift) & 0xFu]);
        }
        break;
    case RA_COL_CENTI:
        ra_put_hundredths(buf, RA_RECORD_BUF, fill, ra_rec_word(ctx, at));
        break;
    case RA_COL_WORD:
        ra_rec_puts(buf, fill, ra_rec_word(ctx, at) != 0 ? c.set : c.clear);
        break;
    case RA_COL_DIGEST:
        // Hex digits only, never quoted; at most the digest's length.
        for (uint32_t i = 0; digest != nullptr && digest[i] != '\0' && i < c.max; ++i) {
            ra_rec_putc(buf, fill, digest[i]);
        }
        break;
    }
}

extern "C" void ra_record_header(char *buf, uint32_t *fill) {
    char name[RA_TOKEN_BUF];
    int first = 1;
    for (const ra_column &c : ra_columns) {
        for (uint32_t entry = 0; entry < c.count; ++entry) {
            if (!first) ra_rec_putc(buf, fill, ',');
            first = 0;
            if (c.count == 1) {
                ra_rec_puts(buf, fill, c.name);
            } else {
                ra_rec_numbered(name, c.name, entry + 1u);
                ra_rec_puts(buf, fill, name);
            }
        }
    }
    ra_rec_puts(buf, fill, ra_crlf);
}

extern "C" void ra_record_line(char *buf, uint32_t *fill, const ra_ctx *ctx, const char *file,
                               const char *source, const char *replay_md5) {
    int first = 1;
    for (const ra_column &c : ra_columns) {
        for (uint32_t entry = 0; entry < c.count; ++entry) {
            if (!first) ra_rec_putc(buf, fill, ',');
            first = 0;
            ra_rec_put_value(buf, fill, c, entry, ctx, file, source, replay_md5);
        }
    }
    ra_rec_puts(buf, fill, ra_crlf);
}

// What the record file's end needs before our line: the header when the
// file is new or left empty, a line end when its last byte is no '\n' (a
// write cut short earlier left part of a line; ours then starts on a line
// of its own, so that only the cut one is lost), else nothing. One seek to
// the last byte tells all three: before the start of an empty file it
// fails with ERROR_NEGATIVE_SEEK. 0 with *error on a failure.
static int ra_rec_prepare(HANDLE record, char *buf, uint32_t *fill, unsigned long *error) {
    LONG high = -1;  // with the high word, -1 reaches the last byte of any size
    DWORD low = SetFilePointer(record, -1, &high, FILE_END);
    if (low == INVALID_SET_FILE_POINTER && (*error = GetLastError()) != ERROR_SUCCESS) {
        if (*error != ERROR_NEGATIVE_SEEK) return 0;
        *error = ERROR_SUCCESS;
        ra_record_header(buf, fill);
        return 1;
    }
    // A last byte that cannot be read adds nothing: a reader skips a joined
    // line as damaged, nothing worse.
    char last = '\n';
    DWORD got = 0;
    if (ReadFile(record, &last, 1, &got, nullptr) && got == 1 && last != '\n') {
        ra_rec_puts(buf, fill, ra_crlf);
    }
    return 1;
}

extern "C" void ra_record_save(const ra_ctx *ctx, const char *src, const char *dst,
                               const char *digest) {
    size_t dir_len = strlen(ra_dir);
    if (dir_len + sizeof ra_record_leaf > RA_PATH_SIZE) return;  // refused whole, never cut
    char path[RA_PATH_SIZE];
    ra_stpcpy(ra_stpcpy(path, ra_dir), ra_record_leaf);
    // The destination is Dir, a backslash and the file's name.
    const char *file = strlen(dst) > dir_len ? dst + dir_len + 1 : dst;

    char read_digest[RA_MD5_TEXT_SIZE];
    if (digest == nullptr || digest[0] == '\0') {
        ra_replay_digest(dst, read_digest);
        digest = read_digest;
    }
    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    DWORD written = 0;
    unsigned long error = ERROR_SUCCESS;
    int ok = 0;
    // Append access only: every write lands at the end of the file, whatever
    // its pointer, so two games saving into one Dir never mix their lines.
    // Shared both ways, because the other game or a player's program may
    // have the file open too.
    // Read access only to look at the last byte.
    HANDLE record =
        CreateFileA(path, GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (record == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        goto report;
    }
    if (!ra_rec_prepare(record, buf, &fill, &error)) goto out;
    ra_record_line(buf, &fill, ctx, file, src, digest);
    // One write for the whole line, header included.
    if (!WriteFile(record, buf, fill, &written, nullptr)) {
        error = GetLastError();
    } else if (written != fill) {
        error = ERROR_DISK_FULL;  // a write that stops short found no room
    } else {
        ok = 1;
    }
out:
    CloseHandle(record);
report:
    if (!ok && ra_log) ra_log("replay autosave: record not written (%lu): %s", error, path);
}
