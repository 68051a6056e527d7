// The lock elsewhere: flock on the lock file. The system lets it go when
// the descriptor is closed, which it does when the process ends, however it
// ends.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/file_lock.h"
#include "platform/file_system.h"

namespace {

// Milliseconds on a clock that never goes back.
uint64_t ra_now_ms() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint64_t)now.tv_sec * 1000 + (uint64_t)now.tv_nsec / 1000000;
}

}  // namespace

bool ra_file_lock::take(const std::filesystem::path &path, std::string *why) {
    release();
    // O_NOFOLLOW: a link at the lock's name is refused, never followed;
    // O_NONBLOCK: a pipe put there cannot hold the open up.
    int file = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (file < 0) {
        *why = errno == ELOOP ? "it is a link, not a file" : ra_error_reason(errno);
        return false;
    }
    struct stat about;
    if (fstat(file, &about) != 0 || !S_ISREG(about.st_mode)) {
        *why = "it is not a file";
        close(file);
        return false;
    }
    const uint64_t until = ra_now_ms() + ra_file_lock_wait_ms;
    while (flock(file, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        bool busy = error == EWOULDBLOCK || error == EINTR;
        if (!busy || ra_now_ms() >= until) {
            *why = busy ? ra_file_lock_busy_reason() : ra_error_reason(error);
            close(file);
            return false;
        }
        usleep(ra_file_lock_poll_ms * 1000);
    }
    handle_ = file;
    return true;
}

void ra_file_lock::release() {
    if (!held()) return;
    close((int)handle_);
    handle_ = ra_no_handle;
}
