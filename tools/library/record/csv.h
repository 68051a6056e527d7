// Comma-separated values as RFC 4180 writes them, one record per line: fields
// separated by ',' (or the separator a spreadsheet chose), lines by CR LF
// (a lone LF or CR is taken too), a field that holds the separator or a
// double quote is quoted and its quotes are doubled. The plug-in never
// writes a line break inside a field, so a quote still open at the end of
// its line is damage: that line is given up and the next one read afresh.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

// What is wrong with a line, if anything.
enum class ra_csv_fault {
    none,
    open_quote,   // a quote that is still open at the end of the line
    stray_quote,  // a quote in a field that is not quoted, or text after a
                  // closing quote, e.g. "ALPINE"x
};

// The lines of a text, one at a time, without copying the text.
struct ra_csv_lines {
    const std::string *text = nullptr;
    size_t pos = 0;  // where the next line starts
    int line = 0;    // 1-based number of the line last taken
};

// The next line of lines->text into *begin and *end (its line end not
// included); false at the end of the text.
bool ra_csv_next_line(ra_csv_lines *lines, const char **begin, const char **end);

// The fields of one line split at sep into *fields (quotes removed); the
// line's fault, if any. With a fault the fields are not to be used.
ra_csv_fault ra_csv_split(const char *begin, const char *end, char sep,
                          std::vector<std::string> *fields);

// The value as one comma-separated field: as it is, or quoted when it must be.
std::string ra_csv_field(const std::string &value);
