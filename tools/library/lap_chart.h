// The chart of one track on the library page: a racer's best lap in each
// race against the day it was raced, as inline SVG, so that a player sees at
// a glance whether they are getting faster. Lap times go up the side in
// m:ss, as the table shows them, days along the bottom; a personal best is
// marked. The axes (ra_lap_chart_axes) and the races drawn on them
// (ra_lap_chart_plot) are apart, so that the page's script can draw the
// races of another racer, or of one race type, on that racer's axes.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "library/local_time.h"

// One race on the chart.
struct ra_lap_point {
    ra_time when;           // when its replay was saved
    uint32_t lap = 0;       // the lap in hundredths, not 0
    std::string note;       // game text for the point's tooltip (race type, racer); escaped here
    bool personal = false;  // a personal best: marked
};

// The chart's drawing box and the plot inside it, in px.
extern const double ra_chart_width, ra_chart_height;
extern const double ra_plot_left, ra_plot_right, ra_plot_top, ra_plot_bottom;

// What the axes span: lap times in hundredths and days since 1970-01-01;
// the plot maps lap_lo..lap_hi to its bottom..top and day_lo..day_hi to its
// left..right. Both spans are never empty.
struct ra_lap_scale {
    double lap_lo = 0, lap_hi = 1, day_lo = 0, day_hi = 1;
};

// One mark on an axis: its value (hundredths of a second, or days since
// 1970-01-01) and its label.
struct ra_axis_tick {
    double at = 0;
    std::string label;
};

// Marks for lap times from lo to hi hundredths, a round step apart (0.01 s
// up to minutes), the first at or below lo and the last at or above hi;
// labels in m:ss with as many decimals as the step needs ("1:21", "1:21.5").
std::vector<ra_axis_tick> ra_lap_ticks(uint32_t lo, uint32_t hi);

// Marks at midnight for the days from the one of `first` to the one after
// `last`, a day, two, a week or more apart; labels "YYYY-MM-DD".
std::vector<ra_axis_tick> ra_day_ticks(const ra_time &first, const ra_time &last);

// The time as days since 1970-01-01 (fractions for the time of day).
double ra_day_number(const ra_time &t);

// The scale of the axes for these races (not none).
ra_lap_scale ra_lap_chart_scale(const std::vector<ra_lap_point> &points);

// The axes' marks, grid and titles for the races (not none), as SVG
// elements for inside a <g>.
std::string ra_lap_chart_axes(const std::vector<ra_lap_point> &points);

// The races on the scale (any order): the line joining them, the best so
// far, a dot each with its tooltip, personal bests marked; SVG elements.
std::string ra_lap_chart_plot(const std::vector<ra_lap_point> &points, const ra_lap_scale &scale);

// The whole chart of the races (any order; none: an empty string).
std::string ra_lap_chart_svg(const std::vector<ra_lap_point> &points);

// The opening tag of a chart's <svg>, its size and plot box given for the
// page's script.
std::string ra_lap_chart_open(void);
