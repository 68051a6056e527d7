// The last error, kept per thread as Windows keeps it, and the translation
// of host errno values into system error codes.
#include <errno.h>

#include "sim_internal.h"
#include "sim_win32.h"

static thread_local DWORD sim_last_error = ERROR_SUCCESS;

void sim_set_error(DWORD code) { sim_last_error = code; }

extern "C" DWORD WINAPI GetLastError(void) {
    // Counted, but no fault can be injected into it: it cannot fail.
    sim_enter("GetLastError");
    return sim_last_error;
}

extern "C" void WINAPI SetLastError(DWORD code) {
    sim_enter("SetLastError");
    sim_last_error = code;
}

DWORD sim_error_from_errno(int err, const std::string &host_path, DWORD exists_code) {
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        // Windows tells a missing file in an existing folder from a missing folder.
        return sim_parent_exists(host_path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
    case ENOTEMPTY:
        return exists_code;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EBUSY:
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case EMFILE:
    case ENFILE:
        return SIM_ERROR_TOO_MANY_OPEN_FILES;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default:
        return SIM_ERROR_GEN_FAILURE;
    }
}
