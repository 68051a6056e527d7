// The profile services of the Windows stand-ins against a fuzzed INI file.
//
// Input: the buffer size (one byte, 0 to 255), a flags byte (bit 0: null
// section, bit 1: null key, bit 2: null default, bit 3: a file that does
// not exist), the integer default (one signed byte), then the section, the
// key and the default text, each up to a NUL, and the rest is the INI text,
// written to a temporary file.
//
// Properties: the string result is always terminated within the buffer
// size, in a heap block of exactly that size, and the return value is its
// length (0 for a size of 0); a small buffer holds the start of what a
// buffer large enough for anything receives (for a list of names, asked for
// with a null section or key, cut two short of the size so that it ends in
// two NULs); and where that whole value is empty, the integer service gives
// the default.
// A NUL in the file ends a value there, as Windows reads it.
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <windows.h>

#include "fuzz_input.h"

static char fuzz_path[64];

static void fuzz_remove_file(void) { unlink(fuzz_path); }

static const char *fuzz_file(void) {
    if (fuzz_path[0] == '\0') {
        strcpy(fuzz_path, "/tmp/ra-fuzz-profile-XXXXXX");
        int fd = mkstemp(fuzz_path);
        FUZZ_CHECK(fd >= 0);
        close(fd);
        atexit(fuzz_remove_file);
    }
    return fuzz_path;
}

static void fuzz_write_all(const char *path, const uint8_t *data, size_t size) {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    FUZZ_CHECK(fd >= 0);
    size_t put = 0;
    while (put < size) {
        ssize_t n = write(fd, data + put, size - put);
        FUZZ_CHECK(n > 0);
        put += (size_t)n;
    }
    FUZZ_CHECK(close(fd) == 0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_input in{data, size};
    const DWORD buffer_size = in.take_byte();
    const uint8_t flags = in.take_byte();
    const int int_default = (int8_t)in.take_byte();
    const uint8_t *bytes;
    size_t n = in.take_text(&bytes);
    char *section = fuzz_exact_string(bytes, n);
    n = in.take_text(&bytes);
    char *key = fuzz_exact_string(bytes, n);
    n = in.take_text(&bytes);
    char *fallback = fuzz_exact_string(bytes, n);

    const char *path = fuzz_file();
    fuzz_write_all(path, in.data, in.size);
    const char *file = (flags & 8) ? "/nonexistent-ra-fuzz/replay_autosave.ini" : path;
    const char *s = (flags & 1) ? nullptr : section;
    const char *k = (flags & 2) ? nullptr : key;
    const char *d = (flags & 4) ? nullptr : fallback;

    const bool list = s == nullptr || k == nullptr;
    char *out = (char *)malloc(buffer_size);
    DWORD got = GetPrivateProfileStringA(s, k, d, out, buffer_size, file);
    if (buffer_size == 0) {
        FUZZ_CHECK(got == 0);
    } else {
        FUZZ_CHECK(got < buffer_size && out[got] == '\0');
        FUZZ_CHECK(list || strlen(out) == got);
    }

    // Large enough for any value or default this input can hold.
    const DWORD whole_size = (DWORD)(size + 1);
    char *whole = (char *)malloc(whole_size);
    DWORD whole_len = GetPrivateProfileStringA(s, k, d, whole, whole_size, file);
    FUZZ_CHECK(whole_len < whole_size && whole[whole_len] == '\0');
    FUZZ_CHECK(list || strlen(whole) == whole_len);
    if (buffer_size > 0) {
        DWORD expect = whole_len < buffer_size - 1 ? whole_len : buffer_size - 1;
        DWORD cut_list = buffer_size >= 2 ? buffer_size - 2 : 0;
        FUZZ_CHECK(got == expect || (list && got == cut_list));
        FUZZ_CHECK(memcmp(out, whole, got) == 0);
    }

    UINT number = GetPrivateProfileIntA(s, k, int_default, file);
    if (whole_len == 0) FUZZ_CHECK(number == (UINT)int_default);

    free(whole);
    free(out);
    free(fallback);
    free(key);
    free(section);
    return 0;
}
