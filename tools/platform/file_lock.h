// A lock that the companion's processes (consoles, the library app) take
// before they change a file of Dir that another of them may change at the
// same time. It is the system's own lock on a lock file (flock elsewhere, an
// open without sharing on Windows), so it dies with the process that holds
// it: a program that crashed never leaves a stale lock behind. The lock file
// stays, empty. One source per platform, chosen by the build
// (platform/win/file_lock.cpp, platform/linux/file_lock.cpp).
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>

// How long a process waits for another one to let the lock go, and how
// often it looks meanwhile. A change of the marks holds it for a moment;
// prune for as long as it removes replays.
const unsigned ra_file_lock_wait_ms = 5000;
const unsigned ra_file_lock_poll_ms = 10;

class ra_file_lock {
public:
    ra_file_lock() = default;
    ~ra_file_lock() { release(); }
    ra_file_lock(const ra_file_lock &) = delete;
    ra_file_lock &operator=(const ra_file_lock &) = delete;

    // Takes the lock of the file at path, making the file when it is not
    // there (never through a link: a link, a folder or a device there is
    // refused), waiting ra_file_lock_wait_ms at most while another process
    // holds it. False with *why, in the player's words ("access denied",
    // "another program held it for 5 seconds").
    bool take(const std::filesystem::path &path, std::string *why);

    // Lets the lock go; nothing when it is not held.
    void release();

    bool held() const { return handle_ != ra_no_handle; }

private:
    static const intptr_t ra_no_handle = -1;
    intptr_t handle_ = ra_no_handle;  // the lock file's descriptor or HANDLE
};

// The reason take() gives when another process held the lock all the while.
inline std::string ra_file_lock_busy_reason() {
    return "another program held it for " + std::to_string(ra_file_lock_wait_ms / 1000) +
           " seconds";
}
