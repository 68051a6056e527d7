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
// how many lines and which one for example. The values are decoded here,
// once, from the record's bytes: what a record holds is UTF-8 text.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "library/record/lap_time.h"
#include "library/text/local_time.h"
#include "library/record/record_schema.h"

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
    // The same of one car's column (get(ra_car_column(...)) without a look
    // for the name); empty for a car outside 1..16.
    std::string get_car(ra_car_field field, int car) const;
    // The same of the plug-in's column i (ra_plugin_columns()[i]) without a
    // look for its name; empty past the last.
    std::string get_plugin(size_t i) const;

    std::shared_ptr<const ra_record_layout> layout;
    std::shared_ptr<const ra_record_values> values;
};

struct ra_records {
    bool found = false;                 // the record file exists
    std::vector<ra_record> lines;       // the usable lines, in file order
    std::vector<std::string> warnings;  // one per cause of trouble
    std::vector<int> skipped;           // lines that could not be read, in file order
};

// The mark of UTF-8 a spreadsheet writes first in a record it saves so, and
// the companion first in a record of its own (a friend's replays.csv).
extern const char ra_utf8_mark[4];

// How the bytes given to the reader are text.
enum class ra_record_bytes {
    // A record file's, in the game's code page as the plug-in writes it
    // (platform/game_text.h). After the mark of UTF-8 that a spreadsheet
    // writes first, a value that is UTF-8 is read as such, and any other
    // as the game's: the plug-in goes on appending its own lines.
    file,
    // The companion's own, UTF-8 already: a share's lines, lines written back.
    utf8,
};

// The record file's text; `shown` names the file in the warnings.
void ra_parse_records(const std::string &text, const std::string &shown, ra_records *out,
                      ra_record_bytes bytes = ra_record_bytes::file);

// The record file in dir (shown as `shown` in warnings): not found when it
// does not exist, a warning when it cannot be read.
void ra_read_records(const std::filesystem::path &dir, const std::string &shown, ra_records *out);

// The same, with the usable lines handed to `each` part_lines at a time, in
// file order, instead of kept in out->lines: a long career's lines need not
// all be in memory at once. Each part's `lines` holds only its own; *out
// ends with the rest (found, warnings, skipped). False when `each` returned
// false, which stops the reading.
bool ra_read_records_in_parts(const std::filesystem::path &dir, const std::string &shown,
                              size_t part_lines,
                              const std::function<bool(const ra_records &part)> &each,
                              ra_records *out);

// The latest line that names this file (ignoring letter case, as Windows
// compares names), or null.
const ra_record *ra_record_for(const ra_records &records, const std::string &file);

// The newest line by its saved time (of equal times the later line), or null.
const ra_record *ra_newest_record(const ra_records &records);

// A line as the library's index keeps it (library_index.h): its layout's
// column names and its values in the plug-in's form, and back. Lines of one
// layout share it: ra_record_layout_of makes one for many lines.
std::vector<std::string> ra_record_columns(const ra_record &record);
std::vector<std::string> ra_record_fields(const ra_record &record);
std::shared_ptr<const ra_record_layout> ra_record_layout_of(
    const std::vector<std::string> &columns);
// The values as one block: the length of each (7 bits a byte, low bits
// first, the top bit set while more follow), then all their bytes.
std::string ra_record_packed(const ra_record &record);
// False when the block cannot be a usable line of that layout (as a damaged
// index may give).
bool ra_record_of_packed(int line, const std::shared_ptr<const ra_record_layout> &layout,
                         const char *packed, size_t size, ra_record *out);
// The line of that layout with these values (one per column), as a share
// changes a value; false when they cannot be a usable line.
bool ra_record_of_fields(int line, const std::shared_ptr<const ra_record_layout> &layout,
                         const std::vector<std::string> &fields, ra_record *out);
