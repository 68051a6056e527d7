// How the Windows profile services take an INI file's bytes and lines.
//
// Encodings, as the ANSI services (GetPrivateProfileIntA/StringA) of
// Windows 10 and 11 read them (observed behaviour, documented nowhere by
// Microsoft; reported in "How do WritePrivateProfileStringA() and Unicode go
// together?", Stack Overflow question 6340857, and in Tera Term's developer
// notes on the Win32 API, "ini file"):
// - Only a UTF-16LE byte order mark (FF FE) makes a "Unicode" profile. Its
//   text is UTF-16LE and reaches the ANSI functions converted to the ANSI
//   code page; characters the code page lacks become '?'. We model the code
//   page as Windows-1252.
// - A UTF-8 byte order mark is not recognised: EF BB BF are three more
//   characters of line 1, so a "[section]" header there is not seen (a
//   header on a later line is not affected).
// - A reversed mark (FE FF, UTF-16BE) was not found to be recognised on
//   Windows 10 21H1 (same Stack Overflow answer), and a UTF-16 file without
//   any mark has nothing to recognise: both are read as ANSI bytes, so every
//   name holds NULs, no section or key matches, and every default applies.
//   We choose that reading over a guess (IsTextUnicode-style detection is
//   what some other readers do) because it is the one reported on Windows.
//
// Lines, as modelled since the first stand-ins:
// - lines end at "\n", "\r\n" or "\r";
// - a line whose first non-blank character is ";" or "#" is a comment (a ";"
//   later in a line is part of the value);
// - "[name]" opens a section; blanks around the name are ignored;
// - "key = value": blanks around key and value are ignored; a value wrapped
//   in matching double or single quotes loses them; a NUL ends the value;
//   lines without "=" are ignored;
// - section and key names compare ignoring ASCII letter case.
// Where Wine reads a line otherwise and no source tells what Windows does
// ('#' lines, control bytes, NULs in names, headers without ']' or with
// text after it, 0b/0o/0X prefixes, a line without '=' spelling a key,
// letters beyond ASCII in a file with a UTF-8 mark, a number after a blank
// or longer than 29 characters), the differential test lists both readings
// (tests/wine/profile_differential) and the players' check tool warns about
// the construct.
#include "profile_text.h"

#include <stdint.h>

#include "code_page.h"

namespace {

const char sim_utf8_bom[] = "\xEF\xBB\xBF";
const uint32_t sim_utf16_mark = 0xFEFF;
// What the ANSI code page writes for a character it lacks.
const char sim_lost_char = '?';
// Pairs looked at to tell UTF-16 without a mark from ANSI text.
const size_t sim_utf16_probe_pairs = 32;

ra_profile_text sim_decode_utf16le(const std::string &bytes) {
    ra_profile_text out;
    out.encoding = ra_profile_encoding::utf16le;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        uint32_t unit = (uint8_t)bytes[i] | (uint32_t)(uint8_t)bytes[i + 1] << 8;
        bool high_surrogate = unit >= 0xD800 && unit <= 0xDBFF;
        if (high_surrogate && i + 3 < bytes.size()) {
            uint32_t next = (uint8_t)bytes[i + 2] | (uint32_t)(uint8_t)bytes[i + 3] << 8;
            // A pair is one character, beyond any ANSI code page.
            if (next >= 0xDC00 && next <= 0xDFFF) i += 2;
        }
        char c;
        if (!ra_cp1252_byte(unit, &c)) {
            c = sim_lost_char;
            out.lossy = true;
        }
        out.text += c;
    }
    return out;
}

// NULs in every other byte of the first pairs, with characters beside them.
bool sim_looks_utf16(const std::string &bytes) {
    size_t pairs =
        bytes.size() / 2 < sim_utf16_probe_pairs ? bytes.size() / 2 : sim_utf16_probe_pairs;
    if (pairs == 0) return false;
    size_t low_nul = 0, high_nul = 0;
    for (size_t i = 0; i < pairs; ++i) {
        bool low = bytes[2 * i] == '\0', high = bytes[2 * i + 1] == '\0';
        low_nul += low && !high;
        high_nul += high && !low;
    }
    return low_nul * 2 > pairs || high_nul * 2 > pairs;
}

bool sim_blank(char c) { return c == ' ' || c == '\t'; }

std::string sim_trim(const std::string &s) {
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && sim_blank(s[begin])) ++begin;
    while (end > begin && sim_blank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

char sim_fold(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }

ra_profile_line sim_read_line(const std::string &raw, int number) {
    ra_profile_line line{ra_profile_line::other, number, "", "", false, ""};
    std::string text = sim_trim(raw);
    if (text.empty()) {
        line.kind = ra_profile_line::blank;
    } else if (text[0] == ';' || text[0] == '#') {
        line.kind = ra_profile_line::comment;
        line.name = text;
    } else if (text[0] == '[') {
        size_t close = text.find(']');
        line.kind = ra_profile_line::section;
        line.name = sim_trim(text.substr(1, close == std::string::npos ? close : close - 1));
    } else if (size_t eq = text.find('='); eq != std::string::npos) {
        line.kind = ra_profile_line::entry;
        line.name = sim_trim(text.substr(0, eq));
        std::string v = sim_trim(text.substr(eq + 1));
        line.raw = v.substr(0, v.find('\0'));
        if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) {
            v = v.substr(1, v.size() - 2);
        }
        size_t nul = v.find('\0');
        line.cut_at_nul = nul != std::string::npos;
        if (line.cut_at_nul) v.erase(nul);
        line.value = v;
    } else {
        line.name = text;
    }
    return line;
}

}  // namespace

ra_profile_text ra_profile_decode(const std::string &bytes) {
    if (bytes.size() >= 2 && (uint8_t)bytes[0] == (sim_utf16_mark & 0xFF) &&
        (uint8_t)bytes[1] == (sim_utf16_mark >> 8)) {
        return sim_decode_utf16le(bytes);
    }
    ra_profile_text out;
    out.text = bytes;
    if (bytes.compare(0, 3, sim_utf8_bom) == 0) {
        out.encoding = ra_profile_encoding::utf8_bom;
    } else if (bytes.size() >= 2 && (uint8_t)bytes[0] == (sim_utf16_mark >> 8) &&
               (uint8_t)bytes[1] == (sim_utf16_mark & 0xFF)) {
        out.encoding = ra_profile_encoding::utf16be;
    } else if (sim_looks_utf16(bytes)) {
        out.encoding = ra_profile_encoding::utf16_unmarked;
    }
    return out;
}

std::vector<ra_profile_line> ra_profile_lines(const std::string &text) {
    std::vector<ra_profile_line> lines;
    int number = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(sim_read_line(text.substr(pos, end - pos), ++number));
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

bool ra_profile_same_name(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (sim_fold(a[i]) != sim_fold(b[i])) return false;
    }
    return true;
}

// An integer as Windows reads it from a profile: optional sign, then "0x"
// and hex digits or decimal digits, stopping at the first other character;
// no digits at all give 0; overflow wraps around modulo 2^32.
bool ra_profile_int(const std::string &s, uint32_t *out) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    uint32_t value = 0;
    bool number = false;
    if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        number = true;  // "0x" alone reads as 0
        for (i += 2; i < s.size(); ++i) {
            char c = s[i];
            uint32_t digit;
            if (c >= '0' && c <= '9') {
                digit = (uint32_t)(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = (uint32_t)(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = (uint32_t)(c - 'A' + 10);
            } else {
                break;
            }
            value = value * 16u + digit;
        }
    } else {
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            value = value * 10u + (uint32_t)(s[i] - '0');
            number = true;
        }
    }
    *out = negative ? 0u - value : value;
    return number;
}
