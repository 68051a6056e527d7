// Attributes and folders: GetFileAttributesA and CreateDirectoryA, with the
// log of every CreateDirectoryA call that tests of directory creation read.
#include <errno.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "sim_internal.h"
#include "sim_win32.h"

static std::vector<std::string> &sim_created_dirs() {
    static std::vector<std::string> dirs;
    return dirs;
}

void sim_clear_created_dirs(void) { sim_created_dirs().clear(); }

extern "C" uint32_t sim_created_dir_count(void) { return (uint32_t)sim_created_dirs().size(); }

extern "C" const char *sim_created_dir(uint32_t i) {
    const std::vector<std::string> &dirs = sim_created_dirs();
    return i < dirs.size() ? dirs[i].c_str() : "";
}

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR path) {
    if (sim_enter("GetFileAttributesA")) return INVALID_FILE_ATTRIBUTES;
    std::string host;
    DWORD error = sim_resolve(path, &host);
    struct stat st;
    if (error == ERROR_SUCCESS && stat(host.c_str(), &st) != 0) {
        error = sim_error_from_errno(errno, host);
    }
    if (error != ERROR_SUCCESS) {
        sim_set_error(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    // NORMAL stands alone: it means "no other attribute".
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
    sim_set_error(ERROR_SUCCESS);
    return attributes;
}

extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    // Every call is logged as asked, also the ones that fail.
    sim_created_dirs().push_back(path ? path : "");
    if (sim_enter("CreateDirectoryA")) return FALSE;
    std::string host;
    DWORD error = sim_resolve(path, &host);
    if (error == ERROR_SUCCESS && mkdir(host.c_str(), 0777) != 0) {
        // A file of that name blocks the folder just as a folder does.
        error = sim_error_from_errno(errno, host, ERROR_ALREADY_EXISTS);
        // CreateDirectoryA never reports a missing name, only a missing path.
        if (error == ERROR_FILE_NOT_FOUND) error = ERROR_PATH_NOT_FOUND;
    }
    sim_set_error(error);
    return error == ERROR_SUCCESS;
}
