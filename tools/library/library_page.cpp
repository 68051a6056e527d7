// Building the library page. All text from the game or the record file goes
// through ra_html_text; everything else on the page is our own.
#include "library/library_page.h"

#include <stdint.h>

#include <algorithm>
#include <map>
#include <vector>

#include "library/html_text.h"
#include "library/page_assets.h"
#include "library/racers.h"
#include "library/records.h"
#include "snapshot/md5.h"
#include "snapshot/race_context.h"

const char ra_page_file[] = "replays.html";

namespace {

// Where the nonce of a page written to disk goes until the page is whole:
// no text from the game or the record can hold it, since ra_html_text
// writes every '<' of theirs as "&lt;".
const char ra_page_nonce_mark[] = "<nonce>";

// A page written to disk gets the digest of its whole text as its nonce:
// the same record makes the same page, and nothing written into the record
// can know the nonce of the page it ends up in.
std::string ra_with_own_nonce(std::string html) {
    vqmd5_ctx md5;
    unsigned char digest[RA_MD5_DIGEST];
    vqmd5_init(&md5);
    vqmd5_update(&md5, html.data(), (uint32_t)html.size());
    vqmd5_final(&md5, digest);
    static const char hex[] = "0123456789abcdef";
    std::string nonce;
    for (unsigned char b : digest) {
        nonce += hex[b >> 4];
        nonce += hex[b & 15];
    }
    const std::string mark = ra_page_nonce_mark;
    for (size_t at = html.find(mark); at != std::string::npos; at = html.find(mark, at)) {
        html.replace(at, mark.size(), nonce);
    }
    return html;
}

// Shown where a replay has no fact to give (a file without a record line).
const char ra_unknown[] = "-";

// The racers for the page's script: every racer's lap in each race by the
// index of the entry in the list, and who the page opens with.
struct ra_page_racers {
    std::vector<std::string> names;      // the selector's racers, most races first
    size_t shown = 0;                    // the one shown as the page opens
    bool player = false;                 // shown is the player, named by a race's player column
    std::map<size_t, std::string> laps;  // by entry: "racer:hundredths ..." of every racer
};

// The table's columns: sort key, heading, and whether it holds numbers.
struct ra_page_column {
    const char *key;
    const char *heading;
    bool number;
};
const ra_page_column ra_page_columns[] = {
    {"when", "When", false},      {"type", "Type", false},     {"track", "Track", false},
    {"laps", "Laps", true},       {"cars", "Cars", true},      {"weather", "Weather", false},
    {"lap", "Fastest lap", true}, {"yours", "Your lap", true}, {"file", "File", false},
};

// Cells stay small, as a long season has thousands of rows: the script
// sorts a number column by the number its text shows, and the style sets
// the columns' alignment.
std::string ra_unknown_cell() {
    return std::string("<td class=\"unknown\">") + ra_unknown + "</td>";
}

// A cell of game text.
std::string ra_text_cell(const std::string &text) {
    if (text.empty()) return ra_unknown_cell();
    return "<td>" + ra_html_text(text) + "</td>";
}

std::string ra_lap_cell(const ra_replay &r) {
    const ra_record *facts = r.record ? &*r.record : r.holds ? &*r.holds : nullptr;
    if (!facts || facts->fastest_lap == 0) return ra_unknown_cell();
    std::string cell = "<td>" + ra_format_lap(facts->fastest_lap);
    int car = facts->fastest_car;
    const std::string &racer = facts->get(ra_car_column(ra_column_name, car));
    if (!racer.empty()) cell += " <span class=\"racer\">" + ra_html_text(racer) + "</span>";
    return cell + "</td>";
}

// Every racer's laps in the race for the script, which shows the lap of the
// racer chosen, with a badge where it was their personal best.
std::string ra_yours_cell(const ra_page_racers &racers, size_t entry) {
    auto laps = racers.laps.find(entry);
    if (laps == racers.laps.end()) return "<td></td>";
    return "<td data-laps=\"" + laps->second + "\"></td>";
}

// The library app's buttons for a file that is there: Watch, Keep or
// Unkeep for a race prune could remove, and its details.
std::string ra_actions(const ra_replay &r, const ra_page_app &app) {
    bool there = r.state == ra_replay_state::saved || r.state == ra_replay_state::renamed;
    if (!there) return "";
    // The name's own bytes, percent-encoded: a name that is no UTF-8 (a
    // letter of the game's code page) reaches the server as it is in Dir,
    // not as the page shows it.
    // Each button names its race, for a screen reader that reads it alone.
    const std::string race = ra_html_text(ra_race_name(r));
    std::string html = "<span class=\"actions\" data-file=\"" + ra_url_text(r.file) +
                       "\"><button type=\"button\" data-do=\"watch\" aria-label=\"Watch " + race +
                       "\">Watch</button>";
    if (r.kind == ra_replay_kind::race) {
        const char *what = app.marks.has(r.file) ? "Unkeep" : "Keep";
        html += std::string("<button type=\"button\" data-do=\"") +
                (app.marks.has(r.file) ? "unkeep" : "keep") + "\" aria-label=\"" + what + " " +
                race + "\">" + what + "</button>";
    }
    if (r.record || r.holds) {
        html += "<a href=\"/race?file=" + ra_url_text(r.file) + "\" aria-label=\"Details of " +
                race + "\">Details</a>";
    }
    return html + "</span>";
}

std::string ra_file_cell(const ra_replay &r, const ra_page_app *app) {
    std::string cell = "<td><span class=\"file\">" + ra_html_text(r.file) + "</span>";
    if (app) {
        if (app->marks.has(r.file)) cell += "<span class=\"state mark\">kept by you</span>";
        cell += ra_actions(r, *app);
    }
    if (r.kind == ra_replay_kind::backup)
        return cell + "<span class=\"state\">kept by restore</span></td>";
    if (r.kind == ra_replay_kind::unrecorded) {
        return cell + (r.holds ? "<span class=\"state\">a copy</span>" : "") + "</td>";
    }
    switch (r.state) {
    case ra_replay_state::saved:
        break;
    case ra_replay_state::missing:
        cell += "<span class=\"state\">removed</span>";
        break;
    case ra_replay_state::replaced:
        cell += "<span class=\"state\">replaced by a later race</span>";
        break;
    case ra_replay_state::renamed:
        cell += "<span class=\"state\">renamed from " + ra_html_text(r.record->file) + "</span>";
        break;
    }
    return cell + "</td>";
}

std::string ra_row(const ra_replay &r, const ra_page_racers &racers, size_t entry,
                   const ra_page_app *app) {
    bool there = r.state == ra_replay_state::saved || r.state == ra_replay_state::renamed;
    std::string row = std::string("<tr class=\"") + (there ? "saved" : "gone") + "\">";
    row += "<td>" + ra_html_text(ra_format_time(r.when)) + "</td>";
    const ra_record *facts = r.record ? &*r.record : r.holds ? &*r.holds : nullptr;
    auto fact = [&](const char *column) {
        return ra_text_cell(facts ? facts->get(column) : std::string());
    };
    row += fact(ra_column_type);
    row += fact(ra_column_track);
    row += fact(ra_column_laps);
    row += fact(ra_column_cars);
    row += fact(ra_column_weather);
    row += ra_lap_cell(r);
    if (r.kind == ra_replay_kind::race) row += ra_yours_cell(racers, entry);
    row += ra_file_cell(r, app);
    return row + "</tr>\n";
}

std::string ra_upper(const std::string &text) {
    std::string up = text;
    for (char &c : up) c = c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
    return up;
}

// Every racer's laps by race and the one shown first. Each race's columns
// are read once: a long season has thousands of races.
ra_page_racers ra_racers_of(const ra_replay_list &list) {
    ra_page_racers racers;
    racers.names = ra_racer_names(list);
    std::map<std::string, size_t> index;  // upper case name: its place in names
    for (size_t i = 0; i < racers.names.size(); ++i) index[ra_upper(racers.names[i])] = i;
    std::string first = ra_upper(ra_default_racer(list));
    if (index.count(first) != 0) racers.shown = index[first];
    for (size_t e = 0; e < list.replays.size(); ++e) {
        const ra_replay &r = list.replays[e];
        if (r.kind != ra_replay_kind::race || !r.record) continue;
        // The default racer is the player when any race names the player's
        // car (ra_default_racer).
        int car = r.record->player;
        if (car >= 1 && car <= RA_CARS &&
            !r.record->get(ra_car_column(ra_column_name, car)).empty())
            racers.player = true;
        // Each racer's best lap in the race (a name may drive two cars).
        std::vector<std::pair<size_t, uint32_t>> laps;
        for (int car = 1; car <= RA_CARS; ++car) {
            const std::string &name = r.record->get(ra_car_column(ra_column_name, car));
            if (name.empty()) continue;
            uint32_t lap = ra_parse_lap(r.record->get(ra_car_column(ra_column_best_lap, car)));
            if (lap == 0) continue;
            size_t who = index[ra_upper(name)];
            auto same =
                std::find_if(laps.begin(), laps.end(),
                             [&](const std::pair<size_t, uint32_t> &l) { return l.first == who; });
            if (same == laps.end()) {
                laps.push_back({who, lap});
            } else {
                same->second = std::min(same->second, lap);
            }
        }
        if (laps.empty()) continue;
        std::string &data = racers.laps[e];
        for (const auto &l : laps) {
            data += (data.empty() ? "" : " ") + std::to_string(l.first) + ":" +
                    std::to_string(l.second);
        }
    }
    return racers;
}

// Where the script draws a chart per track (chart.js, page.js).
std::string ra_charts(const ra_page_racers &racers) {
    if (racers.names.empty()) return "";
    return "<h2>Best laps over time</h2>\n<div class=\"charts\" id=\"charts\"></div>\n";
}

// The files that are no race of their own, with the race they hold where known.
std::string ra_others(const ra_replay_list &list, const ra_page_racers &racers,
                      const ra_page_app *app) {
    std::string rows;
    for (size_t i = 0; i < list.replays.size(); ++i) {
        if (list.replays[i].kind != ra_replay_kind::race)
            rows += ra_row(list.replays[i], racers, i, app);
    }
    if (rows.empty()) return "";
    std::string html =
        "<h2>Other files</h2>\n<p class=\"summary\">Kept by restore, renamed copies or copied in: "
        "no race of their own. Where the time stamp tells, the race they hold.</p>\n"
        "<table id=\"others\">\n<thead><tr>";
    for (const ra_page_column &c : ra_page_columns) {
        if (std::string(c.key) == "yours") continue;
        html +=
            std::string("<th") + (c.number ? " class=\"number\"" : "") + ">" + c.heading + "</th>";
    }
    return html + "</tr></thead>\n<tbody>\n" + rows + "</tbody>\n</table>\n";
}

// The library app's panel: where the actions answer, and the tidy form with
// prune's policies.
std::string ra_app_panel(const ra_page_app &app) {
    return "<section id=\"app\" data-secret=\"" + ra_html_text(app.secret) + "\" data-state=\"" +
           ra_html_text(app.state) +
           "\">\n<p id=\"result\" role=\"status\"></p>\n<details id=\"tidy\"><summary>Tidy: "
           "remove the oldest replays the plug-in saved</summary>\n<form id=\"tidy-form\">"
           "<label>Keep the newest <input name=\"keep\" inputmode=\"numeric\" size=\"6\"></label>"
           "<label>Keep at most <input name=\"max_size\" size=\"8\" placeholder=\"2GB\"></label>"
           "<label>Remove older than <input name=\"older_than\" inputmode=\"numeric\" "
           "size=\"4\"> days</label><button type=\"submit\" id=\"tidy-preview\">Preview</button>"
           "<button type=\"button\" id=\"tidy-apply\" disabled>Remove them</button></form>\n"
           "<pre id=\"tidy-result\"></pre>\n<p class=\"summary\">Replays you keep, renamed ones, "
           "the ones restore kept and files the record does not name are never removed.</p>"
           "</details>\n</section>\n";
}

}  // namespace

std::string ra_library_page(const ra_replay_list &list, const std::string &dir,
                            const std::string &made, const ra_page_app *app) {
    // Only the page's own script and style run: they carry a nonce that the
    // policy names. The app's answer sends the policy with a nonce of that
    // answer; a page written to disk has no server to send one, so it
    // carries its policy itself, and its nonce is put in last (below).
    const std::string own = app ? app->nonce : ra_page_nonce_mark;
    const std::string nonce = " nonce=\"" + own + "\"";
    size_t races = 0, gone = 0, others = 0;
    for (const ra_replay &r : list.replays) {
        if (r.kind != ra_replay_kind::race) {
            ++others;
            continue;
        }
        ++races;
        bool there = r.state == ra_replay_state::saved || r.state == ra_replay_state::renamed;
        gone += there ? 0 : 1;
    }

    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    if (!app) {
        html +=
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
            "script-src 'nonce-" +
            own + "'; style-src 'nonce-" + own + "'; img-src data:; base-uri 'none'\">\n";
    }
    html += "<title>Replays</title>\n<style" + nonce + ">";
    html += ra_page_style;
    html += "</style>\n</head>\n<body>\n<h1>Replays</h1>\n";
    if (app) html += ra_app_panel(*app);
    // What the whole record tells, in one block the library app puts in
    // place of its own when a race is saved (app.js): a new race may bring a
    // new day for the axes, a new track or a new racer.
    html += "<div id=\"overview\">\n";
    if (app && !app->notice.empty()) {
        html += "<p class=\"notice\" role=\"status\">" + ra_html_text(app->notice) + "</p>\n";
    }
    html += "<p class=\"summary\">" + std::to_string(races) +
            (races == 1 ? " replay" : " replays") + " in <span class=\"dir\">" + ra_html_text(dir) +
            "</span>";
    if (gone != 0) html += ", " + std::to_string(gone) + " of them removed or replaced";
    if (others != 0) {
        html += "; " + std::to_string(others) + (others == 1 ? " other file" : " other files");
    }
    html += "; page made " + ra_html_text(made) + ".</p>\n";
    if (!list.records.warnings.empty()) {
        html += "<ul class=\"warnings\">\n";
        for (const std::string &w : list.records.warnings) {
            html += "<li>" + ra_html_text(w) + "</li>\n";
        }
        html += "</ul>\n";
    }
    if (list.replays.empty()) {
        html += "</div>\n<p>No replays saved yet.</p>\n";
        if (app) html += "<script" + nonce + ">" + std::string(ra_page_app_script) + "</script>\n";
        html += "</body>\n</html>\n";
        return app ? html : ra_with_own_nonce(html);
    }

    ra_page_racers racers = ra_racers_of(list);
    if (!racers.names.empty()) {
        html += "<form class=\"racers\"><label>Racer <select id=\"racer\" data-default=\"" +
                std::to_string(racers.shown) + "\"" +
                (racers.player ? " data-player=\"" + std::to_string(racers.shown) + "\"" : "") +
                ">";
        for (size_t i = 0; i < racers.names.size(); ++i) {
            std::string name = ra_html_text(racers.names[i]);
            html += "<option value=\"" + name + "\"" + (i == racers.shown ? " selected" : "") +
                    ">" + name + "</option>";
        }
        html += "</select></label></form>\n";
    }
    html += ra_charts(racers) + "</div>\n";

    html +=
        "<h2>All races</h2>\n<form class=\"filters\">"
        "<label>Track <select id=\"filter-track\"><option value=\"\">all</option></select>"
        "</label><label>Type <select id=\"filter-type\"><option value=\"\">all</option>"
        "</select></label><span id=\"shown\"></span></form>\n";
    // The browser lays out thousands of rows as they arrive, again and again,
    // unless it may leave them until they are in view.
    html += "<div class=\"rows\">\n<table id=\"replays\">\n<thead><tr>";
    for (const ra_page_column &c : ra_page_columns) {
        html += std::string("<th data-key=\"") + c.key + "\"" +
                (c.number ? " class=\"number\"" : "") + "><button type=\"button\">" + c.heading +
                "</button></th>";
    }
    html += "</tr></thead>\n<tbody>\n";
    for (size_t i = 0; i < list.replays.size(); ++i) {
        if (list.replays[i].kind == ra_replay_kind::race)
            html += ra_row(list.replays[i], racers, i, app);
    }
    html += "</tbody>\n</table>\n</div>\n";
    html += "<div id=\"other-files\">\n" + ra_others(list, racers, app) + "</div>\n";
    // One script element of our own: the charts, then the page's script.
    html += "<script" + nonce + ">";
    html += ra_page_chart_script;
    html += ra_page_script;
    html += "</script>\n";
    if (app) html += "<script" + nonce + ">" + std::string(ra_page_app_script) + "</script>\n";
    html += "</body>\n</html>\n";
    return app ? html : ra_with_own_nonce(html);
}
