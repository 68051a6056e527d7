// The record file the plug-in keeps in Dir, "replays.csv": a header line
// that names the columns, then one line per saved replay (the saved name,
// when it was saved, the facts of the race, the game's replay it came
// from). A line with exactly as many fields as the plug-in writes is the
// plug-in's own and is read in its column order, whatever the header says
// (a spreadsheet may have removed a column from the header and the older
// lines); any other line is read by the header, so that lines of an older
// plug-in keep their meaning. What a spreadsheet writes back is read too:
// ';' or a tab between the fields, its forms of dates, a lap of "81.4".
// A line that cannot be read is skipped; the warnings say, once per cause,
// how many lines and which one for example.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "library/local_time.h"

// The record file's name in Dir.
extern const char ra_records_file[];

// Names of the columns the companion reads.
extern const char ra_column_file[];      // saved name in Dir
extern const char ra_column_saved[];     // when it was saved, "YYYY-MM-DD HH:MM:SS"
extern const char ra_column_started[];   // when the race started, the same form
extern const char ra_column_type[];      // race type code, e.g. "SR"
extern const char ra_column_track[];     // track folder, upper case
extern const char ra_column_laps[];      // number of laps
extern const char ra_column_source[];    // the game's replay it was copied from
extern const char ra_column_best_lap[];  // + car number 1..16: best lap of that car
extern const char ra_column_player[];    // the player's car number 1..16, 0 unknown

// The columns of a line, by name: shared by all lines of one header.
struct ra_record_layout;
// The values of one line in its layout's order.
struct ra_record_values;

// One usable line of the record file. Copies share the line's values.
struct ra_record {
    int line = 0;              // line of the file where it starts
    std::string file;          // saved name in Dir, e.g. "2026-03-07_21-05-09_SR_ALPINE_3L.rp4"
    ra_time saved;             // when the plug-in saved it
    uint32_t fastest_lap = 0;  // fastest lap of the race in hundredths; 0 when nobody set one
    int fastest_car = 0;       // the car (1..16) that set it; 0 when nobody did
    int player = 0;            // the player's car (1..16); 0 unknown, or an older line

    // The value of the column as the plug-in wrote it: text without the
    // mark of a formula-like text, times as "YYYY-MM-DD HH:MM:SS"; empty
    // when the line has no such column.
    std::string get(const std::string &column) const;

    std::shared_ptr<const ra_record_layout> layout;
    std::shared_ptr<const ra_record_values> values;
};

struct ra_records {
    bool found = false;                 // the record file exists
    std::vector<ra_record> lines;       // the usable lines, in file order
    std::vector<std::string> warnings;  // one per cause of trouble
    std::vector<int> skipped;           // lines that could not be read, in file order
};

// The record file's text; `shown` names the file in the warnings.
void ra_parse_records(const std::string &text, const std::string &shown, ra_records *out);

// The record file in dir (shown as `shown` in warnings): not found when it
// does not exist, a warning when it cannot be read.
void ra_read_records(const std::filesystem::path &dir, const std::string &shown, ra_records *out);

// The line as the plug-in writes it, ended by CR LF: the plug-in's columns
// in its order, text as it quotes and marks it, lap times as "80.10".
// Reading it gives the record back.
std::string ra_plugin_form(const ra_record &record);

// The plug-in's columns in its order, as its own header names them.
const std::vector<std::string> &ra_plugin_columns(void);

// The latest line that names this file (ignoring letter case, as Windows
// compares names), or null.
const ra_record *ra_record_for(const ra_records &records, const std::string &file);

// The newest line by its saved time (of equal times the later line), or null.
const ra_record *ra_newest_record(const ra_records &records);

// A lap time as the plug-in writes it, seconds and hundredths ("81.44"), or
// as a spreadsheet writes it back ("81.4", "81", "81,44"), in hundredths;
// 0 for an empty or zero value, or one in another form.
uint32_t ra_parse_lap(const std::string &text);

// A lap time in hundredths as minutes, seconds and hundredths ("1:21.44").
std::string ra_format_lap(uint32_t hundredths);

// A lap time in hundredths as the plug-in writes it ("81.44").
std::string ra_format_lap_seconds(uint32_t hundredths);
