// The command line, read with CLI11; the check subcommand keeps the check
// tool's own usage text and messages.
#include "program/invocation.h"

#include <string.h>

#include <CLI/CLI.hpp>

#include "settings/settings.h"

const size_t ra_double_click_newest = 10;
// From the CMake project's version, which the plug-in's manifest and the
// release package's name carry too.
const char ra_version[] = RA_VERSION;

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

const char ra_description[] =
    "The replay autosave plug-in's companion: checks replay_autosave.ini, lists the saved "
    "replays, makes the game play one of them again, removes the oldest and shows them all "
    "as a web page.";

const char ra_footer[] =
    "Without a command it checks replay_autosave.ini next to this program and lists the ten "
    "newest replays. A replay (.rp4) dropped on it is restored, after a question; an .ini "
    "dropped on it is checked.\n"
    "Exit status of list, restore, prune, page and repair: 0 done, 1 failed, 2 on a bad command "
    "line or an "
    "unreadable file.";

const char ra_prune_footer[] =
    "Policies combine: a replay is removed when any policy given removes it. Only replays the "
    "plug-in saved and named in replays.csv (Record = 1) are ever removed; \"keep FILE\" "
    "or renaming a replay keeps it for ever. Without --apply nothing is removed.\n"
    "Exit status: 0 done, 1 failed (no replays.csv in Dir, or a replay could not be removed), "
    "2 on a bad command line or an unreadable file.";

// What a drop can give the program, said when it was given something else.
const char ra_drop_usage[] =
    "replay-autosave takes one dropped file: a replay (.rp4), which the game then plays, or a "
    "replay_autosave.ini, which it checks; folders, replays.csv and several files at once "
    "cannot be dropped.\n";

const char ra_ini_help[] = "the replay_autosave.ini to use (default: the one next to this program)";

bool ra_ends_with(const std::string &text, const char *ext) {
    size_t n = strlen(ext);
    return text.size() > n && ra_ieq(text.c_str() + text.size() - n, ext);
}

ra_invocation ra_usage_error(const std::string &what, const std::string &usage) {
    ra_invocation inv;
    inv.job = ra_job::usage_error;
    inv.text = std::string(ra_program) + ": " + what + "\n" + usage;
    return inv;
}

// True for what Explorer hands over for a dropped file or folder: a path
// (with a folder or drive in it) or a file's name, never an option or a
// command.
bool ra_looks_dropped(const std::string &arg) {
    if (arg.empty() || arg[0] == '-') return false;
    return arg.find_first_of("\\/:") != std::string::npos || ra_ends_with(arg, ".rp4") ||
           ra_ends_with(arg, ".ini") || ra_ends_with(arg, ".csv");
}

// A dropped file, or a double click; false for a command line.
bool ra_dropped(const std::vector<std::string> &args, ra_invocation *inv) {
    inv->dropped = true;
    if (args.empty()) {
        inv->job = ra_job::check_and_list;
        inv->list.newest = ra_double_click_newest;
        return true;
    }
    for (const std::string &arg : args) {
        if (!ra_looks_dropped(arg)) return false;
    }
    // A folder, the record file or several files: nothing a drop can do.
    inv->job = ra_job::usage_error;
    inv->text = ra_drop_usage;
    if (args.size() != 1) return true;
    if (ra_ends_with(args[0], ".rp4")) {
        inv->job = ra_job::restore;
        inv->restore.file = args[0];
        return true;
    }
    if (ra_ends_with(args[0], ".ini")) {
        inv->job = ra_job::check;
        inv->check.ini = args[0];
        return true;
    }
    return true;
}

// The option that args (a subcommand's name, then its arguments) give more
// than once, or empty: CLI11 would only say how many it got.
std::string ra_repeated_option(const CLI::App &app, const std::vector<std::string> &args) {
    if (args.empty()) return "";
    const CLI::App *sub = nullptr;
    for (const CLI::App *s :
         app.get_subcommands([&](const CLI::App *s) { return s->check_name(args[0]); })) {
        sub = s;
    }
    if (sub == nullptr) return "";
    std::vector<const CLI::Option *> seen;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i].substr(0, args[i].find('='));
        if (name.size() < 2 || name[0] != '-') continue;
        const CLI::Option *option = sub->get_option_no_throw(name);
        if (option == nullptr) continue;
        for (const CLI::Option *o : seen) {
            if (o == option) return name;
        }
        seen.push_back(option);
        // The value that follows is no option, whatever it looks like.
        if (option->get_expected_min() > 0 && name.size() == args[i].size()) ++i;
    }
    return "";
}

}  // namespace

ra_invocation ra_parse_invocation(const std::vector<std::string> &args) {
    ra_invocation inv;
    if (ra_dropped(args, &inv)) return inv;
    inv = ra_invocation();

    CLI::App app(ra_description, ra_program);
    app.footer(ra_footer);
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string(ra_program) + " " + ra_version);

    // check: its own usage text, and its own messages for what CLI11 lets through.
    CLI::App *check =
        app.add_subcommand("check", "show what the plug-in makes of replay_autosave.ini");
    check->set_help_flag();
    bool check_help = false;
    check->add_flag("-h,--help", check_help);
    check->add_flag("-q,--quiet", inv.check.quiet);
    CLI::Option *race = check->add_option("--race", inv.check.race)->expected(0, 1);
    check->add_option("ini", inv.check.ini);
    std::string check_ini_option;
    check->add_option("--ini", check_ini_option);
    check->allow_extras();

    CLI::App *list = app.add_subcommand("list", "list the saved replays, newest first");
    list->add_option("--track", inv.list.track, "only this track");
    list->add_option("--type", inv.list.type, "only this race type code, e.g. SR");
    list->add_option("--since", inv.list.since, "only replays saved on this day or later")
        ->type_name("YYYY-MM-DD");
    list->add_flag("--csv", inv.list.csv, "comma-separated values instead of a table");
    list->add_option("--racer", inv.list.racer,
                     "show this racer's lap in place of the race's fastest, and their personal "
                     "bests");
    list->add_option("--ini", inv.list.ini, ra_ini_help);

    CLI::App *restore =
        app.add_subcommand("restore", "make the game play a saved replay next time");
    CLI::Option *restore_file =
        restore->add_option("FILE", inv.restore.file, "the replay: its path, or its name in Dir")
            ->required();
    restore->add_option("--to", inv.restore.to,
                        "the game's replay.rp4, when the record file cannot tell");
    restore->add_option("--ini", inv.restore.ini, ra_ini_help);

    CLI::App *page = app.add_subcommand(
        "page", "write the library as a web page, replays.html in Dir, and print its path");
    page->add_option("--out", inv.page.out, "write the page here instead (a file or a folder)");
    page->add_flag("--open", inv.page.open, "then open it in the default browser (Windows)");
    page->add_option("--ini", inv.page.ini, ra_ini_help);
    CLI::App *prune = app.add_subcommand("prune", "remove the oldest replays the plug-in saved");
    prune->add_option("--keep", inv.prune.keep, "the N newest stay")->type_name("N");
    prune
        ->add_option("--max-size", inv.prune.max_size,
                     "the newest that fit in SIZE stay (bytes, or with KB, MB or GB: 2GB, 500MB)")
        ->type_name("SIZE");
    prune
        ->add_option("--older-than", inv.prune.older_than,
                     "replays saved more than DAYS days ago go")
        ->type_name("DAYS");
    prune->add_flag("--apply", inv.prune.apply,
                    "remove them (into the Recycle Bin on Windows); without it, only show which "
                    "would go");
    prune->add_option("--ini", inv.prune.ini, ra_ini_help);
    prune->footer(ra_prune_footer);
    // keep and unkeep: the marks of the library app's Keep and Unkeep.
    CLI::App *keep = app.add_subcommand("keep", "mark a replay so that prune never removes it");
    CLI::App *unkeep =
        app.add_subcommand("unkeep", "take the keep mark away: prune's policies apply again");
    CLI::Option *keep_file = nullptr, *unkeep_file = nullptr;
    for (CLI::App *sub : {keep, unkeep}) {
        (sub == keep ? keep_file : unkeep_file) =
            sub->add_option("FILE", inv.keep.file,
                            "the replay: its name as list shows it, or its path in Dir")
                ->required();
        sub->add_option("--ini", inv.keep.ini, ra_ini_help);
    }
    CLI::App *repair = app.add_subcommand(
        "repair", "write replays.csv back in the plug-in's form after a spreadsheet changed it");
    repair->add_flag("--apply", inv.repair.apply,
                     "write it (the old file is kept as replays.csv.bak); without it, only show "
                     "what would change");
    repair->add_option("--ini", inv.repair.ini, ra_ini_help);
    CLI::App *serve = app.add_subcommand(
        "serve", "the library app: the library page in the browser, with Watch, Keep and Tidy");
    serve->add_option("--port", inv.serve.port, "listen on this port (default: a free one)")
        ->type_name("N");
    bool no_open = false;
    serve->add_flag("--no-open", no_open, "do not open it in the default browser");
    serve->add_option("--ini", inv.serve.ini, ra_ini_help);

    // CLI11 would only say that a command is missing.
    if (!args.empty() && !args[0].empty() && args[0][0] != '-' &&
        app.get_subcommands([&](const CLI::App *s) { return s->check_name(args[0]); }).empty()) {
        return ra_usage_error(
            "unknown command " + args[0] +
                "; the commands are check, list, restore, prune, keep, unkeep, page, repair and "
                "serve",
            std::string("Run \"") + ra_program + " --help\" to see how to use it.\n");
    }

    std::string repeated = ra_repeated_option(app, args);
    if (!repeated.empty()) {
        return ra_usage_error(repeated + " is given more than once; give each option once",
                              std::string("Run \"") + ra_program + " " + args[0] +
                                  " --help\" to see how to use it.\n");
    }

    // CLI11 reads the arguments from the back.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp &) {
        inv.job = ra_job::show_text;
        inv.text = app.help();
        return inv;
    } catch (const CLI::CallForVersion &e) {
        inv.job = ra_job::show_text;
        inv.text = std::string(e.what()) + "\n";
        return inv;
    } catch (const CLI::ParseError &e) {
        CLI::App *in = list->parsed()      ? list
                       : restore->parsed() ? restore
                       : page->parsed()    ? page
                       : prune->parsed()   ? prune
                       : keep->parsed()    ? keep
                       : unkeep->parsed()  ? unkeep
                       : repair->parsed()  ? repair
                       : serve->parsed()   ? serve
                                           : nullptr;
        std::string see = std::string("Run \"") + ra_program + (in ? " " + in->get_name() : "") +
                          " --help\" to see how to use it.\n";
        return ra_usage_error(e.what(), see);
    }

    if (check->parsed()) {
        if (check_help) {
            inv.job = ra_job::show_text;
            inv.text = ra_check_usage;
            return inv;
        }
        std::vector<std::string> extra = check->remaining();
        if (!extra.empty() && extra[0].size() > 1 && extra[0][0] == '-') {
            return ra_usage_error("unknown option " + extra[0], ra_check_usage);
        }
        if (!extra.empty()) return ra_usage_error("more than one settings file", ra_check_usage);
        if (race->count() > 0 && inv.check.race.empty()) {
            return ra_usage_error("--race needs a file", ra_check_usage);
        }
        if (!check_ini_option.empty() && !inv.check.ini.empty()) {
            return ra_usage_error("more than one settings file", ra_check_usage);
        }
        if (!check_ini_option.empty()) inv.check.ini = check_ini_option;
        inv.job = ra_job::check;
    } else if (list->parsed()) {
        inv.job = ra_job::list;
    } else if (prune->parsed()) {
        inv.job = ra_job::prune;
    } else if (keep->parsed() || unkeep->parsed()) {
        if ((keep_file->count() > 0 || unkeep_file->count() > 0) && inv.keep.file.empty()) {
            CLI::App *sub = keep->parsed() ? keep : unkeep;
            return ra_usage_error(sub->get_name() + " needs a replay: a name that \"" +
                                      std::string(ra_program) + " list\" shows",
                                  std::string("Run \"") + ra_program + " " + sub->get_name() +
                                      " --help\" to see how to use it.\n");
        }
        inv.job = ra_job::keep;
        inv.keep.keep = keep->parsed();
    } else if (page->parsed()) {
        inv.job = ra_job::page;
    } else if (repair->parsed()) {
        inv.job = ra_job::repair;
    } else if (serve->parsed()) {
        inv.job = ra_job::serve;
        inv.serve.open = !no_open;
    } else {
        // An empty name is no replay: CLI11 takes "" as a value.
        if (restore_file->count() > 0 && inv.restore.file.empty()) {
            return ra_usage_error(
                "restore needs a replay: its path, or a name that \"" + std::string(ra_program) +
                    " list\" shows",
                std::string("Run \"") + ra_program + " restore --help\" to see how to use it.\n");
        }
        inv.job = ra_job::restore;
    }
    return inv;
}
