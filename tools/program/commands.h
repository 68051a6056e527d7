// The program's commands: one row each, ra_<name>_command, defined at the
// end of its job's source in jobs/. The dispatch, the help's list and
// footer and the "unknown command" message are made from the table, so a
// command exists only by its row.
#pragma once

#include <vector>

#include "program/command.h"

// Every command by its name, in the order the help and the messages name
// them: the one list of them, a command added by its name here.
#define RA_COMMAND_NAMES(name)                                                                     \
    name(check) name(list) name(restore) name(prune) name(keep) name(unkeep) name(page)            \
        name(repair) name(serve) name(share) name(card) name(import) name(leaderboard) name(alias) \
            name(remove)

#define RA_DECLARE_COMMAND(command) extern const ra_command ra_##command##_command;
RA_COMMAND_NAMES(RA_DECLARE_COMMAND)
#undef RA_DECLARE_COMMAND

// Every command's row, in the order of RA_COMMAND_NAMES.
extern const std::vector<const ra_command *> ra_commands;
