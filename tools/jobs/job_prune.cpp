// prune: the policies from the command line, the save folder from the
// player's replay_autosave.ini, then prune.cpp does the rest.
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/game_paths.h"
#include "program/game_setup.h"
#include "program/jobs.h"
#include "library/local_time.h"
#include "library/prune.h"
#include "library/records.h"
#include "settings/settings.h"

namespace {

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
    return ra_prune_folder(setup.dir, ra_text(setup.dir), policy, job.apply, out);
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
