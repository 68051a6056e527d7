// Controls of the Windows stand-ins that tests and the simulator use: the
// module path, the local clock, and fault injection. Never part of the .vqp.
//
// How the stand-ins behave where Windows leaves a choice:
// - Names: the host keeps them in UTF-8 and the "A" services take and give
//   them in Windows-1252, as Windows converts names through the ANSI code
//   page (code_page.h); a character the code page lacks comes back as '?'.
// - Paths: "\" and "/" both separate; "C:\..." (any drive letter) and a
//   leading separator start at the host's root, everything else is relative
//   to the current directory. A component that does not exist as written is
//   looked up in its folder ignoring ASCII letter case. A path of MAX_PATH
//   (260) characters or more, counted as written, is refused with
//   ERROR_FILENAME_EXCED_RANGE; a null or empty path with
//   ERROR_PATH_NOT_FOUND.
// - Error codes: a missing file whose folder exists gives
//   ERROR_FILE_NOT_FOUND, a missing folder ERROR_PATH_NOT_FOUND; no access
//   and folders opened as files ERROR_ACCESS_DENIED; a file held open
//   without the needed sharing, or a file copied onto itself,
//   ERROR_SHARING_VIOLATION; an existing file for
//   CREATE_NEW or CopyFileA(fail_if_exists) ERROR_FILE_EXISTS; an existing
//   entry for CreateDirectoryA ERROR_ALREADY_EXISTS; a full disk
//   ERROR_DISK_FULL; an unknown handle ERROR_INVALID_HANDLE; a file pointer
//   moved before the start 131 (ERROR_NEGATIVE_SEEK); a buffer too small for
//   the module path ERROR_INSUFFICIENT_BUFFER.
// - CreateFileA with FILE_FLAG_DELETE_ON_CLOSE: the file is deleted when
//   that handle is closed (each open is its own file description here).
// - Profiles: see profile_text.cpp for the encodings and reading rules, and
//   profile.cpp for the services. Integers take a sign,
//   then "0x" and hex digits or decimal digits, up to the first other
//   character, wrapping modulo 2^32; an empty value gives the default.
// - Injected faults: the service returns its failure value (INVALID_HANDLE_VALUE,
//   FALSE, 0, INVALID_FILE_ATTRIBUTES, INVALID_SET_FILE_POINTER) with the
//   given last error and touches nothing; the profile services return the
//   default as for a missing file. GetLocalTime, GetLastError and
//   SetLastError cannot fail and only count their calls.
#pragma once

#include <stdint.h>
#include <windows.h>

extern "C" {

// Path that GetModuleFileNameA reports for the main executable (a Windows
// path in UTF-8, any length, e.g. "C:\\game\\game.exe", given to the caller
// in Windows-1252); null restores the default,
// which is "C:<current directory>\\game.exe" in Windows form (drive C: for
// the host's root).
void sim_set_module_path(const char *windows_path);

// The Windows folder, where the profile services look for a file named
// without a folder (a Windows path); null restores the default, C:\Windows
// (the host's /Windows, which does not exist: such a file is missing).
void sim_set_windows_folder(const char *windows_path);

// Fixes the local clock that GetLocalTime reports; null lets it follow the
// real local time again.
void sim_set_clock(const SYSTEMTIME *time);

// Makes the next `count` calls of the named service (e.g. "CopyFileA",
// "ReadFile") fail with `error` as GetLastError code; count 0 clears it.
// The failing call does nothing else: no file is touched.
void sim_fail_call(const char *service, uint32_t error, uint32_t count);

// As sim_fail_call, but the first `skip` calls of the service pass as usual.
void sim_fail_call_after(const char *service, uint32_t skip, uint32_t error, uint32_t count);

// Makes the next ReadFile deliver at most `max_bytes` and then fail every
// later ReadFile on the same handle with `error` (0: keep delivering short
// reads without failing). Cleared by sim_clear_faults.
void sim_short_read(uint32_t max_bytes, uint32_t error);

// Makes the next WriteFile write at most `max_bytes` and report success
// with that count, short of what was asked. Cleared by sim_clear_faults.
void sim_short_write(uint32_t max_bytes);

// Clears every injected fault and the call counters.
void sim_clear_faults(void);

// Number of calls of the named service since the last sim_clear_faults.
uint32_t sim_call_count(const char *service);

// Number of handles from CreateFileA that are still open.
uint32_t sim_open_handles(void);

// Translates a Windows path in the ANSI code page (Windows-1252) to the
// host path the stand-ins would use (a UTF-8 name, both separators,
// relative to the current directory, letter case resolved per component
// when the exact name does not exist). No length limit applies here; a host
// path that does not fit in out_size gives "". Returns out.
char *sim_host_path(const char *windows_path, char *out, uint32_t out_size);

// The same of a Windows path written in UTF-8, as a program that names its
// files in Unicode (Windows' "W" functions) gives them.
char *sim_host_path_utf8(const char *windows_path, char *out, uint32_t out_size);

// Calls of CreateDirectoryA in order, as the caller wrote the path, failed
// ones included; cleared by sim_clear_faults. Out of range gives "".
uint32_t sim_created_dir_count(void);
const char *sim_created_dir(uint32_t i);

}  // extern "C"
