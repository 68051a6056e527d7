// Escaping text for HTML, and reading the game's 8-bit texts as UTF-8.
#include "library/html_text.h"

#include <stdint.h>

#include "profile_text.h"

namespace {

// U+FFFD, shown for what is no character of text.
const uint32_t ra_replacement = 0xFFFD;

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

namespace {

// The text as UTF-8, with & < > " ' as references when `markup` is set.
std::string ra_text_as_utf8(const std::string &text, bool markup) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char c = (unsigned char)text[i];
        if (c < 0x80 && !markup &&
            ((c >= 0x20 && c != 0x7F) || c == '\t' || c == '\n' || c == '\r')) {
            out += (char)c;
            ++i;
            continue;
        }
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
                // Control characters (a NUL, 0x01, DEL from a hand-edited
                // file) are no text; tabs and line ends are white space.
                if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) {
                    ra_put_utf8(&out, ra_replacement);
                } else {
                    out += (char)c;
                }
            }
            ++i;
            continue;
        }
        size_t n = ra_utf8_length(text, i);
        // U+0080 to U+009F, written C2 80 to C2 9F: the C1 control characters.
        if (n == 2 && (unsigned char)text[i] == 0xC2 && (unsigned char)text[i + 1] < 0xA0) {
            ra_put_utf8(&out, ra_replacement);
            i += n;
            continue;
        }
        if (n != 0) {
            out.append(text, i, n);
            i += n;
            continue;
        }
        // A byte of the game's code page, Windows-1252; one it leaves
        // unassigned shows as the replacement character.
        uint32_t u = sim_cp1252_char(c);
        ra_put_utf8(&out, u < 0xA0 ? ra_replacement : u);
        ++i;
    }
    return out;
}

}  // namespace

std::string ra_html_text(const std::string &text) { return ra_text_as_utf8(text, true); }

std::string ra_utf8_text(const std::string &text) { return ra_text_as_utf8(text, false); }

std::string ra_url_text(const std::string &text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += (char)c;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}
