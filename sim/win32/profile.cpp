// INI files as GetPrivateProfileIntA, GetPrivateProfileStringA and
// GetPrivateProfileSectionA read them. The file is read afresh on every
// call, as Windows does for files it does not cache. How its bytes and lines
// are taken (encodings, comments, blanks, quotes) is in profile_text.cpp,
// which the players' check tool shares; the first section of a name and the
// first key of a name in it count.
//
// Finding and opening the file (Microsoft's page on GetPrivateProfileStringA;
// Wine's conformance test dlls/kernel32/tests/profile.c, which passes on
// Windows):
// - a name without a folder is looked for in the Windows folder, not the
//   current one (profile.c, test_GetPrivateProfileString: "only filename is
//   used" gives the default, the same name in the Windows folder the value);
// - the file is opened for reading, sharing reading and writing, so a handle
//   that does not share reading keeps the services out and every default
//   applies (profile.c, test_profile_existing: read_error for the handles
//   opened with FILE_SHARE_WRITE alone).
// Lists (the same page; profile.c, test_GetPrivateProfileString and
// test_profile_sections):
// - a null section lists the section names, a null key the key names of the
//   section; each name ends in a NUL and the list in one more; too small a
//   buffer cuts the last name, keeps both NULs and returns size - 2;
// - an empty list of section names is a single NUL (also for a missing
//   file); lines without '=' are no keys; a name ends at a NUL;
// - GetPrivateProfileSectionA gives every "key=value" line of the section
//   (blanks around '=' dropped, quotes kept) and every line without '=', as
//   a list of the same form; a null section or buffer is
//   ERROR_INVALID_PARAMETER.
// Where no source tells (a key list of a section without keys, or of no
// section: the default, as for a missing key; empty section names are not
// listed), the stand-ins do what Wine does.
#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "profile_text.h"
#include "sim_internal.h"
#include "sim_win32.h"

namespace {

bool sim_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Where a profile named without a folder is looked for.
std::string &sim_windows_folder() {
    static std::string folder = "C:\\Windows";
    return folder;
}

bool sim_has_folder(const char *file) {
    return strchr(file, '\\') != nullptr || strchr(file, '/') != nullptr ||
           (file[0] != '\0' && file[1] == ':');
}

// Reads and decodes the whole file at the Windows path; false (last error
// set) when it cannot be read.
bool sim_read_profile(const char *file, std::string *text) {
    std::string named = file != nullptr ? file : "";
    if (file != nullptr && file[0] != '\0' && !sim_has_folder(file)) {
        named = sim_windows_folder() + "\\" + file;
    }
    std::string host;
    DWORD error = sim_resolve(file != nullptr ? named.c_str() : nullptr, &host);
    if (error != ERROR_SUCCESS) {
        sim_set_error(error == ERROR_PATH_NOT_FOUND && file == nullptr ? ERROR_FILE_NOT_FOUND
                                                                       : error);
        return false;
    }
    struct stat st;
    if (stat(host.c_str(), &st) == 0 && sim_share_conflict(st.st_dev, st.st_ino, GENERIC_READ,
                                                           FILE_SHARE_READ | FILE_SHARE_WRITE)) {
        sim_set_error(ERROR_SHARING_VIOLATION);
        return false;
    }
    std::ifstream in(host, std::ios::binary);
    if (!in) {
        sim_set_error(sim_error_from_errno(errno, host));
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    *text = ra_profile_decode(all.str()).text;
    return true;
}

// The lines of the first section of that name (or of every section, with a
// null name: then only the headers), in order.
std::vector<ra_profile_line> sim_section_lines(const std::string &text, const char *section) {
    std::vector<ra_profile_line> out;
    bool in_section = false;
    bool seen = false;
    for (const ra_profile_line &line : ra_profile_lines(text)) {
        if (line.kind == ra_profile_line::section) {
            if (section == nullptr) {
                if (!line.name.empty() && line.name[0] != '\0') out.push_back(line);
                continue;
            }
            // Only the first section of the name is read.
            if (in_section) break;
            in_section = !seen && ra_profile_same_name(line.name, section);
            seen = seen || in_section;
            continue;
        }
        if (in_section) out.push_back(line);
    }
    return out;
}

// Looks key up in section of the profile text; true with its value when found.
bool sim_find_value(const std::string &text, const std::string &section, const std::string &key,
                    std::string *value) {
    for (const ra_profile_line &line : sim_section_lines(text, section.c_str())) {
        if (line.kind != ra_profile_line::entry) continue;
        if (!ra_profile_same_name(line.name, key)) continue;
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

// Copies a list of strings, each ending in a NUL, the list in one more, into
// out: too small a buffer cuts the last string that fits in part and keeps
// both NULs. Returns the characters before the final NUL (size - 2 when
// cut). An empty list is a single NUL, or two with `empty_pair`.
DWORD sim_put_list(const std::vector<std::string> &items, LPSTR out, DWORD size, bool empty_pair) {
    if (out == nullptr || size == 0) return 0;
    std::string all;
    // A name ends at a NUL, as any string of the list does.
    for (const std::string &item : items) all += item.substr(0, item.find('\0')) + '\0';
    if (all.empty()) {
        out[0] = '\0';
        if (empty_pair && size > 1) out[1] = '\0';
        return 0;
    }
    if (all.size() + 1 <= size) {
        memcpy(out, all.data(), all.size());
        out[all.size()] = '\0';
        return (DWORD)all.size();
    }
    if (size < 2) {
        out[0] = '\0';
        return 0;
    }
    memcpy(out, all.data(), size - 2);
    out[size - 2] = '\0';
    out[size - 1] = '\0';
    return size - 2;
}

DWORD sim_put_string(const std::string &value, LPSTR out, DWORD size) {
    if (out == nullptr || size == 0) return 0;
    // Too long a value is cut to size - 1 characters and always terminated.
    size_t n = value.size() < size ? value.size() : size - 1;
    memcpy(out, value.data(), n);
    out[n] = '\0';
    return (DWORD)n;
}

// Windows drops trailing blanks of the default.
std::string sim_default_text(const char *default_value) {
    std::string fallback = default_value ? default_value : "";
    while (!fallback.empty() && sim_blank(fallback.back())) fallback.pop_back();
    return fallback;
}

// GetPrivateProfileStringA with a null section or key: the names.
DWORD sim_list_names(const char *section, const char *default_value, LPSTR out, DWORD size,
                     const char *file) {
    std::string text;
    std::vector<std::string> names;
    if (!sim_read_profile(file, &text)) {
        if (section == nullptr) return sim_put_list(names, out, size, false);
        return sim_put_string(sim_default_text(default_value), out, size);
    }
    for (const ra_profile_line &line : sim_section_lines(text, section)) {
        if (section == nullptr || line.kind == ra_profile_line::entry) names.push_back(line.name);
    }
    if (section != nullptr && names.empty()) {
        sim_set_error(ERROR_FILE_NOT_FOUND);
        return sim_put_string(sim_default_text(default_value), out, size);
    }
    sim_set_error(ERROR_SUCCESS);
    return sim_put_list(names, out, size, false);
}

}  // namespace

extern "C" void sim_set_windows_folder(const char *windows_path) {
    sim_windows_folder() = windows_path != nullptr ? windows_path : "C:\\Windows";
}

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
    ra_profile_int(value, &number);
    return number;
}

extern "C" DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value,
                                                 LPSTR out, DWORD size, LPCSTR file) {
    if (section == nullptr || key == nullptr) {
        if (sim_enter("GetPrivateProfileStringA")) {
            return sim_put_string(sim_default_text(default_value), out, size);
        }
        return sim_list_names(section, default_value, out, size, file);
    }
    std::string value;
    if (!sim_profile_value("GetPrivateProfileStringA", section, key, file, &value)) {
        value = sim_default_text(default_value);
    }
    return sim_put_string(value, out, size);
}

extern "C" DWORD WINAPI GetPrivateProfileSectionA(LPCSTR section, LPSTR out, DWORD size,
                                                  LPCSTR file) {
    if (sim_enter("GetPrivateProfileSectionA")) return 0;
    if (section == nullptr || out == nullptr || size == 0) {
        sim_set_error(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string text;
    if (!sim_read_profile(file, &text)) {
        return sim_put_list({}, out, size, true);
    }
    std::vector<std::string> lines;
    for (const ra_profile_line &line : sim_section_lines(text, section)) {
        std::string name = line.name.substr(0, line.name.find('\0'));
        if (line.kind == ra_profile_line::entry) lines.push_back(name + "=" + line.raw);
        if (line.kind == ra_profile_line::other) lines.push_back(line.name);
    }
    sim_set_error(ERROR_SUCCESS);
    return sim_put_list(lines, out, size, true);
}
