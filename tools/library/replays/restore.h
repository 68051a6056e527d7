// restore: makes the game play a saved replay next time, by putting it in
// the place of the game's replay.rp4. The game keeps only that one replay,
// so the one it holds is kept in Dir first unless Dir has a copy of it. The
// new replay is written beside the old one as a new file under a name
// nobody can guess and then put in its place in one rename, so that a
// failure at any step leaves the game's replay as it was; the replay being
// restored is only ever read. Nothing is written through a link: the
// replay played, the game's replay and the temporary file must be files of
// their own, and a record line never leads the write out of the game's
// folder. The game may save a race at any moment, and the plug-in copies
// it right after: a replay that may not be copied yet is left alone, and
// so is one that changes before the rename.
// With ClearIp on, the copies in Dir are scrubbed, so the game's replay is
// compared with them as the plug-in would have saved it, and a replay that
// must be kept is scrubbed too: Dir stays safe to share.
#pragma once

#include <filesystem>
#include <string>

#include "library/record/record_reader.h"

// What restore asks of the world besides files: the player's word, and the
// steps that write (seams for tests, as prune's remover is).
struct ra_restore_hooks {
    // Asked with the replay's name once everything is checked, before
    // anything is written; false: nothing changes. Null: not asked.
    bool (*confirm)(const std::string &name) = nullptr;
    // Writes the new replay as a new file beside the game's; null:
    // ra_create_new_file.
    bool (*create)(const std::filesystem::path &path, const std::string &bytes,
                   std::string *why) = nullptr;
    // Called with the game's replay just before it is looked at a last
    // time and replaced, where the game may save a race meanwhile. Null:
    // nothing.
    void (*before_replace)(const std::filesystem::path &replay) = nullptr;
    // Puts the new replay in place of the game's; null: ra_move_file.
    bool (*move)(const std::filesystem::path &from, const std::filesystem::path &to,
                 std::string *why) = nullptr;
};

// The new replay is written beside the game's replay under that name, a
// random part nobody can guess and this suffix, then put in its place.
extern const char ra_restore_temp_suffix[];

// Where restore works, as the player's settings give it.
struct ra_restore_place {
    std::filesystem::path game;  // the game's folder
    std::filesystem::path dir;   // Dir on this system
    bool clear_ip = false;       // ClearIp: the plug-in scrubs the copies it saves
};

enum class ra_restore_outcome {
    restored,   // the game plays the replay when it next shows its replay
    playing,    // the game's replay is that replay already
    declined,   // the player said no
    not_found,  // there is no such replay, nor a record line of that name
    refused,    // what was asked cannot be done: problem says why and what to ask instead
    failed,     // something on the disk or the game stopped it: problem says what
};

// What restore did. Every outcome but restored leaves every file as it was.
struct ra_restore_result {
    ra_restore_outcome outcome = ra_restore_outcome::failed;
    std::string problem;           // refused, failed: what stopped it, as the player is told
    std::string name;              // the replay played: its file name
    std::filesystem::path replay;  // the game's replay, once known
    std::filesystem::path backup;  // restored: the game's replay kept in Dir, or empty
    std::filesystem::path copy;    // restored: Dir's copy of the game's replay, or empty
};

// Makes the game play `file` (a path, or a name as the list shows it, with
// or without ".rp4") next time. `to` names the game's replay where the
// player gave it; else the record tells (game_replay.h).
ra_restore_result ra_restore(const ra_restore_place &place, const ra_records &records,
                             const std::string &file, const std::string &to,
                             const ra_restore_hooks &hooks = ra_restore_hooks());
