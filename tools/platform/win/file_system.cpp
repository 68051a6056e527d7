// File operations on Windows through the Win32 functions, whose error codes
// say why: the MinGW C++ library reports some of these failures with no
// reason at all ("Success").
#include <windows.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/win/wide_text.h"

namespace fs = std::filesystem;

// Our words for the failures players meet; the system's text for the rest.
std::string ra_error_reason(unsigned long code) {
    switch (code) {
    case ERROR_ACCESS_DENIED:
        return "access denied";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return "it is in use by another program";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "no such file or folder";
    case ERROR_WRITE_PROTECT:
        return "the disk is write-protected";
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
        return "the disk is full";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return "a file of that name is already there";
    case ERROR_FILENAME_EXCED_RANGE:
        return "the path is too long";
    }
    // The system's words in its own language, as characters.
    wchar_t text[512];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text / sizeof text[0], nullptr);
    // The system's text ends in a full stop and a line break.
    while (n > 0 && (text[n - 1] == L'\n' || text[n - 1] == L'\r' || text[n - 1] == L'.')) --n;
    std::string number = "error " + std::to_string(code);
    return n == 0 ? number : ra_utf8_of(text, n) + " (" + number + ")";
}

namespace {

// Windows never replaces a file that is open, even by a reader that lets
// others delete it. A reader holds a small file for a moment only: a
// replacement is tried again for this long, this often.
const DWORD ra_replace_wait_ms = 2000;
const DWORD ra_replace_poll_ms = 10;

std::string ra_last_reason() { return ra_error_reason(GetLastError()); }

}  // namespace

std::string ra_reason(const std::error_code &failed) {
    if (failed.category() == std::system_category())
        return ra_error_reason((unsigned long)failed.value());
    return failed.message();
}

bool ra_copy_file(const fs::path &from, const fs::path &to, bool replace, std::string *why) {
    if (CopyFileW(from.c_str(), to.c_str(), replace ? FALSE : TRUE)) return true;
    *why = ra_last_reason();
    return false;
}

bool ra_move_file(const fs::path &from, const fs::path &to, std::string *why) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    *why = ra_last_reason();
    return false;
}

bool ra_load_file(const fs::path &path, std::string *bytes, std::string *why) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *why = ra_last_reason();
        return false;
    }
    std::string all;
    char chunk[1 << 16];
    DWORD n = 0;
    BOOL ok;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &n, nullptr)) && n > 0) all.append(chunk, n);
    if (!ok) *why = ra_last_reason();
    CloseHandle(file);
    if (!ok) return false;
    *bytes = all;
    return true;
}

bool ra_load_file_start(const fs::path &path, size_t n, std::string *bytes, std::string *why) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *why = ra_last_reason();
        return false;
    }
    std::string start(n, '\0'), reason;
    size_t got = 0;
    while (got < n) {
        DWORD read = 0;
        const DWORD want = (DWORD)std::min<size_t>(n - got, 1 << 16);
        if (!ReadFile(file, &start[got], want, &read, nullptr)) {
            reason = ra_last_reason();
            break;
        }
        if (read == 0) break;  // the end of the file
        got += read;
    }
    CloseHandle(file);
    if (!reason.empty()) {
        *why = reason;
        return false;
    }
    start.resize(got);
    *bytes = start;
    return true;
}

bool ra_read_plain_file(const fs::path &path, uintmax_t max,
                        const std::function<bool(const char *data, size_t size)> &each,
                        std::string *why) {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link or a junction itself, never
    // what it points to; its attributes then tell what was opened.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *why = ra_last_reason();
        return false;
    }
    std::string reason;
    bool stopped = false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) {
        reason = ra_last_reason();
    } else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        reason = "it is a link to another file";
    } else if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE) ||
               GetFileType(file) != FILE_TYPE_DISK) {
        reason = "it is not a file";
    } else if ((((uintmax_t)info.nFileSizeHigh << 32) | info.nFileSizeLow) > max) {
        reason = "it has " +
                 std::to_string(((uintmax_t)info.nFileSizeHigh << 32) | info.nFileSizeLow) +
                 " bytes, more than " + std::to_string(max);
    } else {
        char chunk[1 << 16];
        DWORD n = 0;
        BOOL ok;
        uintmax_t total = 0;
        while ((ok = ReadFile(file, chunk, sizeof chunk, &n, nullptr)) && n > 0) {
            if ((total += n) > max) {
                reason = "it grew past " + std::to_string(max) + " bytes while it was read";
                break;
            }
            if (!each(chunk, n)) {
                stopped = true;
                break;
            }
        }
        if (!ok) reason = ra_last_reason();
    }
    CloseHandle(file);
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
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *why = ra_last_reason();
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) &&
              written == bytes.size();
    if (!ok) *why = ra_last_reason();
    if (!CloseHandle(file) && ok) {
        ok = FALSE;
        *why = ra_last_reason();
    }
    return ok;
}

bool ra_create_new_file_with(const fs::path &path, const ra_file_filler &fill, bool,
                             std::string *why, ra_file_sync) {
    // CREATE_NEW fails on any name that exists, a link or a junction
    // included, and so never follows one. Opened for nobody else while it
    // is written; an owner-only file (the app's uploads, in the user's own
    // temporary folder) takes that folder's access, which is the user's alone.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *why = ra_last_reason();
        return false;
    }
    // WriteFile takes at most a DWORD at once.
    const size_t chunk = 1u << 20;
    BOOL ok = TRUE;
    const bool filled = fill([&](const char *data, size_t size) {
        for (size_t done = 0; ok && done < size;) {
            DWORD n = (DWORD)std::min(chunk, size - done), written = 0;
            ok = WriteFile(file, data + done, n, &written, nullptr) && written == n;
            done += written;
        }
        return ok == TRUE;
    });
    // On the disk before anything is renamed over to it, whatever the
    // caller's sync: only an administrator may flush a whole volume at
    // once, so a file is flushed while its handle is at hand.
    if (filled && ok) ok = FlushFileBuffers(file);
    if (!ok) *why = ra_last_reason();
    if (!CloseHandle(file) && ok && filled) {
        ok = FALSE;
        *why = ra_last_reason();
    }
    if (!ok || !filled) DeleteFileW(path.c_str());
    return ok && filled;
}

bool ra_sync_new_files(const fs::path &, std::string *) {
    return true;  // each file was flushed as it was written
}

bool ra_create_new_file(const fs::path &path, const std::string &bytes, std::string *why) {
    return ra_create_new_file_with(
        path, [&](const ra_put_bytes &put) { return put(bytes.data(), bytes.size()); }, false, why);
}

ra_entry_kind ra_entry_kind_of(const fs::path &path) {
    // The attributes of the name itself: GetFileAttributesW never follows a
    // reparse point.
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return ra_entry_kind::none;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return ra_entry_kind::link;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return ra_entry_kind::other;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ra_entry_kind::folder;
    return ra_entry_kind::file;
}

ra_entry_facts ra_entry_facts_of(const fs::path &path) {
    ra_entry_facts facts;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return facts;
    const DWORD attributes = data.dwFileAttributes;
    facts.kind = attributes & FILE_ATTRIBUTE_REPARSE_POINT ? ra_entry_kind::link
                 : attributes & FILE_ATTRIBUTE_DEVICE      ? ra_entry_kind::other
                 : attributes & FILE_ATTRIBUTE_DIRECTORY   ? ra_entry_kind::folder
                                                           : ra_entry_kind::file;
    facts.size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    facts.written = (int64_t)(((uint64_t)data.ftLastWriteTime.dwHighDateTime << 32) |
                              data.ftLastWriteTime.dwLowDateTime);
    return facts;
}

bool ra_folder_entries(
    const fs::path &dir,
    const std::function<void(const std::string &name, const ra_entry_facts &facts)> &each,
    ra_entry_detail) {
    // FindFirstFileExW gives each name's attributes, size and time with the
    // folder: no look at each file, whatever detail is asked for.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW((dir / L"*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const DWORD attributes = found.dwFileAttributes;
        ra_entry_facts facts;
        facts.kind = attributes & FILE_ATTRIBUTE_REPARSE_POINT ? ra_entry_kind::link
                     : attributes & FILE_ATTRIBUTE_DEVICE      ? ra_entry_kind::other
                     : attributes & FILE_ATTRIBUTE_DIRECTORY   ? ra_entry_kind::folder
                                                               : ra_entry_kind::file;
        facts.size = ((uint64_t)found.nFileSizeHigh << 32) | found.nFileSizeLow;
        facts.written = (int64_t)(((uint64_t)found.ftLastWriteTime.dwHighDateTime << 32) |
                                  found.ftLastWriteTime.dwLowDateTime);
        each(ra_utf8_of(name), facts);
    } while (FindNextFileW(search, &found));
    const bool read = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(search);
    return read;
}

bool ra_replace_file(const fs::path &from, const fs::path &to, std::string *why) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
        DWORD error = GetLastError();
        bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        // The difference of two tick counts is right across their wrap.
        if (!held || GetTickCount() - start >= ra_replace_wait_ms) {
            *why = ra_error_reason(error);
            return false;
        }
        Sleep(ra_replace_poll_ms);
    }
}

bool ra_move_new(const fs::path &from, const fs::path &to, std::string *why) {
    // Without MOVEFILE_REPLACE_EXISTING an existing `to` makes it fail, and
    // a folder can be moved within its volume.
    if (MoveFileExW(from.c_str(), to.c_str(), 0)) return true;
    *why = ra_last_reason();
    return false;
}
