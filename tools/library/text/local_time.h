// Local date and time as the plug-in writes them into its record file and
// as the companion shows them: "YYYY-MM-DD HH:MM:SS", to the second, in the
// time zone of the machine (the game takes them from GetLocalTime).
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>

struct ra_time {
    int year = 0, month = 0, day = 0;      // calendar date
    int hour = 0, minute = 0, second = 0;  // time of day
};

// The days of a month (1 to 12) of a year, leap years' February 29.
int ra_days_in_month(int year, int month);

// Earlier first; equal times compare equal.
bool operator<(const ra_time &a, const ra_time &b);
bool operator==(const ra_time &a, const ra_time &b);

// "YYYY-MM-DD HH:MM:SS"; false, leaving *out alone, for any other text or
// a date or time of day that cannot exist.
bool ra_parse_time(const std::string &text, ra_time *out);

// "YYYY-MM-DD" as the start of that day; false as above.
bool ra_parse_date(const std::string &text, ra_time *out);

// "YYYY-MM-DD HH:MM:SS".
std::string ra_format_time(const ra_time &t);

// "YYYY-MM-DD_HH-MM-SS": the same, as a file name may hold it.
std::string ra_format_time_for_name(const ra_time &t);

// The local time at which the file was last written; false when the file
// system cannot tell.
bool ra_file_time(const std::filesystem::path &path, ra_time *out);

// The local time now, to the second.
ra_time ra_local_now(void);

// Seconds from a to b (negative when b is earlier), over any dates.
int64_t ra_seconds_between(const ra_time &a, const ra_time &b);

// Days from 1970-01-01 to t's date (negative before it), and back: the date
// of such a day, at midnight. Proleptic Gregorian calendar.
int64_t ra_day_of(const ra_time &t);
ra_time ra_date_of_day(int64_t day);

// The same time of day `days` calendar days earlier; a time before the year
// 0 comes out as ra_time(), which is earlier than every real time.
ra_time ra_days_before(const ra_time &t, uint64_t days);
