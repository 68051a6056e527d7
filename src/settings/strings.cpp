// The small string helpers every module shares.
#include "settings/settings.h"

extern "C" char *ra_stpcpy(char *dst, const char *src) {
    while ((*dst = *src) != '\0') {
        ++dst;
        ++src;
    }
    return dst;
}

// Only 'a'..'z' fold: the game's strings and our keys are ASCII, and bytes
// from 0x80 up must not be folded by any code page.
extern "C" unsigned char ra_upper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? (unsigned char)(c - 'a' + 'A') : c;
}

extern "C" int ra_ieq(const char *a, const char *b) {
    for (;; ++a, ++b) {
        if (ra_upper((unsigned char)*a) != ra_upper((unsigned char)*b)) return 0;
        if (*a == '\0') return 1;
    }
}

extern "C" const char *ra_strstr(const char *haystack, const char *needle) {
    if (*needle == '\0') return haystack;
    for (; *haystack != '\0'; ++haystack) {
        const char *h = haystack;
        const char *n = needle;
        while (*n != '\0' && *h == *n) {
            ++h;
            ++n;
        }
        if (*n == '\0') return haystack;
    }
    return nullptr;
}
