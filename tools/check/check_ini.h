// The check tool's reading of the INI text: its lines as the profile
// services take them (profile_text.h), and what the system's own profile
// services read of our section. The rest of the check tool builds on this;
// this reads nothing of the rest.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "profile_text.h"

// One section header or "key = value" line of the INI text.
struct ra_check_entry {
    std::string name;   // section or key name, blanks trimmed
    std::string value;  // the value as the profile services return it
    int line;           // 1-based line number; 0 when only the system saw it
    // Our section's keys, once the system has read them: the key read as an
    // integer by GetPrivateProfileIntA, which is what the plug-in gets.
    uint32_t as_int = 0;
};

// The INI file read with the profile services' rules (profile_text.h: its
// encoding, comment lines, names compared ignoring ASCII case; the first
// section of a name and the first key of a name in it count).
struct ra_check_ini {
    ra_profile_encoding encoding = ra_profile_encoding::ansi;
    bool lossy = false;                // UTF-16 characters became '?'
    bool bom_hides_section = false;    // a UTF-8 mark hides the header on line 1
    int bom_non_ascii_line = 0;        // a UTF-8 mark, and letters beyond ASCII first on this line
    bool has_section = false;          // a [ReplayAutosave] section exists
    int section_line = 0;              // line of its first header
    std::vector<ra_check_entry> keys;  // keys of the first such section, in order
    std::vector<ra_check_entry> other_sections;  // headers of every other section
    std::vector<int> repeated_section;           // lines of later [ReplayAutosave] headers
    std::vector<ra_check_entry> outside;         // keys above the first section header
    std::vector<ra_check_entry> no_equals;       // lines of our section without '='
    // Of those, the ones that spell a key given below them in the section.
    std::vector<ra_check_entry> no_equals_before_key;
    // Lines that INI readers are known to read differently (name: what to
    // tell the player), one per construct found.
    std::vector<ra_check_entry> unsettled;
};

void ra_check_scan_ini(const std::string &bytes, ra_check_ini *out);

// Replaces what the scan found about our section with what the system's own
// profile services read (GetPrivateProfileSectionA, and each key's value as
// GetPrivateProfileStringA and GetPrivateProfileIntA give it), keeping the scan's line numbers
// where both see the same key: whether a key is set, and to what, is the system's word.
// profile_path: the file as the services must be given it.
void ra_check_read_system(const std::string &profile_path, ra_check_ini *ini);

// Names as the profile services compare them: ignoring ASCII letter case.
bool ra_check_same_name(const std::string &a, const std::string &b);

// The first key of that name in our section, or null.
const ra_check_entry *ra_check_find_key(const ra_check_ini &ini, const char *key);
