// How the results of the library's operations are told: the same words on
// the console and in the library app.
#include "program/reports.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "library/keep_marks.h"
#include "library/local_time.h"
#include "library/records.h"
#include "platform/game_paths.h"
#include "platform/remove.h"

namespace {

// What prune says when it cannot tell the plug-in's replays from others.
const char ra_prune_needs_record[] =
    "prune needs Record = 1 to know which replays the plug-in saved";

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

// A policy the player gave wrongly: the console adds where to read more.
int ra_prune_usage(ra_output *out, const ra_prune_words &words, const std::string &what) {
    return ra_fail(out,
                   what + (words.console ? "; see \"" + std::string(ra_program) + " prune --help\""
                                         : std::string()),
                   ra_exit_usage);
}

}  // namespace

const ra_prune_words ra_prune_console_words = {
    "--keep", "--max-size", "--older-than",
    "prune needs a policy: --keep N, --max-size SIZE or --older-than DAYS", true};

int ra_prune_policy_of(const ra_prune_job &job, ra_prune_policy *out_policy, ra_output *out,
                       const ra_prune_words &words) {
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
    return ra_exit_ok;
}

void ra_warn_unrecorded(const ra_game_setup &setup, ra_output *out) {
    // The lines stop when Record is switched off: replays saved since have none.
    std::error_code failed;
    if (setup.settings.record_enabled == 0 &&
        std::filesystem::exists(setup.dir / ra_records_file, failed)) {
        out->err += "warning: Record is 0 in " + ra_text(setup.ini) +
                    ": the replays saved while it is 0 get no line in " + ra_records_file +
                    ", so prune leaves them alone\n";
    }
}

int ra_print_prune(const ra_prune_result &result, const std::string &shown, ra_output *out) {
    for (const std::string &w : result.warnings) out->err += "warning: " + w + "\n";
    if (!result.error.empty()) return ra_fail(out, result.error, ra_exit_failed);
    if (!result.recorded) {
        return ra_fail(out,
                       std::string(ra_prune_needs_record) + ": there is no " + ra_records_file +
                           " in " + shown +
                           " (with Record = 1 in replay_autosave.ini the "
                           "plug-in writes it as it saves replays, and prune can remove the "
                           "replays saved from then on)",
                       ra_exit_failed);
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
        out->out += candidates.empty() ? "Nothing to remove: " + std::string(ra_records_file) +
                                             " names no replay that is still in " + shown + ".\n"
                                       : "Nothing to remove: every replay the plug-in saved in " +
                                             shown + " stays (" + ra_replays(candidates.size()) +
                                             ", " + ra_format_size(all_bytes) + ").\n";
        out->out += others_stay;
        return ra_exit_ok;
    }
    out->out += std::string(result.applied ? "Removing " : "Would remove ") + ra_replays(going) +
                " (" + ra_format_size(going_bytes) + ") of the " +
                std::to_string(candidates.size()) + " the plug-in saved in " + shown + ":\n";
    for (const ra_prune_candidate &c : candidates) {
        if (!c.reasons.empty()) out->out += ra_row(c, size_width);
    }
    if (!result.applied) {
        out->out +=
            "Nothing was removed; run the same command with --apply to remove them (they "
            "will be " +
            std::string(ra_removed_how) + ").\n" + others_stay;
        return ra_exit_ok;
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

int ra_print_restore(const ra_restore_result &result, const std::string &asked, ra_output *out) {
    const std::string shown = ra_text(result.replay);
    switch (result.outcome) {
    case ra_restore_outcome::restored:
        out->out += "The game will play " + result.name +
                    " when you next watch its replay (copied to " + shown + ").";
        if (!result.backup.empty()) {
            out->out += " The replay it had is kept as " + ra_text(result.backup) + ".";
        }
        if (!result.copy.empty()) {
            out->out += " The replay it had is saved already as " + ra_text(result.copy) + ".";
        }
        out->out += "\n";
        return ra_exit_ok;
    case ra_restore_outcome::playing:
        out->out +=
            "The game already plays " + result.name + " (" + shown + "); nothing changed.\n";
        return ra_exit_ok;
    case ra_restore_outcome::declined:
        out->out += "Nothing changed.\n";
        return ra_exit_failed;
    case ra_restore_outcome::not_found:
        return ra_fail(out,
                       "cannot find the replay " + asked + "; give its path, or a name that \"" +
                           ra_program + " list\" shows",
                       ra_exit_usage);
    case ra_restore_outcome::refused:
        return ra_fail(out, result.problem, ra_exit_usage);
    case ra_restore_outcome::failed:
        break;
    }
    return ra_fail(out, result.problem, ra_exit_failed);
}
