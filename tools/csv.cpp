// Reading and writing RFC 4180 fields.
#include "csv.h"

namespace {

bool ra_csv_line_end(char c) { return c == '\r' || c == '\n'; }

// Past the line end at pos ("\r\n", "\n" or "\r").
size_t ra_csv_skip_line_end(const std::string &text, size_t pos) {
    if (pos < text.size() && text[pos] == '\r') {
        ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
    } else if (pos < text.size() && text[pos] == '\n') {
        ++pos;
    }
    return pos;
}

}  // namespace

std::vector<ra_csv_row> ra_csv_rows(const std::string &text) {
    std::vector<ra_csv_row> rows;
    size_t pos = 0;
    int line = 1;
    const size_t n = text.size();
    while (pos < n) {
        ra_csv_row row;
        row.line = line;
        const size_t row_start = pos;
        bool unterminated = false;
        for (;;) {
            std::string field;
            if (pos < n && text[pos] == '"') {
                ++pos;
                bool closed = false;
                while (pos < n) {
                    char c = text[pos];
                    if (c == '"') {
                        if (pos + 1 < n && text[pos + 1] == '"') {
                            field += '"';
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        closed = true;
                        break;
                    }
                    // A line end inside quotes is part of the value.
                    if (c == '\n' || (c == '\r' && (pos + 1 >= n || text[pos + 1] != '\n'))) {
                        ++line;
                    }
                    field += c;
                    ++pos;
                }
                if (!closed) {
                    unterminated = true;
                    break;
                }
                if (pos < n && text[pos] != ',' && !ra_csv_line_end(text[pos])) {
                    // Text after the closing quote: keep it, but the record is damaged.
                    row.well_formed = false;
                    while (pos < n && text[pos] != ',' && !ra_csv_line_end(text[pos])) {
                        field += text[pos++];
                    }
                }
            } else {
                while (pos < n && text[pos] != ',' && !ra_csv_line_end(text[pos])) {
                    field += text[pos++];
                }
            }
            row.fields.push_back(field);
            if (pos < n && text[pos] == ',') {
                ++pos;
                continue;
            }
            break;
        }
        if (unterminated) {
            // The record is cut at the end of its first line.
            row.well_formed = false;
            row.fields.clear();
            pos = row_start;
            while (pos < n && !ra_csv_line_end(text[pos])) ++pos;
            line = row.line;
        }
        if (pos < n) {
            pos = ra_csv_skip_line_end(text, pos);
            ++line;
        }
        rows.push_back(row);
    }
    return rows;
}

std::string ra_csv_field(const std::string &value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}
