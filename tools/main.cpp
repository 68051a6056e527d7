// replay-autosave-check: shows what the plug-in will make of a
// replay_autosave.ini (its effective settings, the file name each race type
// gets) and warns about mistakes, before a race.
#include <errno.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "check.h"
#include "check_platform.h"

static const char usage[] =
    "usage: replay-autosave-check [--quiet] [--race RACE.ini] [replay_autosave.ini]\n"
    "  Without a file name it checks replay_autosave.ini next to this program.\n"
    "  --race RACE.ini  name a race described in the simulator's race file format\n"
    "                   instead of the built-in example race\n"
    "  --quiet          print only the warnings\n"
    "Exit status: 0 without warnings, 1 with warnings, 2 on a bad command line or an\n"
    "unreadable file. A missing settings file is no error: the plug-in then runs on\n"
    "its defaults, which the report shows.\n";

// Exit statuses.
enum { exit_clean = 0, exit_warnings = 1, exit_usage = 2 };

// Every exit goes through here, so that a window opened for us stays open.
static int finish(int status) {
    fflush(stdout);
    ra_check_hold_window();
    return status;
}

static int fail(const std::string &what) {
    fprintf(stderr, "replay-autosave-check: %s\n", what.c_str());
    return finish(exit_usage);
}

// The whole file; false when it cannot be opened or read (a folder opens
// on Linux but does not read).
static bool read_file(const std::string &path, std::string *text) {
    FILE *file = fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    text->clear();
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) text->append(chunk, n);
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

int main(int argc, char **argv) {
    bool quiet = false;
    std::string ini_path, race_path;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            fputs(usage, stdout);
            return finish(exit_clean);
        } else if (arg == "--quiet" || arg == "-q") {
            quiet = true;
        } else if (arg == "--race") {
            if (i + 1 >= argc) return fail(std::string("--race needs a file\n") + usage);
            race_path = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option " + arg + "\n" + usage);
        } else if (!ini_path.empty()) {
            return fail("more than one settings file\n" + std::string(usage));
        } else {
            ini_path = arg;
        }
    }
    if (ini_path.empty()) {
        ini_path = ra_check_default_ini();
        if (ini_path.empty()) return fail("cannot find the folder of this program");
    }

    // No settings file is no mistake: the plug-in then runs on its defaults.
    std::string ini_text;
    bool ini_missing = access(ini_path.c_str(), F_OK) != 0 && errno == ENOENT;
    if (!ini_missing && !read_file(ini_path, &ini_text)) return fail("cannot read " + ini_path);
    sim_race_file race;
    if (!race_path.empty()) {
        std::string race_text, error;
        if (!read_file(race_path, &race_text)) return fail("cannot read race file " + race_path);
        if (!sim_parse_race_file(race_text, race_path, &race, &error)) return fail(error);
    }

    ra_check_report report;
    ra_check_run(ra_check_profile_path(ini_path), ini_text, race_path.empty() ? nullptr : &race,
                 &report, ini_missing);
    fputs(ra_check_format(report, quiet).c_str(), stdout);
    return finish(report.warnings.empty() ? exit_clean : exit_warnings);
}
