// The restore transaction: every check before anything is written, then
// the new replay beside the game's, the game's backup in Dir, one more look
// and one rename.
#include "library/replays/restore.h"

#include <stdint.h>

#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "autosave/autosave.h"
#include "library/replays/game_replay.h"
#include "library/replays/replays.h"
#include "naming/naming.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "platform/random.h"
#include "platform/remove.h"

namespace fs = std::filesystem;

const char ra_restore_temp_suffix[] = ".restoring";

namespace {

// Kept replays of the same second are told apart by "_2" up to "_99".
const int ra_backup_tries = 99;

// Random bytes in the temporary name, written as hex: 64 bits, so that no
// other program can guess the name and put a link there first.
const size_t ra_temp_random_bytes = 8;

// What is at a path, looked at without following a link, and the whole of
// it when it is a plain file: enough to tell later that it has not changed.
struct ra_replay_look {
    ra_entry_kind kind = ra_entry_kind::none;  // what the name is
    fs::file_time_type written;                // last write, of a file
    std::string bytes;                         // its bytes (and so its size), of a file
};

// Looks at path; a plain file is read whole when it has at most
// ra_replay_max_bytes. False with *why when it is a file that cannot be
// read or is too big.
bool ra_look_at(const fs::path &path, ra_replay_look *out, std::string *why) {
    *out = ra_replay_look();
    out->kind = ra_entry_kind_of(path);
    if (out->kind != ra_entry_kind::file) return true;
    std::error_code failed;
    out->written = fs::last_write_time(path, failed);
    if (failed) {
        *why = ra_reason(failed);
        return false;
    }
    return ra_load_plain_file(path, ra_replay_max_bytes, &out->bytes, why);
}

// True when both looks saw the same: nothing, or a file of the same time
// stamp, size and bytes.
bool ra_same_look(const ra_replay_look &a, const ra_replay_look &b) {
    if (a.kind != b.kind) return false;
    if (a.kind != ra_entry_kind::file) return true;
    return a.written == b.written && a.bytes == b.bytes;
}

// The game's replay as the plug-in saves it: scrubbed by its own code when
// ClearIp is on, else as it is.
std::string ra_as_saved(const std::string &replay, bool clear_ip) {
    std::string saved = replay;
    if (clear_ip && !saved.empty() && saved.size() <= UINT32_MAX) {
        ra_scrub_bytes((uint8_t *)&saved[0], (uint32_t)saved.size());
    }
    return saved;
}

// A plain file of Dir with the game's replay's bytes, as they are or as the
// plug-in saved them (saved), if any. The replay itself is no copy of it,
// should it lie in Dir, and neither is a link.
std::optional<fs::path> ra_copy_in(const fs::path &dir, const fs::path &replay,
                                   const std::string &bytes, const std::string &saved) {
    std::error_code failed;
    fs::directory_iterator it(dir, failed), end;
    for (; !failed && it != end; it.increment(failed)) {
        std::error_code other;
        if (!ra_replay_name(ra_text(it->path().filename())) ||
            ra_entry_kind_of(it->path()) != ra_entry_kind::file ||
            fs::equivalent(it->path(), replay, other)) {
            continue;
        }
        // Scrubbing keeps the length: only files of that size are read.
        uintmax_t size = fs::file_size(it->path(), other);
        std::string copy, why;
        if (!other && size == bytes.size() &&
            ra_load_plain_file(it->path(), bytes.size(), &copy, &why) &&
            (copy == saved || copy == bytes)) {
            return it->path();
        }
    }
    return std::nullopt;
}

// Writes the game's replay (looked at as game) into Dir as kept_<its time
// stamp>.rp4, a new file never over anything, with the bytes the plug-in
// would have saved (saved); the copy keeps the time stamp. Empty with
// *error on failure.
fs::path ra_make_backup(const fs::path &dir, const fs::path &replay, const ra_replay_look &game,
                        const std::string &saved, std::string *error) {
    ra_time written;
    std::error_code failed;
    if (!ra_file_time(replay, &written)) {
        *error = "cannot read the time stamp of " + ra_text(replay);
        return fs::path();
    }
    const std::string where =
        "cannot keep the game's replay " + ra_text(replay) + " in " + ra_text(dir) + ": ";
    if (fs::exists(dir, failed) && !fs::is_directory(dir, failed)) {
        *error = where + "that is a file, not a folder";
        return fs::path();
    }
    fs::create_directories(dir, failed);
    if (failed) {
        *error = where + ra_reason(failed);
        return fs::path();
    }
    std::string why;
    std::string stem = ra_backup_prefix + ra_format_time_for_name(written);
    for (int n = 1; n <= ra_backup_tries; ++n) {
        fs::path backup =
            dir / ra_path(stem + (n > 1 ? "_" + std::to_string(n) : "") + RA_REPLAY_EXT);
        // A name that is taken, even by a link to nowhere, is never written.
        if (ra_entry_kind_of(backup) != ra_entry_kind::none) continue;
        // What must not be shared is cleared already: a copy that keeps an
        // address is never in Dir, not even for a moment.
        if (!ra_create_new_file(backup, saved, &why)) {
            *error = where + why;
            return fs::path();
        }
        // The list shows a file without a record line by its time stamp.
        std::error_code ignored;
        fs::last_write_time(backup, game.written, ignored);
        return backup;
    }
    *error = where + stem + " and the names after it are taken";
    return fs::path();
}

// The replay a name or path given to restore stands for: as given, else a
// name in Dir, with ".rp4" added when it has none. Empty when there is no
// such name (a link is found, to be refused), with *recorded set to the
// record line of that name, if any.
fs::path ra_find_replay(const std::string &given, const fs::path &dir, const ra_records &records,
                        const ra_record **recorded) {
    *recorded = nullptr;
    std::error_code failed;
    fs::path file = ra_path(given);
    if (ra_entry_kind_of(file) != ra_entry_kind::none) return fs::absolute(file, failed);
    if (given.find_first_of("\\/") != std::string::npos) return fs::path();
    std::vector<std::string> names = {given};
    if (!ra_replay_name(given)) names.push_back(given + RA_REPLAY_EXT);
    for (const std::string &name : names) {
        file = ra_game_path(dir, name);
        if (ra_entry_kind_of(file) != ra_entry_kind::none) return fs::absolute(file, failed);
    }
    for (const std::string &name : names) {
        if (*recorded == nullptr) *recorded = ra_record_for(records, name);
    }
    return fs::path();
}

// The temporary name beside the game's replay: its name, random hex and
// the suffix. False when the system gives no random bytes.
bool ra_temp_name(const fs::path &replay, fs::path *temp) {
    unsigned char random[ra_temp_random_bytes];
    if (!ra_random_bytes(random, sizeof random)) return false;
    static const char hex[] = "0123456789abcdef";
    std::string part = ".";
    for (unsigned char b : random) {
        part += hex[b >> 4];
        part += hex[b & 15];
    }
    *temp = replay;
    *temp += ra_path(part + ra_restore_temp_suffix);
    return true;
}

// What one restore has found so far, step by step, and what it will say.
struct ra_restore_work {
    const ra_restore_place &place;
    const ra_records &records;
    const ra_restore_hooks &hooks;
    ra_restore_work(const ra_restore_place &p, const ra_records &r, const ra_restore_hooks &h)
        : place(p), records(r), hooks(h) {}
    fs::path file;                 // the replay to play
    ra_replay_look played;         // what it holds
    ra_replay_look game;           // the game's replay as it was before anything was written
    bool had_replay = false;       // the game has a replay to keep
    std::string saved;             // the game's replay as the plug-in saves it
    std::optional<fs::path> copy;  // Dir's copy of the game's replay, if any
    fs::path temp;                 // where the new replay is written first
    ra_restore_result result;
};

// Each step below is true when restore may go on; false with the outcome
// and the problem in w->result.
bool ra_stop(ra_restore_work *w, ra_restore_outcome outcome, const std::string &problem) {
    w->result.outcome = outcome;
    w->result.problem = problem;
    return false;
}

// The replay to play, read once before anything is written, so that a
// failure is told as one of reading: a plain file with bytes in it.
bool ra_read_played(const std::string &given, ra_restore_work *w) {
    using outcome = ra_restore_outcome;
    const ra_record *gone = nullptr;
    w->file = ra_find_replay(given, w->place.dir, w->records, &gone);
    if (w->file.empty() && gone != nullptr) {
        return ra_stop(w, outcome::failed,
                       "the replay " + gone->file + " was removed or moved: " + ra_records_file +
                           " records it, but it is no longer in " + ra_text(w->place.dir) +
                           ra_removed_where);
    }
    if (w->file.empty()) return ra_stop(w, outcome::not_found, std::string());
    const std::string shown = ra_text(w->file);
    std::string why;
    if (!ra_look_at(w->file, &w->played, &why)) {
        return ra_stop(w, outcome::failed,
                       "cannot read " + shown + ": " + why + ". Nothing changed");
    }
    switch (w->played.kind) {
    case ra_entry_kind::file:
        break;
    case ra_entry_kind::folder:
        return ra_stop(w, outcome::refused,
                       shown + " is a folder; name one replay (.rp4) in it to play");
    case ra_entry_kind::link:
        return ra_stop(w, outcome::refused,
                       shown +
                           " is a link to another file, not a replay of its own; restore "
                           "plays only replay files themselves. Nothing changed");
    default:
        return ra_stop(w, outcome::refused,
                       "cannot read " + shown + ": it is not a file. Nothing changed");
    }
    w->result.name = ra_text(w->file.filename());
    if (w->played.bytes.empty()) {
        return ra_stop(
            w, outcome::refused,
            w->result.name + " is empty (0 bytes), so it holds no replay. Nothing changed");
    }
    return true;
}

// The game's replay: where it is (game_replay.h), and what it holds now, a
// plain file or nothing yet, and not the replay to play itself.
bool ra_read_game(const std::string &to, ra_restore_work *w) {
    using outcome = ra_restore_outcome;
    std::error_code failed;
    const ra_record *own = nullptr;
    if (fs::equivalent(w->file.parent_path(), w->place.dir, failed)) {
        own = ra_record_for(w->records, w->result.name);
    }
    std::string error, why;
    const fs::path replay =
        ra_find_game_replay(to, w->place.game, w->place.dir, w->records, own, &error);
    if (replay.empty()) return ra_stop(w, outcome::refused, error);
    w->result.replay = replay;
    const std::string shown = ra_text(replay);
    if (!ra_look_at(replay, &w->game, &why)) {
        return ra_stop(w, outcome::failed,
                       "cannot keep the game's replay " + shown + " in " + ra_text(w->place.dir) +
                           ": " + why + ". Nothing changed");
    }
    switch (w->game.kind) {
    case ra_entry_kind::none:
    case ra_entry_kind::file:
        break;
    case ra_entry_kind::folder:
        return ra_stop(w, outcome::refused,
                       shown + " is a folder; name the replay file itself, e.g. " +
                           ra_text(replay / RA_REPLAY_FILE));
    case ra_entry_kind::link:
        return ra_stop(w, outcome::failed,
                       "the game's replay " + shown +
                           " is a link to another place, and restore never writes through a "
                           "link; put the game's own replay there. Nothing changed");
    default:
        return ra_stop(
            w, outcome::failed,
            "cannot write " + shown + ": it is not a file; name the game's replay with --to PATH");
    }
    w->had_replay = w->game.kind == ra_entry_kind::file;
    if (w->had_replay && fs::equivalent(w->file, replay, failed)) {
        return ra_stop(
            w, outcome::refused,
            w->result.name + " is the game's replay itself; name a saved replay to play");
    }
    return true;
}

// How the game's replay is kept: Dir's copy of it, else a backup of the
// bytes the plug-in would have saved. A replay Dir has no copy of may be a
// race the plug-in is still copying, and is left alone then.
bool ra_plan_keeping(ra_restore_work *w) {
    using outcome = ra_restore_outcome;
    if (!w->had_replay) return true;
    if (w->game.bytes == w->played.bytes) return ra_stop(w, outcome::playing, std::string());
    w->saved = ra_as_saved(w->game.bytes, w->place.clear_ip);
    w->copy = ra_copy_in(w->place.dir, w->result.replay, w->game.bytes, w->saved);
    if (!w->copy && ra_just_saved(w->result.replay, w->game.written, w->records)) {
        return ra_stop(w, outcome::failed,
                       "the game has just saved a race; try again in a moment. Nothing changed");
    }
    return true;
}

// The name the new replay is written under, then the player's word: only
// asked once everything is checked.
bool ra_ready_to_write(ra_restore_work *w) {
    using outcome = ra_restore_outcome;
    std::error_code failed;
    const fs::path &replay = w->result.replay;
    const std::string shown = ra_text(replay);
    if (!fs::is_directory(replay.parent_path(), failed)) {
        return ra_stop(w, outcome::failed,
                       "cannot write " + shown +
                           ": its folder does not exist; name the game's replay with --to PATH");
    }
    if (!ra_temp_name(replay, &w->temp)) {
        return ra_stop(w, outcome::failed,
                       "cannot write beside " + shown +
                           ": the system gives no random numbers for a name of its own. "
                           "Nothing changed");
    }
    if (w->hooks.confirm != nullptr && !w->hooks.confirm(w->result.name)) {
        return ra_stop(w, outcome::declined, std::string());
    }
    return true;
}

// The writes: the new replay beside the old one, the game's replay kept in
// Dir, one more look, one rename. A failure takes back what this wrote.
bool ra_swap_in(ra_restore_work *w) {
    using outcome = ra_restore_outcome;
    const ra_restore_hooks &hooks = w->hooks;
    const fs::path &replay = w->result.replay;
    const std::string shown = ra_text(replay);
    std::string why, error;
    std::error_code failed;
    // 1. The new replay beside the old one, as a new file: what it failed to
    // create is no file of ours and stays as it was.
    if (!(hooks.create ? hooks.create : ra_create_new_file)(w->temp, w->played.bytes, &why)) {
        return ra_stop(w, outcome::failed,
                       "cannot write " + ra_text(w->temp) + ": " + why +
                           "; make sure you may write to that folder. Nothing changed");
    }
    // With the time stamp of the race it holds, as a copy has: the game's
    // replay then never looks as if the game had just saved it.
    std::error_code unstamped;
    fs::last_write_time(w->temp, w->played.written, unstamped);

    // 2. The game's replay into Dir, unless Dir has it already.
    fs::path backup;
    if (w->had_replay && !w->copy) {
        backup = ra_make_backup(w->place.dir, replay, w->game, w->saved, &error);
        if (backup.empty()) {
            fs::remove(w->temp, failed);
            return ra_stop(w, outcome::failed, error + ". Nothing changed");
        }
    }

    // 3. The game's replay once more, right before it is replaced: a race
    // the game saved meanwhile is not in Dir yet and would be lost.
    if (hooks.before_replace != nullptr) hooks.before_replace(replay);
    ra_replay_look now;
    const bool looked = ra_look_at(replay, &now, &why);
    if (!looked || !ra_same_look(w->game, now)) {
        std::error_code ignored;
        fs::remove(w->temp, ignored);
        if (!backup.empty()) fs::remove(backup, ignored);
        return ra_stop(w, outcome::failed,
                       !looked ? "cannot read the game's replay " + shown + " again: " + why +
                                     ". Nothing changed"
                               : "the game's replay " + shown +
                                     " changed meanwhile: the game has just saved a race; try "
                                     "again in a moment. Nothing changed");
    }

    // 4. One rename puts the new replay in place.
    if (!(hooks.move ? hooks.move : ra_move_file)(w->temp, replay, &why)) {
        std::error_code ignored;
        fs::remove(w->temp, ignored);
        if (!backup.empty()) fs::remove(backup, ignored);
        return ra_stop(w, outcome::failed,
                       "cannot replace " + shown + ": " + why +
                           "; close the game if it has the replay open. Nothing changed");
    }
    w->result.outcome = outcome::restored;
    w->result.backup = backup;
    if (w->copy) w->result.copy = *w->copy;
    return true;
}

}  // namespace

ra_restore_result ra_restore(const ra_restore_place &place, const ra_records &records,
                             const std::string &given, const std::string &to,
                             const ra_restore_hooks &hooks) {
    ra_restore_work work(place, records, hooks);
    // Every check before anything is written; the first that fails ends it.
    ra_read_played(given, &work) && ra_read_game(to, &work) && ra_plan_keeping(&work) &&
        ra_ready_to_write(&work) && ra_swap_in(&work);
    return work.result;
}
