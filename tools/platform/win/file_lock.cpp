// The lock on Windows: the lock file opened without sharing. While that
// handle is open no other process can open the file at all, and the system
// closes it when the process ends, however it ends.
#include <windows.h>

#include "platform/file_lock.h"
#include "platform/file_system.h"

bool ra_file_lock::take(const std::filesystem::path &path, std::string *why) {
    release();
    const DWORD start = GetTickCount();
    for (;;) {
        // FILE_FLAG_OPEN_REPARSE_POINT: a link at the lock's name is opened
        // itself, never where it leads, and refused below.
        HANDLE file =
            CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            BY_HANDLE_FILE_INFORMATION about;
            bool plain = GetFileType(file) == FILE_TYPE_DISK &&
                         GetFileInformationByHandle(file, &about) &&
                         (about.dwFileAttributes &
                          (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
            if (!plain) {
                CloseHandle(file);
                *why = "it is not a file";
                return false;
            }
            handle_ = (intptr_t)file;
            return true;
        }
        DWORD error = GetLastError();
        // The difference of two tick counts is right across their wrap.
        if (error != ERROR_SHARING_VIOLATION || GetTickCount() - start >= ra_file_lock_wait_ms) {
            *why = error == ERROR_SHARING_VIOLATION ? ra_file_lock_busy_reason()
                                                    : ra_error_reason(error);
            return false;
        }
        Sleep(ra_file_lock_poll_ms);
    }
}

void ra_file_lock::release() {
    if (!held()) return;
    CloseHandle((HANDLE)handle_);
    handle_ = ra_no_handle;
}
