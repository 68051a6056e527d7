// The table of the program's commands: a command is added by its row here.
#include "program/commands.h"

const std::vector<const ra_command *> ra_commands = {
    &ra_check_command,       &ra_list_command,   &ra_restore_command, &ra_prune_command,
    &ra_keep_command,        &ra_unkeep_command, &ra_page_command,    &ra_repair_command,
    &ra_serve_command,       &ra_share_command,  &ra_card_command,    &ra_import_command,
    &ra_leaderboard_command, &ra_alias_command,  &ra_remove_command,
};
