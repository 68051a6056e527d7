// The record file the plug-in keeps in Dir, "replays.csv": a header line
// that names the columns, then one line per saved replay (the saved name,
// when it was saved, the facts of the race, the game's replay it came
// from). Columns are found by their header name, so that columns added or
// moved later do not matter; a line that does not fit the header, or a
// file whose header is not the plug-in's, is damaged or foreign and is
// skipped with a warning.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "local_time.h"

// The record file's name in Dir.
extern const char ra_records_file[];

// Names of the columns the companion reads.
extern const char ra_column_file[];      // saved name in Dir
extern const char ra_column_saved[];     // when it was saved, "YYYY-MM-DD HH:MM:SS"
extern const char ra_column_type[];      // race type code, e.g. "SR"
extern const char ra_column_track[];     // track folder, upper case
extern const char ra_column_laps[];      // number of laps
extern const char ra_column_source[];    // the game's replay it was copied from
extern const char ra_column_best_lap[];  // + car number 1..16: best lap of that car

// One usable line of the record file.
struct ra_record {
    int line = 0;              // line of the file where it starts
    std::string file;          // saved name in Dir, e.g. "2026-03-07_21-05-09_SR_ALPINE_3L.rp4"
    ra_time saved;             // when the plug-in saved it
    uint32_t fastest_lap = 0;  // fastest lap of the race in hundredths; 0 when nobody set one
    int fastest_car = 0;       // the car (1..16) that set it; 0 when nobody did
    std::map<std::string, std::string> columns;  // every value by its column name

    // The value of the column; empty when the file has no such column.
    const std::string &get(const std::string &column) const;
};

struct ra_records {
    bool found = false;                 // the record file exists
    std::vector<ra_record> lines;       // the usable lines, in file order
    std::vector<std::string> warnings;  // one per damaged or foreign line, or one for the file
};

// The record file's text; `shown` names the file in the warnings.
void ra_parse_records(const std::string &text, const std::string &shown, ra_records *out);

// The record file in dir (shown as `shown` in warnings): not found when it
// does not exist, a warning when it cannot be read.
void ra_read_records(const std::filesystem::path &dir, const std::string &shown, ra_records *out);

// The latest line that names this file (ignoring letter case, as Windows
// compares names), or null.
const ra_record *ra_record_for(const ra_records &records, const std::string &file);

// The newest line by its saved time (of equal times the later line), or null.
const ra_record *ra_newest_record(const ra_records &records);

// A lap time as the plug-in writes it, seconds and hundredths ("81.44"), in
// hundredths; 0 for an empty or zero value, or one in another form.
uint32_t ra_parse_lap(const std::string &text);

// A lap time in hundredths as minutes, seconds and hundredths ("1:21.44").
std::string ra_format_lap(uint32_t hundredths);

// A lap time in hundredths as the plug-in writes it ("81.44").
std::string ra_format_lap_seconds(uint32_t hundredths);
