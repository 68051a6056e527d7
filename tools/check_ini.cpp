// Which sections and keys the INI text holds, and the raw values, read
// with the very reader the Windows stand-ins use (profile_text.h), so that
// the tool sees the keys the plug-in's loader sees; the values the plug-in
// uses always come from the loader itself.
#include <string.h>

#include "check.h"
#include "check_internal.h"
#include "profile_text.h"
#include "settings/settings.h"

bool ra_check_same_name(const std::string &a, const std::string &b) {
    return sim_profile_same_name(a, b);
}

void ra_check_scan_ini(const std::string &bytes, ra_check_ini *out) {
    *out = ra_check_ini();
    sim_profile_text decoded = sim_profile_decode(bytes);
    out->encoding = decoded.encoding;
    out->lossy = decoded.lossy;
    // The services take a UTF-8 mark for text of line 1: what that line
    // would be without it.
    if (decoded.encoding == sim_profile_encoding::utf8_bom) {
        std::vector<sim_profile_line> unmarked = sim_profile_lines(decoded.text.substr(3));
        out->bom_hides_section = !unmarked.empty() && unmarked[0].number == 1 &&
                                 unmarked[0].kind == sim_profile_line::section &&
                                 ra_check_same_name(unmarked[0].name, RA_INI_SECTION);
    }
    // Where the lines being read belong.
    enum { above_sections, in_ours, elsewhere } where = above_sections;
    for (const sim_profile_line &line : sim_profile_lines(decoded.text)) {
        if (line.kind == sim_profile_line::section) {
            if (!ra_check_same_name(line.name, RA_INI_SECTION)) {
                out->other_sections.push_back({line.name, "", line.number});
                where = elsewhere;
            } else if (!out->has_section) {
                out->has_section = true;
                out->section_line = line.number;
                where = in_ours;
            } else {
                // The services stop at the end of the first section of a name.
                out->repeated_section.push_back(line.number);
                where = elsewhere;
            }
        } else if (line.kind == sim_profile_line::entry) {
            ra_check_entry entry{line.name, line.value, line.number};
            if (where == in_ours) out->keys.push_back(entry);
            if (where == above_sections) out->outside.push_back(entry);
        } else if (line.kind == sim_profile_line::other && where == in_ours) {
            out->no_equals.push_back({line.name, "", line.number});
        }
    }
}

const ra_check_entry *ra_check_find_key(const ra_check_ini &ini, const char *key) {
    for (const ra_check_entry &e : ini.keys) {
        if (ra_check_same_name(e.name, key)) return &e;
    }
    return nullptr;
}
