// The command line, read with CLI11 from the table of commands
// (commands.h): each row adds its subcommand, and the help, the messages
// and the job come from the rows. A double click and a dropped file are a
// rule of their own, decided before the table is looked at.
#include "program/invocation.h"

#include <string.h>

#include <CLI/CLI.hpp>

#include "friends/share_file.h"
#include "jobs/job_import.h"
#include "program/commands.h"
#include "settings/settings.h"

const size_t ra_double_click_newest = 10;
// From the CMake project's version, which the plug-in's manifest and the
// release package's name carry too.
const char ra_version[] = RA_VERSION;

namespace {

const char ra_description[] =
    "The replay autosave plug-in's companion: checks replay_autosave.ini, lists the saved "
    "replays, makes the game play one of them again, removes the oldest and shows them all "
    "as a web page.";

// The program's footer: what it does without a command, then the exit
// statuses of every command without a usage of its own (which says its own).
const char ra_no_command_help[] =
    "Without a command it checks replay_autosave.ini next to this program and lists the ten "
    "newest replays. Replays (.rp4) dropped on it are watched in the game (one) or shared, "
    "as the player chooses; an .ini "
    "dropped on it is checked; a friend's .rpshare or .rpcard is imported.\n";
const char ra_shared_exit_statuses[] =
    ": 0 done, 1 failed, 2 on a bad command line or an unreadable file.";

// The help flag of a command with a usage of its own, which prints that usage.
const char ra_own_help_flag[] = "-h,--help";
const char ra_own_help_name[] = "--help";

// What a drop can give the program, said when it was given something else.
const char ra_drop_usage[] =
    "replay-autosave takes dropped replays (.rp4), to watch one in the game or share them, "
    "or one dropped file: a replay_autosave.ini, which it checks, or a friend's share "
    "(.rpshare) or card (.rpcard), which it imports; folders, replays.csv and other files "
    "cannot be dropped.\n";

bool ra_ends_with(const std::string &text, const char *ext) {
    size_t n = strlen(ext);
    return text.size() > n && ra_ieq(text.c_str() + text.size() - n, ext);
}

ra_invocation ra_usage_error(const std::string &what, const std::string &usage) {
    ra_invocation inv;
    inv.action = ra_action::usage_error;
    inv.text = std::string(ra_program) + ": " + what + "\n" + usage;
    return inv;
}

// True for what Explorer hands over for a dropped file or folder: a path
// (with a folder or drive in it) or a file's name, never an option or a
// command.
bool ra_looks_dropped(const std::string &arg) {
    if (arg.empty() || arg[0] == '-') return false;
    return arg.find_first_of("\\/:") != std::string::npos || ra_ends_with(arg, ".rp4") ||
           ra_ends_with(arg, ".ini") || ra_ends_with(arg, ".csv") ||
           ra_ends_with(arg, ra_share_extension) || ra_ends_with(arg, ra_card_extension);
}

// "Run "replay-autosave COMMAND --help" ...", or the program's help when
// command is empty.
std::string ra_see_help(const std::string &command) {
    return std::string("Run \"") + ra_program + (command.empty() ? "" : " " + command) +
           " --help\" to see how to use it.\n";
}

// The words as a sentence names them: "a, b and c".
std::string ra_spoken_list(const std::vector<std::string> &words) {
    std::string text;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? " and " : ", ";
        text += words[i];
    }
    return text;
}

// The names of the commands in the table's order: all of them, or only
// those whose exit statuses the program's footer says.
std::vector<std::string> ra_command_names(bool shared_statuses_only) {
    std::vector<std::string> names;
    for (const ra_command *command : ra_commands) {
        if (!shared_statuses_only || command->usage == nullptr) names.push_back(command->name);
    }
    return names;
}

// A dropped file, or a double click; false for a command line.
bool ra_dropped(const std::vector<std::string> &args, ra_invocation *inv) {
    inv->dropped = true;
    if (args.empty()) {
        inv->action = ra_action::double_click;
        ra_double_click_job job;
        job.list.newest = ra_double_click_newest;
        inv->job = job;
        return true;
    }
    for (const std::string &arg : args) {
        if (!ra_looks_dropped(arg)) return false;
    }
    // Replays only: the player chooses what becomes of them (main.cpp).
    bool replays = true;
    for (const std::string &arg : args) replays = replays && ra_ends_with(arg, ".rp4");
    if (replays) {
        inv->action = ra_action::replays;
        inv->job = ra_dropped_replays_job{args};
        return true;
    }
    // A folder, the record file or several files: nothing a drop can do.
    inv->action = ra_action::usage_error;
    inv->text = ra_drop_usage;
    if (args.size() != 1) return true;
    // A friend's file goes to Friends\<sharer>\ only and replaces nothing,
    // so it is imported without a question.
    if (ra_ends_with(args[0], ra_share_extension) || ra_ends_with(args[0], ra_card_extension)) {
        ra_import_job job;
        job.file = args[0];
        inv->action = ra_action::run_command;
        inv->command = &ra_import_command;
        inv->job = job;
        return true;
    }
    if (ra_ends_with(args[0], ".ini")) {
        ra_check_job job;
        job.ini = args[0];
        inv->action = ra_action::run_command;
        inv->command = &ra_check_command;
        inv->job = job;
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

// One command while the command line is read: its subcommand, and the job
// CLI11 writes the arguments into.
struct ra_reading {
    const ra_command *command = nullptr;
    CLI::App *sub = nullptr;
    std::any job;
};

// The command the command line named, once CLI11 has read it; null if none.
ra_reading *ra_parsed(std::vector<ra_reading> &readings) {
    for (ra_reading &reading : readings) {
        if (reading.sub->parsed()) return &reading;
    }
    return nullptr;
}

ra_invocation ra_show_text(const std::string &text) {
    ra_invocation inv;
    inv.action = ra_action::show_text;
    inv.text = text;
    return inv;
}

}  // namespace

ra_invocation ra_parse_invocation(const std::vector<std::string> &args) {
    ra_invocation inv;
    if (ra_dropped(args, &inv)) return inv;
    inv = ra_invocation();

    CLI::App app(ra_description, ra_program);
    app.footer(std::string(ra_no_command_help) + "Exit status of " +
               ra_spoken_list(ra_command_names(true)) + ra_shared_exit_statuses);
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string(ra_program) + " " + ra_version);

    // Sized once: CLI11 keeps the address of every job it writes into.
    std::vector<ra_reading> readings(ra_commands.size());
    for (size_t i = 0; i < ra_commands.size(); ++i) {
        const ra_command &command = *ra_commands[i];
        ra_reading &reading = readings[i];
        reading.command = &command;
        reading.sub = app.add_subcommand(command.name, command.summary);
        if (command.usage != nullptr) {
            reading.sub->set_help_flag();
            reading.sub->add_flag(ra_own_help_flag);
        }
        if (command.footer != nullptr) reading.sub->footer(command.footer);
        command.define(reading.sub, &reading.job);
    }

    // CLI11 would only say that a command is missing.
    if (!args.empty() && !args[0].empty() && args[0][0] != '-' &&
        app.get_subcommands([&](const CLI::App *s) { return s->check_name(args[0]); }).empty()) {
        return ra_usage_error("unknown command " + args[0] + "; the commands are " +
                                  ra_spoken_list(ra_command_names(false)),
                              ra_see_help(""));
    }

    std::string repeated = ra_repeated_option(app, args);
    if (!repeated.empty()) {
        return ra_usage_error(repeated + " is given more than once; give each option once",
                              ra_see_help(args[0]));
    }

    // CLI11 reads the arguments from the back.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp &) {
        return ra_show_text(app.help());
    } catch (const CLI::CallForVersion &e) {
        return ra_show_text(std::string(e.what()) + "\n");
    } catch (const CLI::ParseError &e) {
        // A command with a usage of its own sends CLI11's findings to the
        // program's help, as it always has.
        const ra_reading *in = ra_parsed(readings);
        bool named = in != nullptr && in->command->usage == nullptr;
        return ra_usage_error(e.what(), ra_see_help(named ? in->command->name : ""));
    }

    // Never a command by default: CLI11 requires one, and each is a row.
    ra_reading *reading = ra_parsed(readings);
    if (reading == nullptr) {
        return ra_usage_error(
            "no command; the commands are " + ra_spoken_list(ra_command_names(false)),
            ra_see_help(""));
    }
    const ra_command &command = *reading->command;
    if (command.usage != nullptr && reading->sub->get_option(ra_own_help_name)->count() > 0) {
        return ra_show_text(command.usage);
    }
    std::string wrong = command.refuse(*reading->sub, &reading->job);
    if (!wrong.empty()) {
        return ra_usage_error(wrong, command.usage != nullptr ? std::string(command.usage)
                                                              : ra_see_help(command.name));
    }
    inv.action = ra_action::run_command;
    inv.command = &command;
    inv.job = std::move(reading->job);
    return inv;
}
