// INI files as GetPrivateProfileIntA and GetPrivateProfileStringA read them.
// The file is read afresh on every call, as Windows does for files it does
// not cache. The reading rules:
// - lines end at "\n", "\r\n" or "\r"; a UTF-8 byte order mark is skipped;
// - a line whose first non-blank character is ";" or "#" is a comment (a ";"
//   later in a line is part of the value, as on Windows);
// - "[name]" opens a section; blanks around the name are ignored;
// - "key = value": blanks around key and value are ignored; a value wrapped
//   in matching double or single quotes loses them; lines without "=" are
//   ignored;
// - section and key names compare ignoring ASCII letter case; the first
//   section of a name and the first key of a name in it count.
#include <errno.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>

#include "sim_internal.h"
#include "sim_win32.h"

namespace {

bool sim_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string sim_trim(const std::string &s) {
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && sim_blank(s[begin])) ++begin;
    while (end > begin && sim_blank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

char sim_fold(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }

bool sim_same_name(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (sim_fold(a[i]) != sim_fold(b[i])) return false;
    }
    return true;
}

// Reads the whole file at the Windows path; false (last error set) when it
// cannot be read.
bool sim_read_profile(const char *file, std::string *text) {
    std::string host;
    DWORD error = sim_resolve(file, &host);
    if (error != ERROR_SUCCESS) {
        sim_set_error(error);
        return false;
    }
    std::ifstream in(host, std::ios::binary);
    if (!in) {
        sim_set_error(sim_error_from_errno(errno, host));
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    *text = all.str();
    if (text->compare(0, 3, "\xEF\xBB\xBF") == 0) text->erase(0, 3);
    return true;
}

// Looks key up in section of the profile text; true with its value when found.
bool sim_find_value(const std::string &text, const std::string &section, const std::string &key,
                    std::string *value) {
    bool in_section = false;
    bool seen_section = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string line = sim_trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            // Only the first section of the name is searched.
            if (in_section) return false;
            size_t close = line.find(']');
            size_t name_len = close == std::string::npos ? std::string::npos : close - 1;
            std::string name = sim_trim(line.substr(1, name_len));
            in_section = !seen_section && sim_same_name(name, section);
            seen_section = seen_section || in_section;
            continue;
        }
        if (!in_section) continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (!sim_same_name(sim_trim(line.substr(0, eq)), key)) continue;
        std::string v = sim_trim(line.substr(eq + 1));
        if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) {
            v = v.substr(1, v.size() - 2);
        }
        // A NUL ends the text as Windows reads it; what follows is not value.
        size_t nul = v.find('\0');
        if (nul != std::string::npos) v.erase(nul);
        *value = v;
        return true;
    }
    return false;
}

// The value of key, or false when the file, section or key is missing or
// an injected fault claims the call (last error set in both cases).
bool sim_profile_value(const char *service, const char *section, const char *key, const char *file,
                       std::string *value) {
    if (sim_enter(service)) return false;
    if (section == nullptr || key == nullptr) {
        // Listing section or key names is not offered by these stand-ins.
        sim_set_error(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::string text;
    if (!sim_read_profile(file, &text)) return false;
    if (!sim_find_value(text, section, key, value)) {
        sim_set_error(ERROR_FILE_NOT_FOUND);
        return false;
    }
    sim_set_error(ERROR_SUCCESS);
    return true;
}

// Integer as Windows reads it from a profile: optional sign, then "0x" and
// hex digits or decimal digits, stopping at the first other character;
// no digits at all give 0; overflow wraps around modulo 2^32.
uint32_t sim_parse_int(const std::string &s) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    uint32_t value = 0;
    if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        for (i += 2; i < s.size(); ++i) {
            char c = s[i];
            uint32_t digit;
            if (c >= '0' && c <= '9') {
                digit = (uint32_t)(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = (uint32_t)(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = (uint32_t)(c - 'A' + 10);
            } else {
                break;
            }
            value = value * 16u + digit;
        }
    } else {
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            value = value * 10u + (uint32_t)(s[i] - '0');
        }
    }
    return negative ? 0u - value : value;
}

}  // namespace

extern "C" UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int default_value,
                                             LPCSTR file) {
    std::string value;
    if (!sim_profile_value("GetPrivateProfileIntA", section, key, file, &value)) {
        return (UINT)default_value;
    }
    // A key with an empty value counts as absent here (unlike the string
    // service, which reports the empty text).
    if (value.empty()) return (UINT)default_value;
    return sim_parse_int(value);
}

extern "C" DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value,
                                                 LPSTR out, DWORD size, LPCSTR file) {
    std::string value;
    if (!sim_profile_value("GetPrivateProfileStringA", section, key, file, &value)) {
        // Windows drops trailing blanks of the default.
        std::string fallback = default_value ? default_value : "";
        while (!fallback.empty() && sim_blank(fallback.back())) fallback.pop_back();
        value = fallback;
    }
    if (out == nullptr || size == 0) return 0;
    // Too long a value is cut to size - 1 characters and always terminated.
    size_t n = value.size() < size ? value.size() : size - 1;
    memcpy(out, value.data(), n);
    out[n] = '\0';
    return (DWORD)n;
}
