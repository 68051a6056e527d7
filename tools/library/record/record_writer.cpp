// Writing a record line in the plug-in's form.
#include "library/record/record_writer.h"

#include <stdint.h>

#include "autosave/record_cell.h"

namespace {

// A cell's text at its longest: every byte a doubled quote, the mark and
// the two quotes around it.
const size_t ra_cell_extra = 3;

// The longest value whose cell the plug-in's writer can count in 32 bits.
// A longer one (2 GiB) is written empty: no line of the plug-in holds one.
const size_t ra_cell_value_max = (UINT32_MAX - ra_cell_extra) / 2;

// A lap time as the plug-in writes it ("80.10", "0.00") where a spreadsheet
// dropped its zeros ("80.1", "0"); any other text as it is.
std::string ra_plugin_lap(const std::string &value) {
    uint32_t lap = ra_parse_lap(value);
    if (lap != 0) return ra_format_lap_seconds(lap);
    if (!value.empty() && value.find_first_not_of("0.,") == std::string::npos &&
        value.find_first_of("0") == 0) {
        return ra_format_lap_seconds(0);
    }
    return value;
}

// A value as the plug-in writes a text, appended to line. The plug-in's
// numbers and words never start with a character it marks, nor hold one it
// quotes, so its text writer serves every column.
void ra_put_plugin_cell(std::string *line, const std::string &value) {
    if (value.size() > ra_cell_value_max) return;
    const size_t at = line->size();
    line->resize(at + ra_cell_extra + 2 * value.size());
    uint32_t fill = 0;
    ra_record_put_cell(&(*line)[at], (uint32_t)(line->size() - at), &fill, value.data(),
                       value.data() + value.size());
    line->resize(at + fill);
}

}  // namespace

std::string ra_plugin_form(const ra_record &record) {
    // Which columns hold lap times, found once for every line.
    static const std::vector<bool> lap_column = [] {
        std::vector<bool> laps;
        for (const std::string &column : ra_plugin_columns())
            laps.push_back(ra_hundredths_column(column));
        return laps;
    }();
    std::string line;
    for (size_t i = 0; i < lap_column.size(); ++i) {
        if (i > 0) line += ',';
        const std::string value = record.get_plugin(i);
        ra_put_plugin_cell(&line, lap_column[i] ? ra_plugin_lap(value) : value);
    }
    return line + "\r\n";
}
