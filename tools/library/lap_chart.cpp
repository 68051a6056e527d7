// The lap chart: axis marks with round values, and the SVG drawing.
#include "library/lap_chart.h"

#include <stdio.h>

#include <algorithm>

#include "library/html_text.h"
#include "library/records.h"

namespace {

// Marks on the lap axis at most, so that the labels never crowd.
const uint64_t ra_lap_marks_max = 6;
// Marks on the day axis at most: a label of ten characters takes 70 px.
const int64_t ra_day_marks_max = 7;
// A lone lap time, or laps all alike, get this much room above and below.
const uint32_t ra_lap_pad = 50;

// Hundredths as m:ss with the given number of decimals (0 to 2).
std::string ra_minutes(uint64_t hundredths, int decimals) {
    char text[48];
    unsigned long long minutes = hundredths / 6000, seconds = hundredths / 100 % 60;
    if (decimals == 0) {
        snprintf(text, sizeof text, "%llu:%02llu", minutes, seconds);
    } else if (decimals == 1) {
        snprintf(text, sizeof text, "%llu:%02llu.%llu", minutes, seconds,
                 (unsigned long long)(hundredths % 100 / 10));
    } else {
        snprintf(text, sizeof text, "%llu:%02llu.%02llu", minutes, seconds,
                 (unsigned long long)(hundredths % 100));
    }
    return text;
}

std::string ra_px(double v) {
    char text[32];
    snprintf(text, sizeof text, "%.1f", v);
    return text;
}

// The races oldest first.
std::vector<ra_lap_point> ra_in_order(const std::vector<ra_lap_point> &unsorted) {
    std::vector<ra_lap_point> points = unsorted;
    std::stable_sort(points.begin(), points.end(),
                     [](const ra_lap_point &a, const ra_lap_point &b) { return a.when < b.when; });
    return points;
}

struct ra_axes {
    std::vector<ra_axis_tick> laps, days;
};

ra_axes ra_axes_for(const std::vector<ra_lap_point> &points) {
    uint32_t lo = points[0].lap, hi = points[0].lap;
    ra_time first = points[0].when, last = points[0].when;
    for (const ra_lap_point &p : points) {
        lo = std::min(lo, p.lap);
        hi = std::max(hi, p.lap);
        if (p.when < first) first = p.when;
        if (last < p.when) last = p.when;
    }
    return {ra_lap_ticks(lo, hi), ra_day_ticks(first, last)};
}

// Where a lap and a day go on the plot.
double ra_x(const ra_lap_scale &s, double day) {
    return ra_plot_left + (day - s.day_lo) / (s.day_hi - s.day_lo) *
                              (ra_chart_width - ra_plot_right - ra_plot_left);
}
double ra_y(const ra_lap_scale &s, double lap) {
    double bottom = ra_chart_height - ra_plot_bottom;
    return bottom - (lap - s.lap_lo) / (s.lap_hi - s.lap_lo) * (bottom - ra_plot_top);
}

}  // namespace

// The chart's size and the room around the plot for the axis labels, in px.
const double ra_chart_width = 520, ra_chart_height = 210;
const double ra_plot_left = 72, ra_plot_right = 40, ra_plot_top = 14, ra_plot_bottom = 40;

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
        ticks.push_back({(double)v, ra_minutes(v, decimals)});
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
        // The date alone, however many digits its year has.
        std::string date = ra_format_time(ra_date_of_day(day));
        ticks.push_back({(double)day, date.substr(0, date.find(' '))});
        if (day >= to) break;
    }
    return ticks;
}

ra_lap_scale ra_lap_chart_scale(const std::vector<ra_lap_point> &points) {
    ra_axes axes = ra_axes_for(points);
    ra_lap_scale s;
    s.lap_lo = axes.laps.front().at;
    s.lap_hi = axes.laps.back().at;
    s.day_lo = axes.days.front().at;
    s.day_hi = axes.days.back().at;
    return s;
}

std::string ra_lap_chart_axes(const std::vector<ra_lap_point> &points) {
    ra_axes axes = ra_axes_for(points);
    ra_lap_scale scale = ra_lap_chart_scale(points);
    const double left = ra_plot_left, right = ra_chart_width - ra_plot_right;
    const double top = ra_plot_top, bottom = ra_chart_height - ra_plot_bottom;

    // Lap axis: a grid line and a label per mark, and the axis title.
    std::string svg = "<g class=\"lap-axis\">\n";
    for (const ra_axis_tick &t : axes.laps) {
        std::string at = ra_px(ra_y(scale, t.at));
        svg += "<line class=\"grid\" x1=\"" + ra_px(left) + "\" x2=\"" + ra_px(right) + "\" y1=\"" +
               at + "\" y2=\"" + at + "\"/>";
        svg += "<text class=\"tick\" x=\"" + ra_px(left - 6) + "\" y=\"" + at + "\">" +
               ra_html_text(t.label) + "</text>\n";
    }
    svg += "<text class=\"title\" transform=\"translate(14 " + ra_px((top + bottom) / 2) +
           ") rotate(-90)\">best lap (m:ss)</text>\n</g>\n";

    // Day axis.
    svg += "<g class=\"day-axis\">\n<line class=\"axis\" x1=\"" + ra_px(left) + "\" x2=\"" +
           ra_px(right) + "\" y1=\"" + ra_px(bottom) + "\" y2=\"" + ra_px(bottom) + "\"/>\n";
    for (const ra_axis_tick &t : axes.days) {
        std::string at = ra_px(ra_x(scale, t.at));
        svg += "<line class=\"mark\" x1=\"" + at + "\" x2=\"" + at + "\" y1=\"" + ra_px(bottom) +
               "\" y2=\"" + ra_px(bottom + 5) + "\"/>";
        svg += "<text class=\"tick\" x=\"" + at + "\" y=\"" + ra_px(bottom + 18) + "\">" +
               ra_html_text(t.label) + "</text>\n";
    }
    return svg + "</g>\n";
}

std::string ra_lap_chart_plot(const std::vector<ra_lap_point> &unsorted,
                              const ra_lap_scale &scale) {
    std::vector<ra_lap_point> points = ra_in_order(unsorted);
    if (points.empty()) return "";
    // The races in order, and the best lap so far as steps below them.
    std::string line, best;
    uint32_t best_lap = 0;
    for (const ra_lap_point &p : points) {
        std::string px = ra_px(ra_x(scale, ra_day_number(p.when)));
        line += (line.empty() ? "" : " ") + px + "," + ra_px(ra_y(scale, p.lap));
        if (best_lap == 0 || p.lap < best_lap) {
            if (best_lap != 0) best += " " + px + "," + ra_px(ra_y(scale, best_lap));
            best_lap = p.lap;
            best += (best.empty() ? "" : " ") + px + "," + ra_px(ra_y(scale, best_lap));
        }
    }
    best += " " + ra_px(ra_x(scale, ra_day_number(points.back().when))) + "," +
            ra_px(ra_y(scale, best_lap));
    std::string svg = "<polyline class=\"best\" points=\"" + best + "\"/>\n";
    svg += "<polyline class=\"laps\" points=\"" + line + "\"/>\n";
    for (const ra_lap_point &p : points) {
        svg += std::string("<circle class=\"race") + (p.personal ? " pb" : "") + "\" cx=\"" +
               ra_px(ra_x(scale, ra_day_number(p.when))) + "\" cy=\"" + ra_px(ra_y(scale, p.lap)) +
               "\"><title>" +
               ra_html_text(ra_format_time(p.when) + "  " + ra_format_lap(p.lap) +
                            (p.personal ? "  personal best" : "") +
                            (p.note.empty() ? "" : "  " + p.note)) +
               "</title></circle>\n";
    }
    return svg;
}

std::string ra_lap_chart_open(void) {
    return "<svg class=\"lap-chart\" viewBox=\"0 0 " + ra_px(ra_chart_width) + " " +
           ra_px(ra_chart_height) + "\" width=\"" + ra_px(ra_chart_width) + "\" height=\"" +
           ra_px(ra_chart_height) + "\" data-plot=\"" + ra_px(ra_plot_left) + " " +
           ra_px(ra_chart_width - ra_plot_right) + " " + ra_px(ra_plot_top) + " " +
           ra_px(ra_chart_height - ra_plot_bottom) + "\">\n";
}

std::string ra_lap_chart_svg(const std::vector<ra_lap_point> &points) {
    if (points.empty()) return "";
    return ra_lap_chart_open() + "<g class=\"axes\">\n" + ra_lap_chart_axes(points) +
           "</g>\n<g class=\"plot\">\n" + ra_lap_chart_plot(points, ra_lap_chart_scale(points)) +
           "</g>\n</svg>\n";
}
