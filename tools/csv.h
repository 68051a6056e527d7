// Comma-separated values as RFC 4180 writes them: fields separated by ',',
// records by CR LF (a lone LF or CR is taken too), a field that holds a
// comma, a double quote, CR or LF is quoted and its quotes are doubled.
#pragma once

#include <string>
#include <vector>

// One record of the text.
struct ra_csv_row {
    int line = 0;                     // 1-based line of the text where it starts
    std::vector<std::string> fields;  // values, quotes removed
    bool well_formed = true;          // false: a quote that never closes, or text after one
};

// Every record of text, in order. A record with a quote that never closes
// ends with its first line, so that the lines after it are read again.
std::vector<ra_csv_row> ra_csv_rows(const std::string &text);

// The value as one field: as it is, or quoted when it must be.
std::string ra_csv_field(const std::string &value);
