#include "companion_fixture.h"

#include <stdio.h>
#include <time.h>
#include <utime.h>

#include <vector>

#include "autosave/autosave.h"

namespace {

// The columns as the plug-in's own header names them.
std::vector<std::string> ra_test_columns(void) {
    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    ra_record_header(buf, &fill);
    std::vector<std::string> columns;
    std::string header(buf, fill - 2);  // without its CR LF
    for (size_t at = 0; at <= header.size();) {
        size_t comma = header.find(',', at);
        if (comma == std::string::npos) comma = header.size();
        columns.push_back(header.substr(at, comma - at));
        at = comma + 1;
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
    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    ra_record_header(buf, &fill);
    return std::string(buf, fill);
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

std::string ra_test_local_time_ago(int seconds) {
    time_t when = time(nullptr) - seconds;
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", localtime(&when));
    return text;
}
