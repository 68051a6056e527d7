// The forms in which spreadsheets write back the plug-in's times when a
// player opens replays.csv and saves it: "2026-03-07 21:05" (seconds
// dropped), "07.03.2026 21:05", "3/7/2026 9:05 PM", "07/03/2026 21:05",
// with two-digit years too. Slashed dates put the month first in some
// countries and the day first in others; the reader decides which for the
// whole file.
#pragma once

#include <string>

#include "library/text/local_time.h"

// Which number of a slashed date is the day.
enum class ra_date_order { day_first, month_first };

// A time as a spreadsheet wrote it.
struct ra_sheet_time {
    bool slashed = false;      // "A/B/Y": A and B need a date order
    int a = 0, b = 0;          // of a slashed date, its first two numbers
    bool twelve_hour = false;  // with AM or PM
    ra_time time;              // with the date order given
};

// text in one of the forms above (or the plug-in's own); false for any
// other text or a date or time of day that cannot exist in that order.
bool ra_parse_sheet_time(const std::string &text, ra_date_order order, ra_sheet_time *out);
