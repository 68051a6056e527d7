// The library as one web page, "replays.html": a table of every replay in
// Dir that sorts by any column and filters by track and race type, and per
// track and race type a chart of the chosen racer's best lap over time. The
// page is one file that needs nothing else (no network, no other file): its
// style and its scripts are inside it. The scripts carry no game text: they
// read what they sort, filter and chart from the table's cells, and draw
// the charts themselves (chart.js).
//
// The page applies a state named in its address after '#' when it loads,
// and keeps the address in step when the player sorts or filters, so that a
// view can be bookmarked: "replays.html#sort=-lap&track=ALPINE&type=SR"
// sorts by the fastest lap, slowest first ('-'), and shows only the single
// races on ALPINE. The sort keys are the columns' data-key attributes.
#pragma once

#include <string>

#include "library/replays/replays.h"

// The page's name in Dir.
extern const char ra_page_file[];

// What the page of the library app (serve) has besides: the tidy form, and
// its scripts and style under a nonce. It holds no data: its rows and
// everything else come from the app's answers.
struct ra_page_app {
    std::string nonce;     // the security policy's, a fresh one each answer
    std::string no_token;  // shown instead of the library to a tab without the app's token
};

// The page for the replays of Dir (shown as `dir`), made at `made`; with
// app, the library app's page.
std::string ra_library_page(const ra_replay_list &list, const std::string &dir,
                            const std::string &made, const ra_page_app *app = nullptr);
