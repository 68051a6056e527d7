// What the files of the Windows stand-ins share among themselves: the last
// error, call counting and fault injection, path translation, the handle
// table. Not for tests; they use sim_win32.h.
#pragma once

#include <stdint.h>
#include <sys/types.h>

#include <string>

#include <windows.h>

// System error codes we produce that the plug-in never names.
#define SIM_ERROR_TOO_MANY_OPEN_FILES 4u  // EMFILE, ENFILE
#define SIM_ERROR_GEN_FAILURE 31u         // any other host failure
#define SIM_ERROR_MOD_NOT_FOUND 126u      // GetModuleFileNameA of another module
#define SIM_ERROR_NEGATIVE_SEEK 131u      // SetFilePointer before the start

// Sets the calling thread's last error without counting a SetLastError call.
void sim_set_error(DWORD code);

// Counts one call of service and reports whether an injected fault claims
// it; if so the last error is already set and the caller must do nothing
// else but return its failure value.
bool sim_enter(const char *service);

// Windows path (in the ANSI code page) to host path (in UTF-8): both
// separators, a drive letter ("C:\") or a leading separator roots the path
// at "/", anything else stays relative to the current directory; a
// component that does not exist as written is matched against its folder
// ignoring ASCII letter case.
std::string sim_translate(const char *windows_path);

// sim_translate for a service: refuses a null or empty path with
// ERROR_PATH_NOT_FOUND and one of MAX_PATH characters or more with
// ERROR_FILENAME_EXCED_RANGE. Returns 0 or the error code.
DWORD sim_resolve(const char *windows_path, std::string *host_path);

// The system error code for errno err met on host_path: a missing entry is
// ERROR_FILE_NOT_FOUND when its folder exists and ERROR_PATH_NOT_FOUND when
// not; EEXIST becomes exists_code (ERROR_FILE_EXISTS or ERROR_ALREADY_EXISTS).
DWORD sim_error_from_errno(int err, const std::string &host_path,
                           DWORD exists_code = ERROR_FILE_EXISTS);

// 1 when the folder that would hold host_path exists.
bool sim_parent_exists(const std::string &host_path);

// Whether an open handle on the file (dev, ino) forbids a new open with the
// given access and share mode, by the Windows rule: each side's access must
// be allowed by the other side's share mode.
bool sim_share_conflict(dev_t dev, ino_t ino, DWORD access, DWORD share);

// Short read state: the pending cap for the next ReadFile (taken by it).
struct sim_short_read_state {
    bool armed;          // a cap applies
    uint32_t max_bytes;  // at most this many bytes per read
    uint32_t error;      // later reads fail with this code; 0: keep capping
};
// Takes the pending cap, if any, leaving none pending.
sim_short_read_state sim_take_short_read(void);
// Takes the pending short write, if any: true with its byte count in *max_bytes.
bool sim_take_short_write(uint32_t *max_bytes);
// Drops the cap of every open handle (sim_clear_faults).
void sim_clear_handle_faults(void);
// Forgets the CreateDirectoryA log (sim_clear_faults).
void sim_clear_created_dirs(void);
