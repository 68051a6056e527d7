// The library app's JSON answers.
#include "serve/api_json.h"

#include "library/record/lap_time.h"
#include "library/text/html_text.h"
#include "library/replays/replays.h"

namespace {

// The trend compares the best lap of the last this many days with the same
// span before them.
const int64_t ra_trend_days = 30;
// "YYYY-MM-DD": the day of a time's text.
const size_t ra_day_text_length = 10;

// The windows a chart can show, in days (0: all).
struct ra_window {
    const char *name;
    int64_t days;
};
const ra_window ra_windows[] = {{"30", 30}, {"90", 90}, {"365", 365}, {"all", 0}};

int64_t ra_day_number(const std::string &when) {
    ra_time t;
    if (!ra_parse_date(when.substr(0, ra_day_text_length), &t)) return 0;
    return ra_day_of(t);
}

nlohmann::json ra_lap_json(const ra_chart_lap &lap) {
    return {{"day", lap.when.substr(0, ra_day_text_length)},
            {"lap", lap.lap},
            {"lap_text", ra_lap_text(lap.lap)},
            {"id", ra_row_id(lap.file)},
            {"when", lap.when}};
}

}  // namespace

std::string ra_row_id(const std::string &file) { return ra_url_text(file); }

nlohmann::json ra_row_json(const ra_index_row &row) {
    nlohmann::json laps_by = nlohmann::json::object(), laps_by_text = nlohmann::json::object();
    for (const auto &lap : row.laps_by) {
        laps_by[ra_utf8_text(lap.first)] = lap.second;
        laps_by_text[ra_utf8_text(lap.first)] = ra_lap_text(lap.second);
    }
    const size_t state = row.state >= 0 && row.state < 4 ? (size_t)row.state : 0;
    const size_t kind = row.kind >= 0 && row.kind < 3 ? (size_t)row.kind : 0;
    return {{"id", ra_row_id(row.file)},
            {"file", ra_utf8_text(row.file)},
            {"when", row.when},
            {"name", ra_utf8_text(ra_row_name(row))},
            {"type", ra_utf8_text(row.type)},
            {"track", ra_utf8_text(row.track)},
            {"laps", ra_utf8_text(row.laps)},
            {"cars", ra_utf8_text(row.cars)},
            {"weather", ra_utf8_text(row.weather)},
            {"lap", row.lap},
            {"lap_text", ra_lap_text(row.lap)},
            {"lap_by", ra_utf8_text(row.lap_by)},
            {"laps_by", laps_by},
            {"laps_by_text", laps_by_text},
            {"yours", row.yours},
            {"yours_text", ra_lap_text(row.yours)},
            {"pb", row.pb},
            {"state", ra_replay_state_names[state]},
            {"renamed_from", ra_utf8_text(row.renamed_from)},
            {"kind", ra_replay_kind_names[kind]},
            {"copy", row.copy},
            {"kept", row.kept},
            {"details", row.details}};
}

nlohmann::json ra_rows_json(const std::vector<ra_index_row> &rows) {
    nlohmann::json list = nlohmann::json::array();
    for (const ra_index_row &row : rows) list.push_back(ra_row_json(row));
    return list;
}

bool ra_chart_window(const std::string &text, int64_t *days) {
    for (const ra_window &w : ra_windows) {
        if (text == w.name) {
            *days = w.days;
            return true;
        }
    }
    return false;
}

nlohmann::json ra_chart_json(const std::vector<ra_chart_lap> &laps, int64_t window_days,
                             const ra_time &today) {
    const int64_t last = ra_day_of(today);
    const int64_t first = window_days == 0 ? INT64_MIN : last - window_days + 1;
    nlohmann::json points = nlohmann::json::array(), pbs = nlohmann::json::array();
    nlohmann::json best = nullptr;
    const ra_chart_lap *best_lap = nullptr, *day_best = nullptr;
    uint32_t recent = 0, before = 0;  // the trend's two spans
    size_t races = 0;
    bool day_pb = false;
    auto close_day = [&]() {
        if (day_best == nullptr) return;
        nlohmann::json point = ra_lap_json(*day_best);
        point["pb"] = day_pb;
        points.push_back(point);
        day_best = nullptr;
        day_pb = false;
    };
    for (const ra_chart_lap &lap : laps) {
        const int64_t day = ra_day_number(lap.when);
        if (day > last - ra_trend_days && day <= last) {
            recent = recent == 0 ? lap.lap : std::min(recent, lap.lap);
        } else if (day > last - 2 * ra_trend_days && day <= last - ra_trend_days) {
            before = before == 0 ? lap.lap : std::min(before, lap.lap);
        }
        if (day < first || day > last) continue;
        ++races;
        if (day_best != nullptr &&
            day_best->when.compare(0, ra_day_text_length, lap.when, 0, ra_day_text_length) != 0) {
            close_day();
        }
        if (day_best == nullptr || lap.lap < day_best->lap) day_best = &lap;
        day_pb = day_pb || lap.pb;
        if (lap.pb) pbs.push_back(ra_lap_json(lap));
        if (best_lap == nullptr || lap.lap < best_lap->lap) best_lap = &lap;
    }
    close_day();
    if (best_lap != nullptr) {
        best = {{"lap", best_lap->lap},
                {"lap_text", ra_lap_text(best_lap->lap)},
                {"when", best_lap->when},
                {"id", ra_row_id(best_lap->file)}};
    }
    nlohmann::json trend = nullptr;
    if (recent != 0 && before != 0) {
        trend = {{"lap_change", (int64_t)recent - (int64_t)before}, {"against", "month"}};
    }
    return {{"points", points}, {"pbs", pbs}, {"best", best}, {"trend", trend}, {"races", races}};
}
