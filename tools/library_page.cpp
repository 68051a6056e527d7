// Building the library page. All text from the game or the record file goes
// through ra_html_text; everything else on the page is our own.
#include "library_page.h"

#include <stdint.h>

#include <algorithm>
#include <map>
#include <vector>

#include "html_text.h"
#include "lap_chart.h"
#include "records.h"
#include "snapshot/race_context.h"

const char ra_page_file[] = "replays.html";

namespace {

// Record columns that only the page shows.
const char ra_column_cars[] = "cars";        // number of cars
const char ra_column_weather[] = "weather";  // WET or DRY
const char ra_column_name[] = "name";        // + car number 1..16: racer name

// Shown where a replay has no fact to give (a file without a record line).
const char ra_unknown[] = "-";

const char ra_style[] = R"(
body { font: 14px/1.4 sans-serif; margin: 1.5em; color: #222; background: #fff; }
h1 { font-size: 1.5em; margin: 0 0 .2em; }
h2 { font-size: 1.2em; margin: 1.4em 0 .5em; }
h3 { font-size: 1em; margin: 0; }
.summary, .best-lap { color: #555; margin: .2em 0; }
.warnings { color: #a40; }
.charts { display: flex; flex-wrap: wrap; gap: 1em; }
.chart { border: 1px solid #ddd; border-radius: 4px; padding: .6em; }
.lap-chart { display: block; }
.lap-chart .grid { stroke: #e4e4e4; }
.lap-chart .axis, .lap-chart .mark { stroke: #888; }
.lap-chart text { font-size: 11px; fill: #555; }
.lap-axis .tick { text-anchor: end; dominant-baseline: middle; }
.day-axis .tick { text-anchor: middle; }
.lap-axis .title { text-anchor: middle; }
.lap-chart .laps { fill: none; stroke: #3070c0; stroke-width: 1.5; }
.lap-chart .best { fill: none; stroke: #2a2; stroke-width: 1.5; stroke-dasharray: 4 3; }
.lap-chart .race { fill: #3070c0; }
.filters { margin: .5em 0; }
.filters label { margin-right: 1em; }
table { border-collapse: collapse; }
th, td { text-align: left; padding: .25em .8em .25em 0; border-bottom: 1px solid #eee; white-space: nowrap; }
th button { font: inherit; font-weight: bold; border: 0; background: none; padding: 0; cursor: pointer; }
th[aria-sort=ascending] button::after { content: " \25B2"; }
th[aria-sort=descending] button::after { content: " \25BC"; }
td.number { text-align: right; }
.racer { color: #555; }
tr.gone td { color: #999; }
tr.gone .file { text-decoration: line-through; }
.state { font-size: .85em; background: #eee; border-radius: 3px; padding: 0 .3em; margin-left: .5em; }
)";

// Sorting, filtering and the address. It reads the cells' text (and the
// numbers in data-sort) and never writes markup.
const char ra_script[] = R"(
(function () {
  'use strict';
  var table = document.getElementById('replays');
  if (!table) return;
  var body = table.tBodies[0];
  var heads = table.tHead.rows[0].cells;
  var rows = Array.prototype.slice.call(body.rows);
  var order = new Map();
  rows.forEach(function (row, i) { order.set(row, i); });
  var trackSelect = document.getElementById('filter-track');
  var typeSelect = document.getElementById('filter-type');
  var shown = document.getElementById('shown');
  var charts = Array.prototype.slice.call(document.querySelectorAll('.chart'));

  function column(key) {
    for (var i = 0; i < heads.length; ++i) {
      if (heads[i].getAttribute('data-key') === key) return i;
    }
    return -1;
  }
  var trackColumn = column('track'), typeColumn = column('type');

  function same(a, b) { return a.toUpperCase() === b.toUpperCase(); }
  function known(row, col) { return !row.cells[col].classList.contains('unknown'); }
  // What a cell sorts by: its data-sort number, else its text; null for no fact.
  function sortKey(row, col) {
    if (!known(row, col)) return null;
    var cell = row.cells[col];
    var n = cell.getAttribute('data-sort');
    return n !== null ? Number(n) : cell.textContent;
  }
  function compare(a, b) {
    if (typeof a === 'number' && typeof b === 'number') return a - b;
    return String(a).localeCompare(String(b), undefined, {numeric: true, sensitivity: 'base'});
  }
  function fill(select, col) {
    var values = [];
    rows.forEach(function (row) {
      var v = row.cells[col].textContent;
      if (known(row, col) && values.indexOf(v) < 0) values.push(v);
    });
    values.sort(compare).forEach(function (v) { select.add(new Option(v, v)); });
  }
  function choose(select, value) {
    select.selectedIndex = value ? -1 : 0;
    for (var i = 1; i < select.options.length; ++i) {
      if (value && same(select.options[i].value, value)) select.selectedIndex = i;
    }
  }

  // The state in the address: sort=[-]KEY, track=NAME, type=CODE.
  function readState() {
    var state = {sort: 'when', desc: true, track: '', type: ''};
    location.hash.replace(/^#/, '').split('&').forEach(function (part) {
      var eq = part.indexOf('=');
      if (eq < 0) return;
      var name = part.slice(0, eq), value;
      try { value = decodeURIComponent(part.slice(eq + 1).replace(/\+/g, ' ')); } catch (e) { return; }
      if (name === 'sort') {
        var desc = value.charAt(0) === '-';
        var key = desc ? value.slice(1) : value;
        if (column(key) >= 0) { state.sort = key; state.desc = desc; }
      } else if (name === 'track' || name === 'type') {
        state[name] = value;
      }
    });
    return state;
  }
  function writeState(state) {
    var parts = ['sort=' + (state.desc ? '-' : '') + state.sort];
    if (state.track) parts.push('track=' + encodeURIComponent(state.track));
    if (state.type) parts.push('type=' + encodeURIComponent(state.type));
    location.replace('#' + parts.join('&'));
    apply();
  }

  function apply() {
    var state = readState();
    var col = column(state.sort);
    var sorted = rows.slice().sort(function (a, b) {
      var ka = sortKey(a, col), kb = sortKey(b, col);
      if (ka === null || kb === null) {
        if (ka !== kb) return ka === null ? 1 : -1;
      } else {
        var c = compare(ka, kb);
        if (c !== 0) return state.desc ? -c : c;
      }
      return order.get(a) - order.get(b);
    });
    var count = 0;
    sorted.forEach(function (row) {
      var show = (!state.track || (known(row, trackColumn) &&
                                   same(row.cells[trackColumn].textContent, state.track))) &&
                 (!state.type || (known(row, typeColumn) &&
                                  same(row.cells[typeColumn].textContent, state.type)));
      row.hidden = !show;
      if (show) ++count;
      body.appendChild(row);
    });
    for (var i = 0; i < heads.length; ++i) {
      heads[i].setAttribute('aria-sort', i !== col ? 'none' : state.desc ? 'descending' : 'ascending');
    }
    shown.textContent = count + ' of ' + rows.length + ' shown';
    charts.forEach(function (chart) {
      chart.hidden = !!state.track && !same(chart.querySelector('h3').textContent, state.track);
    });
    choose(trackSelect, state.track);
    choose(typeSelect, state.type);
  }

  Array.prototype.forEach.call(heads, function (head) {
    head.querySelector('button').addEventListener('click', function () {
      var state = readState(), key = head.getAttribute('data-key');
      state.desc = state.sort === key ? !state.desc : key === 'when';
      state.sort = key;
      writeState(state);
    });
  });
  [trackSelect, typeSelect].forEach(function (select) {
    select.addEventListener('change', function () {
      var state = readState();
      state[select === trackSelect ? 'track' : 'type'] = select.value;
      writeState(state);
    });
  });
  window.addEventListener('hashchange', apply);
  fill(trackSelect, trackColumn);
  fill(typeSelect, typeColumn);
  apply();
})();
)";

// The table's columns: sort key, heading, and whether it holds numbers.
struct ra_page_column {
    const char *key;
    const char *heading;
    bool number;
};
const ra_page_column ra_page_columns[] = {
    {"when", "When", false},      {"type", "Type", false}, {"track", "Track", false},
    {"laps", "Laps", true},       {"cars", "Cars", true},  {"weather", "Weather", false},
    {"lap", "Fastest lap", true}, {"file", "File", false},
};

// Digits only, as a number to sort by; false for anything else.
bool ra_count(const std::string &text, uint32_t *value) {
    if (text.empty() || text.size() > 9) return false;
    uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (uint32_t)(c - '0');
    }
    *value = v;
    return true;
}

std::string ra_unknown_cell(bool number) {
    return std::string("<td class=\"unknown") + (number ? " number" : "") + "\">" + ra_unknown +
           "</td>";
}

// A cell of game text; a number column sorts by the number when the text is one.
std::string ra_text_cell(const std::string &text, bool number) {
    if (text.empty()) return ra_unknown_cell(number);
    uint32_t n = 0;
    if (number && ra_count(text, &n)) {
        return "<td class=\"number\" data-sort=\"" + std::to_string(n) + "\">" +
               ra_html_text(text) + "</td>";
    }
    return std::string(number ? "<td class=\"number\">" : "<td>") + ra_html_text(text) + "</td>";
}

std::string ra_lap_cell(const ra_replay &r) {
    if (!r.record || r.record->fastest_lap == 0) return ra_unknown_cell(true);
    std::string cell = "<td class=\"number\" data-sort=\"" + std::to_string(r.record->fastest_lap) +
                       "\">" + ra_format_lap(r.record->fastest_lap);
    int car = r.record->fastest_car;
    const std::string &racer = r.record->get(ra_column_name + std::to_string(car));
    if (!racer.empty()) cell += " <span class=\"racer\">" + ra_html_text(racer) + "</span>";
    return cell + "</td>";
}

std::string ra_file_cell(const ra_replay &r) {
    std::string cell = "<td><span class=\"file\">" + ra_html_text(r.file) + "</span>";
    switch (r.state) {
    case ra_replay_state::saved:
        break;
    case ra_replay_state::missing:
        cell += "<span class=\"state\">removed</span>";
        break;
    case ra_replay_state::replaced:
        cell += "<span class=\"state\">replaced by a later race</span>";
        break;
    }
    return cell + "</td>";
}

std::string ra_row(const ra_replay &r) {
    const char *row_class = r.state == ra_replay_state::saved ? "saved" : "gone";
    std::string row = std::string("<tr class=\"") + row_class + "\">";
    row += "<td>" + ra_html_text(ra_format_time(r.when)) + "</td>";
    auto fact = [&](const char *column, bool number) {
        return ra_text_cell(r.record ? r.record->get(column) : std::string(), number);
    };
    row += fact(ra_column_type, false);
    row += fact(ra_column_track, false);
    row += fact(ra_column_laps, true);
    row += fact(ra_column_cars, true);
    row += fact(ra_column_weather, false);
    row += ra_lap_cell(r);
    row += ra_file_cell(r);
    return row + "</tr>\n";
}

// Per track (by name), the races that have a fastest lap.
std::map<std::string, std::vector<ra_lap_point>> ra_track_points(const ra_replay_list &list) {
    std::map<std::string, std::vector<ra_lap_point>> tracks;
    for (const ra_replay &r : list.replays) {
        if (!r.record || r.record->fastest_lap == 0) continue;
        const std::string &track = r.record->get(ra_column_track);
        if (track.empty()) continue;
        ra_lap_point point;
        point.when = r.when;
        point.lap = r.record->fastest_lap;
        point.note = r.record->get(ra_column_type);
        const std::string &racer =
            r.record->get(ra_column_name + std::to_string(r.record->fastest_car));
        if (!racer.empty()) point.note += (point.note.empty() ? "" : "  ") + racer;
        tracks[track].push_back(point);
    }
    return tracks;
}

std::string ra_charts(const ra_replay_list &list) {
    std::map<std::string, std::vector<ra_lap_point>> tracks = ra_track_points(list);
    if (tracks.empty()) return "";
    std::string html = "<h2>Fastest lap over time</h2>\n<div class=\"charts\">\n";
    for (const auto &track : tracks) {
        const std::vector<ra_lap_point> &points = track.second;
        const ra_lap_point *best = &points[0];
        for (const ra_lap_point &p : points) {
            if (p.lap < best->lap || (p.lap == best->lap && p.when < best->when)) best = &p;
        }
        html += "<section class=\"chart\"><h3>" + ra_html_text(track.first) + "</h3>\n";
        html += "<p class=\"best-lap\">" + std::to_string(points.size()) +
                (points.size() == 1 ? " race" : " races") + ", best " + ra_format_lap(best->lap) +
                " on " + ra_html_text(ra_format_time(best->when)) + "</p>\n";
        html += ra_lap_chart_svg(points);
        html += "</section>\n";
    }
    return html + "</div>\n";
}

}  // namespace

std::string ra_library_page(const ra_replay_list &list, const std::string &dir,
                            const std::string &made) {
    size_t gone = 0;
    for (const ra_replay &r : list.replays) gone += r.state == ra_replay_state::saved ? 0 : 1;

    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Replays</title>\n<style>";
    html += ra_style;
    html += "</style>\n</head>\n<body>\n<h1>Replays</h1>\n";
    html += "<p class=\"summary\">" + std::to_string(list.replays.size()) +
            (list.replays.size() == 1 ? " replay" : " replays") + " in <span class=\"dir\">" +
            ra_html_text(dir) + "</span>";
    if (gone != 0) html += ", " + std::to_string(gone) + " of them removed or replaced";
    html += "; page made " + ra_html_text(made) + ".</p>\n";
    if (!list.records.warnings.empty()) {
        html += "<ul class=\"warnings\">\n";
        for (const std::string &w : list.records.warnings) {
            html += "<li>" + ra_html_text(w) + "</li>\n";
        }
        html += "</ul>\n";
    }
    if (list.replays.empty()) {
        html += "<p>No replays saved yet.</p>\n</body>\n</html>\n";
        return html;
    }

    html += ra_charts(list);

    html +=
        "<h2>All replays</h2>\n<form class=\"filters\">"
        "<label>Track <select id=\"filter-track\"><option value=\"\">all</option></select>"
        "</label><label>Type <select id=\"filter-type\"><option value=\"\">all</option>"
        "</select></label><span id=\"shown\"></span></form>\n";
    html += "<table id=\"replays\">\n<thead><tr>";
    for (const ra_page_column &c : ra_page_columns) {
        html += std::string("<th data-key=\"") + c.key + "\"" +
                (c.number ? " class=\"number\"" : "") + "><button type=\"button\">" + c.heading +
                "</button></th>";
    }
    html += "</tr></thead>\n<tbody>\n";
    for (const ra_replay &r : list.replays) html += ra_row(r);
    html += "</tbody>\n</table>\n<script>";
    html += ra_script;
    html += "</script>\n</body>\n</html>\n";
    return html;
}
