// The table of the program's commands, made from RA_COMMAND_NAMES.
#include "program/commands.h"

#define RA_COMMAND_ROW(command) &ra_##command##_command,
const std::vector<const ra_command *> ra_commands = {RA_COMMAND_NAMES(RA_COMMAND_ROW)};
#undef RA_COMMAND_ROW
