// File handles: CreateFileA, ReadFile, WriteFile, SetFilePointer and
// CloseHandle over POSIX descriptors. A HANDLE is a key into our table, a
// multiple of 4 as on Windows, never reused within a process, so that a
// stale handle is refused instead of reaching another file.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>

#include "sim_internal.h"
#include "sim_win32.h"

namespace {

struct sim_handle {
    int fd;     // host descriptor
    dev_t dev;  // identity of the open file, for sharing
    ino_t ino;
    DWORD access;              // GENERIC_READ and/or GENERIC_WRITE (see sim_rights)
    DWORD share;               // FILE_SHARE_READ and/or FILE_SHARE_WRITE
    std::string host_path;     // for error translation, and FILE_FLAG_DELETE_ON_CLOSE
    sim_short_read_state cap;  // injected short reads on this handle
    bool capped_once;          // the first capped read was delivered
    bool delete_on_close;      // the file goes when this handle closes
};

// First handle value; small, so that it is easy to tell in a debugger.
const uintptr_t sim_first_handle = 0x40;

std::map<uintptr_t, sim_handle> &sim_handles() {
    static std::map<uintptr_t, sim_handle> handles;
    return handles;
}
uintptr_t sim_next_handle = sim_first_handle;

sim_handle *sim_lookup(HANDLE h) {
    auto it = sim_handles().find((uintptr_t)h);
    if (it == sim_handles().end()) {
        sim_set_error(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

// Windows' File Access Rights Constants: FILE_APPEND_DATA is "the right to
// append data to the file", and "for local files, write operations will not
// overwrite existing data if this flag is specified without FILE_WRITE_DATA"
// (which GENERIC_WRITE includes). WriteFile's documentation calls writing at
// the end "functionally equivalent to previously calling the CreateFile
// function to open hFile using FILE_APPEND_DATA access". For sharing it is
// write access: CreateFileA's FILE_SHARE_WRITE lets others "request write
// access", and a handle without it refuses every writer. We keep
// GENERIC_READ and GENERIC_WRITE as the rights for reading, writing and
// sharing, with FILE_APPEND_DATA counted as GENERIC_WRITE.
DWORD sim_rights(DWORD access) {
    DWORD rights = access & (GENERIC_READ | GENERIC_WRITE);
    if (access & FILE_APPEND_DATA) rights |= GENERIC_WRITE;
    return rights;
}

bool sim_append_only(DWORD access) {
    return (access & FILE_APPEND_DATA) != 0 && (access & GENERIC_WRITE) == 0;
}

int sim_open_flags(DWORD access, DWORD disposition) {
    int flags = O_CLOEXEC;
    bool reading = (sim_rights(access) & GENERIC_READ) != 0;
    bool writing = (sim_rights(access) & GENERIC_WRITE) != 0;
    flags |= writing ? (reading ? O_RDWR : O_WRONLY) : O_RDONLY;
    // POSIX O_APPEND moves to the end before each write, as one step.
    if (sim_append_only(access)) flags |= O_APPEND;
    switch (disposition) {
    case CREATE_NEW:
        return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS:
        return flags | O_CREAT | O_TRUNC;
    case OPEN_ALWAYS:
        return flags | O_CREAT;
    case TRUNCATE_EXISTING:
        return flags | O_TRUNC;
    default:  // OPEN_EXISTING
        return flags;
    }
}

}  // namespace

bool sim_share_conflict(dev_t dev, ino_t ino, DWORD access, DWORD share) {
    const DWORD rw = GENERIC_READ | GENERIC_WRITE;
    for (const auto &entry : sim_handles()) {
        const sim_handle &open = entry.second;
        if (open.dev != dev || open.ino != ino) continue;
        if ((access & rw) == 0 && (open.access & rw) == 0) continue;
        if ((access & GENERIC_READ) && !(open.share & FILE_SHARE_READ)) return true;
        if ((access & GENERIC_WRITE) && !(open.share & FILE_SHARE_WRITE)) return true;
        if ((open.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return true;
        if ((open.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return true;
    }
    return false;
}

void sim_clear_handle_faults(void) {
    for (auto &entry : sim_handles()) entry.second.cap.armed = false;
}

// Why an existing entry may not be opened as asked, or ERROR_SUCCESS.
static DWORD sim_refuse_existing(const struct stat &st, DWORD access, DWORD share,
                                 DWORD disposition) {
    // Without backup semantics Windows does not open a folder as a file.
    if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
    if (disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
    if (sim_share_conflict(st.st_dev, st.st_ino, access, share)) return ERROR_SHARING_VIOLATION;
    return ERROR_SUCCESS;
}

extern "C" uint32_t sim_open_handles(void) { return (uint32_t)sim_handles().size(); }

extern "C" HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                                     DWORD disposition, DWORD flags, HANDLE) {
    if (sim_enter("CreateFileA")) return INVALID_HANDLE_VALUE;
    std::string host;
    DWORD error = sim_resolve(path, &host);
    bool existed = false;
    int fd = -1;
    struct stat st;
    if (error != ERROR_SUCCESS) goto fail;
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING ||
        (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))) {
        error = ERROR_INVALID_PARAMETER;
        goto fail;
    }
    // Everything that can refuse the open is checked before a file is
    // created or truncated.
    existed = stat(host.c_str(), &st) == 0;
    if (existed) error = sim_refuse_existing(st, sim_rights(access), share, disposition);
    if (error != ERROR_SUCCESS) goto fail;
    fd = open(host.c_str(), sim_open_flags(access, disposition), 0666);
    if (fd < 0 || fstat(fd, &st) != 0) {
        error = sim_error_from_errno(errno, host);
        goto fail;
    }
    {
        uintptr_t value = sim_next_handle;
        sim_next_handle += 4;
        sim_handles()[value] = sim_handle{fd,
                                          st.st_dev,
                                          st.st_ino,
                                          sim_rights(access),
                                          share,
                                          host,
                                          sim_short_read_state{false, 0, 0},
                                          false,
                                          (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0};
        // Like Windows: ERROR_ALREADY_EXISTS tells that an existing file was
        // opened or replaced where one could have been created.
        bool may_create = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
        sim_set_error(may_create && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
        return (HANDLE)value;
    }
fail:
    if (fd >= 0) close(fd);
    sim_set_error(error);
    return INVALID_HANDLE_VALUE;
}

extern "C" BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD to_read, LPDWORD read,
                                LPOVERLAPPED overlapped) {
    if (read != nullptr) *read = 0;
    if (sim_enter("ReadFile")) return FALSE;
    sim_handle *h = sim_lookup(file);
    if (h == nullptr) return FALSE;
    if (read == nullptr || overlapped != nullptr || (buffer == nullptr && to_read != 0)) {
        // Only synchronous reads with a count are offered.
        sim_set_error(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(h->access & GENERIC_READ)) {
        sim_set_error(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    sim_short_read_state pending = sim_take_short_read();
    if (pending.armed) {
        h->cap = pending;
        h->capped_once = false;
    }
    if (h->cap.armed) {
        if (h->capped_once && h->cap.error != 0) {
            sim_set_error(h->cap.error);
            return FALSE;
        }
        h->capped_once = true;
        if (to_read > h->cap.max_bytes) to_read = h->cap.max_bytes;
    }
    // A regular file delivers what it has; loop over what read(2) splits.
    DWORD done = 0;
    while (done < to_read) {
        ssize_t n = ::read(h->fd, (char *)buffer + done, to_read - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            sim_set_error(sim_error_from_errno(errno, h->host_path));
            *read = done;
            return FALSE;
        }
        if (n == 0) break;
        done += (DWORD)n;
    }
    *read = done;
    sim_set_error(ERROR_SUCCESS);
    return TRUE;
}

extern "C" BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD to_write, LPDWORD written,
                                 LPOVERLAPPED overlapped) {
    if (written != nullptr) *written = 0;
    if (sim_enter("WriteFile")) return FALSE;
    sim_handle *h = sim_lookup(file);
    if (h == nullptr) return FALSE;
    if (written == nullptr || overlapped != nullptr || (buffer == nullptr && to_write != 0)) {
        sim_set_error(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(h->access & GENERIC_WRITE)) {
        sim_set_error(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // An injected short write stops there and still reports success, as
    // WriteFile may ("lpNumberOfBytesWritten" below the count asked for).
    uint32_t cap = 0;
    if (sim_take_short_write(&cap) && to_write > cap) to_write = cap;
    DWORD done = 0;
    while (done < to_write) {
        ssize_t n = ::write(h->fd, (const char *)buffer + done, to_write - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            sim_set_error(n < 0 ? sim_error_from_errno(errno, h->host_path) : ERROR_DISK_FULL);
            *written = done;
            return FALSE;
        }
        done += (DWORD)n;
    }
    *written = done;
    sim_set_error(ERROR_SUCCESS);
    return TRUE;
}

extern "C" DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distance_high,
                                       DWORD method) {
    if (sim_enter("SetFilePointer")) return INVALID_SET_FILE_POINTER;
    sim_handle *h = sim_lookup(file);
    if (h == nullptr) return INVALID_SET_FILE_POINTER;
    // Without a high word the distance is a signed 32-bit number.
    int64_t move = distance_high
                       ? (int64_t)(((uint64_t)(uint32_t)*distance_high << 32) | (uint32_t)distance)
                       : (int64_t)distance;
    int64_t from = 0;
    struct stat st;
    if (method == FILE_CURRENT) {
        from = (int64_t)lseek(h->fd, 0, SEEK_CUR);
    } else if (method == FILE_END) {
        from = fstat(h->fd, &st) == 0 ? (int64_t)st.st_size : -1;
    } else if (method != FILE_BEGIN) {
        sim_set_error(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (from < 0) {
        sim_set_error(sim_error_from_errno(errno, h->host_path));
        return INVALID_SET_FILE_POINTER;
    }
    // The pointer stays where it was when the move would go before the start.
    if (from + move < 0) {
        sim_set_error(SIM_ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    off_t at = lseek(h->fd, (off_t)(from + move), SEEK_SET);
    if (at < 0) {
        sim_set_error(sim_error_from_errno(errno, h->host_path));
        return INVALID_SET_FILE_POINTER;
    }
    if (distance_high) *distance_high = (LONG)((uint64_t)at >> 32);
    // Callers with a high word tell 0xFFFFFFFF from failure by the last error.
    sim_set_error(ERROR_SUCCESS);
    return (DWORD)(uint64_t)at;
}

extern "C" BOOL WINAPI CloseHandle(HANDLE handle) {
    if (sim_enter("CloseHandle")) return FALSE;
    sim_handle *h = sim_lookup(handle);
    if (h == nullptr) return FALSE;
    close(h->fd);
    // Windows deletes such a file once its last handle is closed; ours are one each.
    if (h->delete_on_close) unlink(h->host_path.c_str());
    sim_handles().erase((uintptr_t)handle);
    sim_set_error(ERROR_SUCCESS);
    return TRUE;
}
