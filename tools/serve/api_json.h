// The library app's answers in JSON: a row of the list, the library's
// facts, and a chart of a racer's laps, as the page's script reads them.
// Every text that came from the game or the record is given as UTF-8
// (ra_utf8_text); a row's id is its file name's own bytes percent-encoded,
// as the page names a replay in its actions (ra_url_text).
#pragma once

#include <stdint.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "library/cache/index_queries.h"
#include "library/text/local_time.h"

// A row's id: its file name's own bytes, percent-encoded.
std::string ra_row_id(const std::string &file);

// One row: id, file, when, name, type, track, laps, cars, weather, lap,
// lap_by, laps_by, yours, pb, state, renamed_from, kind, copy, kept, details;
// each lap in hundredths (to sort and plot by) with its text beside it as
// the companion shows laps (ra_lap_text): lap_text, laps_by_text, yours_text.
nlohmann::json ra_row_json(const ra_index_row &row);

nlohmann::json ra_rows_json(const std::vector<ra_index_row> &rows);

// A time window of a chart, in days back from today; 0 for all.
bool ra_chart_window(const std::string &text, int64_t *days);

// The chart of a racer's laps on one track and type (oldest first) in a
// window of days before `today` (0: all): a point per day (the day's
// best), every personal best, the best lap, and the trend of the last 30
// days against the 30 before. Each lap is in hundredths with its lap_text.
nlohmann::json ra_chart_json(const std::vector<ra_chart_lap> &laps, int64_t window_days,
                             const ra_time &today);
