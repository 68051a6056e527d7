// File operations where the C++ library keeps the system's reason (errno).
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "platform/file_system.h"

namespace fs = std::filesystem;

std::string ra_error_reason(unsigned long code) {
    switch (code) {
    case EACCES:
    case EPERM:
        return "access denied";
    case EBUSY:
    case ETXTBSY:
        return "it is in use by another program";
    case ENOENT:
    case ENOTDIR:
        return "no such file or folder";
    case EROFS:
        return "the disk is write-protected";
    case ENOSPC:
    case EDQUOT:
        return "the disk is full";
    case EEXIST:
        return "a file of that name is already there";
    case ENAMETOOLONG:
        return "the path is too long";
    case EISDIR:
        return "it is a folder";
    }
    return strerror((int)code);
}

namespace {

std::string ra_errno_reason(int code) { return ra_error_reason((unsigned long)code); }

}  // namespace

std::string ra_reason(const std::error_code &failed) {
    if (failed.category() == std::generic_category() ||
        failed.category() == std::system_category()) {
        return ra_errno_reason(failed.value());
    }
    return failed.message();
}

bool ra_copy_file(const fs::path &from, const fs::path &to, bool replace, std::string *why) {
    std::error_code failed;
    fs::copy_options how = replace ? fs::copy_options::overwrite_existing : fs::copy_options::none;
    if (fs::copy_file(from, to, how, failed)) return true;
    *why = ra_reason(failed);
    return false;
}

bool ra_move_file(const fs::path &from, const fs::path &to, std::string *why) {
    std::error_code failed;
    fs::rename(from, to, failed);
    if (!failed) return true;
    *why = ra_reason(failed);
    return false;
}

bool ra_load_file(const fs::path &path, std::string *bytes, std::string *why) {
    FILE *file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *why = ra_errno_reason(errno);
        return false;
    }
    std::string all;
    char chunk[1 << 16];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) all.append(chunk, n);
    int error = ferror(file) ? errno : 0;
    fclose(file);
    if (error != 0) {
        *why = ra_errno_reason(error);
        return false;
    }
    *bytes = all;
    return true;
}

bool ra_save_file(const fs::path &path, const std::string &bytes, std::string *why) {
    FILE *file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        *why = ra_errno_reason(errno);
        return false;
    }
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int error = written ? 0 : errno;
    if (fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) *why = ra_errno_reason(error);
    return written;
}

bool ra_create_new_file(const fs::path &path, const std::string &bytes, std::string *why) {
    // O_EXCL: the file is made here or not at all, and a link of that name
    // is never followed.
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (file < 0) {
        *why = ra_errno_reason(errno);
        return false;
    }
    int error = 0;
    size_t done = 0;
    while (error == 0 && done < bytes.size()) {
        ssize_t n = write(file, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += (size_t)n;
        } else if (n == 0 || errno != EINTR) {
            error = n == 0 ? EIO : errno;
        }
    }
    if (error == 0 && fsync(file) != 0) error = errno;
    if (close(file) != 0 && error == 0) error = errno;
    if (error == 0) return true;
    unlink(path.c_str());
    *why = ra_errno_reason(error);
    return false;
}

// rename() replaces `to` even while it is open: a reader keeps the old file.
bool ra_replace_file(const fs::path &from, const fs::path &to, std::string *why) {
    return ra_move_file(from, to, why);
}
