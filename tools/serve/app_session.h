// The library app's state while it runs: the settings as last read from the
// INI, Dir's index, the game's replay the latest Watch replaced, and the
// import under way. One request at a time holds `library` and works on
// what it holds; the progress of a rebuild and of an import are read
// without it.
#pragma once

#include <stddef.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "library/index_queries.h"
#include "library/library_index.h"
#include "library/replays.h"
#include "program/game_setup.h"
#include "program/job_output.h"
#include "serve/import_progress.h"
#include "serve/request_rules.h"

struct ra_app {
    // The settings file as the player named it (empty: the one beside the program).
    std::string ini;
    ra_gate gate;
    // The settings loader and Dir's files are the process's: one request at
    // a time touches them, so two actions can never interleave their steps.
    std::mutex library;
    // The settings as last read, and the INI's size and time then: read
    // again once the player changed the file (ra_serve_setup); under
    // `library`. `switched` tells of a Dir that changed meanwhile.
    bool have_setup = false;
    ra_game_setup setup;
    std::string ini_state;
    std::string switched;
    // The game's replay the latest Watch replaced, whose changes tell the
    // page that the replay it loaded is no longer the game's; under `library`.
    std::filesystem::path watched;
    // Dir's index, open while the app runs (ra_serve_index); under `library`.
    std::unique_ptr<ra_library_index> index;
    // A rebuild of the index under way: rows written of all (0: none). Read
    // without `library`, so that the page sees it while the rebuild holds it.
    std::atomic<size_t> indexing_done{0}, indexing_total{0};
    // The filters' choices as last asked, and the cursor and racer they
    // were asked at: the page asks again after each change; under `library`.
    std::string choices_of;
    ra_index_choices choices;
    // The import under way, asked for its progress and cancelled from
    // other requests while it works (its own lock).
    ra_import_run import;
};

// A file's size and time stamp, or "-" when there is none.
std::string ra_file_state(const std::filesystem::path &file);

// The record's, the marks' and the folder's size and time, and the folder:
// what /state without a cursor gives.
std::string ra_library_state(const std::filesystem::path &dir);

// The settings of the INI, read again whenever its size or time changed.
bool ra_serve_setup(ra_app &app, ra_game_setup *out, std::string *error);

// What the page says above the library: that Dir changed in the INI, and
// that no race was saved yet.
std::string ra_library_notice(const ra_app &app, const ra_game_setup &setup);

// The index of Dir, brought up to date, in *index; null while Dir does not
// exist yet. False with *error when the library cannot be read.
bool ra_serve_index(ra_app &app, ra_game_setup *setup, ra_library_index **index,
                    std::string *error);

// The settings and the entries of Dir of exactly this file name, with
// their record lines; an exit status, with the reason in out->err.
int ra_serve_library(ra_app &app, const std::string &file, ra_game_setup *setup,
                     ra_replay_list *list, ra_output *out);

// Whether the list shows exactly this file name (a friend's replay counts).
bool ra_listed(ra_app &app, const std::string &file);

// The entry of the list with exactly this file name (as the list shows it).
const ra_replay *ra_entry(const ra_replay_list &list, const std::string &file);

// A rebuild under way: {"done": n, "total": n}, or null.
nlohmann::json ra_indexing(const ra_app &app);
