// check: the check tool's report on a replay_autosave.ini, through its core
// (ra_check_run, ra_check_format), as the check tool has always printed it.
#include "jobs/job_check.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "check/check.h"
#include "platform/check_platform.h"
#include "library/replays/files.h"
#include "platform/game_paths.h"
#include "platform/game_text.h"
#include "program/command_row.h"
#include "program/commands.h"

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
    // The check runs the plug-in's own code, which names files in the
    // game's bytes (GetPrivateProfileStringA): a path the code page cannot
    // spell, a folder of it included, is a file the plug-in can never read.
    std::string ini_bytes, full_bytes;
    const std::filesystem::path full = std::filesystem::absolute(ra_path(ini_path), error);
    if (!ra_game_bytes(ini_path, &ini_bytes) ||
        (!error && !ra_game_bytes(ra_text(full), &full_bytes))) {
        return ra_fail(out,
                       "cannot check " + ini_path +
                           ": its path cannot be spelled in this system's code page, in which "
                           "the plug-in names files, so the plug-in could never read it (in "
                           "the game it runs on its defaults then); use a folder and file name "
                           "of letters this system's code page has",
                       check_unreadable);
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
    ra_check_run(ini_bytes, ini_text, job.race.empty() ? nullptr : &race, &report, ini_missing);
    // The report speaks the plug-in's bytes, the INI's among them.
    out->out += ra_game_text(ra_check_format(report, job.quiet));
    return report.warnings.empty() ? check_clean : check_warnings;
}

// The row of check: the check tool's own usage text and messages.
namespace {

const char ra_check_usage[] =
    "usage: replay-autosave check [--quiet] [--race RACE.ini] [[--ini] replay_autosave.ini]\n"
    "  Without a file name it checks replay_autosave.ini next to this program; the\n"
    "  file may be named with --ini, as for every other command, or on its own.\n"
    "  --race RACE.ini  name a race described in the simulator's race file format\n"
    "                   instead of the built-in example race\n"
    "  --quiet          print only the warnings\n"
    "Exit status: 0 without warnings, 1 with warnings, 2 on a bad command line or an\n"
    "unreadable file. A missing settings file is no error: the plug-in then runs on\n"
    "its defaults, which the report shows.\n";

// The settings file may also come on its own, without --ini.
const char ra_check_file[] = "ini";

void ra_check_options(CLI::App *sub, ra_check_job *job) {
    sub->add_flag("-q,--quiet", job->quiet);
    sub->add_option("--race", job->race)->expected(0, 1);
    sub->add_option(ra_check_file);
    // What CLI11 does not know is said in the check's own words below.
    sub->allow_extras();
}

std::string ra_check_refuse(const CLI::App &sub, ra_check_job *job) {
    std::vector<std::string> extra = sub.remaining();
    if (!extra.empty() && extra[0].size() > 1 && extra[0][0] == '-') {
        return "unknown option " + extra[0];
    }
    if (!extra.empty()) return "more than one settings file";
    if (sub.get_option("--race")->count() > 0 && job->race.empty()) return "--race needs a file";
    const CLI::Option *file = sub.get_option(ra_check_file);
    std::string named = file->count() > 0 ? file->as<std::string>() : "";
    if (!job->ini.empty() && !named.empty()) return "more than one settings file";
    if (job->ini.empty()) job->ini = named;
    return "";
}

}  // namespace

const ra_command ra_check_command =
    ra_command_row<ra_check_job, ra_check_options, ra_check_refuse, ra_run_check>(
        "check", "show what the plug-in makes of replay_autosave.ini", ra_check_usage);
