#include "library/replays/game_replay.h"

#include <chrono>
#include <system_error>
#include <vector>

#include "autosave/autosave.h"
#include "library/text/local_time.h"
#include "library/replays/replays.h"
#include "platform/game_paths.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

const uintmax_t ra_replay_max_bytes = 64u << 20;
const int ra_just_saved_seconds = 5;
const int ra_plugin_gives_up_seconds = 60;

namespace {

const char ra_name_it[] = "; name the game's replay with --to PATH";

// The single replay.rp4 under the game's folder outside Dir. Links to
// folders are not followed.
fs::path ra_search_game_replay(const fs::path &game, const fs::path &dir, std::string *problem) {
    std::vector<fs::path> found;
    std::error_code failed;
    fs::recursive_directory_iterator it(game, fs::directory_options::skip_permission_denied,
                                        failed),
        end;
    for (; !failed && it != end; it.increment(failed)) {
        std::error_code ignored;
        if (it->is_directory(ignored)) {
            if (fs::equivalent(it->path(), dir, ignored)) it.disable_recursion_pending();
            continue;
        }
        if (ra_ieq(ra_text(it->path().filename()).c_str(), RA_REPLAY_FILE) &&
            it->is_regular_file(ignored)) {
            found.push_back(it->path());
        }
    }
    if (found.size() == 1) return found[0];
    if (found.empty()) {
        *problem = "cannot tell where the game keeps its replay: no line of " +
                   std::string(ra_records_file) + " names it and there is no " + RA_REPLAY_FILE +
                   " in " + ra_text(game) + ra_name_it;
    } else {
        std::string list;
        for (const fs::path &p : found) list += (list.empty() ? "" : ", ") + ra_text(p);
        *problem = "cannot tell which replay the game plays, there are " +
                   std::to_string(found.size()) + ": " + list + ra_name_it;
    }
    return fs::path();
}

// Why path is no place restore may write from a record line: empty when it
// is a replay.rp4 in the game's folder, every folder on the way below it a
// plain one (a link there would lead the write elsewhere).
std::string ra_outside_game(const fs::path &game, const fs::path &path) {
    if (!ra_ieq(ra_text(path.filename()).c_str(), RA_REPLAY_FILE)) {
        return "that is no " + std::string(RA_REPLAY_FILE);
    }
    for (fs::path folder = path.parent_path();; folder = folder.parent_path()) {
        std::error_code failed;
        if (fs::equivalent(folder, game, failed)) return std::string();
        if (ra_entry_kind_of(folder) == ra_entry_kind::link) {
            return "the folder " + ra_text(folder) + " is a link to another place";
        }
        if (folder.empty() || folder == folder.parent_path()) {
            return "it is outside the game's folder " + ra_text(game);
        }
    }
}

}  // namespace

fs::path ra_find_game_replay(const std::string &to, const fs::path &game, const fs::path &dir,
                             const ra_records &records, const ra_record *own,
                             std::string *problem) {
    if (!to.empty()) {
        std::error_code failed;
        fs::path named = fs::absolute(ra_path(to), failed);
        return failed ? ra_path(to) : named;
    }
    const ra_record *newest = ra_newest_record(records);
    for (const ra_record *r : {own, newest}) {
        if (r == nullptr || r->get(ra_column_source).empty()) continue;
        const std::string &source = r->get(ra_column_source);
        fs::path path = ra_game_path(game, source).lexically_normal();
        std::string outside = ra_outside_game(game, path);
        if (outside.empty()) return path;
        *problem = "the line of " + r->file + " in " + ra_records_file +
                   " names the game's replay as " + source + " (" + ra_text(path) + "), but " +
                   outside + ", and restore writes only the game's own " + RA_REPLAY_FILE +
                   " in its folder" + ra_name_it + " if that is where it is";
        return fs::path();
    }
    return ra_search_game_replay(game, dir, problem);
}

bool ra_just_saved(const fs::path &path, const fs::file_time_type &written,
                   const ra_records &records) {
    using namespace std::chrono;
    int64_t age = duration_cast<seconds>(fs::file_time_type::clock::now() - written).count();
    // A time stamp a little ahead of the clock counts as just written; one
    // far ahead is a clock that was wrong, and would refuse for good.
    if (age >= ra_plugin_gives_up_seconds || age <= -ra_plugin_gives_up_seconds) return false;
    if (age < ra_just_saved_seconds) return true;
    // Not recorded yet: newer than the newest line, by more than the steps
    // in which the saved time and a time stamp may differ for one save.
    const ra_record *newest = ra_newest_record(records);
    ra_time stamp;
    if (newest == nullptr || !ra_file_time(path, &stamp)) return false;
    return ra_seconds_between(newest->saved, stamp) > ra_same_save_seconds;
}
