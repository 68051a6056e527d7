// Reading the times spreadsheets write.
#include "library/record/sheet_time.h"

#include <stddef.h>

namespace {

// A number of 1 to max_digits digits at text[*at], moving *at past it.
bool ra_number(const std::string &text, size_t *at, size_t max_digits, int *value) {
    size_t start = *at;
    int v = 0;
    while (*at < text.size() && text[*at] >= '0' && text[*at] <= '9' && *at - start < max_digits) {
        v = v * 10 + (text[*at] - '0');
        ++*at;
    }
    if (*at == start || (*at < text.size() && text[*at] >= '0' && text[*at] <= '9')) return false;
    *value = v;
    return true;
}

bool ra_take(const std::string &text, size_t *at, char c) {
    if (*at >= text.size() || text[*at] != c) return false;
    ++*at;
    return true;
}

// "AM" or "PM" in any letter case, after optional blanks.
int ra_meridiem(const std::string &text, size_t *at) {
    size_t p = *at;
    while (p < text.size() && text[p] == ' ') ++p;
    if (p + 2 > text.size()) return 0;
    char m = (char)(text[p] | 0x20), n = (char)(text[p + 1] | 0x20);
    if (n != 'm' || (m != 'a' && m != 'p')) return 0;
    *at = p + 2;
    return m == 'a' ? 1 : 2;
}

// Four-digit years as they are; two-digit years in this century, as the
// plug-in has only ever saved replays in it.
int ra_full_year(int year, size_t digits) { return digits <= 2 ? 2000 + year : year; }

bool ra_valid(const ra_time &t) {
    if (t.month < 1 || t.month > 12 || t.day < 1) return false;
    return t.day <= ra_days_in_month(t.year, t.month) && t.hour <= 23 && t.minute <= 59 &&
           t.second <= 59;
}

}  // namespace

bool ra_parse_sheet_time(const std::string &text, ra_date_order order, ra_sheet_time *out) {
    ra_sheet_time r;
    size_t at = 0, mark = 0;
    int first = 0, second = 0, third = 0;
    if (!ra_number(text, &at, 4, &first)) return false;
    const size_t first_digits = at;
    if (at >= text.size()) return false;
    const char sep = text[at];
    if (sep != '-' && sep != '.' && sep != '/') return false;
    ++at;
    if (!ra_number(text, &at, 2, &second) || !ra_take(text, &at, sep)) return false;
    mark = at;
    if (!ra_number(text, &at, 4, &third)) return false;
    const size_t third_digits = at - mark;
    if (first_digits == 4) {
        // Year first: "2026-03-07", "2026/03/07".
        r.time.year = first;
        r.time.month = second;
        r.time.day = third;
    } else if (sep == '-') {
        return false;
    } else {
        r.time.year = ra_full_year(third, third_digits);
        r.slashed = sep == '/';
        r.a = first;
        r.b = second;
        bool day_first = sep == '.' || order == ra_date_order::day_first;
        r.time.day = day_first ? first : second;
        r.time.month = day_first ? second : first;
    }
    // The time of day, if any: "21:05", "21:05:09", "9:05 PM".
    if (at < text.size()) {
        if (text[at] != ' ' && text[at] != 'T') return false;
        while (at < text.size() && (text[at] == ' ' || text[at] == 'T')) ++at;
        if (!ra_number(text, &at, 2, &r.time.hour) || !ra_take(text, &at, ':') ||
            !ra_number(text, &at, 2, &r.time.minute)) {
            return false;
        }
        if (ra_take(text, &at, ':') && !ra_number(text, &at, 2, &r.time.second)) return false;
        int meridiem = ra_meridiem(text, &at);
        if (meridiem != 0) {
            if (r.time.hour < 1 || r.time.hour > 12) return false;
            r.twelve_hour = true;
            r.time.hour = r.time.hour % 12 + (meridiem == 2 ? 12 : 0);
        }
        while (at < text.size() && text[at] == ' ') ++at;
        if (at != text.size()) return false;
    }
    if (!ra_valid(r.time)) return false;
    *out = r;
    return true;
}
