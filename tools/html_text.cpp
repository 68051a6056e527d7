// Escaping text for HTML, and reading the game's 8-bit texts as UTF-8.
#include "html_text.h"

#include <stdint.h>

#include "profile_text.h"

namespace {

void ra_put_utf8(std::string *out, uint32_t c) {
    if (c < 0x80) {
        *out += (char)c;
    } else if (c < 0x800) {
        *out += (char)(0xC0 | (c >> 6));
        *out += (char)(0x80 | (c & 0x3F));
    } else {
        *out += (char)(0xE0 | (c >> 12));
        *out += (char)(0x80 | ((c >> 6) & 0x3F));
        *out += (char)(0x80 | (c & 0x3F));
    }
}

// Length of the well-formed UTF-8 sequence at text[at] of two to four bytes
// (no overlong forms, no surrogates, nothing above U+10FFFF); 0 when there
// is none.
size_t ra_utf8_length(const std::string &text, size_t at) {
    const unsigned char *s = (const unsigned char *)text.data() + at;
    size_t left = text.size() - at;
    auto cont = [&](size_t i) { return i < left && (s[i] & 0xC0) == 0x80; };
    if (s[0] >= 0xC2 && s[0] <= 0xDF) return cont(1) ? 2 : 0;
    if (s[0] >= 0xE0 && s[0] <= 0xEF) {
        if (!cont(1) || !cont(2)) return 0;
        if (s[0] == 0xE0 && s[1] < 0xA0) return 0;   // overlong
        if (s[0] == 0xED && s[1] >= 0xA0) return 0;  // surrogate
        return 3;
    }
    if (s[0] >= 0xF0 && s[0] <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3)) return 0;
        if (s[0] == 0xF0 && s[1] < 0x90) return 0;   // overlong
        if (s[0] == 0xF4 && s[1] >= 0x90) return 0;  // above U+10FFFF
        return 4;
    }
    return 0;
}

}  // namespace

std::string ra_html_text(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char c = (unsigned char)text[i];
        if (c < 0x80) {
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += (char)c;
            }
            ++i;
            continue;
        }
        size_t n = ra_utf8_length(text, i);
        if (n != 0) {
            out.append(text, i, n);
            i += n;
            continue;
        }
        // A byte of the game's code page, Windows-1252; one it leaves
        // unassigned shows as the replacement character.
        uint32_t u = sim_cp1252_char(c);
        ra_put_utf8(&out, u < 0xA0 ? 0xFFFD : u);
        ++i;
    }
    return out;
}
