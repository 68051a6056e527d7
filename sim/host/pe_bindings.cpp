// What a loaded DLL's imports are bound to. KERNEL32 functions go to the
// Windows stand-ins of sim/win32, which on i386 are already stdcall (the
// callee pops its arguments) and realign the stack on entry. msvcrt functions
// are cdecl, as the C library's are; they go through small wrappers that
// realign the stack too, since code from the DLL keeps it only 4-byte aligned
// and the wrappers also settle which of C++'s overloads (strchr...) is meant.
#include <ctype.h>
#include <stddef.h>
#include <string.h>
#include <strings.h>

#include <windows.h>

#include "pe_loader.h"

#if defined(__i386__)
#define PE_CDECL __attribute__((cdecl, force_align_arg_pointer))
#else
#define PE_CDECL
#endif

namespace {

PE_CDECL size_t crt_strlen(const char *s) { return strlen(s); }
PE_CDECL char *crt_strcpy(char *d, const char *s) { return strcpy(d, s); }
PE_CDECL char *crt_strncpy(char *d, const char *s, size_t n) { return strncpy(d, s, n); }
PE_CDECL char *crt_strcat(char *d, const char *s) { return strcat(d, s); }
PE_CDECL char *crt_strncat(char *d, const char *s, size_t n) { return strncat(d, s, n); }
PE_CDECL int crt_strcmp(const char *a, const char *b) { return strcmp(a, b); }
PE_CDECL int crt_strncmp(const char *a, const char *b, size_t n) { return strncmp(a, b, n); }
PE_CDECL char *crt_strchr(const char *s, int c) { return (char *)strchr(s, c); }
PE_CDECL char *crt_strrchr(const char *s, int c) { return (char *)strrchr(s, c); }
PE_CDECL char *crt_strstr(const char *h, const char *n) { return (char *)strstr(h, n); }
PE_CDECL size_t crt_strspn(const char *s, const char *set) { return strspn(s, set); }
PE_CDECL size_t crt_strcspn(const char *s, const char *set) { return strcspn(s, set); }
PE_CDECL char *crt_strpbrk(const char *s, const char *set) { return (char *)strpbrk(s, set); }
// msvcrt folds to lower case, as strcasecmp does in the C locale.
PE_CDECL int crt_stricmp(const char *a, const char *b) { return strcasecmp(a, b); }
PE_CDECL int crt_strnicmp(const char *a, const char *b, size_t n) { return strncasecmp(a, b, n); }
PE_CDECL int crt_memcmp(const void *a, const void *b, size_t n) { return memcmp(a, b, n); }
PE_CDECL void *crt_memset(void *d, int c, size_t n) { return memset(d, c, n); }
PE_CDECL void *crt_memcpy(void *d, const void *s, size_t n) { return memcpy(d, s, n); }
PE_CDECL void *crt_memmove(void *d, const void *s, size_t n) { return memmove(d, s, n); }
PE_CDECL void *crt_memchr(const void *s, int c, size_t n) { return (void *)memchr(s, c, n); }
PE_CDECL int crt_tolower(int c) { return tolower(c); }
PE_CDECL int crt_toupper(int c) { return toupper(c); }

struct pe_binding {
    const char *dll;   // compared without regard to letter case
    const char *name;  // compared exactly, as Windows does
    void *address;
};

#define PE_KERNEL32(fn) \
    { "KERNEL32.dll", #fn, reinterpret_cast<void *>(&fn) }
#define PE_MSVCRT(name, fn) \
    { "msvcrt.dll", name, reinterpret_cast<void *>(&fn) }

// Every import a DLL may have; anything else is refused at load time.
const pe_binding pe_bindings[] = {
    // stdcall, the stand-ins of sim/win32
    PE_KERNEL32(GetModuleFileNameA),
    PE_KERNEL32(GetPrivateProfileIntA),
    PE_KERNEL32(GetPrivateProfileStringA),
    PE_KERNEL32(GetLocalTime),
    PE_KERNEL32(CreateFileA),
    PE_KERNEL32(ReadFile),
    PE_KERNEL32(WriteFile),
    PE_KERNEL32(SetFilePointer),
    PE_KERNEL32(CloseHandle),
    PE_KERNEL32(GetFileAttributesA),
    PE_KERNEL32(CreateDirectoryA),
    PE_KERNEL32(CopyFileA),
    PE_KERNEL32(GetLastError),
    PE_KERNEL32(SetLastError),
    // cdecl, the C library's functions
    PE_MSVCRT("strlen", crt_strlen),
    PE_MSVCRT("strcpy", crt_strcpy),
    PE_MSVCRT("strncpy", crt_strncpy),
    PE_MSVCRT("strcat", crt_strcat),
    PE_MSVCRT("strncat", crt_strncat),
    PE_MSVCRT("strcmp", crt_strcmp),
    PE_MSVCRT("strncmp", crt_strncmp),
    PE_MSVCRT("strchr", crt_strchr),
    PE_MSVCRT("strrchr", crt_strrchr),
    PE_MSVCRT("strstr", crt_strstr),
    PE_MSVCRT("strspn", crt_strspn),
    PE_MSVCRT("strcspn", crt_strcspn),
    PE_MSVCRT("strpbrk", crt_strpbrk),
    PE_MSVCRT("_stricmp", crt_stricmp),
    PE_MSVCRT("_strnicmp", crt_strnicmp),
    PE_MSVCRT("memcmp", crt_memcmp),
    PE_MSVCRT("memset", crt_memset),
    PE_MSVCRT("memcpy", crt_memcpy),
    PE_MSVCRT("memmove", crt_memmove),
    PE_MSVCRT("memchr", crt_memchr),
    PE_MSVCRT("tolower", crt_tolower),
    PE_MSVCRT("toupper", crt_toupper),
};

}  // namespace

void *sim_pe_binding(const char *dll, const char *name) {
    for (const pe_binding &b : pe_bindings) {
        if (strcasecmp(b.dll, dll) == 0 && strcmp(b.name, name) == 0) return b.address;
    }
    return nullptr;
}

bool sim_pe_dll_known(const char *dll) {
    for (const pe_binding &b : pe_bindings) {
        if (strcasecmp(b.dll, dll) == 0) return true;
    }
    return false;
}
