// Random bytes from the system's own generator for secrets: one source per
// platform, chosen by the build (platform/win/random.cpp,
// platform/linux/random.cpp).
#pragma once

#include <stddef.h>

#include <string>

// Fills bytes[0..count); false when the system gives none.
bool ra_random_bytes(unsigned char *bytes, size_t count);

// The most bytes ra_random_hex gives at once.
const size_t ra_random_hex_max = 32;

// count random bytes as lower-case hex digits (two per byte), for secrets,
// nonces and names nobody can guess; empty when the system gives none or
// count is above ra_random_hex_max.
inline std::string ra_random_hex(size_t count) {
    static const char hex[] = "0123456789abcdef";
    unsigned char raw[ra_random_hex_max];
    if (count > sizeof raw || !ra_random_bytes(raw, count)) return "";
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += hex[raw[i] >> 4];
        text += hex[raw[i] & 15];
    }
    return text;
}
