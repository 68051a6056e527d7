// The program's commands: one row each, defined at the end of its
// jobs/job_*.cpp, and the table of them in commands.cpp. The dispatch, the
// help's list and footer and the "unknown command" message are made from
// the table, so a command exists only by its row.
#pragma once

#include <vector>

#include "program/command.h"

extern const ra_command ra_check_command;        // jobs/job_check.cpp
extern const ra_command ra_list_command;         // jobs/job_list.cpp
extern const ra_command ra_restore_command;      // jobs/job_restore.cpp
extern const ra_command ra_prune_command;        // jobs/job_prune.cpp
extern const ra_command ra_keep_command;         // jobs/job_keep.cpp
extern const ra_command ra_unkeep_command;       // jobs/job_keep.cpp
extern const ra_command ra_page_command;         // jobs/job_page.cpp
extern const ra_command ra_repair_command;       // jobs/job_repair.cpp
extern const ra_command ra_serve_command;        // jobs/job_serve.cpp
extern const ra_command ra_share_command;        // jobs/job_share.cpp
extern const ra_command ra_card_command;         // jobs/job_share.cpp
extern const ra_command ra_import_command;       // jobs/job_import.cpp
extern const ra_command ra_leaderboard_command;  // jobs/job_leaderboard.cpp
extern const ra_command ra_remove_command;       // jobs/job_remove.cpp
extern const ra_command ra_alias_command;        // jobs/job_alias.cpp

// Every command, in the order the help and the messages name them.
extern const std::vector<const ra_command *> ra_commands;
