// CopyFileA: the whole file, replacing the destination unless told not to.
// Checks run in the order Windows runs them (source, then destination), and
// all of them before the destination is touched. The copy keeps the
// source's last write time, as Windows' does (Wine's conformance test
// dlls/kernel32/tests/file.c, test_CopyFileA: "destination file has wrong
// filetime", not marked todo_wine).
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "sim_internal.h"
#include "sim_win32.h"

// Size of the copy buffer; any size works, this keeps few system calls.
static const size_t sim_copy_chunk = 65536;

// Checks source and destination; 0 when the copy may go ahead.
static DWORD sim_copy_check(const std::string &from, const std::string &to, bool fail_if_exists,
                            struct stat *src) {
    if (stat(from.c_str(), src) != 0) return sim_error_from_errno(errno, from);
    if (S_ISDIR(src->st_mode)) return ERROR_ACCESS_DENIED;
    if (sim_share_conflict(src->st_dev, src->st_ino, GENERIC_READ, FILE_SHARE_READ)) {
        return ERROR_SHARING_VIOLATION;
    }
    struct stat dst;
    if (stat(to.c_str(), &dst) != 0) {
        // A missing destination is what a copy makes, as long as its folder exists.
        return sim_parent_exists(to) ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
    }
    if (S_ISDIR(dst.st_mode)) return ERROR_ACCESS_DENIED;
    if (fail_if_exists) return ERROR_FILE_EXISTS;
    // A file copied onto itself, or onto a file someone holds open.
    if (dst.st_dev == src->st_dev && dst.st_ino == src->st_ino) return ERROR_SHARING_VIOLATION;
    if (sim_share_conflict(dst.st_dev, dst.st_ino, GENERIC_WRITE, 0)) {
        return ERROR_SHARING_VIOLATION;
    }
    return ERROR_SUCCESS;
}

// Copies every byte; 0 or the error code of the first failure.
static DWORD sim_copy_bytes(int in, int out, const std::string &from, const std::string &to) {
    static char chunk[sim_copy_chunk];
    for (;;) {
        ssize_t got = read(in, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return sim_error_from_errno(errno, from);
        if (got == 0) return ERROR_SUCCESS;
        ssize_t put = 0;
        while (put < got) {
            ssize_t n = write(out, chunk + put, (size_t)(got - put));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return n < 0 ? sim_error_from_errno(errno, to) : ERROR_DISK_FULL;
            put += n;
        }
    }
}

extern "C" BOOL WINAPI CopyFileA(LPCSTR from_path, LPCSTR to_path, BOOL fail_if_exists) {
    if (sim_enter("CopyFileA")) return FALSE;
    std::string from;
    std::string to;
    struct stat src;
    int in = -1;
    int out = -1;
    DWORD error = sim_resolve(from_path, &from);
    if (error == ERROR_SUCCESS) error = sim_resolve(to_path, &to);
    if (error == ERROR_SUCCESS) error = sim_copy_check(from, to, fail_if_exists != FALSE, &src);
    if (error != ERROR_SUCCESS) goto out;

    in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = sim_error_from_errno(errno, from);
        goto out;
    }
    out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (fail_if_exists ? O_EXCL : 0),
               0666);
    if (out < 0) {
        error = sim_error_from_errno(errno, to);
        goto out;
    }
    error = sim_copy_bytes(in, out, from, to);
    if (error == ERROR_SUCCESS) {
        const struct timespec times[2] = {src.st_atim, src.st_mtim};
        if (futimens(out, times) != 0) error = sim_error_from_errno(errno, to);
    }
    if (close(out) != 0 && error == ERROR_SUCCESS) error = sim_error_from_errno(errno, to);
    out = -1;
    // Like Windows, a copy that failed part-way leaves no destination behind.
    if (error != ERROR_SUCCESS) unlink(to.c_str());

out:
    if (in >= 0) close(in);
    if (out >= 0) close(out);
    sim_set_error(error);
    return error == ERROR_SUCCESS;
}
