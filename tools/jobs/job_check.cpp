// check: the check tool's report on a replay_autosave.ini, through its core
// (ra_check_run, ra_check_format), as the check tool has always printed it.
#include <filesystem>
#include <string>
#include <system_error>

#include "check/check.h"
#include "platform/check_platform.h"
#include "library/files.h"
#include "platform/game_paths.h"
#include "program/jobs.h"

// Exit statuses of the check.
enum { check_clean = 0, check_warnings = 1, check_unreadable = 2 };

int ra_run_check(const ra_check_job &job, ra_output *out) {
    std::string ini_path = job.ini;
    if (ini_path.empty()) {
        ini_path = ra_check_default_ini();
        if (ini_path.empty()) {
            return ra_fail(out, "cannot find the folder of this program", check_unreadable);
        }
    }
    // No settings file is no mistake: the plug-in then runs on its defaults.
    std::string ini_text;
    std::error_code error;
    bool ini_missing = !std::filesystem::exists(ra_path(ini_path), error) && !error;
    std::string why;
    if (!ini_missing && !ra_read_file(ra_path(ini_path), &ini_text, &why)) {
        return ra_fail(out, "cannot read " + ini_path + ": " + why, check_unreadable);
    }
    sim_race_file race;
    if (!job.race.empty()) {
        std::string race_text, error;
        if (!ra_read_file(ra_path(job.race), &race_text, &why)) {
            return ra_fail(out, "cannot read race file " + job.race + ": " + why, check_unreadable);
        }
        if (!sim_parse_race_file(race_text, job.race, &race, &error)) {
            return ra_fail(out, error, check_unreadable);
        }
    }

    ra_check_report report;
    ra_check_run(ini_path, ini_text, job.race.empty() ? nullptr : &race, &report, ini_missing);
    out->out += ra_check_format(report, job.quiet);
    return report.warnings.empty() ? check_clean : check_warnings;
}
