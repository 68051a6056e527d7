#include "serve/app_pages.h"

#include "library/html_text.h"
#include "library/local_time.h"
#include "library/page_assets.h"
#include "library/records.h"
#include "snapshot/race_context.h"

namespace {

// The facts shown at the top, by record column, with their labels.
const char *const ra_race_facts[][2] = {
    {ra_column_type, "Type"},           {ra_column_track, "Track"},
    {ra_column_laps, "Laps"},           {ra_column_cars, "Cars"},
    {ra_column_weather, "Weather"},     {ra_column_night, "Light"},
    {ra_column_direction, "Direction"}, {ra_column_started, "Started"},
    {ra_column_source, "Copied from"},
};

std::string ra_cell(const std::string &text) {
    return text.empty() ? "<td class=\"unknown\">-</td>" : "<td>" + ra_html_text(text) + "</td>";
}

std::string ra_lap_text(const std::string &value) {
    uint32_t lap = ra_parse_lap(value);
    return lap == 0 ? std::string() : ra_format_lap(lap);
}

}  // namespace

std::string ra_race_page(const ra_replay &replay, const std::string &nonce) {
    const ra_record *facts = replay.record  ? &*replay.record
                             : replay.holds ? &*replay.holds
                                            : nullptr;
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
        ra_html_text(replay.file) + "</title>\n<style nonce=\"" + nonce + "\">" + ra_page_style +
        "</style>\n</head>\n<body>\n<p><a href=\"/\">All races</a></p>\n<h1>" +
        ra_html_text(replay.file) + "</h1>\n";
    html += "<p class=\"summary\">Saved " + ra_html_text(ra_format_time(replay.when)) + "</p>\n";
    if (facts == nullptr) {
        return html + "<p>The record file holds nothing about this replay.</p>\n</body>\n</html>\n";
    }
    html += "<table id=\"facts\">\n<tbody>\n";
    for (const auto &fact : ra_race_facts) {
        html +=
            std::string("<tr><th>") + fact[1] + "</th>" + ra_cell(facts->get(fact[0])) + "</tr>\n";
    }
    html +=
        "</tbody>\n</table>\n<h2>Racers</h2>\n<table id=\"racers\">\n<thead><tr><th>Car</th>"
        "<th>Racer</th><th class=\"number\">Best lap</th><th class=\"number\">Total "
        "time</th><th class=\"number\">Top speed</th><th class=\"number\">Start "
        "position</th></tr></thead>\n<tbody>\n";
    const std::string start = facts->get(ra_column_start_pos);
    for (int car = 1; car <= RA_CARS; ++car) {
        const std::string n = std::to_string(car);
        const std::string name = facts->get(ra_car_column(ra_column_name, car));
        if (name.empty()) continue;
        html += "<tr><td>" + n + "</td>" + ra_cell(name) +
                ra_cell(ra_lap_text(facts->get(ra_car_column(ra_column_best_lap, car)))) +
                ra_cell(ra_lap_text(facts->get(ra_car_column(ra_column_total_time, car)))) +
                ra_cell(facts->get(ra_car_column(ra_column_max_speed, car))) +
                ra_cell(car == facts->player && start != "0" ? start : std::string()) + "</tr>\n";
    }
    return html + "</tbody>\n</table>\n</body>\n</html>\n";
}

std::string ra_start_again_page(const std::string &why) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>Open the library app from its address</title>\n</head>\n<body>\n<main>\n"
           "<h1>Open the library app from its address</h1>\n<p>" +
           ra_html_text(why) +
           " That address lets this browser in; it changes each time the app starts.</p>\n"
           "<p>Start the app again, in a command prompt in the game's folder:</p>\n"
           "<pre>replay-autosave serve</pre>\n<p>(or double-click replay-autosave.exe and "
           "choose the library app), then open the address it prints.</p>\n</main>\n"
           "</body>\n</html>\n";
}
