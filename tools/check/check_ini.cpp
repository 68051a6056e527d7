// Which sections and keys the INI text holds, read with the reader the
// Windows stand-ins use (profile_text.h) for line numbers and for what
// readers disagree on, and then as the system's own profile services read
// them: which keys are set, and to what, is the system's word, so that the
// tool never contradicts the plug-in. The values the plug-in uses always
// come from the loader itself.
#include <string.h>
#include <windows.h>

#include <vector>

#include "check/check_ini.h"
#include "profile_text.h"
#include "settings/settings.h"

bool ra_check_same_name(const std::string &a, const std::string &b) {
    return ra_profile_same_name(a, b);
}

namespace {

// Room for a section or value as the system lists it; a section that does
// not fit is asked for again with twice the room.
const DWORD ra_check_system_room = 1u << 16;
const DWORD ra_check_system_most = 1u << 24;

bool ra_check_blank(char c) { return c == ' ' || c == '\t'; }

std::string ra_check_trim(const std::string &s) {
    size_t begin = 0, end = s.size();
    while (begin < end && ra_check_blank(s[begin])) ++begin;
    while (end > begin && ra_check_blank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

// A list of NUL-ended strings as the system writes it; empty when there is
// none.
std::vector<std::string> ra_check_split_list(const char *list, DWORD length) {
    std::vector<std::string> items;
    for (DWORD at = 0; at < length;) {
        size_t n = strlen(list + at);
        if (n == 0) break;
        items.push_back(std::string(list + at, n));
        at += (DWORD)n + 1;
    }
    return items;
}

// The lines of our section as GetPrivateProfileSectionA gives them.
std::vector<std::string> ra_check_system_section(const char *path) {
    for (DWORD room = ra_check_system_room; room <= ra_check_system_most; room *= 2) {
        std::vector<char> buffer(room);
        DWORD n = GetPrivateProfileSectionA(RA_INI_SECTION, buffer.data(), room, path);
        // A section that filled the buffer may have been cut.
        if (n + 2 < room) return ra_check_split_list(buffer.data(), n);
    }
    return {};
}

// The section names as the system lists them.
bool ra_check_system_has_section(const char *path) {
    std::vector<char> buffer(ra_check_system_room);
    DWORD n =
        GetPrivateProfileStringA(nullptr, nullptr, "", buffer.data(), ra_check_system_room, path);
    for (const std::string &name : ra_check_split_list(buffer.data(), n)) {
        if (ra_check_same_name(name, RA_INI_SECTION)) return true;
    }
    return false;
}

// The value of a key as GetPrivateProfileStringA gives it; false when the
// system does not read the key at all (it answers with the default, two
// different defaults telling that apart from a value equal to one).
bool ra_check_system_value(const char *path, const std::string &key, std::string *value) {
    std::vector<char> buffer(ra_check_system_room);
    const char *const defaults[2] = {"\x01", "\x02"};
    bool unread = true;
    for (const char *fallback : defaults) {
        DWORD n = GetPrivateProfileStringA(RA_INI_SECTION, key.c_str(), fallback, buffer.data(),
                                           ra_check_system_room, path);
        *value = std::string(buffer.data(), n);
        unread = unread && *value == fallback;
    }
    return !unread;
}

// What some readers make of a line that others read otherwise, or "".
std::string ra_check_unsettled_line(const std::string &raw) {
    std::string text = ra_check_trim(raw);
    if (raw.find('\0') != std::string::npos) {
        return "holds a NUL byte, and INI readers differ on where the name or value ends there; "
               "delete it";
    }
    for (char c : raw) {
        if ((unsigned char)c < 0x20 && c != '\t') {
            return "holds a control character (such as Ctrl+Z, a vertical tab or a form feed), "
                   "which some INI readers drop and others keep in the name or value; delete it";
        }
    }
    if (!text.empty() && text[0] == '#') {
        return "starts with '#', which some INI readers take for a comment and others for a "
               "key; start comments with ';'";
    }
    if (!text.empty() && text[0] == '[') {
        size_t close = text.find(']');
        if (close == std::string::npos) {
            return "the section header has no closing ']', and INI readers differ on which "
                   "section the lines below belong to; write it as [Name]";
        }
        if (close + 1 < text.size()) {
            return "there is text after the header's ']' (\"" + text.substr(close + 1) +
                   "\"), and INI readers differ on the section's name; put nothing after ']' "
                   "(a comment goes on a line of its own)";
        }
    }
    return "";
}

// Every line of the text as the services divide it, with what readers may
// read otherwise.
void ra_check_scan_unsettled(const std::string &text, ra_check_ini *out) {
    int number = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string note = ra_check_unsettled_line(text.substr(pos, end - pos));
        ++number;
        if (!note.empty()) out->unsettled.push_back({note, "", number});
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
}

// A quoted value with exactly as many characters inside the quotes as the
// plug-in's buffer holds: readers differ on whether the last one fits.
void ra_check_quoted_fill(const ra_profile_line &line, ra_check_ini *out) {
    const std::string &raw = line.raw;
    bool quoted = raw.size() >= 2 && (raw[0] == '"' || raw[0] == '\'') && raw.back() == raw[0];
    if (!quoted) return;
    size_t room = 0;
    if (ra_check_same_name(line.name, ra_setting_keys[RA_SET_DIR].key)) room = RA_DIR_SIZE - 1;
    for (const char *key : ra_tpl_keys) {
        if (ra_check_same_name(line.name, key)) room = RA_TPL_SIZE - 1;
    }
    if (room == 0 || raw.size() - 2 != room) return;
    out->unsettled.push_back({line.name + ": the value is quoted and exactly " +
                                  std::to_string(room) +
                                  " characters long inside the quotes, and INI readers differ on "
                                  "whether its last character is kept; leave the quotes off",
                              "", line.number});
}

// The first line that holds a letter beyond ASCII in a name or value (the
// bytes of a file with a UTF-8 mark, the mark left off); 0 when none does.
int ra_check_first_non_ascii(const std::string &text) {
    for (const ra_profile_line &line : ra_profile_lines(text)) {
        if (line.kind == ra_profile_line::blank || line.kind == ra_profile_line::comment) continue;
        for (char c : line.name + line.value) {
            if ((unsigned char)c >= 0x80) return line.number;
        }
    }
    return 0;
}

// Keys of our section given again below a line without '=' that spells them.
void ra_check_keys_below(ra_check_ini *out) {
    for (const ra_check_entry &bare : out->no_equals) {
        for (const ra_check_entry &key : out->keys) {
            if (key.line > bare.line && ra_check_same_name(key.name, bare.name)) {
                out->no_equals_before_key.push_back(bare);
                break;
            }
        }
    }
}

}  // namespace

void ra_check_scan_ini(const std::string &bytes, ra_check_ini *out) {
    *out = ra_check_ini();
    ra_profile_text decoded = ra_profile_decode(bytes);
    out->encoding = decoded.encoding;
    out->lossy = decoded.lossy;
    // The services take a UTF-8 mark for text of line 1: what that line
    // would be without it.
    if (decoded.encoding == ra_profile_encoding::utf8_bom) {
        std::vector<ra_profile_line> unmarked = ra_profile_lines(decoded.text.substr(3));
        out->bom_hides_section = !unmarked.empty() && unmarked[0].number == 1 &&
                                 unmarked[0].kind == ra_profile_line::section &&
                                 ra_check_same_name(unmarked[0].name, RA_INI_SECTION);
        out->bom_non_ascii_line = ra_check_first_non_ascii(decoded.text.substr(3));
    }
    // A UTF-16 file read as ANSI bytes is all NULs: told of as a whole.
    if (decoded.encoding != ra_profile_encoding::utf16be &&
        decoded.encoding != ra_profile_encoding::utf16_unmarked) {
        ra_check_scan_unsettled(decoded.text, out);
    }
    // Where the lines being read belong.
    enum { above_sections, in_ours, elsewhere } where = above_sections;
    for (const ra_profile_line &line : ra_profile_lines(decoded.text)) {
        if (line.kind == ra_profile_line::section) {
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
        } else if (line.kind == ra_profile_line::entry) {
            ra_check_entry entry{line.name, line.value, line.number};
            if (where == in_ours) out->keys.push_back(entry);
            if (where == in_ours) ra_check_quoted_fill(line, out);
            if (where == above_sections) out->outside.push_back(entry);
        } else if (line.kind == ra_profile_line::other && where == in_ours) {
            out->no_equals.push_back({line.name, "", line.number});
        }
    }
    ra_check_keys_below(out);
}

const ra_check_entry *ra_check_find_key(const ra_check_ini &ini, const char *key) {
    for (const ra_check_entry &e : ini.keys) {
        if (ra_check_same_name(e.name, key)) return &e;
    }
    return nullptr;
}

void ra_check_read_system(const std::string &profile_path, ra_check_ini *ini) {
    const char *path = profile_path.c_str();
    ini->has_section = ra_check_system_has_section(path);
    if (!ini->has_section) ini->section_line = 0;
    std::vector<ra_check_entry> scanned = ini->keys;
    std::vector<bool> matched(scanned.size(), false);
    ini->keys.clear();
    for (const std::string &item : ra_check_system_section(path)) {
        size_t eq = item.find('=');
        if (eq == std::string::npos) continue;  // a line without '=' is no key
        ra_check_entry entry{item.substr(0, eq), item.substr(eq + 1), 0};
        entry.as_int = GetPrivateProfileIntA(RA_INI_SECTION, entry.name.c_str(), 0, path);
        // A comment to the scan (and to other readers): never a key we read.
        if (entry.name.empty() || entry.name[0] == '#' || entry.name[0] == ';') continue;
        // The scan's line of the same key, the first not yet taken.
        for (size_t i = 0; i < scanned.size(); ++i) {
            if (!matched[i] && ra_check_same_name(scanned[i].name, entry.name)) {
                matched[i] = true;
                entry.line = scanned[i].line;
                break;
            }
        }
        if (ra_check_find_key(*ini, entry.name.c_str()) == nullptr) {
            if (!ra_check_system_value(path, entry.name, &entry.value)) continue;
        } else {
            // A key given again: its value is never read; shown as written.
            std::string v = entry.value;
            if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) {
                v = v.substr(1, v.size() - 2);
            }
            entry.value = v;
        }
        ini->keys.push_back(entry);
    }
}
