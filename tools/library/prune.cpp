// Choosing the replays prune removes, and removing them.
#include "library/prune.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <system_error>

#include "platform/game_paths.h"
#include "library/records.h"
#include "platform/remove.h"
#include "library/replays.h"
#include "library/keep_marks.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

namespace {

// Units of --max-size and of the sizes shown, 1024-based as Windows counts.
const uint64_t ra_kib = 1024;
const uint64_t ra_mib = 1024 * ra_kib;
const uint64_t ra_gib = 1024 * ra_mib;

// What prune says when it cannot tell the plug-in's replays from others.
const char ra_prune_needs_record[] =
    "prune needs Record = 1 to know which replays the plug-in saved";

// "1 replay", "2 replays".
std::string ra_replays(size_t n) { return std::to_string(n) + (n == 1 ? " replay" : " replays"); }

bool ra_starts_with_folded(const std::string &name, const char *prefix) {
    std::string start = name.substr(0, strlen(prefix));
    return ra_ieq(start.c_str(), prefix) != 0;
}

// Names as Windows compares them: ASCII letters folded.
std::string ra_folded_name(const std::string &name) {
    std::string folded = name;
    for (char &c : folded) c = c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
    return folded;
}

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
        name.find_first_of("\\/:") != std::string::npos ||
        ra_starts_with_folded(name, ra_kept_prefix)) {
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

// One candidate as the dry run and --apply show it.
std::string ra_row(const ra_prune_candidate &c, size_t size_width) {
    std::string size = ra_format_size(c.size);
    if (size.size() < size_width) size.insert(0, size_width - size.size(), ' ');
    std::string why;
    for (const std::string &reason : c.reasons) why += (why.empty() ? "" : ", ") + reason;
    return "  " + ra_format_time(c.saved) + "  " + size + "  " + c.file + "  (" + why + ")\n";
}

}  // namespace

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

int ra_prune_folder(const fs::path &dir, const std::string &shown, const ra_prune_policy &policy,
                    bool apply, ra_output *out, ra_remover remove) {
    ra_replay_list list;
    std::string error;
    if (!ra_list_replays(dir, shown, &list, &error)) return ra_fail(out, error, ra_exit_failed);
    for (const std::string &w : list.records.warnings) out->err += "warning: " + w + "\n";
    if (!list.records.found) {
        return ra_fail(out,
                       std::string(ra_prune_needs_record) + ": there is no " + ra_records_file +
                           " in " + shown +
                           " (with Record = 1 in replay_autosave.ini the "
                           "plug-in writes it as it saves replays, and prune can remove the "
                           "replays saved from then on)",
                       ra_exit_failed);
    }

    // The plug-in's replays, newest first, and how many others stay regardless.
    std::vector<ra_prune_candidate> candidates;
    std::vector<fs::path> paths;
    size_t others = 0, marked = 0;
    const ra_dir_names names = ra_list_names(dir);
    // The player's marks (keep_marks.h) are asked once: a kept replay stays.
    // Before removing, prune reads them under their lock and holds it until
    // it is done: a mark made before is seen, one made meanwhile waits. A
    // dry run changes nothing and needs no lock: the marks file is only ever
    // replaced whole.
    ra_file_lock marks_lock;
    if (apply && !ra_lock_keep_marks(dir, &marks_lock, &error)) {
        return ra_fail(out, error, ra_exit_failed);
    }
    ra_keep_marks marks;
    if (!ra_load_keep_marks(dir, &marks, &error)) return ra_fail(out, error, ra_exit_failed);
    for (const ra_replay &r : list.replays) {
        // A missing file has nothing to remove; a replaced line's file is the
        // later line's; a renamed replay is the player's now and stays.
        if (r.state == ra_replay_state::renamed) ++others;
        if (r.state != ra_replay_state::saved) continue;
        if (marks.has(r.file)) {
            ++marked;
            continue;
        }
        ra_prune_candidate c;
        fs::path path;
        // The name the line holds, not the file it was matched to: a renamed
        // replay, or one that differs in letter case, is not the line's.
        if (!r.record || !ra_prunable(dir, names, r.record->file, &path, &c.size)) {
            ++others;
            continue;
        }
        c.file = ra_text(path.filename());
        c.saved = r.when;
        candidates.push_back(c);
        paths.push_back(path);
    }
    ra_prune_decide(policy, &candidates);

    uint64_t all_bytes = 0, going_bytes = 0;
    size_t going = 0, size_width = 0;
    for (const ra_prune_candidate &c : candidates) {
        all_bytes += c.size;
        if (c.reasons.empty()) continue;
        ++going;
        going_bytes += c.size;
        size_width = std::max(size_width, ra_format_size(c.size).size());
    }
    const std::string others_stay =
        (others == 0 ? std::string()
                     : "Left alone: " + ra_replays(others) + " in " + shown +
                           " that the record file does not name (renamed, copied in or kept).\n") +
        (marked == 0 ? ""
                     : "Left alone: " + ra_replays(marked) + " you keep (marked in " +
                           ra_keep_file + ").\n");

    if (going == 0) {
        out->out += candidates.empty() ? "Nothing to remove: " + std::string(ra_records_file) +
                                             " names no replay that is still in " + shown + ".\n"
                                       : "Nothing to remove: every replay the plug-in saved in " +
                                             shown + " stays (" + ra_replays(candidates.size()) +
                                             ", " + ra_format_size(all_bytes) + ").\n";
        out->out += others_stay;
        return ra_exit_ok;
    }
    out->out += std::string(apply ? "Removing " : "Would remove ") + ra_replays(going) + " (" +
                ra_format_size(going_bytes) + ") of the " + std::to_string(candidates.size()) +
                " the plug-in saved in " + shown + ":\n";
    std::vector<fs::path> to_remove;
    std::vector<const ra_prune_candidate *> removing;
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i].reasons.empty()) continue;
        out->out += ra_row(candidates[i], size_width);
        to_remove.push_back(paths[i]);
        removing.push_back(&candidates[i]);
    }
    if (!apply) {
        out->out +=
            "Nothing was removed; run the same command with --apply to remove them (they "
            "will be " +
            std::string(ra_removed_how) + ").\n" + others_stay;
        return ra_exit_ok;
    }

    std::vector<std::string> results = (remove ? remove : ra_remove_files)(to_remove);
    size_t removed = 0, failed = 0;
    uint64_t removed_bytes = 0;
    std::string failures;
    for (size_t i = 0; i < to_remove.size(); ++i) {
        const ra_prune_candidate &c = *removing[i];
        if (i < results.size() && results[i].empty()) {
            ++removed;
            removed_bytes += c.size;
            continue;
        }
        ++failed;
        failures += "  cannot remove " + c.file + ": " +
                    (i < results.size() ? results[i] : "it was not tried") + "\n";
    }
    out->out += ra_replays(removed) + " (" + ra_format_size(removed_bytes) + ") " + ra_removed_how +
                "; the plug-in's replays left: " + std::to_string(candidates.size() - removed) +
                ".\n";
    // Each failure under the summary it belongs to, and what to do once.
    if (failed) {
        out->out += ra_replays(failed) + " could not be removed:\n" + failures +
                    "Close any program that has " + (failed == 1 ? "it" : "them") +
                    " open, check that you may change files in " + shown +
                    ", then run prune --apply again.\n";
    }
    out->out += others_stay;
    return failed ? ra_exit_failed : ra_exit_ok;
}
