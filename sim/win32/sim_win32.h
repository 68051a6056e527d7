// Controls of the Windows stand-ins that tests and the simulator use: the
// module path, the local clock, and fault injection. Never part of the .vqp.
#pragma once

#include <stdint.h>
#include <windows.h>

extern "C" {

// Path that GetModuleFileNameA reports for the main executable (a Windows
// path, any length, e.g. "C:\\game\\game.exe"); null restores the default,
// which is "<current directory>\\game.exe" in Windows form.
void sim_set_module_path(const char *windows_path);

// Fixes the local clock that GetLocalTime reports; null lets it follow the
// real local time again.
void sim_set_clock(const SYSTEMTIME *time);

// Makes the next `count` calls of the named service (e.g. "CopyFileA",
// "ReadFile") fail with `error` as GetLastError code; count 0 clears it.
// The failing call does nothing else: no file is touched.
void sim_fail_call(const char *service, uint32_t error, uint32_t count);

// Makes the next ReadFile deliver at most `max_bytes` and then fail every
// later ReadFile on the same handle with `error` (0: keep delivering short
// reads without failing). Cleared by sim_clear_faults.
void sim_short_read(uint32_t max_bytes, uint32_t error);

// Clears every injected fault and the call counters.
void sim_clear_faults(void);

// Number of calls of the named service since the last sim_clear_faults.
uint32_t sim_call_count(const char *service);

// Number of handles from CreateFileA that are still open.
uint32_t sim_open_handles(void);

// Translates a Windows path to the host path the stand-ins would use (both
// separators, relative to the current directory, letter case resolved per
// component when the exact name does not exist). Returns out.
char *sim_host_path(const char *windows_path, char *out, uint32_t out_size);

// Calls of CreateDirectoryA in order, for tests of directory creation.
uint32_t sim_created_dir_count(void);
const char *sim_created_dir(uint32_t i);

}  // extern "C"
