#include "serve/app_pages.h"

#include <algorithm>
#include <vector>

#include "library/text/html_text.h"
#include "library/text/local_time.h"
#include "library/page/page_assets.h"
#include "library/record/lap_time.h"
#include "library/record/record_reader.h"
#include "library/record/type_codes.h"
#include "snapshot/race_context.h"

namespace {

// The facts shown at the top, by record column, with their labels. Where
// the plug-in copied the replay from is the game's own folder every time,
// and says nothing about the race.
const char *const ra_race_facts[][2] = {
    {ra_column_type, "Type"},           {ra_column_track, "Track"},     {ra_column_laps, "Laps"},
    {ra_column_cars, "Cars"},           {ra_column_weather, "Weather"}, {ra_column_night, "Light"},
    {ra_column_direction, "Direction"}, {ra_column_started, "Started"},
};

// The record's top speeds are whole kilometres per hour.
const char ra_speed_unit[] = " km/h";

std::string ra_cell(const std::string &text) {
    return text.empty() ? "<td class=\"unknown\">-</td>" : "<td>" + ra_html_text(text) + "</td>";
}

// One racer as the details list them.
struct ra_racer_row {
    int car = 0;         // the car's number in the record, 1 to RA_CARS
    std::string name;    // the racer's name
    uint32_t total = 0;  // total time in hundredths; 0 when the record has none
};

// The racers in their finishing order, as far as the record tells it: by
// total time, and those without one after them in the order of their cars.
std::vector<ra_racer_row> ra_finishing_order(const ra_record &facts) {
    std::vector<ra_racer_row> racers;
    for (int car = 1; car <= RA_CARS; ++car) {
        ra_racer_row racer;
        racer.car = car;
        racer.name = facts.get_car(ra_car_name, car);
        if (racer.name.empty()) continue;
        racer.total = ra_parse_lap(facts.get_car(ra_car_total_time, car));
        racers.push_back(racer);
    }
    std::stable_sort(racers.begin(), racers.end(),
                     [](const ra_racer_row &a, const ra_racer_row &b) {
                         return a.total != 0 && (b.total == 0 || a.total < b.total);
                     });
    return racers;
}

// The gap of a racer to the winner ("+2.50 s"), empty when either has no time.
std::string ra_gap_text(const ra_racer_row &racer, const ra_racer_row &winner) {
    if (racer.total == 0 || winner.total == 0) return std::string();
    if (&racer == &winner) return "winner";
    return "+" + ra_format_lap_seconds(racer.total - winner.total) + " s";
}

}  // namespace

ra_race_details ra_race_details_of(const ra_replay &replay, bool kept) {
    const ra_record *facts = replay.record  ? &*replay.record
                             : replay.holds ? &*replay.holds
                                            : nullptr;
    ra_race_details details;
    details.title = ra_race_name(replay);
    const std::string title = ra_html_text(details.title);
    // The buttons of the race's row in the library, for the same script.
    const bool there =
        replay.state == ra_replay_state::saved || replay.state == ra_replay_state::renamed;
    if (there) {
        std::string &html = details.actions;
        html = "<p><span class=\"actions\" data-file=\"" + ra_url_text(replay.file) +
               "\"><button type=\"button\" data-do=\"watch\" aria-label=\"Watch " + title +
               "\">Watch</button>";
        if (replay.kind == ra_replay_kind::race) {
            const char *what = kept ? "Unkeep" : "Keep";
            html += std::string("<button type=\"button\" data-do=\"") + (kept ? "unkeep" : "keep") +
                    "\" aria-label=\"" + what + " " + title + "\">" + what +
                    "</button><button type=\"button\" data-do=\"share\" "
                    "aria-label=\"Share " +
                    title + "\">Share</button>";
        }
        html += std::string("</span><span class=\"state mark\"") + (kept ? "" : " hidden") +
                ">kept by you</span><span class=\"said\" role=\"status\"></span></p>\n";
    }
    std::string &html = details.facts;
    html = "<p class=\"summary\">Saved " + ra_html_text(ra_format_time(replay.when)) + " as " +
           ra_html_text(replay.file) + "</p>\n";
    if (facts == nullptr) {
        html += "<p>The record file holds nothing about this replay.</p>\n";
        return details;
    }
    const std::string meaning = ra_type_code_meaning(facts->get(ra_column_type));
    if (!meaning.empty()) {
        html += "<p class=\"summary\" id=\"type-meaning\">Type " +
                ra_html_text(facts->get(ra_column_type)) + ": " + ra_html_text(meaning) + "</p>\n";
    }
    html += "<table id=\"facts\">\n<tbody>\n";
    for (const auto &fact : ra_race_facts) {
        html +=
            std::string("<tr><th>") + fact[1] + "</th>" + ra_cell(facts->get(fact[0])) + "</tr>\n";
    }
    html +=
        "</tbody>\n</table>\n<h2>Racers</h2>\n<table id=\"racers\">\n<thead><tr><th "
        "class=\"number\">Place</th><th>Racer</th><th class=\"number\">Best lap</th><th "
        "class=\"number\">Total time</th><th class=\"number\">Gap</th><th "
        "class=\"number\">Top speed</th><th class=\"number\">Start position</th></tr></thead>\n"
        "<tbody>\n";
    const std::string start = facts->get(ra_column_start_pos);
    const std::vector<ra_racer_row> racers = ra_finishing_order(*facts);
    for (const ra_racer_row &racer : racers) {
        const bool you = racer.car == facts->player;
        const std::string speed = facts->get_car(ra_car_max_speed, racer.car);
        html += "<tr><td>" + std::to_string(&racer - &racers[0] + 1) + "</td><td>" +
                ra_html_text(racer.name) + (you ? " <span class=\"you\">(you)</span>" : "") +
                "</td>" +
                ra_cell(ra_lap_text(ra_parse_lap(facts->get_car(ra_car_best_lap, racer.car)))) +
                ra_cell(racer.total == 0 ? std::string() : ra_format_lap(racer.total)) +
                ra_cell(ra_gap_text(racer, racers[0])) +
                ra_cell(speed.empty() || speed == "0" ? std::string() : speed + ra_speed_unit) +
                ra_cell(you && start != "0" ? start : std::string()) + "</tr>\n";
    }
    html += "</tbody>\n</table>\n";
    return details;
}

std::string ra_race_shell(const std::string &nonce) {
    const std::string own = " nonce=\"" + nonce + "\"";
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>Race details</title>\n<style" +
           own + ">" + ra_page_style +
           "</style>\n</head>\n<body>\n<main>\n<p><a href=\"/\">All races</a></p>\n"
           "<h1 id=\"race-title\">Race details</h1>\n" +
           ra_no_token_notice() +
           "<section id=\"app\" aria-label=\"Library app\">\n<p id=\"result\" "
           "role=\"status\"></p>\n</section>\n<div id=\"race\"></div>\n</main>\n<script" +
           own + ">" + ra_page_app_script + "</script>\n<script" + own + ">" +
           ra_page_friends_script + "</script>\n</body>\n</html>\n";
}

namespace {

// Where the address comes from and how to start the app, for a player.
const char ra_how_to_open[] =
    "<p>If the app has stopped, start it again, in a command prompt in the game's "
    "folder:</p>\n"
    "<pre>replay-autosave serve</pre>\n<p>(or double-click replay-autosave.exe and "
    "choose the library app), then open the address it prints.</p>\n";

}  // namespace

std::string ra_no_token_notice() {
    return std::string(
               "<section id=\"no-token\" class=\"notice\" aria-labelledby=\"no-token-title\" "
               "hidden>\n<h2 id=\"no-token-title\">Open the library app from its "
               "address</h2>\n<p>This tab does not have the library app's address. Open the "
               "address the app printed when it started, the one that ends in #token= and a "
               "long number: it lets this tab in for as long as the tab is open, and it changes "
               "each time the app starts. A new tab or window needs it again.</p>\n") +
           ra_how_to_open + "</section>\n";
}

std::string ra_start_again_page(const std::string &why) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>Open the library app from its address</title>\n</head>\n<body>\n<main>\n"
           "<h1>Open the library app from its address</h1>\n<p>" +
           ra_html_text(why) +
           " That address lets this browser in; it changes each time the app starts.</p>\n" +
           ra_how_to_open + "</main>\n</body>\n</html>\n";
}
