// The text of an INI file as the Windows profile services read it: which
// bytes count as what encoding, and how the lines divide into sections,
// keys and values. One reader for the stand-ins of GetPrivateProfileIntA and
// GetPrivateProfileStringA and for the players' check tool, so that the
// tool sees exactly the keys and values the plug-in gets. Plain C++, no
// Windows calls: it builds for the players' Windows program too.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// How the services take a file's bytes.
enum class ra_profile_encoding {
    ansi,            // no mark: bytes as they are (the ANSI code page)
    utf8_bom,        // EF BB BF: not recognised, the three bytes stay in line 1
    utf16le,         // FF FE: read as UTF-16LE, converted to the ANSI code page
    utf16be,         // FE FF: not recognised, read as ANSI bytes (NULs and all)
    utf16_unmarked,  // NULs in every other byte, no mark: read as ANSI bytes
};

// The file as the ANSI services see it.
struct ra_profile_text {
    ra_profile_encoding encoding = ra_profile_encoding::ansi;
    std::string text;    // the bytes the lines are read from
    bool lossy = false;  // UTF-16 characters the ANSI code page lacks became '?'
};

// The bytes of a file, decoded as the services decode them.
ra_profile_text ra_profile_decode(const std::string &bytes);

// One line of the text and what the services make of it.
struct ra_profile_line {
    enum kind_t {
        blank,    // nothing but blanks
        comment,  // first non-blank character ';' or '#'
        section,  // "[name]": name without blanks around it
        entry,    // "key = value": both trimmed, one pair of quotes off the value
        other,    // no '=': ignored
    } kind;
    int number;         // 1-based; "\r\n", "\n" and "\r" each end a line
    std::string name;   // section or key name (entry, section); the trimmed line (other)
    std::string value;  // entry: the value as the services return it
    bool cut_at_nul;    // entry: the value held a NUL, where it ends
    std::string raw;    // entry: the value as GetPrivateProfileSectionA lists it
                        // (trimmed, cut at a NUL, quotes kept)
};

std::vector<ra_profile_line> ra_profile_lines(const std::string &text);

// The integer at the start of a value, as GetPrivateProfileIntA reads it,
// into *value; false when the value does not start with a number (it then
// reads as 0).
bool ra_profile_int(const std::string &text, uint32_t *value);

// Section and key names compare ignoring ASCII letter case only.
bool ra_profile_same_name(const std::string &a, const std::string &b);
