// File operations where the C++ library keeps the system's reason (errno).
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
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

bool ra_load_file_start(const fs::path &path, size_t n, std::string *bytes, std::string *why) {
    FILE *file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *why = ra_errno_reason(errno);
        return false;
    }
    std::string start(n, '\0');
    const size_t got = fread(&start[0], 1, n, file);
    const int error = ferror(file) ? errno : 0;
    fclose(file);
    if (error != 0) {
        *why = ra_errno_reason(error);
        return false;
    }
    start.resize(got);
    *bytes = start;
    return true;
}

bool ra_load_file(const fs::path &path, std::string *bytes, std::string *why) {
    FILE *file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *why = ra_errno_reason(errno);
        return false;
    }
    std::string all;
    // Room for the whole file at once (a long season's record is tens of MB);
    // a file that grows meanwhile still reads whole.
    struct stat st;
    if (fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode)) all.reserve((size_t)st.st_size);
    char chunk[1 << 16];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) all.append(chunk, n);
    int error = ferror(file) ? errno : 0;
    fclose(file);
    if (error != 0) {
        *why = ra_errno_reason(error);
        return false;
    }
    *bytes = std::move(all);
    return true;
}

bool ra_read_plain_file(const fs::path &path, uintmax_t max,
                        const std::function<bool(const char *data, size_t size)> &each,
                        std::string *why) {
    // O_NOFOLLOW: a link at the name fails to open (ELOOP) instead of being
    // followed; O_NONBLOCK: a pipe planted there does not wait for a writer.
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *why = errno == ELOOP ? "it is a link to another file" : ra_errno_reason(errno);
        return false;
    }
    std::string reason;
    bool stopped = false;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        reason = ra_errno_reason(errno);
    } else if (!S_ISREG(st.st_mode)) {
        reason = "it is not a file";
    } else if ((uintmax_t)st.st_size > max) {
        reason = "it has " + std::to_string((uintmax_t)st.st_size) + " bytes, more than " +
                 std::to_string(max);
    } else {
        char chunk[1 << 16];
        uintmax_t total = 0;
        for (;;) {
            ssize_t n = read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) reason = ra_errno_reason(errno);
            if (n <= 0) break;
            if ((total += (uintmax_t)n) > max) {
                reason = "it grew past " + std::to_string(max) + " bytes while it was read";
                break;
            }
            if (!each(chunk, (size_t)n)) {
                stopped = true;
                break;
            }
        }
    }
    close(fd);
    if (!reason.empty()) *why = reason;
    return reason.empty() && !stopped;
}

bool ra_load_plain_file(const fs::path &path, uintmax_t max, std::string *bytes, std::string *why) {
    std::string all;
    if (!ra_read_plain_file(
            path, max,
            [&](const char *data, size_t size) {
                all.append(data, size);
                return true;
            },
            why)) {
        return false;
    }
    *bytes = std::move(all);
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

bool ra_create_new_file_with(const fs::path &path, const ra_file_filler &fill, bool owner_only,
                             std::string *why, ra_file_sync sync) {
    // O_EXCL with O_CREAT fails on any name that exists, a link included,
    // and never follows one. An owner-only file is so from its creation:
    // no other user can open it in between.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  owner_only ? 0600 : 0666);
    if (fd < 0) {
        *why = ra_errno_reason(errno);
        return false;
    }
    int error = 0;
    const bool filled = fill([&](const char *data, size_t size) {
        for (size_t done = 0; done < size && error == 0;) {
            ssize_t n = write(fd, data + done, size - done);
            if (n > 0) {
                done += (size_t)n;
            } else if (n < 0 && errno != EINTR) {
                error = errno;
            } else if (n == 0) {
                error = EIO;
            }
        }
        return error == 0;
    });
    // On the disk before anything is renamed over to it.
    if (filled && error == 0 && sync == ra_file_sync::now && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (filled && error == 0) return true;
    unlink(path.c_str());
    if (error != 0) *why = ra_errno_reason(error);
    return false;
}

bool ra_sync_new_files(const fs::path &folder, std::string *why) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *why = ra_errno_reason(errno);
        return false;
    }
    // One flush of the folder's whole file system puts every file written
    // there, and the folder's entries, on the disk at once, where an fsync
    // per file costs a journal commit each (milliseconds apiece on a disk).
    int error = syncfs(fd) == 0 ? 0 : errno;
    close(fd);
    if (error == 0) return true;
    *why = ra_errno_reason(error);
    return false;
}

bool ra_create_new_file(const fs::path &path, const std::string &bytes, std::string *why) {
    return ra_create_new_file_with(
        path, [&](const ra_put_bytes &put) { return put(bytes.data(), bytes.size()); }, false, why);
}

ra_entry_facts ra_entry_facts_of(const fs::path &path) {
    ra_entry_facts facts;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return facts;
    facts.kind = S_ISLNK(st.st_mode)   ? ra_entry_kind::link
                 : S_ISREG(st.st_mode) ? ra_entry_kind::file
                 : S_ISDIR(st.st_mode) ? ra_entry_kind::folder
                                       : ra_entry_kind::other;
    facts.size = (uint64_t)st.st_size;
    facts.written = (int64_t)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
    return facts;
}

ra_entry_kind ra_entry_kind_of(const fs::path &path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return ra_entry_kind::none;
    if (S_ISLNK(st.st_mode)) return ra_entry_kind::link;
    if (S_ISREG(st.st_mode)) return ra_entry_kind::file;
    if (S_ISDIR(st.st_mode)) return ra_entry_kind::folder;
    return ra_entry_kind::other;
}

namespace {

// The kind of an entry as the folder tells it; none where it does not
// (a file system that leaves d_type unknown).
ra_entry_kind ra_kind_of_type(unsigned char type) {
    switch (type) {
    case DT_LNK:
        return ra_entry_kind::link;
    case DT_REG:
        return ra_entry_kind::file;
    case DT_DIR:
        return ra_entry_kind::folder;
    case DT_UNKNOWN:
        return ra_entry_kind::none;
    default:
        return ra_entry_kind::other;
    }
}

}  // namespace

bool ra_folder_entries(
    const fs::path &dir,
    const std::function<void(const std::string &name, const ra_entry_facts &facts)> &each,
    ra_entry_detail detail) {
    DIR *folder = opendir(dir.c_str());
    if (folder == nullptr) return false;
    const int at = dirfd(folder);
    errno = 0;
    while (struct dirent *entry = readdir(folder)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        ra_entry_facts facts;
        struct stat st;
        // A look at each name costs a system call: 50,000 of them in a long
        // season's folder, where the kind alone is in what readdir gave.
        if (detail == ra_entry_detail::kind) facts.kind = ra_kind_of_type(entry->d_type);
        if (facts.kind == ra_entry_kind::none &&
            fstatat(at, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            facts.kind = S_ISLNK(st.st_mode)   ? ra_entry_kind::link
                         : S_ISREG(st.st_mode) ? ra_entry_kind::file
                         : S_ISDIR(st.st_mode) ? ra_entry_kind::folder
                                               : ra_entry_kind::other;
            facts.size = (uint64_t)st.st_size;
            facts.written = (int64_t)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
        }
        each(std::string(entry->d_name), facts);
        errno = 0;
    }
    const bool read = errno == 0;
    closedir(folder);
    return read;
}

// rename() replaces `to` even while it is open: a reader keeps the old file.
bool ra_replace_file(const fs::path &from, const fs::path &to, std::string *why) {
    return ra_move_file(from, to, why);
}

bool ra_move_new(const fs::path &from, const fs::path &to, std::string *why) {
    // rename() would put a folder over an empty one, and a file over a file.
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    *why = ra_error_reason((unsigned long)errno);
    return false;
}
