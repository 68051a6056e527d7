#include "companion_fixture.h"

#include <stdio.h>
#include <time.h>
#include <utime.h>

#include <vector>

namespace {

std::vector<std::string> ra_test_columns(void) {
    std::vector<std::string> columns = {
        "file",  "saved",        "started",       "type",      "track",  "laps",
        "cars",  "count",        "cops",          "traffic",   "tier",   "circ",
        "seed",  "weather",      "night",         "direction", "mirror", "start_pos",
        "index", "track_tr_md5", "track_trn_md5", "source"};
    for (const char *per_car : {"name", "best_lap_car", "total_time_car", "max_speed_car"}) {
        for (int car = 1; car <= 16; ++car) columns.push_back(per_car + std::to_string(car));
    }
    return columns;
}

std::string ra_test_quoted(const std::string &value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string out = "\"";
    for (char c : value) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

}  // namespace

std::string ra_test_record_header(void) {
    std::string line;
    for (const std::string &c : ra_test_columns()) line += (line.empty() ? "" : ",") + c;
    return line + "\r\n";
}

std::string ra_test_record_line(const std::map<std::string, std::string> &values) {
    std::string line;
    bool first = true;
    for (const std::string &c : ra_test_columns()) {
        auto found = values.find(c);
        line += (first ? "" : ",") + (found == values.end() ? "" : ra_test_quoted(found->second));
        first = false;
    }
    return line + "\r\n";
}

bool ra_test_set_file_time(const std::string &path, const char *local) {
    struct tm t = {};
    if (sscanf(local, "%d-%d-%d %d:%d:%d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour, &t.tm_min,
               &t.tm_sec) != 6) {
        return false;
    }
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    t.tm_isdst = -1;
    struct utimbuf times;
    times.actime = times.modtime = mktime(&t);
    return utime(path.c_str(), &times) == 0;
}
