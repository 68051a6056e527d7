// PLACEHOLDER until the Windows services on Linux land.
#include <windows.h>
#include "sim_win32.h"
extern "C" {
DWORD WINAPI GetModuleFileNameA(HMODULE, LPSTR, DWORD) { return 0; }
UINT WINAPI GetPrivateProfileIntA(LPCSTR, LPCSTR, int d, LPCSTR) { return (UINT)d; }
DWORD WINAPI GetPrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR, LPSTR out, DWORD, LPCSTR) { out[0] = 0; return 0; }
void WINAPI GetLocalTime(LPSYSTEMTIME) {}
HANDLE WINAPI CreateFileA(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) { return INVALID_HANDLE_VALUE; }
BOOL WINAPI ReadFile(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) { return FALSE; }
BOOL WINAPI WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) { return FALSE; }
DWORD WINAPI SetFilePointer(HANDLE, LONG, PLONG, DWORD) { return INVALID_SET_FILE_POINTER; }
BOOL WINAPI CloseHandle(HANDLE) { return FALSE; }
DWORD WINAPI GetFileAttributesA(LPCSTR) { return INVALID_FILE_ATTRIBUTES; }
BOOL WINAPI CreateDirectoryA(LPCSTR, LPSECURITY_ATTRIBUTES) { return FALSE; }
BOOL WINAPI CopyFileA(LPCSTR, LPCSTR, BOOL) { return FALSE; }
DWORD WINAPI GetLastError(void) { return 0; }
void WINAPI SetLastError(DWORD) {}
}
extern "C" {
void sim_set_module_path(const char *) {}
void sim_set_clock(const SYSTEMTIME *) {}
void sim_fail_call(const char *, uint32_t, uint32_t) {}
void sim_short_read(uint32_t, uint32_t) {}
void sim_clear_faults(void) {}
uint32_t sim_call_count(const char *) { return 0; }
uint32_t sim_open_handles(void) { return 0; }
char *sim_host_path(const char *, char *out, uint32_t) { return out; }
uint32_t sim_created_dir_count(void) { return 0; }
const char *sim_created_dir(uint32_t) { return ""; }
}
