// The restore transaction: every check before anything is written, then
// the new replay beside the game's, the game's backup in Dir, one more look
// and one rename.
#include "library/restore.h"

#include <stdint.h>

#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "autosave/autosave.h"
#include "library/game_replay.h"
#include "library/replays.h"
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

// What restore found so far, stopped with this outcome and problem.
ra_restore_result ra_stopped(ra_restore_outcome outcome, const std::string &problem,
                             ra_restore_result result) {
    result.outcome = outcome;
    result.problem = problem;
    return result;
}

}  // namespace

ra_restore_result ra_restore(const ra_restore_place &place, const ra_records &records,
                             const std::string &given, const std::string &to,
                             const ra_restore_hooks &hooks) {
    using outcome = ra_restore_outcome;
    ra_restore_result result;
    // The replay to play: a path, or a name as the list shows it.
    std::error_code failed;
    const ra_record *gone = nullptr;
    fs::path file = ra_find_replay(given, place.dir, records, &gone);
    if (file.empty() && gone != nullptr) {
        return ra_stopped(outcome::failed,
                          "the replay " + gone->file + " was removed or moved: " + ra_records_file +
                              " records it, but it is no longer in " + ra_text(place.dir) +
                              ra_removed_where,
                          result);
    }
    if (file.empty()) return ra_stopped(outcome::not_found, std::string(), result);
    // Read once before anything is written, so that a failure is told as one of reading.
    ra_replay_look played;
    std::string why, error;
    if (!ra_look_at(file, &played, &why)) {
        return ra_stopped(outcome::failed,
                          "cannot read " + ra_text(file) + ": " + why + ". Nothing changed",
                          result);
    }
    switch (played.kind) {
    case ra_entry_kind::file:
        break;
    case ra_entry_kind::folder:
        return ra_stopped(outcome::refused,
                          ra_text(file) + " is a folder; name one replay (.rp4) in it to play",
                          result);
    case ra_entry_kind::link:
        return ra_stopped(outcome::refused,
                          ra_text(file) +
                              " is a link to another file, not a replay of its own; restore "
                              "plays only replay files themselves. Nothing changed",
                          result);
    default:
        return ra_stopped(outcome::refused,
                          "cannot read " + ra_text(file) + ": it is not a file. Nothing changed",
                          result);
    }
    const std::string &bytes = played.bytes;
    result.name = ra_text(file.filename());
    const std::string &name = result.name;
    if (bytes.empty()) {
        return ra_stopped(outcome::refused,
                          name + " is empty (0 bytes), so it holds no replay. Nothing changed",
                          result);
    }

    const ra_record *own = nullptr;
    if (fs::equivalent(file.parent_path(), place.dir, failed)) own = ra_record_for(records, name);
    fs::path replay = ra_find_game_replay(to, place.game, place.dir, records, own, &error);
    if (replay.empty()) return ra_stopped(outcome::refused, error, result);
    result.replay = replay;
    const std::string shown = ra_text(replay);

    // The game's replay as it is and as the plug-in saves it, read before anything is written.
    ra_replay_look game;
    if (!ra_look_at(replay, &game, &why)) {
        return ra_stopped(outcome::failed,
                          "cannot keep the game's replay " + shown + " in " + ra_text(place.dir) +
                              ": " + why + ". Nothing changed",
                          result);
    }
    switch (game.kind) {
    case ra_entry_kind::none:
    case ra_entry_kind::file:
        break;
    case ra_entry_kind::folder:
        return ra_stopped(outcome::refused,
                          shown + " is a folder; name the replay file itself, e.g. " +
                              ra_text(replay / RA_REPLAY_FILE),
                          result);
    case ra_entry_kind::link:
        return ra_stopped(outcome::failed,
                          "the game's replay " + shown +
                              " is a link to another place, and restore never writes through a "
                              "link; put the game's own replay there. Nothing changed",
                          result);
    default:
        return ra_stopped(
            outcome::failed,
            "cannot write " + shown + ": it is not a file; name the game's replay with --to PATH",
            result);
    }
    bool had_replay = game.kind == ra_entry_kind::file;
    if (had_replay && fs::equivalent(file, replay, failed)) {
        return ra_stopped(outcome::refused,
                          name + " is the game's replay itself; name a saved replay to play",
                          result);
    }
    std::string saved;
    std::optional<fs::path> copy;
    if (had_replay) {
        if (game.bytes == bytes) return ra_stopped(outcome::playing, std::string(), result);
        saved = ra_as_saved(game.bytes, place.clear_ip);
        copy = ra_copy_in(place.dir, replay, game.bytes, saved);
        // A replay Dir has a copy of is no race the plug-in is still copying.
        if (!copy && ra_just_saved(replay, game, records)) {
            return ra_stopped(outcome::failed,
                              "the game has just saved a race; try again in a moment. Nothing "
                              "changed",
                              result);
        }
    }
    if (!fs::is_directory(replay.parent_path(), failed)) {
        return ra_stopped(outcome::failed,
                          "cannot write " + shown +
                              ": its folder does not exist; name the game's replay with --to PATH",
                          result);
    }
    fs::path temp;
    if (!ra_temp_name(replay, &temp)) {
        return ra_stopped(outcome::failed,
                          "cannot write beside " + shown +
                              ": the system gives no random numbers for a name of its own. "
                              "Nothing changed",
                          result);
    }
    // Everything is checked: only now is the player asked.
    if (hooks.confirm != nullptr && !hooks.confirm(name)) {
        return ra_stopped(outcome::declined, std::string(), result);
    }

    // 1. The new replay beside the old one, as a new file: what it failed to
    // create is no file of ours and stays as it was.
    if (!(hooks.create ? hooks.create : ra_create_new_file)(temp, bytes, &why)) {
        return ra_stopped(outcome::failed,
                          "cannot write " + ra_text(temp) + ": " + why +
                              "; make sure you may write to that folder. Nothing changed",
                          result);
    }
    // With the time stamp of the race it holds, as a copy has: the game's
    // replay then never looks as if the game had just saved it.
    std::error_code unstamped;
    fs::last_write_time(temp, played.written, unstamped);

    // 2. The game's replay into Dir, unless Dir has it already.
    fs::path backup;
    if (had_replay && !copy) {
        backup = ra_make_backup(place.dir, replay, game, saved, &error);
        if (backup.empty()) {
            fs::remove(temp, failed);
            return ra_stopped(outcome::failed, error + ". Nothing changed", result);
        }
    }

    // 3. The game's replay once more, right before it is replaced: a race
    // the game saved meanwhile is not in Dir yet and would be lost.
    if (hooks.before_replace != nullptr) hooks.before_replace(replay);
    ra_replay_look now;
    bool looked = ra_look_at(replay, &now, &why);
    if (!looked || !ra_same_look(game, now)) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        if (!backup.empty()) fs::remove(backup, ignored);
        return ra_stopped(outcome::failed,
                          !looked ? "cannot read the game's replay " + shown + " again: " + why +
                                        ". Nothing changed"
                                  : "the game's replay " + shown +
                                        " changed meanwhile: the game has just saved a race; try "
                                        "again in a moment. Nothing changed",
                          result);
    }

    // 4. One rename puts the new replay in place.
    if (!(hooks.move ? hooks.move : ra_move_file)(temp, replay, &why)) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        if (!backup.empty()) fs::remove(backup, ignored);
        return ra_stopped(outcome::failed,
                          "cannot replace " + shown + ": " + why +
                              "; close the game if it has the replay open. Nothing changed",
                          result);
    }
    result.outcome = outcome::restored;
    result.backup = backup;
    if (copy) result.copy = *copy;
    return result;
}
