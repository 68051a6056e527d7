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
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "library/cache/index_queries.h"
#include "library/cache/library_index.h"
#include "library/replays/replays.h"
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
    // Dir's index, open while the app runs (ra_take_snapshot); under `library`.
    std::unique_ptr<ra_library_index> index;
    // A rebuild of the index under way: rows written of all (0: none). Read
    // without `library`, so that the page sees it while the rebuild holds it.
    // indexing: a rebuild is under way, told from its start when the index
    // is made from nothing (its count of rows comes later, 0 until then).
    std::atomic<bool> indexing{false};
    std::atomic<size_t> indexing_done{0}, indexing_total{0};
    // The filters' choices as last asked, and the cursor and Dir they were
    // asked at; each racer's track and type pairs asked since then, a few
    // racers' at a time (the page asks for two on each load, and again
    // after each change); under `library`.
    std::string choices_of;
    ra_index_choices choices;
    std::map<std::string, std::vector<ra_racer_group>> groups;
    // The import under way, asked for its progress and cancelled from
    // other requests while it works (its own lock).
    ra_import_run import;
};

// A file's size and time stamp, or "-" when there is none.
std::string ra_file_state(const std::filesystem::path &file);

// The record's, the marks' and the folder's size and time, and the folder:
// what /state without a cursor gives.
std::string ra_library_state(const std::filesystem::path &dir);

// What a route reads of the library before its handler runs.
enum class ra_route_reads {
    nothing,   // a page's shell, the import's progress
    settings,  // the INI's settings alone
    library,   // the settings and Dir's index, brought up to date
};

// What one request works on: the settings and Dir's index as they stood
// when it began, read once under `library` (ra_take_snapshot). Handlers
// read no setting and refresh no index of their own, so that an action is
// judged and done on one state of the library.
struct ra_snapshot {
    bool have_setup = false;  // false: `error` says why the INI cannot be read
    ra_game_setup setup;
    // The index is as Dir is now; false with `error` when it cannot be read.
    bool have_library = false;
    // Dir's index, or null while Dir does not exist yet (an empty library).
    ra_library_index *index = nullptr;
    std::string error;
};

// The settings, read again when the INI changed, and with `library` Dir's
// index, refreshed once; the caller holds app.library.
ra_snapshot ra_take_snapshot(ra_app &app, ra_route_reads reads);

// What the page says above the library: that Dir changed in the INI, and
// that no race was saved yet.
std::string ra_library_notice(const ra_app &app, const ra_game_setup &setup);

// The entries of Dir of exactly this file name, with their record lines;
// an exit status, with the reason in out->err.
int ra_library_entries(const ra_snapshot &now, const std::string &file, ra_replay_list *list,
                       ra_output *out);

// Whether the list shows exactly this file name (a friend's replay counts:
// its own check names what is wrong with it). True as well when the library
// cannot be read: the handler then says why.
bool ra_list_shows(const ra_snapshot &now, const std::string &file);

// The entry of the list with exactly this file name (as the list shows it).
const ra_replay *ra_entry(const ra_replay_list &list, const std::string &file);

// A rebuild under way: {"done": n, "total": n}, or null.
nlohmann::json ra_indexing(const ra_app &app);
