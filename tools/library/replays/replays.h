// The replays in Dir as the companion shows them: the races (every record
// line, with the file that holds it, or gone), and apart from them the
// files that are no race of their own: those restore kept and those the
// player copied in (listed from their name and time stamp).
//
// A renamed replay keeps its race. A record line whose file is gone and a
// file that no line names are taken for the same replay when the file's
// time stamp lies within ra_same_save_seconds of the line's saved time and
// the pairing is unique on both sides: no other line (of any state) lies
// that near the file, and no other unnamed file that near the line. Copying
// and renaming keep a file's time stamp, and the saved copy's stamp is the
// game's replay's, written just before the plug-in read the clock; races
// are minutes apart. A file whose stamp fits a line whose file is still
// there is a copy of that race; a kept file is never taken for a rename.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "library/text/local_time.h"
#include "library/record/record_reader.h"

// Restore keeps the game's replay in Dir under this prefix, its time stamp
// and the extension (restore.h); prune never removes such a file.
extern const char ra_backup_prefix[];

// How near a file's time stamp must be to a line's saved time to be that
// save's: the clock read a moment after the game wrote its replay, and FAT
// drives keep time stamps in steps of two seconds.
extern const int ra_same_save_seconds;

enum class ra_replay_state {
    saved,     // the file is in Dir under the name its line gives
    missing,   // a record line names it, but the file is gone
    replaced,  // the file is there, but a later race was saved under its name
    renamed,   // the line's file is gone; `file` is the file that holds it now
};

// Whether an entry is a race (a record line, or a file that may be one) or
// a file that is none of its own.
enum class ra_replay_kind {
    race,        // counted as a race
    backup,      // a backup restore made ("kept_..."); never removed by prune
    unrecorded,  // a file no line names, copied in or a second copy of a race
};

// The words for each, as the list and the app name them ("saved", "race"),
// in the order of the enums; null past the end.
extern const char *const ra_replay_state_names[4];
extern const char *const ra_replay_kind_names[3];

struct ra_replay {
    std::string file;                 // name in Dir
    ra_time when;                     // saved time of its record line, else the file's time stamp
    std::optional<ra_record> record;  // a race: its line (renamed: the line that named it)
    ra_replay_state state = ra_replay_state::saved;
    ra_replay_kind kind = ra_replay_kind::race;
    // Kept and unrecorded files: the race whose replay the file holds, found
    // by its time stamp as a rename is; `record` stays empty for them.
    std::optional<ra_record> holds;
};

// A race's name for people: its track and when it was saved, to the minute
// ("ALPINE, 2026-03-22 19:57"); the file's name when no record line tells
// the track. The details' title and every button of a row say it.
std::string ra_race_name(const ra_replay &replay);

struct ra_replay_list {
    ra_records records;              // the record file as read, with its warnings
    std::vector<ra_replay> replays;  // newest first, races and the other files
};

// Lists Dir (dir on this system, shown as `shown` in messages). False with
// *error when Dir cannot be read.
bool ra_list_replays(const std::filesystem::path &dir, const std::string &shown,
                     ra_replay_list *out, std::string *error);

// The same, with the record read by read_records (false: it could not be,
// and neither can the list). The join of lines and files looks only at each
// line's number, file and saved time: a reader may hand over lines whose
// values it keeps elsewhere (the index's rebuild, which streams them).
bool ra_list_replays_of(const std::filesystem::path &dir, const std::string &shown,
                        const std::function<bool(ra_records *records)> &read_records,
                        ra_replay_list *out, std::string *error);

// True for a file name with the extension of replays (any letter case).
bool ra_replay_name(const std::string &name);

// True for a name restore gave a replay it kept: ra_backup_prefix, in any
// letter case. Such a file is never a rename, and prune never removes it.
bool ra_backup_name(const std::string &name);
