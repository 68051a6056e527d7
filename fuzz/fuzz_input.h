// Small helpers shared by the fuzz targets: splitting the input into parts
// and checking properties.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// A broken property stops the run on the spot, with a line that says which.
#define FUZZ_CHECK(cond)                                                                \
    do {                                                                                \
        if (!(cond)) {                                                                  \
            fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #cond); \
            abort();                                                                    \
        }                                                                               \
    } while (0)

// Reads the input front to back.
struct fuzz_input {
    const uint8_t *data;
    size_t size;

    // Bytes up to the next NUL (or the end), the NUL consumed.
    size_t take_text(const uint8_t **text) {
        *text = data;
        size_t n = 0;
        while (n < size && data[n] != 0) ++n;
        size_t used = n < size ? n + 1 : n;
        data += used;
        size -= used;
        return n;
    }

    // One byte, 0 when none is left.
    uint8_t take_byte(void) {
        if (size == 0) return 0;
        --size;
        return *data++;
    }

    // Up to n bytes into out; the rest of out is zeroed.
    void take_bytes(void *out, size_t n) {
        size_t k = n < size ? n : size;
        memcpy(out, data, k);
        memset((uint8_t *)out + k, 0, n - k);
        data += k;
        size -= k;
    }
};

// A heap copy of exactly n bytes plus a terminator, so that ASan sees any
// read past the terminator. Release with free().
inline char *fuzz_exact_string(const uint8_t *bytes, size_t n) {
    char *s = (char *)malloc(n + 1);
    if (n) memcpy(s, bytes, n);
    s[n] = '\0';
    return s;
}
