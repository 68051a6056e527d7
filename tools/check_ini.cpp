// Our own reading of the INI text: which sections and keys it holds, and the
// raw values. It follows the profile services' rules so that it sees the
// same keys the plug-in's loader sees; the values the plug-in uses always
// come from the loader itself.
#include <string.h>

#include "check.h"
#include "check_internal.h"
#include "settings/settings.h"

namespace {

bool ra_check_blank(char c) { return c == ' ' || c == '\t'; }

std::string ra_check_trim(const std::string &s) {
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && ra_check_blank(s[begin])) ++begin;
    while (end > begin && ra_check_blank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

// The profile services drop one pair of matching quotes around a value.
std::string ra_check_unquote(const std::string &v) {
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

}  // namespace

bool ra_check_same_name(const std::string &a, const std::string &b) {
    return ra_ieq(a.c_str(), b.c_str()) != 0;
}

bool ra_check_leading_int(const std::string &text, int64_t *value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t v = 0;
    bool digits = false;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        digits = true;  // "0x" alone reads as 0
        for (i += 2; i < text.size(); ++i) {
            char c = text[i];
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0) break;
            v = (v * 16 + d) & 0xFFFFFFFF;
        }
    } else {
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            v = (v * 10 + (text[i] - '0')) & 0xFFFFFFFF;
            digits = true;
        }
    }
    *value = negative ? -v : v;
    return digits;
}

void ra_check_scan_ini(const std::string &all, ra_check_ini *out) {
    *out = ra_check_ini();
    std::string text = all.compare(0, 3, "\xEF\xBB\xBF") == 0 ? all.substr(3) : all;
    // Where the lines being read belong.
    enum { above_sections, in_ours, elsewhere } where = above_sections;
    int line_no = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string line = ra_check_trim(text.substr(pos, end - pos));
        // "\r\n" ends one line, as do "\n" and "\r" alone.
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        ++line_no;
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            std::string name =
                ra_check_trim(line.substr(1, close == std::string::npos ? close : close - 1));
            if (!ra_check_same_name(name, RA_INI_SECTION)) {
                out->other_sections.push_back({name, "", line_no});
                where = elsewhere;
            } else if (!out->has_section) {
                out->has_section = true;
                out->section_line = line_no;
                where = in_ours;
            } else {
                // The services stop at the end of the first section of a name.
                out->repeated_section.push_back(line_no);
                where = elsewhere;
            }
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            if (where == in_ours) out->no_equals.push_back({line, "", line_no});
            continue;
        }
        ra_check_entry entry{ra_check_trim(line.substr(0, eq)),
                             ra_check_unquote(ra_check_trim(line.substr(eq + 1))), line_no};
        if (where == in_ours) out->keys.push_back(entry);
        if (where == above_sections) out->outside.push_back(entry);
    }
}

const ra_check_entry *ra_check_find_key(const ra_check_ini &ini, const char *key) {
    for (const ra_check_entry &e : ini.keys) {
        if (ra_check_same_name(e.name, key)) return &e;
    }
    return nullptr;
}
