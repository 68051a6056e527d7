// Token lookup. The keys live in two tables of plain data: fixed keys, and
// prefixes followed by a car number. Each row says which ra_ctx field it
// reads (by offset) and how the value is written; one routine per way.
#include "naming/tokens.h"

#include <stddef.h>
#include <string.h>

#include "naming/naming.h"
#include "snapshot/hundredths.h"

// How a field is written into the name.
enum ra_token_way : uint8_t {
    RA_WAY_TEXT,   // text field, unsafe characters filtered
    RA_WAY_DEC,    // 32-bit number in decimal
    RA_WAY_HEX8,   // 32-bit number as eight upper-case hex digits
    RA_WAY_WORD,   // one of two fixed words, chosen by a 0/1 field
    RA_WAY_DATE,   // three consecutive fields as YYYY-MM-DD
    RA_WAY_TIME,   // three consecutive fields as HH-MM-SS
    RA_WAY_CENTI,  // hundredths of a second as seconds, '.', two digits
};

struct ra_token {
    const char *key;         // exact, case-sensitive token name
    ra_token_way way;        // how the field is written
    uint32_t offset;         // offset of the field in ra_ctx
    const char *when_set;    // RA_WAY_WORD: word for a non-zero field
    const char *when_clear;  // RA_WAY_WORD: word for zero
};

// A numbered token: the prefix, then 1..RA_CARS selecting one per-car entry.
struct ra_numbered_token {
    const char *prefix;  // text before the number
    ra_token_way way;    // how the selected entry is written
    uint32_t offset;     // offset of entry 0 in ra_ctx
    uint32_t stride;     // bytes from one entry to the next
};

#define RA_FIELD(f) ((uint32_t)offsetof(ra_ctx, f))

// Date and time tokens read three fields in a row from their first one.
static_assert(offsetof(ra_ctx, month) == offsetof(ra_ctx, year) + 4, "date fields in a row");
static_assert(offsetof(ra_ctx, day) == offsetof(ra_ctx, year) + 8, "date fields in a row");
static_assert(offsetof(ra_ctx, minute) == offsetof(ra_ctx, hour) + 4, "time fields in a row");
static_assert(offsetof(ra_ctx, second) == offsetof(ra_ctx, hour) + 8, "time fields in a row");
static_assert(offsetof(ra_ctx, start_month) == offsetof(ra_ctx, start_year) + 4, "in a row");
static_assert(offsetof(ra_ctx, start_day) == offsetof(ra_ctx, start_year) + 8, "in a row");
static_assert(offsetof(ra_ctx, start_minute) == offsetof(ra_ctx, start_hour) + 4, "in a row");
static_assert(offsetof(ra_ctx, start_second) == offsetof(ra_ctx, start_hour) + 8, "in a row");

// Fixed keys in lookup order; the first exact match decides.
static const ra_token ra_tokens[] = {
    {"type", RA_WAY_TEXT, RA_FIELD(type), nullptr, nullptr},
    {"track", RA_WAY_TEXT, RA_FIELD(track), nullptr, nullptr},
    {"laps", RA_WAY_DEC, RA_FIELD(laps), nullptr, nullptr},
    {"start_pos", RA_WAY_DEC, RA_FIELD(start_pos), nullptr, nullptr},
    {"count", RA_WAY_DEC, RA_FIELD(count), nullptr, nullptr},
    {"cars", RA_WAY_DEC, RA_FIELD(cars), nullptr, nullptr},
    {"cops", RA_WAY_DEC, RA_FIELD(cops), nullptr, nullptr},
    {"traffic", RA_WAY_DEC, RA_FIELD(traffic), nullptr, nullptr},
    {"tier", RA_WAY_DEC, RA_FIELD(tier), nullptr, nullptr},
    {"circ", RA_WAY_DEC, RA_FIELD(circ), nullptr, nullptr},
    {"track_tr_md5", RA_WAY_TEXT, RA_FIELD(md5_tr), nullptr, nullptr},
    {"track_trn_md5", RA_WAY_TEXT, RA_FIELD(md5_trn), nullptr, nullptr},
    {"index", RA_WAY_DEC, RA_FIELD(index), nullptr, nullptr},
    {"seed", RA_WAY_HEX8, RA_FIELD(seed), nullptr, nullptr},
    {"weather", RA_WAY_WORD, RA_FIELD(wet), "WET", "DRY"},
    {"night", RA_WAY_WORD, RA_FIELD(night), "NIGHT", "DAY"},
    {"date", RA_WAY_DATE, RA_FIELD(year), nullptr, nullptr},
    {RA_TIME_TOKEN, RA_WAY_TIME, RA_FIELD(hour), nullptr, nullptr},
    {"start_date", RA_WAY_DATE, RA_FIELD(start_year), nullptr, nullptr},
    {"start_time", RA_WAY_TIME, RA_FIELD(start_hour), nullptr, nullptr},
    {"direction", RA_WAY_WORD, RA_FIELD(reverse), "REVERSE", "NORMAL"},
    {"dir", RA_WAY_WORD, RA_FIELD(reverse), "BACK", "FORWARD"},
    {"mirror", RA_WAY_WORD, RA_FIELD(mirror), "MIRRORED", "NORMAL"},
};

// Numbered keys, tried only when no fixed key matched; the first prefix
// that the name starts with decides, so a failing "name..." is never tried
// against the others.
static const ra_numbered_token ra_numbered_tokens[] = {
    {"name", RA_WAY_TEXT, RA_FIELD(names), RA_NAME_SIZE},
    {"best_lap_car", RA_WAY_CENTI, RA_FIELD(best_lap), sizeof(uint32_t)},
    {"total_time_car", RA_WAY_CENTI, RA_FIELD(total_time), sizeof(uint32_t)},
    {"max_speed_car", RA_WAY_DEC, RA_FIELD(max_speed), sizeof(uint32_t)},
};

static const char ra_hex_digits[] = "0123456789ABCDEF";
#define RA_HEX_DIGITS 8  // a 32-bit word, most significant nibble first

static uint32_t ra_word_at(const uint8_t *field, uint32_t i) {
    return ((const uint32_t *)(const void *)field)[i];
}

// Year as four digits (two of year / 100, two of year), then two-digit
// month and day; time is three two-digit fields. Both joined by '-'.
static void ra_put_three(char *buf, uint32_t *fill, const uint8_t *field, int is_date) {
    if (is_date) vqra_put2(buf, fill, ra_word_at(field, 0) / 100u);
    vqra_put2(buf, fill, ra_word_at(field, 0));
    vqra_putc(buf, fill, '-');
    vqra_put2(buf, fill, ra_word_at(field, 1));
    vqra_putc(buf, fill, '-');
    vqra_put2(buf, fill, ra_word_at(field, 2));
}

static void ra_put_field(char *buf, uint32_t *fill, ra_token_way way, const uint8_t *field,
                         const ra_token *row) {
    switch (way) {
    case RA_WAY_TEXT:
        vqra_put_safe(buf, fill, (const char *)field);
        break;
    case RA_WAY_DEC:
        vqra_putu(buf, fill, ra_word_at(field, 0));
        break;
    case RA_WAY_HEX8:
        for (int shift = (RA_HEX_DIGITS - 1) * 4; shift >= 0; shift -= 4) {
            vqra_putc(buf, fill, ra_hex_digits[(ra_word_at(field, 0) >> shift) & 0xFu]);
        }
        break;
    case RA_WAY_WORD:
        vqra_puts(buf, fill, ra_word_at(field, 0) != 0 ? row->when_set : row->when_clear);
        break;
    case RA_WAY_DATE:
        ra_put_three(buf, fill, field, 1);
        break;
    case RA_WAY_TIME:
        ra_put_three(buf, fill, field, 0);
        break;
    case RA_WAY_CENTI:
        // As the record writes it; vqra_putc keeps fill below RA_NAME_MAX.
        ra_put_hundredths(buf, RA_NAME_MAX, fill, ra_word_at(field, 0));
        break;
    }
}

// The rest of name after prefix, or null when name does not start with it.
static const char *ra_after_prefix(const char *name, const char *prefix) {
    for (; *prefix != '\0'; ++prefix, ++name) {
        if (*name != *prefix) return nullptr;
    }
    return name;
}

// Car number of a numbered token: the decimal value of a string of digits,
// or 0 (no entry) for an empty string or any other character. A token name
// may hold up to 22 digits, more than 32 bits can count; once the value is
// past the last entry it stops growing, so a long number stays out of range
// and can never wrap back onto an entry.
static uint32_t ra_car_number(const char *digits) {
    uint32_t n = 0;
    for (; *digits != '\0'; ++digits) {
        if (*digits < '0' || *digits > '9') return 0;
        if (n <= RA_CARS) n = n * 10u + (uint32_t)(*digits - '0');
    }
    return n;
}

extern "C" int ra_put_token(char *buf, uint32_t *fill, const char *name, const ra_ctx *ctx) {
    const uint8_t *base = (const uint8_t *)ctx;
    for (const ra_token &row : ra_tokens) {
        if (strcmp(name, row.key) == 0) {
            ra_put_field(buf, fill, row.way, base + row.offset, &row);
            return 1;
        }
    }
    for (const ra_numbered_token &row : ra_numbered_tokens) {
        const char *rest = ra_after_prefix(name, row.prefix);
        if (rest == nullptr) continue;
        // An empty rest counts as 0, so "name" alone selects nothing either.
        uint32_t n = ra_car_number(rest);
        if (n < 1 || n > RA_CARS) return 0;
        ra_put_field(buf, fill, row.way, base + row.offset + (n - 1) * row.stride, nullptr);
        return 1;
    }
    return 0;
}

extern "C" const char *ra_token_key(uint32_t i) {
    return i < sizeof ra_tokens / sizeof ra_tokens[0] ? ra_tokens[i].key : nullptr;
}

extern "C" const char *ra_numbered_token_prefix(uint32_t i) {
    return i < sizeof ra_numbered_tokens / sizeof ra_numbered_tokens[0]
               ? ra_numbered_tokens[i].prefix
               : nullptr;
}
