// Windows-1252 and UTF-8, both ways.
#include "code_page.h"

namespace {

// Windows-1252 bytes 0x80..0x9F and the characters they stand for. The five
// bytes the code page leaves undefined (81, 8D, 8F, 90, 9D) map to the C1
// control of the same value, as Windows' table for the code page does
// (Unicode's vendor mapping WindowsBestFit/bestfit1252.txt), so that every
// byte comes back from its character.
const uint16_t sim_cp1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// What the code page writes for a character it lacks.
const char sim_lost_char = '?';

}  // namespace

uint32_t ra_cp1252_char(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? sim_cp1252_high[byte - 0x80] : byte;
}

bool ra_cp1252_byte(uint32_t c, char *out) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        *out = (char)c;
        return true;
    }
    for (uint32_t i = 0; i < 32; ++i) {
        if (sim_cp1252_high[i] == c) {
            *out = (char)(0x80 + i);
            return true;
        }
    }
    return false;
}

uint32_t ra_utf8_next(const std::string &text, size_t *at) {
    const unsigned char *s = (const unsigned char *)text.data() + *at;
    const size_t left = text.size() - *at;
    auto cont = [&](size_t i) { return i < left && (s[i] & 0xC0) == 0x80; };
    size_t n = 0;
    uint32_t c = ra_no_char;
    if (s[0] < 0x80) {
        n = 1;
        c = s[0];
    } else if (s[0] >= 0xC2 && s[0] <= 0xDF && cont(1)) {
        n = 2;
        c = (uint32_t)(s[0] & 0x1F) << 6 | (s[1] & 0x3F);
    } else if (s[0] >= 0xE0 && s[0] <= 0xEF && cont(1) && cont(2) &&
               !(s[0] == 0xE0 && s[1] < 0xA0) &&   // overlong
               !(s[0] == 0xED && s[1] >= 0xA0)) {  // a surrogate
        n = 3;
        c = (uint32_t)(s[0] & 0x0F) << 12 | (uint32_t)(s[1] & 0x3F) << 6 | (s[2] & 0x3F);
    } else if (s[0] >= 0xF0 && s[0] <= 0xF4 && cont(1) && cont(2) && cont(3) &&
               !(s[0] == 0xF0 && s[1] < 0x90) &&   // overlong
               !(s[0] == 0xF4 && s[1] >= 0x90)) {  // above U+10FFFF
        n = 4;
        c = (uint32_t)(s[0] & 0x07) << 18 | (uint32_t)(s[1] & 0x3F) << 12 |
            (uint32_t)(s[2] & 0x3F) << 6 | (s[3] & 0x3F);
    }
    *at += n == 0 ? 1 : n;
    return c;
}

void ra_put_utf8(std::string *out, uint32_t c) {
    if (c < 0x80) {
        *out += (char)c;
    } else if (c < 0x800) {
        *out += (char)(0xC0 | (c >> 6));
        *out += (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out += (char)(0xE0 | (c >> 12));
        *out += (char)(0x80 | ((c >> 6) & 0x3F));
        *out += (char)(0x80 | (c & 0x3F));
    } else {
        *out += (char)(0xF0 | (c >> 18));
        *out += (char)(0x80 | ((c >> 12) & 0x3F));
        *out += (char)(0x80 | ((c >> 6) & 0x3F));
        *out += (char)(0x80 | (c & 0x3F));
    }
}

std::string ra_cp1252_to_utf8(const std::string &bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char byte : bytes) ra_put_utf8(&out, ra_cp1252_char(byte));
    return out;
}

std::string ra_utf8_to_cp1252(const std::string &text, bool *lossy) {
    std::string out;
    out.reserve(text.size());
    *lossy = false;
    for (size_t at = 0; at < text.size();) {
        char byte;
        const uint32_t c = ra_utf8_next(text, &at);
        if (c == ra_no_char || !ra_cp1252_byte(c, &byte)) {
            byte = sim_lost_char;
            *lossy = true;
        }
        out += byte;
    }
    return out;
}
