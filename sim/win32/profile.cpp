// INI files as GetPrivateProfileIntA and GetPrivateProfileStringA read them.
// The file is read afresh on every call, as Windows does for files it does
// not cache. How its bytes and lines are taken (encodings, comments, blanks,
// quotes) is in profile_text.cpp, which the players' check tool shares; the
// first section of a name and the first key of a name in it count.
#include <errno.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>

#include "profile_text.h"
#include "sim_internal.h"
#include "sim_win32.h"

namespace {

bool sim_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads and decodes the whole file at the Windows path; false (last error
// set) when it cannot be read.
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
    *text = sim_profile_decode(all.str()).text;
    return true;
}

// Looks key up in section of the profile text; true with its value when found.
bool sim_find_value(const std::string &text, const std::string &section, const std::string &key,
                    std::string *value) {
    bool in_section = false;
    for (const sim_profile_line &line : sim_profile_lines(text)) {
        if (line.kind == sim_profile_line::section) {
            // Only the first section of the name is searched.
            if (in_section) return false;
            in_section = sim_profile_same_name(line.name, section);
            continue;
        }
        if (!in_section || line.kind != sim_profile_line::entry) continue;
        if (!sim_profile_same_name(line.name, key)) continue;
        *value = line.value;
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
    uint32_t number = 0;
    sim_profile_int(value, &number);
    return number;
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
