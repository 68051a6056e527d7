// Expected-bytes patterns: pairs of hex digits (either case) or '?', every
// other character skipped wherever it stands. A '?' in either position of a
// pair makes the whole byte a wildcard.
#include "host/host.h"

extern "C" int vq_hexv_(int character) {
    unsigned char c = (unsigned char)character;
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

static int vq_counts(char c) { return c == '?' || vq_hexv_(c) >= 0; }

// Next counting character at or after *p, advancing *p past it; 0 at the end.
static char vq_next_counting(const char **p) {
    while (**p != '\0' && !vq_counts(**p)) ++*p;
    char c = **p;
    if (c != '\0') ++*p;
    return c;
}

extern "C" int vqsdk_hex_match(const void *address, uint32_t length, const char *pattern) {
    const unsigned char *mem = (const unsigned char *)address;
    const char *p = pattern;
    for (uint32_t i = 0; i < length; ++i) {
        char hi = vq_next_counting(&p);
        if (hi == '\0') return 0;
        char lo = vq_next_counting(&p);
        // A pattern ending after the first character of a byte matches that byte.
        if (lo == '\0') continue;
        if (hi == '?' || lo == '?') continue;
        if (mem[i] != (unsigned)(vq_hexv_(hi) * 16 + vq_hexv_(lo))) return 0;
    }
    return 1;
}
