// Escaping text for HTML and for JSON.
#include "library/text/html_text.h"

#include <stdint.h>
#include <string.h>

#include "code_page.h"

namespace {

// U+FFFD, shown for what is no character of text.
const uint32_t ra_replacement = 0xFFFD;

// Control characters (a NUL, 0x01, DEL from a hand-edited file, the C1
// controls U+0080 to U+009F) are no text; tabs and line ends are white space.
bool ra_control(uint32_t c) {
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || (c >= 0x7F && c < 0xA0);
}

// The text as UTF-8, with & < > " ' as references when `markup` is set.
std::string ra_text_as_utf8(const std::string &text, bool markup) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        // Most of a page is letters and digits: a byte each, as it is.
        const unsigned char byte = (unsigned char)text[i];
        if (byte >= 0x20 && byte < 0x7F && !(markup && strchr("&<>\"'", byte))) {
            out += (char)byte;
            ++i;
            continue;
        }
        const size_t start = i;
        const uint32_t c = ra_utf8_next(text, &i);
        if (c == ra_no_char || ra_control(c)) {
            ra_put_utf8(&out, ra_replacement);
            continue;
        }
        if (markup) {
            switch (c) {
            case '&':
                out += "&amp;";
                continue;
            case '<':
                out += "&lt;";
                continue;
            case '>':
                out += "&gt;";
                continue;
            case '"':
                out += "&quot;";
                continue;
            case '\'':
                out += "&#39;";
                continue;
            }
        }
        out.append(text, start, i - start);
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
