// Building the library page. All text from the game or the record file goes
// through ra_html_text; everything else on the page is our own.
#include "library/page/library_page.h"

#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <map>
#include <vector>

#include "library/text/html_text.h"
#include "library/page/page_data.h"
#include "library/page/page_assets.h"
#include "library/record/racers.h"
#include "library/record/record_reader.h"
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

// The table's columns: sort key, heading, and whether it holds numbers.
// The script fills each row's cells in this order, by key.
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

// A table's head: with sort buttons for the races, plain for the other
// files (which have no lap of the racer).
std::string ra_table_head(bool sortable) {
    std::string html = "<thead><tr>";
    for (const ra_page_column &c : ra_page_columns) {
        if (!sortable && std::string(c.key) == "yours") continue;
        html += std::string("<th data-key=\"") + c.key + "\"" +
                (c.number ? " class=\"number\"" : "") + ">" +
                (sortable ? std::string("<button type=\"button\">") + c.heading + "</button>"
                          : std::string(c.heading)) +
                "</th>";
    }
    return html + "</tr></thead>\n<tbody></tbody>\n";
}

// The library app's panel: where the actions answer, and the tidy form.
// After a preview the focus is on Cancel, and the button that removes comes
// after it, named by the app's answer with what it does.
std::string ra_app_panel(const ra_page_app &app) {
    return app.no_token +
           "<section id=\"app\" aria-label=\"Library app\">\n<p id=\"result\" "
           "role=\"status\"></p>\n<details id=\"tidy\"><summary>Tidy: "
           "remove the oldest replays the plug-in saved</summary>\n<form id=\"tidy-form\">"
           "<label>Keep the newest <input name=\"keep\" inputmode=\"numeric\" size=\"6\"> "
           "replays</label><label>Keep at most <input name=\"max_size\" size=\"8\" "
           "placeholder=\"2GB\"> in all</label><label>Remove those older than <input "
           "name=\"older_than\" inputmode=\"numeric\" size=\"4\"> days</label><button "
           "type=\"submit\" id=\"tidy-preview\">Show what would go</button></form>\n"
           "<div id=\"tidy-plan\" hidden><p id=\"tidy-said\" role=\"status\"></p>"
           "<button type=\"button\" id=\"tidy-cancel\" hidden>Cancel</button> <button "
           "type=\"button\" id=\"tidy-apply\" hidden></button></div>\n<p "
           "class=\"summary\">"
           "Replays you keep, renamed ones, the ones Watch kept and files the record does not "
           "name are never removed.</p></details>\n<p><a href=\"#friends\">Friends and "
           "leaderboards</a></p>\n</section>\n";
}

// The library app's Friends view: Import (a file picker; a drop anywhere
// on the page does the same), the season card, and what friends.js fills
// from the app's answers.
const char ra_friends_view[] =
    "<section id=\"friends\" aria-labelledby=\"friends-title\">\n<h2 id=\"friends-title\">"
    "Friends</h2>\n<p class=\"summary\">Import a friend's share or season card to race against "
    "their times: pick it here or drop it onto the page.</p>\n<p class=\"friends-tools\"><label>"
    "Import a share or card <input type=\"file\" id=\"import-file\" "
    "accept=\".rpshare,.rpcard\"></label> <button type=\"button\" id=\"make-card\">Make my "
    "season card</button></p>\n<p id=\"friends-said\" class=\"said\" role=\"status\"></p>\n"
    "<div id=\"friends-list\"></div>\n<div id=\"friends-boards\"></div>\n"
    "<div id=\"friends-versus\"></div>\n</section>\n";

}  // namespace

std::string ra_library_page(const ra_replay_list &list, const std::string &dir,
                            const std::string &made, const ra_page_app *app) {
    // Only the page's own script and style run: they carry a nonce that the
    // policy names. The app's answer sends the policy with a nonce of that
    // answer; a page written to disk has no server to send one, so it
    // carries its policy itself, and its nonce is put in last (below).
    const std::string own = app ? app->nonce : ra_page_nonce_mark;
    const std::string nonce = " nonce=\"" + own + "\"";
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
    // Everything a player reads is in the one main landmark, so that a screen
    // reader's "next landmark" finds the whole library and leaves nothing out.
    html += "</style>\n</head>\n<body>\n<main>\n<h1>Replays</h1>\n";
    if (app) html += ra_app_panel(*app);
    // The script fills what follows from the library's data: the page's own
    // below, or the library app's answers.
    html +=
        "<div id=\"overview\">\n<p class=\"notice\" id=\"notice\" role=\"status\" hidden></p>\n"
        "<p class=\"summary\" id=\"summary\">The page shows the races with its script; "
        "allow scripts to see them.</p>\n<ul class=\"warnings\" id=\"warnings\" hidden></ul>\n"
        "<form class=\"racers\" hidden><label>Racer <select id=\"racer\"></select></label></form>\n"
        "<section id=\"laps-over-time\" aria-labelledby=\"charts-title\" hidden><h2 "
        "id=\"charts-title\">Best laps over time</h2>\n<div class=\"charts\" id=\"charts\">"
        "</div></section>\n</div>\n"
        "<section id=\"races\" aria-labelledby=\"races-title\" hidden>\n"
        "<h2 id=\"races-title\">All races</h2>\n<form class=\"filters\" role=\"search\">"
        "<label>Track <select id=\"filter-track\"><option value=\"\">all</option></select></label>"
        "<label>Type <select id=\"filter-type\"><option value=\"\">all</option></select></label>"
        "<label>Weather <select id=\"filter-weather\"><option value=\"\">all</option></select>"
        "</label><label>Search <input type=\"search\" id=\"filter-text\" size=\"16\" "
        "placeholder=\"file or racer\"></label><label><input type=\"checkbox\" "
        "id=\"filter-pb\"> Personal bests only</label>";
    if (app) html += "<label><input type=\"checkbox\" id=\"filter-kept\"> Kept only</label>";
    html +=
        "<span id=\"shown\" role=\"status\"></span></form>\n"
        "<div class=\"rows\">\n<table id=\"replays\">\n" +
        ra_table_head(true) +
        "</table>\n</div>\n<p><button type=\"button\" id=\"more\" hidden>Show more"
        "</button></p>\n</section>\n"
        "<section id=\"other-files\" aria-labelledby=\"others-title\" hidden>\n"
        "<h2 id=\"others-title\">Other files</h2>\n<p class=\"summary\">Kept by restore, "
        "renamed copies or copied in: no race of their own. Where the time stamp tells, the "
        "race they hold.</p>\n<table id=\"others\">\n" +
        ra_table_head(false) + "</table>\n</section>\n" + (app ? ra_friends_view : "") +
        "</main>\n";
    if (!app) {
        html += "<script type=\"application/json\" id=\"library-data\">" +
                ra_page_data(list, dir, made) + "</script>\n";
    }
    // The app's script first: it gives the page's script its rows.
    if (app) html += "<script" + nonce + ">" + std::string(ra_page_app_script) + "</script>\n";
    // One script element of our own: the charts, then the page's script.
    html += "<script" + nonce + ">";
    html += ra_page_chart_script;
    html += ra_page_script;
    html += "</script>\n";
    if (app) html += "<script" + nonce + ">" + std::string(ra_page_friends_script) + "</script>\n";
    html += "</body>\n</html>\n";
    return app ? html : ra_with_own_nonce(html);
}
