// Reading and writing RFC 4180 fields, a line at a time.
#include "library/record/csv.h"

bool ra_csv_next_line(ra_csv_lines *lines, const char **begin, const char **end) {
    const std::string &text = *lines->text;
    size_t pos = lines->pos;
    if (pos >= text.size()) return false;
    size_t stop = text.find_first_of("\r\n", pos);
    if (stop == std::string::npos) stop = text.size();
    *begin = text.data() + pos;
    *end = text.data() + stop;
    // Past "\r\n", "\n" or "\r".
    if (stop < text.size() && text[stop] == '\r') ++stop;
    if (stop < text.size() && text[stop] == '\n') ++stop;
    lines->pos = stop;
    ++lines->line;
    return true;
}

ra_csv_fault ra_csv_split(const char *begin, const char *end, char sep,
                          std::vector<std::string> *fields) {
    fields->clear();
    const char *p = begin;
    for (;;) {
        fields->emplace_back();
        std::string &field = fields->back();
        if (p < end && *p == '"') {
            ++p;
            for (;;) {
                if (p == end) return ra_csv_fault::open_quote;
                if (*p == '"') {
                    if (p + 1 < end && p[1] == '"') {
                        field += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                field += *p++;
            }
            if (p < end && *p != sep) return ra_csv_fault::stray_quote;
        } else {
            const char *start = p;
            while (p < end && *p != sep) ++p;
            field.assign(start, p);
            // Only a quoted field may hold a quote.
            if (field.find('"') != std::string::npos) return ra_csv_fault::stray_quote;
        }
        if (p == end) return ra_csv_fault::none;
        ++p;  // the separator
    }
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
