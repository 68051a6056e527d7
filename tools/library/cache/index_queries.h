// What the library app asks of the index (library_index.h): a page of rows
// by filters and a sort, the rows changed since a cursor, the choices of
// the filters, and a racer's laps on one track and race type for a chart.
// Each answers from SQLite alone, never from the whole list in memory.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "library/cache/library_index.h"

// Rows asked for at once at most.
extern const size_t ra_rows_max;
// Rows a "what changed" answer carries at most; more ask for a reload.
extern const size_t ra_changes_max;

// One entry of the list as the app shows it, its texts in UTF-8.
struct ra_index_row {
    std::string file;                              // name in Dir
    std::string when;                              // "YYYY-MM-DD HH:MM:SS"
    std::string type, track, laps, cars, weather;  // "" unknown
    uint32_t lap = 0;                              // fastest lap of the race in hundredths, 0 none
    std::string lap_by;                            // who set it
    std::vector<std::pair<std::string, uint32_t>> laps_by;  // each racer's best lap
    uint32_t yours = 0;                                     // the chosen racer's best lap, 0 none
    bool pb = false;           // that lap was their personal best on the track
    int state = 0;             // ra_replay_state
    int kind = 0;              // ra_replay_kind
    std::string renamed_from;  // the line's own name, when renamed
    bool copy = false;         // an unrecorded file that holds a race
    bool kept = false;         // the player's keep mark
    bool details = false;      // a record line tells its facts
};

// A race's name for people, as ra_race_name gives it.
std::string ra_row_name(const ra_index_row &row);

// What a page of rows is asked for with.
struct ra_row_query {
    size_t offset = 0, limit = 100;  // limit is capped at ra_rows_max
    std::string sort = "when";       // when, type, track, laps, cars, weather, lap, yours, file
    bool desc = true;
    std::string track, type, weather;  // filters, any letter case
    std::string racer;                 // whose lap is "yours", and whose personal bests
    bool pb = false;                   // only races with a personal best of racer
    bool kept = false;                 // only races the player keeps
    std::string text;                  // in a file name or a racer's name, any letter case
    bool others = false;               // the other files instead of the races
};

// The rows of a query and how many match in all.
bool ra_query_rows(sqlite3 *db, const ra_row_query &query, size_t *total,
                   std::vector<ra_index_row> *rows);

// The rows changed since a version (rows as of now, with racer's laps), and
// the names of those removed; false with *too_many when there are more than
// ra_changes_max. *grown when rows came or went (the counts changed).
bool ra_query_changes(sqlite3 *db, int64_t since, const std::string &racer,
                      std::vector<ra_index_row> *changed, std::vector<std::string> *removed,
                      bool *grown, bool *too_many);

// The choices of the filters and the summary's counts: the same for every
// racer, so that the app asks them once for each change of the library.
struct ra_index_choices {
    size_t races = 0;   // races whose file is there
    size_t gone = 0;    // races whose file is gone
    size_t others = 0;  // the other files
    std::vector<std::string> tracks, types, weather;
    std::vector<std::string> racers;  // most races first, as ra_racer_names
    std::vector<std::string> warnings;
};
bool ra_query_choices(sqlite3 *db, ra_index_choices *out);

// The track and type pairs in which a racer has a lap, with their races.
struct ra_racer_group {
    std::string track, type;
    size_t races = 0;
};
bool ra_query_groups(sqlite3 *db, const std::string &racer, std::vector<ra_racer_group> *out);

// One race of a racer on a chart: a lap of theirs on one track and type.
struct ra_chart_lap {
    std::string file, when;
    uint32_t lap = 0;
    bool pb = false;  // faster than each earlier lap of theirs on this track and type
};
// Every lap of the racer on the track and type, oldest first.
bool ra_query_chart(sqlite3 *db, const std::string &racer, const std::string &track,
                    const std::string &type, std::vector<ra_chart_lap> *out);
