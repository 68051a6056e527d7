// prune: the policies from the command line, the save folder from the
// player's replay_autosave.ini, then prune.cpp decides and removes, and
// this job says what it found and did. The library app's Tidy shows the
// same text.
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "library/keep_marks.h"
#include "library/local_time.h"
#include "library/prune.h"
#include "library/records.h"
#include "platform/game_paths.h"
#include "platform/remove.h"
#include "program/game_setup.h"
#include "program/jobs.h"
#include "settings/settings.h"

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

int ra_prune_usage(ra_output *out, const std::string &what) {
    return ra_fail(out, what + "; see \"" + ra_program + " prune --help\"", ra_exit_usage);
}

}  // namespace

int ra_run_prune(const ra_prune_job &job, ra_output *out) {
    ra_prune_policy policy;
    uint64_t n = 0;
    if (!job.keep.empty()) {
        if (!ra_parse_count(job.keep, &n)) {
            return ra_prune_usage(out,
                                  "--keep wants a number of replays, e.g. 50, not " + job.keep);
        }
        policy.keep = n;
    }
    if (!job.max_size.empty()) {
        if (!ra_parse_size(job.max_size, &n)) {
            return ra_prune_usage(out,
                                  "--max-size wants a whole number of bytes, or of KB, MB or GB "
                                  "(1024-based), e.g. 2GB or 500MB, not " +
                                      job.max_size);
        }
        policy.max_size = n;
    }
    if (!job.older_than.empty()) {
        if (!ra_parse_count(job.older_than, &n)) {
            return ra_prune_usage(
                out, "--older-than wants a number of days, e.g. 30, not " + job.older_than);
        }
        policy.before = ra_days_before(ra_local_now(), n);
    }
    if (!policy.keep && !policy.max_size && !policy.before) {
        return ra_prune_usage(out,
                              "prune needs a policy: --keep N, --max-size SIZE or --older-than "
                              "DAYS");
    }

    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);
    // The lines stop when Record is switched off: replays saved since have none.
    std::error_code failed;
    if (setup.settings.record_enabled == 0 &&
        std::filesystem::exists(setup.dir / ra_records_file, failed)) {
        out->err += "warning: Record is 0 in " + ra_text(setup.ini) +
                    ": the replays saved while it is 0 get no line in " + ra_records_file +
                    ", so prune leaves them alone\n";
    }
    const std::string shown = ra_text(setup.dir);
    return ra_print_prune(ra_prune_folder(setup.dir, shown, policy, job.apply), shown, out);
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

// The row of prune, with a footer of its own.
#include "program/command_row.h"
#include "program/commands.h"

namespace {

const char ra_prune_footer[] =
    "Policies combine: a replay is removed when any policy given removes it. Only replays the "
    "plug-in saved and named in replays.csv (Record = 1) are ever removed; \"keep FILE\" "
    "or renaming a replay keeps it for ever. Without --apply nothing is removed.\n"
    "Exit status: 0 done, 1 failed (no replays.csv in Dir, or a replay could not be removed), "
    "2 on a bad command line or an unreadable file.";

void ra_prune_options(CLI::App *sub, ra_prune_job *job) {
    sub->add_option("--keep", job->keep, "the N newest stay")->type_name("N");
    sub->add_option("--max-size", job->max_size,
                    "the newest that fit in SIZE stay (bytes, or with KB, MB or GB: 2GB, 500MB)")
        ->type_name("SIZE");
    sub->add_option("--older-than", job->older_than, "replays saved more than DAYS days ago go")
        ->type_name("DAYS");
    sub->add_flag("--apply", job->apply,
                  "remove them (into the Recycle Bin on Windows); without it, only show which "
                  "would go");
}

}  // namespace

const ra_command ra_prune_command =
    ra_command_row<ra_prune_job, ra_prune_options, nullptr, ra_run_prune>(
        "prune", "remove the oldest replays the plug-in saved", nullptr, ra_prune_footer);
