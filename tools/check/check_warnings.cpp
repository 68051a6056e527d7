// The mistakes a player would otherwise find only after a race. Each finding
// is one line that starts with the key (or section, or line) it concerns.
// Templates are judged with the plug-in's own expander and token table.
#include <string.h>

#include <algorithm>

#include "check/check_internal.h"
#include "naming/naming.h"
#include "autosave/autosave.h"
#include "naming/tokens.h"
#include "settings/settings.h"

namespace {

// Longest Dir for which every name the expander can make still fits a path:
// Dir, "\", the name and ".rp4" within 259 characters.
const size_t ra_check_dir_safe = RA_PATH_SIZE - 1 - 1 - RA_NAME_MAX - (sizeof RA_REPLAY_EXT - 1);

// The expander's tokens, fixed and numbered, as its own table names them.
std::vector<const char *> ra_check_fixed_tokens() {
    std::vector<const char *> keys;
    for (uint32_t i = 0; ra_token_key(i) != nullptr; ++i) keys.push_back(ra_token_key(i));
    return keys;
}
std::vector<const char *> ra_check_numbered() {
    std::vector<const char *> prefixes;
    for (uint32_t i = 0; ra_numbered_token_prefix(i) != nullptr; ++i) {
        prefixes.push_back(ra_numbered_token_prefix(i));
    }
    return prefixes;
}
// Profile readers agree on an integer of at most this many characters: some
// read only this many of a longer value (a 30-character buffer), others all.
const size_t ra_check_int_agreed_length = 29;
// At most this many letters wrong for a suggestion.
const size_t ra_check_max_typos = 2;

// What an integer key that is not a number (and so reads as 0) means; null
// for a key whose 0 says nothing more.
const char *const ra_check_zero_meanings[RA_SETTING_COUNT] = {
    "so the plug-in is OFF: no replay is saved (write 1 to switch it on)",  // Enabled
    nullptr,                                                                // Dir: text
    "so " RA_INDEX_MARKER " starts at 0",                                   // IndexStart
    "so IP addresses stay in the copies (write 1 to blank them)",           // ClearIp
    "so no record of the saved replays is kept (write 1 to keep one)",      // Record
};

std::string ra_check_lower(std::string s) {
    for (char &c : s) {
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    }
    return s;
}

// Edit distance, for suggesting the key a misspelt one was meant to be.
size_t ra_check_distance(const std::string &a, const std::string &b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// " (line N)", or nothing for a key only the system's services saw.
std::string ra_check_at(int line) { return line > 0 ? " (line " + std::to_string(line) + ")" : ""; }

// An integer written with a prefix that INI readers take differently (0b,
// 0o, 0X; 0x is read alike), after an optional sign.
bool ra_check_int_prefix(const std::string &value) {
    size_t i = !value.empty() && (value[0] == '+' || value[0] == '-') ? 1 : 0;
    if (i + 1 >= value.size() || value[i] != '0') return false;
    char p = value[i + 1];
    return p == 'b' || p == 'B' || p == 'o' || p == 'O' || p == 'X';
}

// Every key the plug-in reads: the table's, then the templates'.
std::vector<const char *> ra_check_all_keys() {
    std::vector<const char *> keys;
    for (const ra_setting_key &k : ra_setting_keys) keys.push_back(k.key);
    for (const char *k : ra_tpl_keys) keys.push_back(k);
    return keys;
}

bool ra_check_known_key(const std::string &name) {
    for (const char *k : ra_check_all_keys()) {
        if (ra_check_same_name(name, k)) return true;
    }
    return false;
}

// The known key closest to a misspelt one, or empty when none is close.
std::string ra_check_closest(const std::string &name, const std::vector<const char *> &known) {
    std::string best;
    size_t best_distance = ra_check_max_typos + 1;
    for (const char *k : known) {
        size_t d = ra_check_distance(ra_check_lower(name), ra_check_lower(k));
        if (d < best_distance && d < strlen(k)) {
            best = k;
            best_distance = d;
        }
    }
    return best;
}

std::string ra_check_suggest_key(const std::string &name) {
    return ra_check_closest(name, ra_check_all_keys());
}

// The token a misspelt one was meant to be: "%track%", or "%best_lap_carN%"
// for a numbered token given without its number or misspelt; empty if none.
std::string ra_check_suggest_token(const std::string &name) {
    std::string best = ra_check_closest(name, ra_check_fixed_tokens());
    if (!best.empty()) return "%" + best + "%";
    std::string base = name.substr(0, name.find_last_not_of("0123456789") + 1);
    const std::vector<const char *> numbered = ra_check_numbered();
    best = ra_check_closest(base, numbered);
    for (const char *prefix : numbered) {
        // "best_lap" for "best_lap_car": the start of the name is enough.
        if (best.empty() && base.size() >= 4 && strncmp(prefix, base.c_str(), base.size()) == 0) {
            best = prefix;
        }
    }
    return best.empty() ? "" : "%" + best + "N% with N from 1 to 16";
}

// 1 when the expander knows the token name (cut as it cuts it).
bool ra_check_token_known(const std::string &name) {
    static const ra_ctx zero = {};
    char scratch[RA_NAME_BUF];
    uint32_t fill = 0;
    return ra_put_token(scratch, &fill, name.substr(0, RA_TOKEN_BUF - 1).c_str(), &zero) != 0;
}

std::string ra_check_token_hint(const std::string &name) {
    if (name.empty()) return "%% is no token; a lone % stays in the name as it is";
    if (name.size() > RA_TOKEN_BUF - 1) {
        return "only the first 23 characters of a token name count";
    }
    std::string lower = ra_check_lower(name);
    if (lower != name && ra_check_token_known(lower)) {
        return "tokens are case-sensitive: did you mean %" + lower + "%?";
    }
    for (const char *prefix : ra_check_numbered()) {
        if (name.compare(0, strlen(prefix), prefix) == 0) {
            return std::string("%") + prefix + "N% takes a number N from 1 to 16";
        }
    }
    std::string suggestion = ra_check_suggest_token(lower);
    return suggestion.empty() ? "" : "did you mean " + suggestion + "?";
}

// Every token of the template the expander would write back unexpanded,
// found as the expander finds tokens: from a '%' to the next one.
void ra_check_tokens(const char *key, const char *tpl, std::vector<std::string> *warnings) {
    std::vector<std::string> reported;
    for (const char *p = strchr(tpl, '%'); p != nullptr; p = strchr(p, '%')) {
        const char *close = strchr(p + 1, '%');
        if (close == nullptr) break;  // a '%' without partner is plain text
        std::string name(p + 1, close);
        p = close + 1;
        if (ra_check_token_known(name)) continue;
        if (std::find(reported.begin(), reported.end(), name) != reported.end()) continue;
        reported.push_back(name);
        std::string hint = ra_check_token_hint(name);
        warnings->push_back(std::string(key) + ": unknown token %" + name +
                            "% stays in the file name as it is" +
                            (hint.empty() ? "" : " (" + hint + ")"));
    }
}

// Characters of the template's own text (outside its tokens) that cannot
// stand in a file name, and become '_': the printable ones by name, every
// other byte (non-ASCII letters, in any code page) as one group.
void ra_check_unsafe_text(const char *key, const char *tpl, std::vector<std::string> *warnings) {
    std::string shown;
    bool non_ascii = false;
    for (const char *p = tpl; *p != '\0'; ++p) {
        const char *close = *p == '%' ? strchr(p + 1, '%') : nullptr;
        if (close != nullptr) {
            p = close;  // a token, known or not: told of by the token check
            continue;
        }
        unsigned char c = (unsigned char)*p;
        if (vqra_char_ok(c)) continue;
        if (c >= 0x20 && c < 0x7F) {
            if (shown.find((char)c) == std::string::npos) shown += (char)c;
        } else {
            non_ascii = true;
        }
    }
    if (shown.empty() && !non_ascii) return;
    std::string what;
    for (char c : shown) what += std::string(what.empty() ? "" : " ") + "'" + c + "'";
    if (non_ascii) what += std::string(what.empty() ? "" : " and ") + "non-ASCII letters";
    warnings->push_back(std::string(key) + ": " + what +
                        " cannot stand in a file name and become '_' (letters A to Z, digits, "
                        "spaces and most punctuation are kept)");
}

std::string ra_check_expand(const char *tpl, const ra_ctx &ctx) {
    char name[RA_NAME_BUF];
    return vqra_expand(tpl, &ctx, name);
}

// Names of one template for two races that differ only in what differs
// between any two races: the time of the save and of the start, and the
// index. The same name for both means each race replaces the last.
bool ra_check_name_fixed(const char *tpl, const ra_ctx &example) {
    ra_ctx later = example;
    later.second = (example.second + 1) % 60;
    later.start_second = (example.start_second + 1) % 60;
    later.index = example.index + 1;
    std::string a = ra_check_expand(tpl, example);
    return !a.empty() && a == ra_check_expand(tpl, later);
}

// The name with every field that can be empty left empty: racer names, the
// track and the digests. The type code is never empty.
bool ra_check_name_can_be_empty(const char *tpl) {
    ra_ctx blank = {};
    ra_stpcpy(blank.type, "SR");
    return ra_check_expand(tpl, blank).empty();
}

bool ra_check_is_text_key(const std::string &name) {
    for (const ra_setting_key &k : ra_setting_keys) {
        if (k.is_text && ra_check_same_name(name, k.key)) return true;
    }
    for (const char *k : ra_tpl_keys) {
        if (ra_check_same_name(name, k)) return true;
    }
    return false;
}

// What the system's own reader made of an integer key: the plug-in's value,
// told wherever readers differ, so that the tool never claims a value the
// system does not give.
std::string ra_check_reads_here(const ra_check_entry &e) {
    return "; on this computer the plug-in reads " + std::to_string((int32_t)e.as_int);
}

bool ra_check_blank_or_control(char c) { return (unsigned char)c <= ' '; }

// An integer key's value, judged with our reader and checked against the
// system's (e.as_int).
void ra_check_int_value(const ra_check_entry &e, const char *zero_meaning,
                        std::vector<std::string> *warnings) {
    std::string head = e.name + ra_check_at(e.line) + ": \"" + e.value + "\" ";
    uint32_t ours = 0;
    bool number = ra_profile_int(e.value, &ours);
    size_t start = 0;
    while (start < e.value.size() && ra_check_blank_or_control(e.value[start])) ++start;
    uint32_t skipped;
    if (ra_check_int_prefix(e.value)) {
        warnings->push_back(head +
                            "starts with a prefix INI readers read differently (0b, 0o, 0X)" +
                            ra_check_reads_here(e) + "; write the number in plain decimal digits");
    } else if (e.value.size() > ra_check_int_agreed_length) {
        warnings->push_back(head + "is " + std::to_string(e.value.size()) +
                            " characters long, and INI readers differ on it: some read only its "
                            "first " +
                            std::to_string(ra_check_int_agreed_length) +
                            " characters as the number, others all of it" + ra_check_reads_here(e) +
                            "; write the number without leading zeros");
    } else if (!number && start > 0 && ra_profile_int(e.value.substr(start), &skipped)) {
        warnings->push_back(head +
                            "starts with a blank or a control character, and INI readers differ "
                            "on it: some skip it and read the number after it, others read 0" +
                            ra_check_reads_here(e) + "; write the number alone");
    } else if (!number && e.as_int == 0) {
        warnings->push_back(head + "is not a number; the plug-in reads 0" +
                            (zero_meaning ? std::string(", ") + zero_meaning : std::string()));
    } else if (!number || ours != e.as_int) {
        // No construct we know of, but the readers disagree all the same.
        warnings->push_back(head + "is read as " +
                            (number ? std::to_string((int32_t)ours) : std::string("0")) +
                            " by some INI readers" + ra_check_reads_here(e) +
                            "; write the number in plain decimal digits");
    }
}

// The INI text itself: sections and keys the plug-in never reads, keys
// given twice, values it reads otherwise than a player would expect.
void ra_check_text(const ra_check_ini &ini, std::vector<std::string> *warnings) {
    // Read as ANSI, its names hold NULs and match nothing.
    if (ini.encoding == ra_profile_encoding::utf16be ||
        ini.encoding == ra_profile_encoding::utf16_unmarked) {
        warnings->push_back(
            "the file is saved as UTF-16 without the mark Windows recognises (\"Unicode\" in "
            "Notepad, little-endian): Windows has been seen to read none of it and use every "
            "default, while other INI readers decode it; save the file as ANSI, as UTF-8 without "
            "BOM, or as \"Unicode\"");
        return;  // every other finding would be a consequence of this one
    }
    if (!ini.has_section) {
        for (const ra_check_entry &s : ini.other_sections) {
            warnings->push_back("[" + s.name +
                                "]: the plug-in reads only [" RA_INI_SECTION
                                "], which this file lacks, so nothing in [" +
                                s.name + "] is read");
        }
    }
    for (int line : ini.repeated_section) {
        warnings->push_back("[" RA_INI_SECTION "] (line " + std::to_string(line) +
                            "): only the first section of this name (line " +
                            std::to_string(ini.section_line) + ") is read");
    }
    // Readers differ on a UTF-8 mark before a header on line 1.
    if (ini.bom_hides_section) {
        warnings->push_back(
            "line 1: the file is saved as UTF-8 with a byte-order mark, and INI readers differ on "
            "it: Windows has been seen to read the mark as part of line 1 and so miss "
            "[" RA_INI_SECTION
            "] (every default applies), others skip it; save the file as ANSI "
            "or as UTF-8 without BOM, or leave line 1 empty");
    }
    if (ini.bom_non_ascii_line > 0) {
        warnings->push_back(
            "line " + std::to_string(ini.bom_non_ascii_line) +
            ": the file is saved as UTF-8 with a byte-order mark and holds letters beyond ASCII, "
            "and INI readers differ on them: some decode them (an accented letter is one "
            "character), others take their bytes as they are (two or more characters), so the "
            "plug-in's names and folders differ between them; save the file as ANSI");
    }
    if (ini.lossy) {
        warnings->push_back(
            "the file is saved as Unicode and holds characters the ANSI code page lacks: the "
            "plug-in gets '?' or a similar letter for them (INI readers differ); use only "
            "letters of the ANSI code page");
    }
    for (const ra_check_entry &u : ini.unsettled) {
        warnings->push_back("line " + std::to_string(u.line) + ": " + u.name);
    }
    // Keys below a header the mark hid are told of by the warning above.
    for (const ra_check_entry &e :
         ini.bom_hides_section ? std::vector<ra_check_entry>() : ini.outside) {
        warnings->push_back(e.name + " (line " + std::to_string(e.line) +
                            "): outside any section, never read; keys go below [" RA_INI_SECTION
                            "]");
    }
    for (const ra_check_entry &e : ini.no_equals) {
        bool names_key = false;
        for (const ra_check_entry &k : ini.no_equals_before_key)
            names_key = names_key || k.line == e.line;
        if (names_key) {
            // Whether the key below counts is the system's word.
            bool read = ra_check_find_key(ini, e.name.c_str()) != nullptr;
            warnings->push_back("line " + std::to_string(e.line) + ": \"" + e.name +
                                "\" has no '=', and INI readers differ on it: some ignore it, "
                                "others take it for " +
                                e.name + " without a value and ignore the " + e.name +
                                " line below; on this computer that line is " +
                                (read ? "read" : "not read") + "; delete the line or add '='");
        } else {
            warnings->push_back("line " + std::to_string(e.line) + ": \"" + e.name +
                                "\" has no '=' and is ignored");
        }
    }
    for (size_t i = 0; i < ini.keys.size(); ++i) {
        const ra_check_entry &e = ini.keys[i];
        std::string at = ra_check_at(e.line);
        if (!ra_check_known_key(e.name)) {
            std::string suggestion = ra_check_suggest_key(e.name);
            warnings->push_back(e.name + at + ": the plug-in does not read this key" +
                                (suggestion.empty() ? "" : "; did you mean " + suggestion + "?"));
            continue;
        }
        const ra_check_entry *first = ra_check_find_key(ini, e.name.c_str());
        if (first != &e) {
            warnings->push_back(e.name + at + ": given again; only the first value" +
                                ra_check_at(first->line) + " is read");
            continue;
        }
        for (uint32_t k = 0; k < RA_SETTING_COUNT; ++k) {
            if (!ra_setting_keys[k].is_text && ra_check_same_name(e.name, ra_setting_keys[k].key) &&
                !e.value.empty()) {
                ra_check_int_value(e, ra_check_zero_meanings[k], warnings);
            }
        }
        size_t mark = e.value.find_first_of(";#");
        if (ra_check_is_text_key(e.name) && mark != std::string::npos) {
            warnings->push_back(e.name + at + ": the '" + e.value[mark] +
                                "' and everything after it are part of the value (a comment "
                                "must be a line of its own, starting with ';')");
        }
    }
}

}  // namespace

void ra_check_warnings(const ra_settings &settings, const ra_check_ini &ini, const ra_ctx &example,
                       std::vector<std::string> *warnings) {
    ra_check_text(ini, warnings);

    const std::string dir_key = ra_setting_name(RA_SET_DIR);
    const char *dir_value = settings.dir;
    const ra_check_entry *dir = ra_check_find_key(ini, dir_key.c_str());
    if (dir != nullptr && dir->value.size() > RA_DIR_SIZE - 1) {
        warnings->push_back(dir_key + ": " + std::to_string(dir->value.size()) +
                            " characters; the plug-in keeps only the first " +
                            std::to_string(RA_DIR_SIZE - 1));
    }
    size_t dir_length = strlen(dir_value);
    if (dir_length > ra_check_dir_safe) {
        warnings->push_back(dir_key + ": " + std::to_string(dir_length) +
                            " characters; a replay whose name is longer than " +
                            std::to_string(RA_PATH_SIZE - 1 - 1 - 4 - dir_length) +
                            " characters would make a path over 259 characters and is not saved"
                            " (keep " +
                            dir_key + " to " + std::to_string(ra_check_dir_safe) + ")");
    }
    size_t last = dir_length - 1;
    if (dir_length > 1 && (dir_value[last] == '\\' || dir_value[last] == '/')) {
        warnings->push_back(dir_key + ": ends in '" + dir_value[last] +
                            "', and the plug-in adds a '\\' after " + dir_key +
                            " itself, so saved paths get two in a row; leave the last '" +
                            dir_value[last] + "' off");
    }
    if (strchr(dir_value, '%') != nullptr) {
        warnings->push_back(
            dir_key +
            ": a '%' is taken as it is (no %VARIABLE% is expanded), so the replays go to a "
            "folder with that name; write the folder's full path instead");
    }

    for (const ra_tpl &t : settings.tpls) {
        const ra_check_entry *raw = ra_check_find_key(ini, t.key);
        if (raw != nullptr && raw->value.size() > RA_TPL_SIZE - 1) {
            warnings->push_back(std::string(t.key) + ": " + std::to_string(raw->value.size()) +
                                " characters; the plug-in keeps only the first " +
                                std::to_string(RA_TPL_SIZE - 1));
        }
        if (t.value[0] == '\0') continue;
        ra_check_tokens(t.key, t.value, warnings);
        ra_check_unsafe_text(t.key, t.value, warnings);
        if (ra_check_name_can_be_empty(t.value)) {
            warnings->push_back(std::string(t.key) +
                                ": the name can come out empty (racer names, the track and the "
                                "digests can be empty; trailing dots and spaces are dropped), "
                                "and then no replay is saved");
        }
        if (ra_check_name_fixed(t.value, example)) {
            warnings->push_back(std::string(t.key) + ": the name is the same for every race (no %" +
                                RA_TIME_TOKEN "% or " RA_INDEX_MARKER
                                              "), so each race replaces the replay saved before");
        }
    }
}

void ra_check_name_warnings(const ra_settings &settings, const ra_check_ini &ini,
                            const std::vector<ra_check_name> &names,
                            const std::vector<std::string> &used, const std::string &source,
                            std::vector<std::string> *warnings) {
    std::string same;
    for (const ra_check_name &n : names) {
        if (n.is_source) {
            same += std::string(same.empty() ? "" : ", ") + n.code->code;
        }
    }
    const std::string dir_key = ra_setting_name(RA_SET_DIR);
    if (!same.empty()) {
        warnings->push_back(dir_key + " and the name template make the game's own replay " +
                            source + " for " + same +
                            ": the plug-in never copies it onto itself, so nothing is saved for "
                            "these races; use another " +
                            dir_key + " or name");
    }

    const std::string index_key = ra_setting_name(RA_SET_INDEX_START);
    const ra_check_entry *index_start = ra_check_find_key(ini, index_key.c_str());
    if (index_start == nullptr) return;
    for (const std::string &key : used) {
        const char *tpl =
            key == ra_check_builtin ? ra_default_tpl : ra_tpl_in(settings.tpls, key.c_str());
        if (tpl != nullptr && ra_strstr(tpl, RA_INDEX_MARKER) != nullptr) return;
    }
    warnings->push_back(index_key + ra_check_at(index_start->line) +
                        ": no template in use has " RA_INDEX_MARKER ", so " + index_key +
                        " changes nothing");
}
