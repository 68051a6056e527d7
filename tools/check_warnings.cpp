// The mistakes a player would otherwise find only after a race. Each finding
// is one line that starts with the key (or section, or line) it concerns.
// Templates are judged with the plug-in's own expander and token table.
#include <string.h>

#include <algorithm>

#include "check_internal.h"
#include "naming/naming.h"
#include "naming/tokens.h"
#include "settings/settings.h"

namespace {

// The keys the plug-in reads besides the 22 templates.
const char *const ra_check_plain_keys[] = {"Enabled", "Dir", "IndexStart", "ClearIp", "Record"};
const char *const ra_check_int_keys[] = {"Enabled", "IndexStart", "ClearIp", "Record"};

// Longest Dir for which every name the expander can make still fits a path:
// Dir, "\", the name and ".rp4" within 259 characters.
const size_t ra_check_dir_safe = RA_PATH_SIZE - 1 - 1 - RA_NAME_MAX - (sizeof RA_REPLAY_EXT - 1);

// Numbered tokens: racer names and per-car results, numbered 1 to 16.
const char *const ra_check_numbered[] = {"name", "best_lap_car", "total_time_car", "max_speed_car"};

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

bool ra_check_known_key(const std::string &name) {
    for (const char *k : ra_check_plain_keys) {
        if (ra_check_same_name(name, k)) return true;
    }
    for (const ra_tpl &t : ra_tpls) {
        if (ra_check_same_name(name, t.key)) return true;
    }
    return false;
}

// The known key closest to a misspelt one, or empty when none is close.
std::string ra_check_suggest_key(const std::string &name) {
    std::vector<const char *> keys(std::begin(ra_check_plain_keys), std::end(ra_check_plain_keys));
    for (const ra_tpl &t : ra_tpls) keys.push_back(t.key);
    std::string best;
    size_t best_distance = 3;  // at most two letters wrong
    for (const char *k : keys) {
        size_t d = ra_check_distance(ra_check_lower(name), ra_check_lower(k));
        if (d < best_distance && d < strlen(k)) {
            best = k;
            best_distance = d;
        }
    }
    return best;
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
    for (const char *prefix : ra_check_numbered) {
        if (name.compare(0, strlen(prefix), prefix) == 0) {
            return std::string("%") + prefix + "N% takes a number N from 1 to 16";
        }
    }
    return "";
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
    if (ra_check_same_name(name, "Dir")) return true;
    for (const ra_tpl &t : ra_tpls) {
        if (ra_check_same_name(name, t.key)) return true;
    }
    return false;
}

// The INI text itself: sections and keys the plug-in never reads, keys
// given twice, values it reads otherwise than a player would expect.
void ra_check_text(const ra_check_ini &ini, std::vector<std::string> *warnings) {
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
    for (const ra_check_entry &e : ini.outside) {
        warnings->push_back(e.name + " (line " + std::to_string(e.line) +
                            "): outside any section, never read; keys go below [" RA_INI_SECTION
                            "]");
    }
    for (const ra_check_entry &e : ini.no_equals) {
        warnings->push_back("line " + std::to_string(e.line) + ": \"" + e.name +
                            "\" has no '=' and is ignored");
    }
    for (size_t i = 0; i < ini.keys.size(); ++i) {
        const ra_check_entry &e = ini.keys[i];
        std::string at = " (line " + std::to_string(e.line) + ")";
        if (!ra_check_known_key(e.name)) {
            std::string suggestion = ra_check_suggest_key(e.name);
            warnings->push_back(e.name + at + ": the plug-in does not read this key" +
                                (suggestion.empty() ? "" : "; did you mean " + suggestion + "?"));
            continue;
        }
        const ra_check_entry *first = ra_check_find_key(ini, e.name.c_str());
        if (first != &e) {
            warnings->push_back(e.name + at + ": given again; only the first value (line " +
                                std::to_string(first->line) + ") is read");
            continue;
        }
        int64_t number;
        for (const char *k : ra_check_int_keys) {
            if (ra_check_same_name(e.name, k) && !e.value.empty() &&
                !ra_check_leading_int(e.value, &number)) {
                warnings->push_back(e.name + at + ": \"" + e.value +
                                    "\" is not a number; the plug-in reads 0");
            }
        }
        if (ra_check_is_text_key(e.name) &&
            (e.value.find(" ;") != std::string::npos || e.value.find("\t;") != std::string::npos)) {
            warnings->push_back(e.name + at +
                                ": a ';' after the value does not start a comment; it and "
                                "everything after it are part of the value");
        }
    }
}

}  // namespace

void ra_check_warnings(const ra_check_ini &ini, const ra_ctx &example,
                       std::vector<std::string> *warnings) {
    ra_check_text(ini, warnings);

    const ra_check_entry *dir = ra_check_find_key(ini, "Dir");
    if (dir != nullptr && dir->value.size() > RA_DIR_SIZE - 1) {
        warnings->push_back("Dir: " + std::to_string(dir->value.size()) +
                            " characters; the plug-in keeps only the first 95");
    }
    size_t dir_length = strlen(ra_dir);
    if (dir_length > ra_check_dir_safe) {
        warnings->push_back("Dir: " + std::to_string(dir_length) +
                            " characters; a replay whose name is longer than " +
                            std::to_string(RA_PATH_SIZE - 1 - 1 - 4 - dir_length) +
                            " characters would make a path over 259 characters and is not saved"
                            " (keep Dir to " +
                            std::to_string(ra_check_dir_safe) + ")");
    }

    for (const ra_tpl &t : ra_tpls) {
        const ra_check_entry *raw = ra_check_find_key(ini, t.key);
        if (raw != nullptr && raw->value.size() > RA_TPL_SIZE - 1) {
            warnings->push_back(std::string(t.key) + ": " + std::to_string(raw->value.size()) +
                                " characters; the plug-in keeps only the first 159");
        }
        if (t.value[0] == '\0') continue;
        ra_check_tokens(t.key, t.value, warnings);
        if (ra_check_name_can_be_empty(t.value)) {
            warnings->push_back(std::string(t.key) +
                                ": the name can come out empty (racer names, the track and the "
                                "digests can be empty; trailing dots and spaces are dropped), "
                                "and then no replay is saved");
        }
        if (ra_check_name_fixed(t.value, example)) {
            warnings->push_back(std::string(t.key) +
                                ": the name is the same for every race (no %time% or %index%), "
                                "so each race replaces the replay saved before");
        }
    }
}
