// The lap chart: axis marks with round values, and the SVG drawing.
#include "lap_chart.h"

#include <stdio.h>

#include <algorithm>

#include "html_text.h"
#include "records.h"

namespace {

// Marks on the lap axis at most, so that the labels never crowd.
const uint64_t ra_lap_marks_max = 6;
// Marks on the day axis at most: a label of ten characters takes 70 px.
const int64_t ra_day_marks_max = 7;
// A lone lap time, or laps all alike, get this much room above and below.
const uint32_t ra_lap_pad = 50;

// The chart's size and the room around the plot for the axis labels, in px.
const double ra_chart_width = 520, ra_chart_height = 210;
const double ra_plot_left = 60, ra_plot_right = 40, ra_plot_top = 14, ra_plot_bottom = 40;
const double ra_point_radius = 4;

// Hundredths as seconds with the given number of decimals (0 to 2).
std::string ra_seconds(uint64_t hundredths, int decimals) {
    char text[32];
    if (decimals == 0) {
        snprintf(text, sizeof text, "%llu", (unsigned long long)(hundredths / 100));
    } else if (decimals == 1) {
        snprintf(text, sizeof text, "%llu.%llu", (unsigned long long)(hundredths / 100),
                 (unsigned long long)(hundredths % 100 / 10));
    } else {
        snprintf(text, sizeof text, "%llu.%02llu", (unsigned long long)(hundredths / 100),
                 (unsigned long long)(hundredths % 100));
    }
    return text;
}

std::string ra_px(double v) {
    char text[32];
    snprintf(text, sizeof text, "%.1f", v);
    return text;
}

}  // namespace

double ra_day_number(const ra_time &t) {
    return (double)ra_day_of(t) + (t.hour * 3600 + t.minute * 60 + t.second) / 86400.0;
}

std::vector<ra_axis_tick> ra_lap_ticks(uint32_t lo_in, uint32_t hi_in) {
    uint64_t lo = std::min(lo_in, hi_in), hi = std::max(lo_in, hi_in);
    if (lo == hi) {
        lo = lo > ra_lap_pad ? lo - ra_lap_pad : 0;
        hi += ra_lap_pad;
    }
    // 1, 2, 5, 10, 20, 50, ... hundredths, the first that keeps the marks few.
    uint64_t step = 1;
    for (int k = 0;; ++k) {
        step = (k % 3 == 0 ? 1 : k % 3 == 1 ? 2 : 5);
        for (int e = 0; e < k / 3; ++e) step *= 10;
        if ((hi + step - 1) / step - lo / step + 1 <= ra_lap_marks_max) break;
    }
    int decimals = step % 100 == 0 ? 0 : step % 10 == 0 ? 1 : 2;
    std::vector<ra_axis_tick> ticks;
    for (uint64_t v = lo / step * step; v < hi + step; v += step) {
        ticks.push_back({(double)v, ra_seconds(v, decimals)});
        if (v >= hi) break;
    }
    return ticks;
}

std::vector<ra_axis_tick> ra_day_ticks(const ra_time &first, const ra_time &last) {
    int64_t from = ra_day_of(first);
    int64_t to = ra_day_of(last) + 1;
    if (to <= from) to = from + 1;
    // A day, two, a week, two, four, then doubling.
    static const int64_t steps[] = {1, 2, 7, 14, 28};
    int64_t step = 0;
    for (int64_t s : steps) {
        if ((to - from + s - 1) / s + 1 <= ra_day_marks_max) {
            step = s;
            break;
        }
    }
    if (step == 0) {
        step = 56;
        while ((to - from + step - 1) / step + 1 > ra_day_marks_max) step *= 2;
    }
    std::vector<ra_axis_tick> ticks;
    for (int64_t day = from;; day += step) {
        ticks.push_back({(double)day, ra_format_time(ra_date_of_day(day)).substr(0, 10)});
        if (day >= to) break;
    }
    return ticks;
}

std::string ra_lap_chart_svg(const std::vector<ra_lap_point> &unsorted) {
    if (unsorted.empty()) return "";
    std::vector<ra_lap_point> points = unsorted;
    std::stable_sort(points.begin(), points.end(),
                     [](const ra_lap_point &a, const ra_lap_point &b) { return a.when < b.when; });
    uint32_t lo = points[0].lap, hi = points[0].lap;
    for (const ra_lap_point &p : points) {
        lo = std::min(lo, p.lap);
        hi = std::max(hi, p.lap);
    }
    std::vector<ra_axis_tick> laps = ra_lap_ticks(lo, hi);
    std::vector<ra_axis_tick> days = ra_day_ticks(points.front().when, points.back().when);

    const double left = ra_plot_left, right = ra_chart_width - ra_plot_right;
    const double top = ra_plot_top, bottom = ra_chart_height - ra_plot_bottom;
    const double lap_lo = laps.front().at, lap_hi = laps.back().at;
    const double day_lo = days.front().at, day_hi = days.back().at;
    auto x = [&](double day) { return left + (day - day_lo) / (day_hi - day_lo) * (right - left); };
    auto y = [&](double lap) {
        return bottom - (lap - lap_lo) / (lap_hi - lap_lo) * (bottom - top);
    };

    std::string svg = "<svg class=\"lap-chart\" viewBox=\"0 0 " + ra_px(ra_chart_width) + " " +
                      ra_px(ra_chart_height) + "\" width=\"" + ra_px(ra_chart_width) +
                      "\" height=\"" + ra_px(ra_chart_height) + "\">\n";

    // Lap axis: a grid line and a label per mark, and the axis title.
    svg += "<g class=\"lap-axis\">\n";
    for (const ra_axis_tick &t : laps) {
        std::string at = ra_px(y(t.at));
        svg += "<line class=\"grid\" x1=\"" + ra_px(left) + "\" x2=\"" + ra_px(right) + "\" y1=\"" +
               at + "\" y2=\"" + at + "\"/>";
        svg += "<text class=\"tick\" x=\"" + ra_px(left - 6) + "\" y=\"" + at + "\">" +
               ra_html_text(t.label) + "</text>\n";
    }
    svg += "<text class=\"title\" transform=\"translate(14 " + ra_px((top + bottom) / 2) +
           ") rotate(-90)\">fastest lap (s)</text>\n</g>\n";

    // Day axis.
    svg += "<g class=\"day-axis\">\n<line class=\"axis\" x1=\"" + ra_px(left) + "\" x2=\"" +
           ra_px(right) + "\" y1=\"" + ra_px(bottom) + "\" y2=\"" + ra_px(bottom) + "\"/>\n";
    for (const ra_axis_tick &t : days) {
        std::string at = ra_px(x(t.at));
        svg += "<line class=\"mark\" x1=\"" + at + "\" x2=\"" + at + "\" y1=\"" + ra_px(bottom) +
               "\" y2=\"" + ra_px(bottom + 5) + "\"/>";
        svg += "<text class=\"tick\" x=\"" + at + "\" y=\"" + ra_px(bottom + 18) + "\">" +
               ra_html_text(t.label) + "</text>\n";
    }
    svg += "</g>\n";

    // The races in order, and the best lap so far as steps below them.
    std::string line, best;
    uint32_t best_lap = 0;
    for (const ra_lap_point &p : points) {
        std::string px = ra_px(x(ra_day_number(p.when)));
        line += (line.empty() ? "" : " ") + px + "," + ra_px(y(p.lap));
        if (best_lap == 0 || p.lap < best_lap) {
            if (best_lap != 0) best += " " + px + "," + ra_px(y(best_lap));
            best_lap = p.lap;
            best += (best.empty() ? "" : " ") + px + "," + ra_px(y(best_lap));
        }
    }
    best += " " + ra_px(x(ra_day_number(points.back().when))) + "," + ra_px(y(best_lap));
    svg += "<polyline class=\"best\" points=\"" + best + "\"/>\n";
    svg += "<polyline class=\"laps\" points=\"" + line + "\"/>\n";
    svg += "<g class=\"races\">\n";
    for (const ra_lap_point &p : points) {
        svg += "<circle class=\"race\" cx=\"" + ra_px(x(ra_day_number(p.when))) + "\" cy=\"" +
               ra_px(y(p.lap)) + "\" r=\"" + ra_px(ra_point_radius) + "\"><title>" +
               ra_html_text(ra_format_time(p.when) + "  " + ra_format_lap(p.lap) +
                            (p.note.empty() ? "" : "  " + p.note)) +
               "</title></circle>\n";
    }
    svg += "</g>\n</svg>\n";
    return svg;
}
