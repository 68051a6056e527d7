// The companion's jobs, one source each in jobs/: job_check.cpp,
// job_list.cpp, job_restore.cpp, job_prune.cpp, job_keep.cpp, job_page.cpp,
// job_repair.cpp, job_serve.cpp, each ending with its command's row
// (commands.h). A job writes what it has to say into an ra_output and
// returns the program's exit status; main prints the output.
#pragma once

#include <stddef.h>

#include <filesystem>
#include <string>
#include <vector>

#include "program/game_setup.h"
#include "library/library_index.h"
#include "library/prune.h"
#include "library/replays.h"
#include "library/restore.h"

// What a job prints: the report or the listing on the output, warnings and
// errors (one line each) on the error output.
struct ra_output {
    std::string out;
    std::string err;
};

// Exit statuses of list, restore and page (check keeps its own: 1 means warnings).
enum { ra_exit_ok = 0, ra_exit_failed = 1, ra_exit_usage = 2 };

// The name the program gives itself in messages.
extern const char ra_program[];

// Appends "replay-autosave: what" as one line to the error output; returns status.
int ra_fail(ra_output *out, const std::string &what, int status);

// The settings of the INI (empty: the one beside this program) and the
// replays in their Dir, for the jobs that show them, through Dir's index
// (library_index.h): with a track only the entries of that track, and the
// whole library's facts in *facts when given. The record file's warnings
// go to the error output; a long rebuild of the index tells its progress
// on a terminal's error output. ra_exit_ok, or the status of the failure.
int ra_open_library(const std::string &ini, ra_game_setup *setup, ra_replay_list *list,
                    ra_output *out, const std::string &track = std::string(),
                    ra_index_facts *facts = nullptr);

struct ra_check_job {
    bool quiet = false;  // only the warnings
    std::string race;    // a race file instead of the built-in example race
    std::string ini;     // the settings file; empty: the one beside this program
};

// What the plug-in will make of a replay_autosave.ini: 0 without warnings,
// 1 with warnings, 2 when a file cannot be read.
int ra_run_check(const ra_check_job &job, ra_output *out);

struct ra_list_job {
    std::string ini;    // the settings file; empty: the one beside this program
    std::string track;  // only this track (any letter case)
    std::string type;   // only this race type code (any letter case)
    std::string since;  // only replays saved on this day (YYYY-MM-DD) or later
    bool csv = false;   // comma-separated values instead of a table
    size_t newest = 0;  // only this many of the newest; 0: all
    std::string racer;  // show this racer's lap in place of the race's fastest
};

// The replays in Dir, newest first.
int ra_run_list(const ra_list_job &job, ra_output *out);

struct ra_restore_job {
    std::string ini;   // the settings file; empty: the one beside this program
    std::string file;  // the replay to play: a path, or a name in Dir
    std::string to;    // the game's replay.rp4, when the record file cannot tell
};

// Makes the game play job.file next time, keeping its current replay in Dir
// when no copy of it is there yet.
int ra_run_restore(const ra_restore_job &job, ra_output *out,
                   const ra_restore_hooks &hooks = ra_restore_hooks());

struct ra_page_job {
    std::string ini;    // the settings file; empty: the one beside this program
    std::string out;    // where the page goes; empty: replays.html in Dir
    bool open = false;  // then open it in the default browser
};

// Writes the library page (library_page.h) and prints its path.
int ra_run_page(const ra_page_job &job, ra_output *out);

struct ra_repair_job {
    std::string ini;     // the settings file; empty: the one beside this program
    bool apply = false;  // write it; otherwise only say what would change
};

// Writes Dir's replays.csv back in the plug-in's own form (job_repair.cpp);
// without apply it only says what would change.
int ra_run_repair(const ra_repair_job &job, ra_output *out);

struct ra_prune_job {
    std::string ini;         // the settings file; empty: the one beside this program
    std::string keep;        // --keep N as given; empty: not given
    std::string max_size;    // --max-size SIZE as given; empty: not given
    std::string older_than;  // --older-than DAYS as given; empty: not given
    bool apply = false;      // remove them; otherwise only say which would go
};

// Removes the oldest of the replays the plug-in saved in Dir by the job's
// policies (any policy given removes a replay); without apply it only says
// which would go.
int ra_run_prune(const ra_prune_job &job, ra_output *out);

struct ra_keep_job {
    std::string ini;   // the settings file; empty: the one beside this program
    std::string file;  // the replay: its name as the list shows it, or its path in Dir
    bool keep = true;  // mark it; false: take the mark away
};

// Marks a replay of Dir so that prune never removes it, or takes the mark
// away (keep_marks.h): the same marks as the library app's Keep.
int ra_run_keep(const ra_keep_job &job, ra_output *out);

struct ra_remove_job {
    std::string ini;   // the settings file; empty: the one beside this program
    std::string file;  // Friends\<friend>\<replay>
};

// Removes a friend's replay and its lines from their record
// (friends/friend_replay.h).
int ra_run_remove(const ra_remove_job &job, ra_output *out);

struct ra_serve_job {
    std::string ini;   // the settings file; empty: the one beside this program
    std::string port;  // --port N as given; empty: a free one
    bool open = true;  // open the address in the default browser
};

// The library app (job_serve.cpp): the library page with its actions,
// on 127.0.0.1, until the player stops it.
int ra_run_serve(const ra_serve_job &job, ra_output *out);

struct ra_share_job {
    std::string ini;                 // the settings file; empty: the one beside this program
    std::vector<std::string> files;  // the replays: names as list shows them, or paths in Dir
    std::string out;  // the share file; empty: <sharer>_<when>.rpshare in the current folder
    bool hide_names = false;  // other racers become "Rival 1", "Rival 2"...
    std::string folder;       // where the default name goes; empty: the current folder
};

// Writes a share of the player's replays (friends/sharing.h), after the
// privacy report.
int ra_run_share(const ra_share_job &job, ra_output *out);

struct ra_card_job {
    std::string ini;  // the settings file; empty: the one beside this program
    std::string out;  // the card file; empty: <sharer>_<when>.rpcard in the current folder
};

// Writes the player's season card: every record line and each replay's hash.
int ra_run_card(const ra_card_job &job, ra_output *out);

struct ra_import_job {
    std::string ini;   // the settings file; empty: the one beside this program
    std::string file;  // the share or card to import
};

// Imports a friend's share or card into Dir\Friends\<sharer>\ (friends/import.h).
int ra_run_import(const ra_import_job &job, ra_output *out);

struct ra_leaderboard_job {
    std::string ini;    // the settings file; empty: the one beside this program
    std::string track;  // only this track (any letter case)
    std::string type;   // only this race type code (any letter case)
};

// The best laps of the player and every friend imported, per track and
// type, and the head to head records (friends/leaderboard.h).
int ra_run_leaderboard(const ra_leaderboard_job &job, ra_output *out);

struct ra_alias_job {
    std::string ini;       // the settings file; empty: the one beside this program
    std::string old_name;  // a racer's name as the records spell it; empty: list the aliases
    std::string new_name;  // the name every view shows for it; empty: take the alias away
};

// Stores, removes or lists the racers' aliases (friends/aliases.h).
int ra_run_alias(const ra_alias_job &job, ra_output *out);
