// Windows paths on a POSIX file system. The game and the plug-in write "\"
// (and sometimes "/"), give paths relative to the current directory, and
// expect letter case not to matter: the game hands over upper-cased track
// folder names for folders that are lower case on disk. They name files in
// the ANSI code page; the host keeps the names in UTF-8 (code_page.h).
#include <dirent.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "code_page.h"
#include "sim_internal.h"
#include "sim_win32.h"

static bool sim_is_sep(char c) { return c == '\\' || c == '/'; }

static bool sim_exists(const std::string &host_path) {
    struct stat st;
    return lstat(host_path.c_str(), &st) == 0;
}

static char sim_fold(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }

static bool sim_ieq(const char *a, const char *b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (sim_fold(*a) != sim_fold(*b)) return false;
    }
    return *a == *b;
}

// The entry of folder that equals name ignoring ASCII case, or "" when there
// is none. Of several candidates ("tr01" and "TR01" both on disk) the least
// in byte order wins, so that the choice does not depend on readdir order.
static std::string sim_find_ignoring_case(const std::string &folder, const std::string &name) {
    std::string best;
    DIR *dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return best;
    while (const struct dirent *entry = readdir(dir)) {
        if (!sim_ieq(entry->d_name, name.c_str())) continue;
        if (best.empty() || strcmp(entry->d_name, best.c_str()) < 0) best = entry->d_name;
    }
    closedir(dir);
    return best;
}

static std::string sim_join(const std::string &folder, const std::string &name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Windows trims names in a path before any file system sees it: a folder
// name that ends in one period loses it ("Saves.\\x" is "Saves\\x",
// "Saves..\\x" stays), and the last name loses every period and space it
// ends in ("x. ." is "x"); "." and ".." are left to the file system.
// Sources: Microsoft's "File path formats on Windows systems" (.NET
// documentation, "Trim characters"), and the conformance tests of
// RtlGetFullPathName_U and RtlDosPathNameToNtPathName_U in Wine's
// dlls/ntdll/tests/path.c ("c:/test./file" -> "c:\\test\\file", "c:/test../file"
// unchanged since Vista, "c:/foo . ." -> "c:\\foo").
static std::string sim_trim_name(std::string name, bool last) {
    if (name == "." || name == "..") return name;
    if (last) {
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    } else if (name.size() >= 2 && name.back() == '.' && name[name.size() - 2] != '.') {
        name.pop_back();
    }
    return name;
}

// A Windows path already in UTF-8, as the host names its files.
static std::string sim_translate_text(const std::string &windows_path) {
    const char *p = windows_path.c_str();
    bool rooted = false;
    // "C:\..." is rooted; every drive letter names the host's root. "C:name"
    // (relative to the drive's current directory) counts as relative.
    if (((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':') p += 2;
    if (sim_is_sep(*p)) rooted = true;

    std::vector<std::string> parts;
    while (*p != '\0') {
        while (sim_is_sep(*p)) ++p;
        const char *start = p;
        while (*p != '\0' && !sim_is_sep(*p)) ++p;
        if (p == start) continue;
        std::string name = sim_trim_name(std::string(start, (size_t)(p - start)), *p == '\0');
        if (!name.empty()) parts.push_back(name);
    }

    std::string exact = rooted ? "/" : "";
    for (const std::string &part : parts) exact = sim_join(exact, part);
    if (exact.empty()) exact = ".";
    if (sim_exists(exact)) return exact;

    // Resolve component by component; once one is missing whatever its
    // case, the rest is kept as written (it is about to be created, or the
    // caller gets "not found").
    std::string host = rooted ? "/" : "";
    bool resolving = true;
    for (const std::string &part : parts) {
        std::string next = sim_join(host, part);
        if (resolving && part != "." && part != ".." && !sim_exists(next)) {
            std::string found = sim_find_ignoring_case(host, part);
            if (found.empty()) {
                resolving = false;
            } else {
                next = sim_join(host, found);
            }
        }
        host = next;
    }
    return host.empty() ? "." : host;
}

std::string sim_translate(const char *windows_path) {
    if (windows_path == nullptr) return std::string();
    return sim_translate_text(ra_cp1252_to_utf8(windows_path));
}

DWORD sim_resolve(const char *windows_path, std::string *host_path) {
    if (windows_path == nullptr || windows_path[0] == '\0') return ERROR_PATH_NOT_FOUND;
    // MAX_PATH counts the terminator: 259 characters are the most a path may have.
    if (strlen(windows_path) >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    *host_path = sim_translate(windows_path);
    return ERROR_SUCCESS;
}

bool sim_parent_exists(const std::string &host_path) {
    size_t slash = host_path.find_last_of('/');
    std::string parent;
    if (slash == std::string::npos) {
        parent = ".";
    } else if (slash == 0) {
        parent = "/";
    } else {
        parent = host_path.substr(0, slash);
    }
    struct stat st;
    return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A host path that does not fit is not cut: the caller gets "".
static char *sim_copy_host_path(std::string host, char *out, uint32_t out_size) {
    if (out == nullptr || out_size == 0) return out;
    if (host.size() >= out_size) host.clear();
    memcpy(out, host.c_str(), host.size() + 1);
    return out;
}

extern "C" char *sim_host_path(const char *windows_path, char *out, uint32_t out_size) {
    return sim_copy_host_path(sim_translate(windows_path), out, out_size);
}

extern "C" char *sim_host_path_utf8(const char *windows_path, char *out, uint32_t out_size) {
    return sim_copy_host_path(windows_path ? sim_translate_text(windows_path) : "", out, out_size);
}
