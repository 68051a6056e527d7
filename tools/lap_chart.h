// The chart of one track on the library page: the fastest lap of each race
// against the day it was raced, as inline SVG, so that a player sees at a
// glance whether the laps are getting faster. Lap times go up the side in
// seconds, days along the bottom.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "local_time.h"

// One race on the chart.
struct ra_lap_point {
    ra_time when;      // when its replay was saved
    uint32_t lap = 0;  // its fastest lap in hundredths, not 0
    std::string note;  // game text for the point's tooltip (race type, racer); escaped here
};

// One mark on an axis: its value (hundredths of a second, or days since
// 1970-01-01) and its label.
struct ra_axis_tick {
    double at = 0;
    std::string label;
};

// Marks for lap times from lo to hi hundredths, a round step apart (0.01 s
// up to minutes), the first at or below lo and the last at or above hi;
// labels in seconds with as many decimals as the step needs ("81", "81.5").
std::vector<ra_axis_tick> ra_lap_ticks(uint32_t lo, uint32_t hi);

// Marks at midnight for the days from the one of `first` to the one after
// `last`, a day, two, a week or more apart; labels "YYYY-MM-DD".
std::vector<ra_axis_tick> ra_day_ticks(const ra_time &first, const ra_time &last);

// The time as days since 1970-01-01 (fractions for the time of day).
double ra_day_number(const ra_time &t);

// The chart of the races (any order; none: an empty string).
std::string ra_lap_chart_svg(const std::vector<ra_lap_point> &points);
