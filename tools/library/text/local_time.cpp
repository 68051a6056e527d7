// Local date and time: parsing, printing, and the time stamps of files.
#include "library/text/local_time.h"

#include <stdio.h>
#include <time.h>

#include <chrono>
#include <system_error>
#include <tuple>

namespace {

// The digits of text[at..at+count) as a number; false unless all are digits.
bool ra_digits(const std::string &text, size_t at, size_t count, int *value) {
    int v = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
    }
    *value = v;
    return true;
}

// "YYYY-MM-DD" at the start of text into *t.
bool ra_read_date(const std::string &text, ra_time *t) {
    if (text.size() < 10 || text[4] != '-' || text[7] != '-') return false;
    if (!ra_digits(text, 0, 4, &t->year) || !ra_digits(text, 5, 2, &t->month) ||
        !ra_digits(text, 8, 2, &t->day)) {
        return false;
    }
    return t->month >= 1 && t->month <= 12 && t->day >= 1 &&
           t->day <= ra_days_in_month(t->year, t->month);
}

std::string ra_format(const ra_time &t, char date_time, char in_time) {
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d%c%02d%c%02d", t.year, t.month, t.day,
             date_time, t.hour, in_time, t.minute, in_time, t.second);
    return text;
}

}  // namespace

int ra_days_in_month(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

bool operator<(const ra_time &a, const ra_time &b) {
    return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second) <
           std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second);
}

bool operator==(const ra_time &a, const ra_time &b) { return !(a < b) && !(b < a); }

bool ra_parse_time(const std::string &text, ra_time *out) {
    ra_time t;
    if (text.size() != 19 || !ra_read_date(text, &t) || text[10] != ' ' || text[13] != ':' ||
        text[16] != ':') {
        return false;
    }
    if (!ra_digits(text, 11, 2, &t.hour) || !ra_digits(text, 14, 2, &t.minute) ||
        !ra_digits(text, 17, 2, &t.second) || t.hour > 23 || t.minute > 59 || t.second > 59) {
        return false;
    }
    *out = t;
    return true;
}

bool ra_parse_date(const std::string &text, ra_time *out) {
    ra_time t;
    if (text.size() != 10 || !ra_read_date(text, &t)) return false;
    *out = t;
    return true;
}

std::string ra_format_time(const ra_time &t) { return ra_format(t, ' ', ':'); }

std::string ra_format_time_for_name(const ra_time &t) { return ra_format(t, '_', '-'); }

bool ra_file_time(const std::filesystem::path &path, ra_time *out) {
    std::error_code error;
    std::filesystem::file_time_type written = std::filesystem::last_write_time(path, error);
    if (error) return false;
    // C++17 has no conversion from the file clock to the system clock; both
    // clocks run at the same rate, so the distance from "now" carries over,
    // give or take the microseconds between the two readings. A millisecond
    // more keeps a time stamp of a whole second from falling to the one before.
    using namespace std::chrono;
    system_clock::time_point when =
        system_clock::now() + duration_cast<system_clock::duration>(
                                  written - std::filesystem::file_time_type::clock::now());
    time_t seconds = system_clock::to_time_t(floor<std::chrono::seconds>(when + milliseconds(1)));
    const struct tm *local = localtime(&seconds);
    if (local == nullptr) return false;
    out->year = local->tm_year + 1900;
    out->month = local->tm_mon + 1;
    out->day = local->tm_mday;
    out->hour = local->tm_hour;
    out->minute = local->tm_min;
    out->second = local->tm_sec;
    return true;
}

ra_time ra_local_now(void) {
    time_t now = time(nullptr);
    const struct tm *local = localtime(&now);
    ra_time t;
    if (local == nullptr) return t;
    t.year = local->tm_year + 1900;
    t.month = local->tm_mon + 1;
    t.day = local->tm_mday;
    t.hour = local->tm_hour;
    t.minute = local->tm_min;
    t.second = local->tm_sec;
    return t;
}

int64_t ra_seconds_between(const ra_time &a, const ra_time &b) {
    auto seconds = [](const ra_time &t) {
        return ra_day_of(t) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
    };
    return seconds(b) - seconds(a);
}

// The days_from_civil and civil_from_days algorithms: whole 400-year eras
// of 146097 days, each counted from 1 March, whose leap day then comes last.
int64_t ra_day_of(const ra_time &t) {
    int64_t y = t.month <= 2 ? t.year - 1 : t.year;
    int64_t m = t.month <= 2 ? t.month + 9 : t.month - 3;  // March is 0
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t year_of_era = y - era * 400;
    int64_t day_of_year = (153 * m + 2) / 5 + t.day - 1;
    int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;  // 719468: 0000-03-01 to 1970-01-01
}

ra_time ra_date_of_day(int64_t day) {
    day += 719468;
    int64_t era = (day >= 0 ? day : day - 146096) / 146097;
    int64_t of_era = day - era * 146097;
    int64_t year_of_era = (of_era - of_era / 1460 + of_era / 36524 - of_era / 146096) / 365;
    int64_t day_of_year = of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    int64_t mp = (5 * day_of_year + 2) / 153;
    ra_time out;
    out.day = (int)(day_of_year - (153 * mp + 2) / 5 + 1);
    out.month = (int)(mp < 10 ? mp + 3 : mp - 9);
    out.year = (int)(era * 400 + year_of_era + (out.month <= 2 ? 1 : 0));
    return out;
}

ra_time ra_days_before(const ra_time &t, uint64_t days) {
    // Nothing before 1 March of the year 0 is counted.
    ra_time first;
    first.month = 3;
    first.day = 1;
    int64_t from = ra_day_of(t), earliest = ra_day_of(first);
    if (from < earliest || days > (uint64_t)INT32_MAX || from - (int64_t)days < earliest) {
        return ra_time();
    }
    ra_time out = ra_date_of_day(from - (int64_t)days);
    out.hour = t.hour;
    out.minute = t.minute;
    out.second = t.second;
    return out;
}
