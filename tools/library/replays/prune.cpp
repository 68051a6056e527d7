// Choosing the replays prune removes, and removing them.
#include "library/replays/prune.h"

#include <stdio.h>
#include <string.h>

#include <iterator>
#include <map>
#include <system_error>

#include "platform/game_paths.h"
#include "library/record/record_reader.h"
#include "platform/remove.h"
#include "library/replays/replays.h"
#include "library/replays/keep_marks.h"
#include "library/cache/library_index.h"
#include "library/text/folded_name.h"
#include "library/replays/sha256.h"

namespace fs = std::filesystem;

namespace {

// Units of --max-size and of the sizes shown, 1024-based as Windows counts.
const uint64_t ra_kib = 1024;
const uint64_t ra_mib = 1024 * ra_kib;
const uint64_t ra_gib = 1024 * ra_mib;

// The names of the entries of dir, by folded name: two names under one key
// differ only in letter case.
using ra_dir_names = std::multimap<std::string, std::string>;

ra_dir_names ra_list_names(const fs::path &dir) {
    ra_dir_names names;
    std::error_code failed;
    fs::directory_iterator it(dir, failed), end;
    for (; !failed && it != end; it.increment(failed)) {
        std::string name = ra_text(it->path().filename());
        names.emplace(ra_folded_name(name), name);
    }
    return names;
}

// The file a record line names, when prune may remove it: one plain name (no
// folder, no drive, not "." or ".."), a regular file directly in dir (not a
// link, not a folder), and not one that restore kept. The record reader
// refuses such names already; they are checked again where files are
// removed, so that a damaged or hostile line can never reach outside Dir.
// The file is the one of exactly that name, or, where the folder ignores
// letter case, the one file the folder gives for it; never one of two files
// that differ only in case, of which the other may be the player's.
bool ra_prunable(const fs::path &dir, const ra_dir_names &names, const std::string &name,
                 fs::path *path, uint64_t *size) {
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("\\/:") != std::string::npos || ra_backup_name(name)) {
        return false;
    }
    fs::path file = dir / ra_path(name);
    std::error_code failed;
    if (file.filename() != ra_path(name) ||
        !fs::is_regular_file(fs::symlink_status(file, failed))) {
        return false;
    }
    auto same = names.equal_range(ra_folded_name(name));
    if (same.first == same.second || std::next(same.first) != same.second) return false;
    const std::string &listed = same.first->second;
    if (listed != name) {
        // Another spelling: only the file the folder itself gives for the name.
        fs::path real = dir / ra_path(listed);
        if (!fs::equivalent(real, file, failed) || failed) return false;
        file = real;
    }
    uintmax_t bytes = fs::file_size(file, failed);
    if (failed) return false;
    *path = file;
    *size = bytes;
    return true;
}

}  // namespace

std::string ra_prune_plan(const std::vector<ra_prune_candidate> &candidates) {
    std::string going;
    for (const ra_prune_candidate &c : candidates) {
        // A name holds no NUL: each one ends where its size begins.
        if (!c.reasons.empty()) going += c.file + '\0' + std::to_string(c.size) + '\n';
    }
    return ra_sha256_hex(going);
}

void ra_prune_decide(const ra_prune_policy &policy, std::vector<ra_prune_candidate> *candidates) {
    uint64_t kept_bytes = 0;
    bool full = false;  // a newer replay did not fit: no older one stays by size
    for (size_t i = 0; i < candidates->size(); ++i) {
        ra_prune_candidate &c = (*candidates)[i];
        c.reasons.clear();
        if (policy.keep && i >= *policy.keep) {
            c.reasons.push_back("not among the " + std::to_string(*policy.keep) + " newest");
        }
        if (policy.max_size) {
            if (!full && c.size <= *policy.max_size - kept_bytes) {
                kept_bytes += c.size;
            } else {
                full = true;
                c.reasons.push_back("beyond the newest " + ra_format_size(*policy.max_size));
            }
        }
        if (policy.before && c.saved < *policy.before) {
            c.reasons.push_back("saved before " + ra_format_time(*policy.before));
        }
    }
}

bool ra_parse_count(const std::string &text, uint64_t *count) {
    if (text.empty()) return false;
    uint64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        uint64_t digit = (uint64_t)(c - '0');
        if (n > (UINT64_MAX - digit) / 10) return false;
        n = n * 10 + digit;
    }
    *count = n;
    return true;
}

bool ra_parse_size(const std::string &text, uint64_t *bytes) {
    uint64_t unit = 1;
    std::string digits = text;
    // "2GB" and "2 GB" as Windows writes sizes, as well as "2G".
    if (digits.size() >= 2 && (digits.back() == 'B' || digits.back() == 'b') &&
        strchr("KkMmGg", digits[digits.size() - 2]) != nullptr) {
        digits.pop_back();
    }
    if (!digits.empty()) {
        switch (digits.back()) {
        case 'K':
        case 'k':
            unit = ra_kib;
            break;
        case 'M':
        case 'm':
            unit = ra_mib;
            break;
        case 'G':
        case 'g':
            unit = ra_gib;
            break;
        }
        if (unit != 1) digits.pop_back();
        // One blank between the number and its unit.
        if (unit != 1 && digits.size() >= 2 && digits.back() == ' ') digits.pop_back();
    }
    uint64_t n = 0;
    if (!ra_parse_count(digits, &n) || n > UINT64_MAX / unit) return false;
    *bytes = n * unit;
    return true;
}

std::string ra_format_size(uint64_t bytes) {
    if (bytes < ra_kib) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const char *unit = bytes >= ra_gib ? "GB" : bytes >= ra_mib ? "MB" : "KB";
    uint64_t size = bytes >= ra_gib ? ra_gib : bytes >= ra_mib ? ra_mib : ra_kib;
    if (bytes % size == 0) return std::to_string(bytes / size) + " " + unit;
    char text[32];
    snprintf(text, sizeof text, "%.1f %s", (double)bytes / (double)size, unit);
    return text;
}

ra_prune_result ra_prune_folder(const fs::path &dir, const std::string &shown,
                                const ra_prune_policy &policy, bool apply, ra_remover remove) {
    ra_prune_result result;
    ra_replay_list list;
    // A dry run leaves Dir as it was: it uses an index that is there, and
    // so does prune when it removes; the list and the page make one.
    ra_index_request existing;
    existing.make = false;
    if (!ra_indexed_list(dir, shown, &list, &result.error, existing)) return result;
    result.warnings = list.records.warnings;
    result.recorded = list.records.found;
    if (!result.recorded) return result;

    // The plug-in's replays, newest first, and how many others stay regardless.
    std::vector<fs::path> paths;
    const ra_dir_names names = ra_list_names(dir);
    // The player's marks (keep_marks.h) are asked once: a kept replay stays.
    // Before removing, prune reads them under their lock and holds it until
    // it is done: a mark made before is seen, one made meanwhile waits. A
    // dry run changes nothing and needs no lock: the marks file is only ever
    // replaced whole.
    ra_file_lock marks_lock;
    if (apply && !ra_lock_keep_marks(dir, &marks_lock, &result.error)) return result;
    ra_keep_marks marks;
    if (!ra_load_keep_marks(dir, &marks, &result.error)) return result;
    for (const ra_replay &r : list.replays) {
        // A missing file has nothing to remove; a replaced line's file is the
        // later line's; a renamed replay is the player's now and stays.
        if (r.state == ra_replay_state::renamed) ++result.unrecorded;
        if (r.state != ra_replay_state::saved) continue;
        if (marks.has(r.file)) {
            ++result.marked;
            continue;
        }
        ra_prune_candidate c;
        fs::path path;
        // The name the line holds, not the file it was matched to: a renamed
        // replay, or one that differs in letter case, is not the line's.
        if (!r.record || !ra_prunable(dir, names, r.record->file, &path, &c.size)) {
            ++result.unrecorded;
            continue;
        }
        c.file = ra_text(path.filename());
        c.saved = r.when;
        result.candidates.push_back(c);
        paths.push_back(path);
    }
    ra_prune_decide(policy, &result.candidates);
    if (!apply) return result;
    // Decided under the marks' lock, as the removal is.
    if (policy.plan && *policy.plan != ra_prune_plan(result.candidates)) {
        result.plan_changed = true;
        return result;
    }

    std::vector<fs::path> to_remove;
    std::vector<ra_prune_candidate *> removing;
    for (size_t i = 0; i < result.candidates.size(); ++i) {
        if (result.candidates[i].reasons.empty()) continue;
        to_remove.push_back(paths[i]);
        removing.push_back(&result.candidates[i]);
    }
    if (to_remove.empty()) return result;
    result.applied = true;
    std::vector<std::string> results = (remove ? remove : ra_remove_files)(to_remove);
    for (size_t i = 0; i < removing.size(); ++i) {
        removing[i]->not_removed = i < results.size() ? results[i] : "it was not tried";
    }
    return result;
}
