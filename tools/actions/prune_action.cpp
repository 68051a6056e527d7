// Prune and Tidy: the policies, prune's plan and removal, and the words
// for what went.
#include "actions/prune_action.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "check/setting_names.h"
#include "library/replays/keep_marks.h"
#include "library/text/local_time.h"
#include "library/record/record_reader.h"
#include "platform/game_paths.h"
#include "platform/remove.h"

namespace {

// What prune says when it cannot tell the plug-in's replays from others.
std::string ra_prune_needs_record() {
    return "prune needs " + ra_setting_line(RA_SET_RECORD, 1) +
           " to know which replays the plug-in saved";
}

// "1 replay", "2 replays".
std::string ra_replays(size_t n) { return std::to_string(n) + (n == 1 ? " replay" : " replays"); }

// One candidate as the dry run and --apply show it.
std::string ra_row(const ra_prune_candidate &c, size_t size_width) {
    std::string size = ra_format_size(c.size);
    if (size.size() < size_width) size.insert(0, size_width - size.size(), ' ');
    std::string why;
    for (const std::string &reason : c.reasons) why += (why.empty() ? "" : ", ") + reason;
    return "  " + ra_format_time(c.saved) + "  " + size + "  " + c.file + "  (" + why + ")\n";
}

// How a wrong policy is told: by the console's option names, or by the
// labels of the library app's Tidy form.
struct ra_policy_labels {
    const char *keep, *max_size, *older_than;  // each policy's name
    const char *none;                          // no policy given
    bool console;                              // point to prune --help
};

const ra_policy_labels ra_prune_console_words = {
    "--keep", "--max-size", "--older-than",
    "prune needs a policy: --keep N, --max-size SIZE or --older-than DAYS", true};

const ra_policy_labels ra_tidy_words = {
    "\"Keep the newest\"", "\"Keep at most\"", "\"Remove those older than\"",
    "Fill in at least one box: how many to keep, how much space they may take, or after how many "
    "days they go.",
    false};

// A policy the player gave wrongly: the console adds where to read more.
bool ra_prune_usage(ra_action_said *out, const ra_policy_labels &words, const std::string &what) {
    out->stop(ra_action_end::refused,
              what + (words.console ? "; see \"" + std::string(ra_program) + " prune --help\""
                                    : std::string()));
    return false;
}

// prune's policies from the ask; false with the refusal in *out.
bool ra_prune_policy_of(const ra_prune_ask &job, ra_prune_policy *out_policy, ra_action_said *out) {
    const ra_policy_labels &words =
        job.front == ra_front::console ? ra_prune_console_words : ra_tidy_words;
    ra_prune_policy policy;
    uint64_t n = 0;
    if (!job.keep.empty()) {
        if (!ra_parse_count(job.keep, &n)) {
            return ra_prune_usage(
                out, words,
                std::string(words.keep) + " wants a number of replays, e.g. 50, not " + job.keep);
        }
        policy.keep = n;
    }
    if (!job.max_size.empty()) {
        if (!ra_parse_size(job.max_size, &n)) {
            return ra_prune_usage(out, words,
                                  std::string(words.max_size) +
                                      " wants a whole number of bytes, or of KB, MB or GB "
                                      "(1024-based), e.g. 2GB or 500MB, not " +
                                      job.max_size);
        }
        policy.max_size = n;
    }
    if (!job.older_than.empty()) {
        if (!ra_parse_count(job.older_than, &n)) {
            return ra_prune_usage(out, words,
                                  std::string(words.older_than) +
                                      " wants a number of days, e.g. 30, not " + job.older_than);
        }
        policy.before = ra_days_before(ra_local_now(), n);
    }
    if (!policy.keep && !policy.max_size && !policy.before) {
        return ra_prune_usage(out, words, words.none);
    }

    *out_policy = policy;
    return true;
}

// The warning that prune leaves the replays alone that were saved while
// Record was 0, when the settings say so and Dir has a record.
void ra_warn_unrecorded(const ra_game_setup &setup, ra_action_said *out) {
    // The lines stop when Record is switched off: replays saved since have none.
    std::error_code failed;
    if (setup.settings.record_enabled == 0 &&
        std::filesystem::exists(setup.dir / ra_records_file, failed)) {
        out->warnings.push_back(ra_setting_name(RA_SET_RECORD) + " is 0 in " + ra_text(setup.ini) +
                                ": the replays saved while it is 0 get no line in " +
                                ra_records_file + ", so prune leaves them alone");
    }
}

// Whether a replay Tidy removes can be put back: from the Recycle Bin
// where the system has one; elsewhere it is deleted.
bool ra_tidy_recycles() { return ra_removed_where[0] != '\0'; }

// Tidy's words to the player: how many replays go and how much space that
// frees, and whether they can be taken back from the Recycle Bin.
std::string ra_tidy_said(size_t count, uint64_t bytes, size_t failed, bool applied) {
    const std::string replays = std::to_string(count) + (count == 1 ? " replay" : " replays");
    const bool recycled = ra_tidy_recycles();
    std::string said;
    if (!applied) {
        if (count == 0) return "Nothing would go: every replay fits these limits.";
        said = replays + " would go, freeing " + ra_format_size(bytes) + ". " +
               (recycled ? "They go to the Recycle Bin, from where you can put them back."
                         : "They are deleted for good.");
        return said + " Replays you keep never go.";
    }
    said = count == 0 ? std::string("No replay was removed.")
                      : replays + " removed, " + ra_format_size(bytes) + " freed" +
                            (recycled ? ": they are in the Recycle Bin." : ", for good.");
    if (failed != 0) {
        said += " " + std::to_string(failed) +
                (failed == 1 ? " replay could not be removed and stays where it is."
                             : " replays could not be removed and stay where they are.");
    }
    return said;
}

// The words of the button that removes what the preview showed, so that the
// player reads what it does before pressing it: "Move 170 replays (19.9 KB)
// to the Recycle Bin", "Delete 170 replays (19.9 KB) for good".
std::string ra_tidy_apply_words(size_t count, uint64_t bytes) {
    const std::string what = std::to_string(count) + (count == 1 ? " replay (" : " replays (") +
                             ra_format_size(bytes) + ")";
    return ra_tidy_recycles() ? "Move " + what + " to the Recycle Bin"
                              : "Delete " + what + " for good";
}

// The replays that went (or would go) and Tidy's words for them.
void ra_tidy_counts(ra_prune_said *out) {
    const ra_prune_result &result = out->prune;
    for (const ra_prune_candidate &c : result.candidates) {
        if (c.reasons.empty()) continue;
        if (!c.not_removed.empty()) {
            ++out->not_removed;
            continue;
        }
        out->removed.push_back(c.file);
        out->bytes += c.size;
    }
    out->summary = ra_tidy_said(out->removed.size(), out->bytes, out->not_removed, result.applied);
    // A race saved or a mark changed since the preview: nothing went, and
    // this answer is the preview again, to be looked at anew.
    if (result.plan_changed) {
        out->summary =
            "What would go changed since you looked, so nothing was removed. " + out->summary;
    }
    if (!result.applied && !out->removed.empty()) {
        out->plan = ra_prune_plan(result.candidates);
        out->apply_words = ra_tidy_apply_words(out->removed.size(), out->bytes);
    }
}

}  // namespace

ra_action_said ra_prune_words(const ra_prune_result &result, const std::string &shown) {
    ra_action_said said, *out = &said;
    said.warnings = result.warnings;
    if (!result.error.empty()) return said.stop(ra_action_end::failed, result.error);
    if (!result.recorded) {
        return said.stop(ra_action_end::failed,
                         ra_prune_needs_record() + ": there is no " + ra_records_file + " in " +
                             shown + " (with " + ra_setting_line(RA_SET_RECORD, 1) +
                             " in " RA_INI_FILE
                             " the plug-in writes it as it saves replays, and prune can remove the "
                             "replays saved from then on)");
    }
    const std::vector<ra_prune_candidate> &candidates = result.candidates;
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
        (result.unrecorded == 0
             ? std::string()
             : "Left alone: " + ra_replays(result.unrecorded) + " in " + shown +
                   " that the record file does not name (renamed, copied in or kept).\n") +
        (result.marked == 0 ? ""
                            : "Left alone: " + ra_replays(result.marked) + " you keep (marked in " +
                                  ra_keep_file + ").\n");

    if (going == 0) {
        out->said += candidates.empty() ? "Nothing to remove: " + std::string(ra_records_file) +
                                              " names no replay that is still in " + shown + ".\n"
                                        : "Nothing to remove: every replay the plug-in saved in " +
                                              shown + " stays (" + ra_replays(candidates.size()) +
                                              ", " + ra_format_size(all_bytes) + ").\n";
        out->said += others_stay;
        return said;
    }
    out->said += std::string(result.applied ? "Removing " : "Would remove ") + ra_replays(going) +
                 " (" + ra_format_size(going_bytes) + ") of the " +
                 std::to_string(candidates.size()) + " the plug-in saved in " + shown + ":\n";
    for (const ra_prune_candidate &c : candidates) {
        if (!c.reasons.empty()) out->said += ra_row(c, size_width);
    }
    if (!result.applied) {
        out->said +=
            "Nothing was removed; run the same command with --apply to remove them (they "
            "will be " +
            std::string(ra_removed_how) + ").\n" + others_stay;
        return said;
    }

    size_t removed = 0, failed = 0;
    uint64_t removed_bytes = 0;
    std::string failures;
    for (const ra_prune_candidate &c : candidates) {
        if (c.reasons.empty()) continue;
        if (c.not_removed.empty()) {
            ++removed;
            removed_bytes += c.size;
            continue;
        }
        ++failed;
        failures += "  cannot remove " + c.file + ": " + c.not_removed + "\n";
    }
    out->said +=
        ra_replays(removed) + " (" + ra_format_size(removed_bytes) + ") " + ra_removed_how +
        "; the plug-in's replays left: " + std::to_string(candidates.size() - removed) + ".\n";
    // Each failure under the summary it belongs to, and what to do once.
    if (failed) {
        out->said += ra_replays(failed) + " could not be removed:\n" + failures +
                     "Close any program that has " + (failed == 1 ? "it" : "them") +
                     " open, check that you may change files in " + shown +
                     ", then run prune --apply again.\n";
    }
    out->said += others_stay;
    if (failed) said.end = ra_action_end::failed;
    return said;
}

namespace {

// prune's policies and Tidy's plan from the ask; false with the refusal in *out.
bool ra_policy_asked(const ra_prune_ask &ask, ra_prune_policy *policy, ra_action_said *out) {
    if (!ra_prune_policy_of(ask, policy, out)) return false;
    if (ask.apply && ask.front == ra_front::app) {
        if (ask.plan.empty()) {
            out->stop(ra_action_end::refused,
                      "Show what would go first: Tidy removes only what it showed.");
            return false;
        }
        policy->plan = ask.plan;
    }
    return true;
}

}  // namespace

ra_action_said ra_check_prune_ask(const ra_prune_ask &ask) {
    ra_action_said out;
    ra_prune_policy policy;
    ra_policy_asked(ask, &policy, &out);
    return out;
}

ra_prune_said ra_prune_action(const ra_game_setup &setup, const ra_prune_ask &ask,
                              ra_remover remove) {
    ra_prune_said out;
    ra_prune_policy policy;
    if (!ra_policy_asked(ask, &policy, &out)) return out;
    ra_warn_unrecorded(setup, &out);
    const std::string shown = ra_text(setup.dir);
    out.prune = ra_prune_folder(setup.dir, shown, policy, ask.apply, remove);
    ra_action_said words = ra_prune_words(out.prune, shown);
    out.warnings.insert(out.warnings.end(), words.warnings.begin(), words.warnings.end());
    out.end = words.end;
    out.said = words.said;
    out.problem = words.problem;
    ra_tidy_counts(&out);
    return out;
}
