// The columns of the plug-in's record file, replays.csv, as the companion
// reads them: every name once, spelt by the plug-in's own header
// (autosave/record_columns.h), for the reader, the writer, the list, the
// page, the racers and the app's pages alike.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

// The record file's name in Dir.
extern const char ra_records_file[];

// The columns the companion reads. A line without a file and a saved time
// is of no use; a header without them is not the plug-in's.
extern const char ra_column_file[];        // saved name in Dir
extern const char ra_column_saved[];       // when it was saved, "YYYY-MM-DD HH:MM:SS"
extern const char ra_column_started[];     // when the race started, the same form
extern const char ra_column_type[];        // race type code, e.g. "SR"
extern const char ra_column_track[];       // track folder, upper case
extern const char ra_column_laps[];        // number of laps
extern const char ra_column_cars[];        // number of cars
extern const char ra_column_weather[];     // WET or DRY
extern const char ra_column_night[];       // NIGHT or DAY
extern const char ra_column_direction[];   // REVERSE or NORMAL
extern const char ra_column_start_pos[];   // the player's start position + 1, or 0
extern const char ra_column_source[];      // the game's replay it was copied from
extern const char ra_column_player[];      // the player's car number 1..16, 0 unknown
extern const char ra_column_replay_md5[];  // the saved copy's digest (ra_replay_digest), or ""
// Numbered by car, 1..16 (ra_car_column).
extern const char ra_column_name[];        // the racer's name
extern const char ra_column_best_lap[];    // best lap of that car
extern const char ra_column_total_time[];  // its race time
extern const char ra_column_max_speed[];   // its top speed, km/h

// A numbered column of one car: "name" and 3 give "name3".
std::string ra_car_column(const char *prefix, int car);

// The numbered columns by what they hold, for ra_record::get_car: the
// prefix of each in ra_car_prefixes.
enum ra_car_field { ra_car_name, ra_car_best_lap, ra_car_total_time, ra_car_max_speed };
const size_t ra_car_prefix_count = 4;
extern const char *const ra_car_prefixes[ra_car_prefix_count];

// True for a column of times in hundredths, as "81.44": best laps and race times.
bool ra_hundredths_column(const std::string &column);

// The plug-in's columns in its order, as its own header names them.
const std::vector<std::string> &ra_plugin_columns(void);
