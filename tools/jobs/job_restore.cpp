// restore: makes the game play a saved replay next time, by putting it in
// the place of the game's replay.rp4. The game keeps only that one replay,
// so the one it holds is kept in Dir first unless Dir has a copy of it. The
// new replay is written beside the old one under a temporary name and then
// put in its place in one rename, so that a failure at any step leaves the
// game's replay as it was; the replay being restored is only ever read.
// With ClearIp on, the copies in Dir are scrubbed, so the game's replay is
// compared with them as the plug-in would have saved it, and a replay that
// must be kept is scrubbed too: Dir stays safe to share.
#include <stdint.h>

#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "autosave/autosave.h"
#include "platform/file_system.h"
#include "library/files.h"
#include "platform/game_paths.h"
#include "program/game_setup.h"
#include "program/jobs.h"
#include "naming/naming.h"
#include "library/records.h"
#include "platform/remove.h"
#include "library/replays.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

const char ra_restore_temp_suffix[] = ".restoring";

namespace {

// Kept replays of the same second are told apart by "_2" up to "_99".
const int ra_kept_tries = 99;

// How the game's replay was found; empty when it was not.
struct ra_target {
    fs::path path;
    std::string problem;  // why it could not be found, and how to name it
};

// The single replay.rp4 under the game's folder outside Dir.
ra_target ra_search_target(const ra_game_setup &setup) {
    ra_target target;
    std::vector<fs::path> found;
    std::error_code failed;
    fs::recursive_directory_iterator it(setup.game, fs::directory_options::skip_permission_denied,
                                        failed),
        end;
    for (; !failed && it != end; it.increment(failed)) {
        std::error_code ignored;
        if (it->is_directory(ignored)) {
            if (fs::equivalent(it->path(), setup.dir, ignored)) it.disable_recursion_pending();
            continue;
        }
        if (ra_ieq(ra_text(it->path().filename()).c_str(), RA_REPLAY_FILE) &&
            it->is_regular_file(ignored)) {
            found.push_back(it->path());
        }
    }
    const std::string how = "; name the game's replay with --to PATH";
    if (found.size() == 1) {
        target.path = found[0];
    } else if (found.empty()) {
        target.problem = "cannot tell where the game keeps its replay: no line of " +
                         std::string(ra_records_file) + " names it and there is no " +
                         RA_REPLAY_FILE + " in " + ra_text(setup.game) + how;
    } else {
        std::string list;
        for (const fs::path &p : found) list += (list.empty() ? "" : ", ") + ra_text(p);
        target.problem = "cannot tell which replay the game plays, there are " +
                         std::to_string(found.size()) + ": " + list + how;
    }
    return target;
}

// The game's replay: the source of the file's record line, else of the
// newest line, else the single one in the game's folder. A path the player
// names with --to is taken as it is.
ra_target ra_find_target(const ra_restore_job &job, const ra_game_setup &setup,
                         const ra_records &records, const ra_record *own) {
    ra_target target;
    if (!job.to.empty()) {
        std::error_code failed;
        target.path = fs::absolute(ra_argument_path(job.to), failed);
        if (failed) target.path = ra_argument_path(job.to);
        return target;
    }
    const ra_record *newest = ra_newest_record(records);
    for (const ra_record *r : {own, newest}) {
        if (r != nullptr && !r->get(ra_column_source).empty()) {
            target.path = ra_game_path(setup.game, r->get(ra_column_source));
            return target;
        }
    }
    return ra_search_target(setup);
}

// The game's replay as the plug-in saves it: scrubbed by its own code when
// ClearIp is on, else as it is.
std::string ra_as_saved(const std::string &replay, const ra_settings &settings) {
    std::string saved = replay;
    if (settings.clear_ip != 0 && !saved.empty() && saved.size() <= UINT32_MAX) {
        ra_scrub_bytes((uint8_t *)&saved[0], (uint32_t)saved.size());
    }
    return saved;
}

// A file of Dir with the game's replay's bytes, as they are or as the
// plug-in saved them (saved), if any. The replay itself is no copy of it,
// should it lie in Dir.
std::optional<fs::path> ra_copy_in(const fs::path &dir, const fs::path &replay,
                                   const std::string &bytes, const std::string &saved) {
    std::error_code failed;
    fs::directory_iterator it(dir, failed), end;
    for (; !failed && it != end; it.increment(failed)) {
        std::error_code other;
        if (!ra_replay_name(ra_text(it->path().filename())) ||
            fs::equivalent(it->path(), replay, other)) {
            continue;
        }
        // Scrubbing keeps the length: only files of that size are read.
        uintmax_t size = fs::file_size(it->path(), other);
        std::string copy;
        if (!other && size == bytes.size() && ra_read_file(it->path(), &copy) &&
            (copy == saved || copy == bytes)) {
            return it->path();
        }
    }
    return std::nullopt;
}

// Copies the game's replay into Dir as kept_<its time stamp>.rp4, never over
// a file, scrubbed as the plug-in saves replays (saved: those bytes); the
// copy keeps the time stamp. Empty with *error on failure.
fs::path ra_keep(const fs::path &dir, const fs::path &replay, const std::string &bytes,
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
    std::string stem = ra_kept_prefix + ra_format_time_for_name(written);
    for (int n = 1; n <= ra_kept_tries; ++n) {
        fs::path kept =
            dir / ra_path(stem + (n > 1 ? "_" + std::to_string(n) : "") + RA_REPLAY_EXT);
        failed.clear();
        if (fs::exists(kept, failed)) continue;
        // Never over a file, should one of that name appear meanwhile.
        if (ra_copy_file(replay, kept, false, &why)) {
            // The copy is ours now: what must not be shared is cleared in it.
            // A copy that keeps an address is never left in Dir.
            if (saved != bytes && !ra_save_file(kept, saved, &why)) {
                std::error_code ignored;
                fs::remove(kept, ignored);
                *error = where + why;
                return fs::path();
            }
            // The list shows a file without a record line by its time stamp.
            std::error_code ignored;
            fs::file_time_type stamp = fs::last_write_time(replay, ignored);
            if (!ignored) fs::last_write_time(kept, stamp, ignored);
            return kept;
        }
        *error = where + why;
        return fs::path();
    }
    *error = where + stem + " and the names after it are taken";
    return fs::path();
}

// The replay a name or path given to restore stands for: as given, else a
// name in Dir, with ".rp4" added when it has none. Empty when there is no
// such file, with *recorded set to the record line of that name, if any.
fs::path ra_find_replay(const std::string &given, const ra_game_setup &setup,
                        const ra_records &records, const ra_record **recorded) {
    *recorded = nullptr;
    std::error_code failed;
    fs::path file = ra_argument_path(given);
    if (fs::exists(file, failed)) return fs::absolute(file, failed);
    if (given.find_first_of("\\/") != std::string::npos) return fs::path();
    std::vector<std::string> names = {given};
    if (!ra_replay_name(given)) names.push_back(given + RA_REPLAY_EXT);
    for (const std::string &name : names) {
        file = ra_game_path(setup.dir, name);
        if (fs::exists(file, failed)) return fs::absolute(file, failed);
    }
    for (const std::string &name : names) {
        if (*recorded == nullptr) *recorded = ra_record_for(records, name);
    }
    return fs::path();
}

}  // namespace

int ra_run_restore(const ra_restore_job &job, ra_output *out, const ra_restore_hooks &hooks) {
    if (job.file.empty()) {
        return ra_fail(out,
                       "restore needs a replay: its path, or a name that \"" +
                           std::string(ra_program) + " list\" shows",
                       ra_exit_usage);
    }
    ra_game_setup setup;
    std::string error;
    if (!ra_load_setup(job.ini, &setup, &error)) return ra_fail(out, error, ra_exit_usage);

    ra_records records;
    ra_read_records(setup.dir, ra_text(setup.dir / ra_records_file), &records);
    for (const std::string &w : records.warnings) out->err += "warning: " + w + "\n";

    // The replay to play: a path, or a name as the list shows it.
    std::error_code failed;
    const ra_record *gone = nullptr;
    fs::path file = ra_find_replay(job.file, setup, records, &gone);
    if (file.empty() && gone != nullptr) {
        return ra_fail(out,
                       "the replay " + gone->file + " was removed or moved: " + ra_records_file +
                           " records it, but it is no longer in " + ra_text(setup.dir) +
                           ra_removed_where,
                       ra_exit_failed);
    }
    if (file.empty()) {
        return ra_fail(out,
                       "cannot find the replay " + job.file + "; give its path, or a name that \"" +
                           ra_program + " list\" shows",
                       ra_exit_usage);
    }
    if (fs::is_directory(file, failed)) {
        return ra_fail(out, ra_text(file) + " is a folder; name one replay (.rp4) in it to play",
                       ra_exit_usage);
    }
    // Read once before anything is written, so that a failure is told as one of reading.
    std::string bytes, why;
    if (!ra_read_file(file, &bytes, &why)) {
        return ra_fail(out, "cannot read " + ra_text(file) + ": " + why + ". Nothing changed",
                       ra_exit_failed);
    }
    const std::string name = ra_text(file.filename());
    if (bytes.empty()) {
        return ra_fail(out, name + " is empty (0 bytes), so it holds no replay. Nothing changed",
                       ra_exit_usage);
    }

    const ra_record *own = nullptr;
    if (fs::equivalent(file.parent_path(), setup.dir, failed)) own = ra_record_for(records, name);
    ra_target target = ra_find_target(job, setup, records, own);
    if (target.path.empty()) return ra_fail(out, target.problem, ra_exit_usage);
    const fs::path &replay = target.path;
    const std::string shown = ra_text(replay);

    if (fs::is_directory(replay, failed)) {
        return ra_fail(out,
                       shown + " is a folder; name the replay file itself, e.g. " +
                           ra_text(replay / RA_REPLAY_FILE),
                       ra_exit_usage);
    }
    bool had_replay = fs::exists(replay, failed);
    if (had_replay && fs::equivalent(file, replay, failed)) {
        return ra_fail(out, name + " is the game's replay itself; name a saved replay to play",
                       ra_exit_usage);
    }
    // The game's replay as it is and as the plug-in saves it, read before anything is written.
    std::string current, saved;
    if (had_replay) {
        if (!ra_read_file(replay, &current, &why)) {
            return ra_fail(out,
                           "cannot keep the game's replay " + shown + " in " + ra_text(setup.dir) +
                               ": " + why + ". Nothing changed",
                           ra_exit_failed);
        }
        if (current == bytes) {
            out->out += "The game already plays " + name + " (" + shown + "); nothing changed.\n";
            return ra_exit_ok;
        }
        saved = ra_as_saved(current, setup.settings);
    }
    if (!fs::is_directory(replay.parent_path(), failed)) {
        return ra_fail(out,
                       "cannot write " + shown +
                           ": its folder does not exist; name the game's replay with --to PATH",
                       ra_exit_failed);
    }
    fs::path temp = replay;
    temp += ra_path(ra_restore_temp_suffix);
    if (fs::exists(temp, failed) && !fs::is_regular_file(temp, failed)) {
        return ra_fail(out,
                       "cannot write " + ra_text(temp) +
                           ": something else has that name; move it away. Nothing changed",
                       ra_exit_failed);
    }
    // Everything is checked: only now is the player asked.
    if (hooks.confirm != nullptr && !hooks.confirm(name)) {
        out->out += "Nothing changed.\n";
        return ra_exit_failed;
    }

    // 1. The new replay beside the old one. Only a file of ours is replaced.
    if (!ra_copy_file(file, temp, true, &why)) {
        std::error_code ignored;
        if (fs::is_regular_file(temp, ignored)) fs::remove(temp, ignored);
        return ra_fail(out,
                       "cannot write " + ra_text(temp) + ": " + why +
                           "; make sure you may write to that folder. Nothing changed",
                       ra_exit_failed);
    }

    // 2. The game's replay into Dir, unless Dir has it already.
    std::optional<fs::path> copy;
    fs::path kept;
    if (had_replay) {
        copy = ra_copy_in(setup.dir, replay, current, saved);
        if (!copy) {
            kept = ra_keep(setup.dir, replay, current, saved, &error);
            if (kept.empty()) {
                fs::remove(temp, failed);
                return ra_fail(out, error + ". Nothing changed", ra_exit_failed);
            }
        }
    }

    // 3. One rename puts the new replay in place.
    if (!(hooks.move ? hooks.move : ra_move_file)(temp, replay, &why)) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        if (!kept.empty()) fs::remove(kept, ignored);
        return ra_fail(out,
                       "cannot replace " + shown + ": " + why +
                           "; close the game if it has the replay open. Nothing changed",
                       ra_exit_failed);
    }

    out->out +=
        "The game will play " + name + " when you next watch its replay (copied to " + shown + ").";
    if (!kept.empty()) out->out += " The replay it had is kept as " + ra_text(kept) + ".";
    if (copy) out->out += " The replay it had is saved already as " + ra_text(*copy) + ".";
    out->out += "\n";
    return ra_exit_ok;
}
