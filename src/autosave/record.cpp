// The record of saved replays: with "Record" on, every saved replay adds one
// line to replays.csv in Dir, so that a player's program can list the
// replays by the facts of their races instead of parsing file names. The
// values are what the name tokens give, except that text keeps the
// characters a file name may not hold: it is written as RFC 4180 has it.
#include <stddef.h>
#include <string.h>
#include <windows.h>

#include "autosave/autosave.h"
#include "host/host.h"
#include "naming/naming.h"
#include "naming/tokens.h"
#include "settings/settings.h"

// What a column holds.
enum ra_column_kind : uint8_t {
    RA_COL_FILE,    // the saved replay's file name, without Dir
    RA_COL_SOURCE,  // the game's replay path
    RA_COL_STAMP,   // a date token and a time token as "YYYY-MM-DD HH:MM:SS"
    RA_COL_TEXT,    // a text field of the race context, not made file-name-safe
    RA_COL_TOKEN,   // the token of the column's name, expanded as in file names
};

struct ra_column {
    const char *name;     // header name; of a numbered column, the prefix of 1..count
    ra_column_kind kind;  // what the column holds
    uint32_t count;       // 1, or RA_CARS for a numbered column (name1..name16)
    uint32_t offset;      // RA_COL_TEXT: the field (of entry 1) in ra_ctx
    uint32_t stride;      // RA_COL_TEXT, numbered: bytes from one entry to the next
    const char *date;     // RA_COL_STAMP: the date token
    const char *time;     // RA_COL_STAMP: the time token
    uint32_t max;         // longest value, before quoting
};

// Longest expansions of the tokens the record writes.
#define RA_REC_DECIMAL_MAX 10u  // a 32-bit number: 4294967295
#define RA_REC_HEX_MAX 8u       // %seed%: eight hex digits
#define RA_REC_CENTI_MAX 11u    // seconds and hundredths: 42949672.95
#define RA_REC_DATE_LEN 10u     // YYYY-MM-DD
#define RA_REC_TIME_LEN 8u      // HH-MM-SS as the token writes it, HH:MM:SS here
#define RA_REC_STAMP_LEN (RA_REC_DATE_LEN + 1u + RA_REC_TIME_LEN)
#define RA_REC_WORD(a, b) (sizeof a > sizeof b ? sizeof a - 1u : sizeof b - 1u)
// Paths, and so the file name in one, hold at most 259 characters.
#define RA_REC_PATH_MAX (RA_PATH_SIZE - 1u)
// Lines end as RFC 4180 has them.
static constexpr char ra_crlf[] = "\r\n";

#define RA_REC_FIELD(f) ((uint32_t)offsetof(ra_ctx, f))
#define RA_REC_ONE(name, kind, max) \
    { name, kind, 1, 0, 0, nullptr, nullptr, max }
#define RA_REC_TOKEN(name, max) RA_REC_ONE(name, RA_COL_TOKEN, max)
#define RA_REC_TEXT(name, field) \
    { name, RA_COL_TEXT, 1, RA_REC_FIELD(field), 0, nullptr, nullptr, sizeof(ra_ctx::field) - 1u }

// The columns in their order; the header names them.
static constexpr ra_column ra_columns[] = {
    RA_REC_ONE("file", RA_COL_FILE, RA_REC_PATH_MAX),
    {"saved", RA_COL_STAMP, 1, 0, 0, "date", "time", RA_REC_STAMP_LEN},
    {"started", RA_COL_STAMP, 1, 0, 0, "start_date", "start_time", RA_REC_STAMP_LEN},
    RA_REC_TEXT("type", type),
    RA_REC_TEXT("track", track),
    RA_REC_TOKEN("laps", RA_REC_DECIMAL_MAX),
    RA_REC_TOKEN("cars", RA_REC_DECIMAL_MAX),
    RA_REC_TOKEN("count", RA_REC_DECIMAL_MAX),
    RA_REC_TOKEN("cops", RA_REC_DECIMAL_MAX),
    RA_REC_TOKEN("traffic", RA_REC_DECIMAL_MAX),
    RA_REC_TOKEN("tier", RA_REC_DECIMAL_MAX),
    RA_REC_TOKEN("circ", RA_REC_DECIMAL_MAX),
    RA_REC_TOKEN("seed", RA_REC_HEX_MAX),
    RA_REC_TOKEN("weather", RA_REC_WORD("WET", "DRY")),
    RA_REC_TOKEN("night", RA_REC_WORD("NIGHT", "DAY")),
    RA_REC_TOKEN("direction", RA_REC_WORD("REVERSE", "NORMAL")),
    RA_REC_TOKEN("mirror", RA_REC_WORD("MIRRORED", "NORMAL")),
    RA_REC_TOKEN("start_pos", RA_REC_DECIMAL_MAX),
    RA_REC_TOKEN("index", RA_REC_DECIMAL_MAX),
    RA_REC_TEXT("track_tr_md5", md5_tr),
    RA_REC_TEXT("track_trn_md5", md5_trn),
    RA_REC_ONE("source", RA_COL_SOURCE, RA_REC_PATH_MAX),
    {"name", RA_COL_TEXT, RA_CARS, RA_REC_FIELD(names), RA_NAME_SIZE, nullptr, nullptr,
     RA_NAME_SIZE - 1u},
    {"best_lap_car", RA_COL_TOKEN, RA_CARS, 0, 0, nullptr, nullptr, RA_REC_CENTI_MAX},
    {"total_time_car", RA_COL_TOKEN, RA_CARS, 0, 0, nullptr, nullptr, RA_REC_CENTI_MAX},
    {"max_speed_car", RA_COL_TOKEN, RA_CARS, 0, 0, nullptr, nullptr, RA_REC_DECIMAL_MAX},
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
// Text in quotes, every byte of it a doubled quote at worst.
static constexpr uint32_t ra_rec_line_max(void) {
    uint32_t n = 0, values = 0;
    for (const ra_column &c : ra_columns) {
        n += c.count * (ra_rec_is_text(c.kind) ? 2u + 2u * c.max : c.max);
        values += c.count;
    }
    return n + (values - 1u) + ra_rec_strlen(ra_crlf);
}
static_assert(ra_rec_header_len() + ra_rec_line_max() <= RA_RECORD_BUF,
              "the header and the longest line fit one write");

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

// ASCII control bytes, which would break a line or a reader; bytes from
// 0x80 up are the game's own letters and are kept.
static int ra_rec_is_control(unsigned char c) { return c < 0x20u || c == 0x7Fu; }

// Text as RFC 4180 has it: quoted when it holds a comma or a double quote,
// quotes doubled. CR and LF, which would need quotes too, are control bytes
// and become '_' with the others first.
static void ra_rec_put_text(char *buf, uint32_t *fill, const char *text) {
    int quoted = 0;
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p == ',' || *p == '"') quoted = 1;
    }
    if (quoted) ra_rec_putc(buf, fill, '"');
    for (; *text != '\0'; ++text) {
        unsigned char c = (unsigned char)*text;
        if (c == '"') ra_rec_putc(buf, fill, '"');
        ra_rec_putc(buf, fill, ra_rec_is_control(c) ? '_' : (char)c);
    }
    if (quoted) ra_rec_putc(buf, fill, '"');
}

// The token's expansion, exactly as a file name would get it; tokens that
// are no text give digits, letters, '.' and '-' only, so need no quotes.
// With is_time, its '-' become ':'.
static void ra_rec_put_token(char *buf, uint32_t *fill, const char *token, const ra_ctx *ctx,
                             int is_time) {
    char value[RA_NAME_BUF];
    uint32_t n = 0;
    ra_put_token(value, &n, token, ctx);
    for (uint32_t i = 0; i < n; ++i) {
        ra_rec_putc(buf, fill, is_time && value[i] == '-' ? ':' : value[i]);
    }
}

// "prefix" and the number 1..RA_CARS: a numbered column's name and token.
static void ra_rec_numbered(char *out, const char *prefix, uint32_t number) {
    char *at = ra_stpcpy(out, prefix);
    if (number >= 10u) *at++ = (char)('0' + number / 10u);
    *at++ = (char)('0' + number % 10u);
    *at = '\0';
}
static_assert(sizeof "total_time_car16" <= RA_TOKEN_BUF, "numbered names fit a token name");

static void ra_rec_put_value(char *buf, uint32_t *fill, const ra_column &c, uint32_t entry,
                             const ra_ctx *ctx, const char *file, const char *source) {
    char token[RA_TOKEN_BUF];
    switch (c.kind) {
    case RA_COL_FILE:
        ra_rec_put_text(buf, fill, file);
        break;
    case RA_COL_SOURCE:
        ra_rec_put_text(buf, fill, source);
        break;
    case RA_COL_STAMP:
        ra_rec_put_token(buf, fill, c.date, ctx, 0);
        ra_rec_putc(buf, fill, ' ');
        ra_rec_put_token(buf, fill, c.time, ctx, 1);
        break;
    case RA_COL_TEXT:
        ra_rec_put_text(buf, fill, (const char *)ctx + c.offset + entry * c.stride);
        break;
    case RA_COL_TOKEN:
        if (c.count == 1) {
            ra_rec_put_token(buf, fill, c.name, ctx, 0);
        } else {
            ra_rec_numbered(token, c.name, entry + 1u);
            ra_rec_put_token(buf, fill, token, ctx, 0);
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
                               const char *source) {
    int first = 1;
    for (const ra_column &c : ra_columns) {
        for (uint32_t entry = 0; entry < c.count; ++entry) {
            if (!first) ra_rec_putc(buf, fill, ',');
            first = 0;
            ra_rec_put_value(buf, fill, c, entry, ctx, file, source);
        }
    }
    ra_rec_puts(buf, fill, ra_crlf);
}

extern "C" void ra_record_save(const ra_ctx *ctx, const char *src, const char *dst) {
    size_t dir_len = strlen(ra_dir);
    if (dir_len + sizeof ra_record_leaf > RA_PATH_SIZE) return;  // refused whole, never cut
    char path[RA_PATH_SIZE];
    ra_stpcpy(ra_stpcpy(path, ra_dir), ra_record_leaf);
    // The destination is Dir, a backslash and the file's name.
    const char *file = strlen(dst) > dir_len ? dst + dir_len + 1 : dst;

    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    LONG size_high = 0;
    DWORD size_low = 0, written = 0;
    unsigned long error = ERROR_SUCCESS;
    int ok = 0;
    // Append access only: every write lands at the end of the file, whatever
    // its pointer, so two games saving into one Dir never mix their lines.
    // Shared both ways, because the other game or a player's program may
    // have the file open too.
    HANDLE record = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (record == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        goto report;
    }
    // A new file, or one left empty, gets the header first. The end of the
    // file is its size; the last error tells a size of 0xFFFFFFFF from a failure.
    size_low = SetFilePointer(record, 0, &size_high, FILE_END);
    if (size_low == INVALID_SET_FILE_POINTER && (error = GetLastError()) != ERROR_SUCCESS) {
        goto out;
    }
    if (size_low == 0 && size_high == 0) ra_record_header(buf, &fill);
    ra_record_line(buf, &fill, ctx, file, src);
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
