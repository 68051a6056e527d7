// Reading the plug-in's record file.
#include "records.h"

#include <stdio.h>
#include <string.h>

#include <system_error>

#include "autosave/autosave.h"
#include "csv.h"
#include "files.h"
#include "naming/naming.h"
#include "settings/settings.h"
#include "snapshot/race_context.h"

// The plug-in names the file; we only read it.
const char ra_records_file[] = RA_RECORD_FILE;

// A line without a file and a saved time is of no use; a header without
// them is not the plug-in's.
const char ra_column_file[] = "file";
const char ra_column_saved[] = "saved";
const char ra_column_type[] = "type";
const char ra_column_track[] = "track";
const char ra_column_laps[] = "laps";
const char ra_column_source[] = "source";
const char ra_column_best_lap[] = "best_lap_car";

namespace {

const char ra_utf8_bom[] = "\xEF\xBB\xBF";

// A name the plug-in can have saved in Dir: characters it keeps in names
// only, and its extension. Anything else (a folder, "..") is foreign and
// must never lead us out of Dir.
bool ra_saved_name(const std::string &name) {
    const size_t ext = sizeof RA_REPLAY_EXT - 1;
    if (name.size() < ext || !ra_ieq(name.c_str() + name.size() - ext, RA_REPLAY_EXT)) return false;
    for (char c : name) {
        if (!vqra_char_ok((unsigned char)c)) return false;
    }
    return true;
}

// The game's replay, in any folder: the only file a restore writes to.
bool ra_replay_source(const std::string &path) {
    size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return ra_ieq(name.c_str(), RA_REPLAY_FILE) != 0;
}

// The record of one data row, or false when the row is damaged or foreign.
bool ra_make_record(const std::vector<std::string> &header, const ra_csv_row &row, ra_record *out) {
    if (!row.well_formed || row.fields.size() != header.size()) return false;
    ra_record record;
    record.line = row.line;
    for (size_t i = 0; i < header.size(); ++i) record.columns.emplace(header[i], row.fields[i]);
    record.file = record.get(ra_column_file);
    if (!ra_saved_name(record.file)) return false;
    if (!ra_parse_time(record.get(ra_column_saved), &record.saved)) return false;
    const std::string &source = record.get(ra_column_source);
    if (!source.empty() && !ra_replay_source(source)) return false;
    for (int car = 1; car <= RA_CARS; ++car) {
        uint32_t lap = ra_parse_lap(record.get(ra_column_best_lap + std::to_string(car)));
        if (lap != 0 && (record.fastest_lap == 0 || lap < record.fastest_lap)) {
            record.fastest_lap = lap;
            record.fastest_car = car;
        }
    }
    *out = record;
    return true;
}

bool ra_has(const std::vector<std::string> &header, const char *column) {
    for (const std::string &name : header) {
        if (name == column) return true;
    }
    return false;
}

}  // namespace

const std::string &ra_record::get(const std::string &column) const {
    static const std::string none;
    auto found = columns.find(column);
    return found == columns.end() ? none : found->second;
}

void ra_parse_records(const std::string &all, const std::string &shown, ra_records *out) {
    out->found = true;
    out->lines.clear();
    out->warnings.clear();
    std::string text = all.compare(0, 3, ra_utf8_bom) == 0 ? all.substr(3) : all;
    std::vector<ra_csv_row> rows = ra_csv_rows(text);
    if (rows.empty()) return;
    const std::vector<std::string> &header = rows[0].fields;
    if (!rows[0].well_formed || !ra_has(header, ra_column_file) ||
        !ra_has(header, ra_column_saved)) {
        out->warnings.push_back(shown +
                                ": not the plug-in's record file (its first line names no "
                                "\"file\" and \"saved\" columns); it is not used");
        return;
    }
    for (size_t i = 1; i < rows.size(); ++i) {
        const ra_csv_row &row = rows[i];
        // An empty line carries nothing; it is no damage either.
        if (row.well_formed && row.fields.size() == 1 && row.fields[0].empty()) continue;
        ra_record record;
        if (ra_make_record(header, row, &record)) {
            out->lines.push_back(record);
        } else {
            out->warnings.push_back(shown + " line " + std::to_string(row.line) +
                                    ": a damaged or foreign line, skipped");
        }
    }
}

void ra_read_records(const std::filesystem::path &dir, const std::string &shown, ra_records *out) {
    *out = ra_records();
    std::filesystem::path path = dir / ra_records_file;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return;
    out->found = true;
    std::string text, why;
    if (!ra_read_file(path, &text, &why)) {
        out->warnings.push_back("cannot read " + shown + ": " + why +
                                "; what it records is not shown");
        return;
    }
    ra_parse_records(text, shown, out);
}

const ra_record *ra_record_for(const ra_records &records, const std::string &file) {
    const ra_record *found = nullptr;
    for (const ra_record &r : records.lines) {
        if (ra_ieq(r.file.c_str(), file.c_str())) found = &r;
    }
    return found;
}

const ra_record *ra_newest_record(const ra_records &records) {
    const ra_record *newest = nullptr;
    for (const ra_record &r : records.lines) {
        if (newest == nullptr || !(r.saved < newest->saved)) newest = &r;
    }
    return newest;
}

uint32_t ra_parse_lap(const std::string &text) {
    // Digits, '.', two digits: what %best_lap_carN% writes.
    size_t dot = text.find('.');
    if (dot == std::string::npos || dot == 0 || dot > 7 || text.size() != dot + 3) return 0;
    uint32_t hundredths = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == dot) continue;
        if (text[i] < '0' || text[i] > '9') return 0;
        hundredths = hundredths * 10u + (uint32_t)(text[i] - '0');
    }
    return hundredths;
}

std::string ra_format_lap(uint32_t hundredths) {
    char text[32];
    snprintf(text, sizeof text, "%u:%02u.%02u", hundredths / 6000u, hundredths / 100u % 60u,
             hundredths % 100u);
    return text;
}

std::string ra_format_lap_seconds(uint32_t hundredths) {
    char text[32];
    snprintf(text, sizeof text, "%u.%02u", hundredths / 100u, hundredths % 100u);
    return text;
}
