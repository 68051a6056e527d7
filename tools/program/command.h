// One command of the program as a row: what the command line, the help and
// the dispatch know of it. Each jobs/job_*.cpp defines its row at its end
// (command_row.h makes it), and program/commands.cpp lists the rows once.
#pragma once

#include <any>
#include <string>

#include "program/job_output.h"

namespace CLI {
class App;
}

// How the program was started, for a job that asks the player before it
// changes anything when a file was dropped on the program.
struct ra_start {
    // Asked with the replay's name before a dropped replay replaces the
    // game's; null on a command line, where nobody is asked.
    bool (*confirm)(const std::string &name) = nullptr;
};

struct ra_command {
    const char *name;     // what the player types: "list"
    const char *summary;  // its line in the program's help
    // The command's own help, which its --help prints in place of CLI11's,
    // and which follows each of its own messages; it says its own exit
    // statuses. Null: CLI11's help, and the program's exit statuses.
    const char *usage;
    // The end of its --help in place of the program's footer; null: the
    // program's.
    const char *footer;
    // Adds the command's options to its subcommand, bound to a new job of
    // its own in *job (ra_list_job for list, and so on), --ini among them.
    void (*define)(CLI::App *sub, std::any *job);
    // After CLI11 has read the arguments: what is wrong with them that
    // CLI11 does not see, or empty when the job can run.
    std::string (*refuse)(const CLI::App &sub, std::any *job);
    // Runs the job; the program's exit status, what it has to say in *out.
    int (*run)(const std::any &job, const ra_start &start, ra_output *out);
};
