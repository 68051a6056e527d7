// The record file's columns, by the plug-in's own names.
#include "library/record/record_schema.h"

#include <stdint.h>

#include "autosave/autosave.h"
#include "autosave/record_columns.h"
#include "library/record/csv.h"

// The plug-in names the file; we only read it.
const char ra_records_file[] = RA_RECORD_FILE;

const char ra_column_file[] = RA_COLUMN_FILE;
const char ra_column_saved[] = RA_COLUMN_SAVED;
const char ra_column_started[] = RA_COLUMN_STARTED;
const char ra_column_type[] = RA_COLUMN_TYPE;
const char ra_column_track[] = RA_COLUMN_TRACK;
const char ra_column_laps[] = RA_COLUMN_LAPS;
const char ra_column_cars[] = RA_COLUMN_CARS;
const char ra_column_weather[] = RA_COLUMN_WEATHER;
const char ra_column_night[] = RA_COLUMN_NIGHT;
const char ra_column_direction[] = RA_COLUMN_DIRECTION;
const char ra_column_start_pos[] = RA_COLUMN_START_POS;
const char ra_column_source[] = RA_COLUMN_SOURCE;
const char ra_column_player[] = RA_COLUMN_PLAYER;
const char ra_column_replay_md5[] = RA_COLUMN_REPLAY_MD5;
const char ra_column_name[] = RA_COLUMN_NAME;
const char ra_column_best_lap[] = RA_COLUMN_BEST_LAP;
const char ra_column_total_time[] = RA_COLUMN_TOTAL_TIME;
const char ra_column_max_speed[] = RA_COLUMN_MAX_SPEED;

std::string ra_car_column(const char *prefix, int car) { return prefix + std::to_string(car); }

const char *const ra_car_prefixes[ra_car_prefix_count] = {
    ra_column_name, ra_column_best_lap, ra_column_total_time, ra_column_max_speed};

bool ra_hundredths_column(const std::string &column) {
    for (const char *prefix : {ra_column_best_lap, ra_column_total_time}) {
        if (column.compare(0, std::char_traits<char>::length(prefix), prefix) == 0) return true;
    }
    return false;
}

const std::vector<std::string> &ra_plugin_columns(void) {
    // Taken from the plug-in's own header, so that the two cannot disagree.
    static const std::vector<std::string> columns = [] {
        char buf[RA_RECORD_BUF];
        uint32_t fill = 0;
        ra_record_header(buf, &fill);
        std::vector<std::string> names;
        ra_csv_split(buf, buf + fill - 2, ',', &names);  // without its CR LF
        return names;
    }();
    return columns;
}
