// Joining the record file and the files of Dir.
#include "library/replays/replays.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "check/setting_names.h"
#include "library/text/folded_name.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "naming/naming.h"
#include "settings/settings.h"

namespace {

// A file that no record line names.
struct ra_stray {
    std::string name;
    ra_time when;
    bool stamped = false;  // its time stamp could be read
};

// The pairs of a line that claims its name (the latest of it) and an unnamed file of the same save
// (see replays.h): line -> file, each unique on both sides.
std::map<size_t, size_t> ra_pair_by_time(const std::vector<ra_record> &lines,
                                         const std::vector<size_t> &claiming,
                                         const std::vector<ra_stray> &strays) {
    // The lines by saved time, to find those near a file without trying all.
    std::multimap<int64_t, size_t> by_time;
    ra_time epoch;
    epoch.year = 1970;
    epoch.month = 1;
    epoch.day = 1;
    for (size_t line : claiming)
        by_time.emplace(ra_seconds_between(epoch, lines[line].saved), line);
    std::map<size_t, size_t> near_file;        // file -> its one near line
    std::map<size_t, size_t> files_near_line;  // line -> how many files are near it
    for (size_t s = 0; s < strays.size(); ++s) {
        if (!strays[s].stamped) continue;
        int64_t at = ra_seconds_between(epoch, strays[s].when);
        auto from = by_time.lower_bound(at - ra_same_save_seconds);
        auto to = by_time.upper_bound(at + ra_same_save_seconds);
        size_t near = 0, line = 0;
        for (auto it = from; it != to; ++it, ++near) line = it->second;
        for (auto it = from; it != to; ++it) ++files_near_line[it->second];
        if (near == 1) near_file[s] = line;
    }
    std::map<size_t, size_t> pairs;
    for (const auto &f : near_file) {
        if (files_near_line[f.second] == 1) pairs[f.second] = f.first;
    }
    return pairs;
}

}  // namespace

// Restore writes such files, prune leaves them alone.
const char *const ra_replay_state_names[4] = {"saved", "missing", "replaced", "renamed"};
const char *const ra_replay_kind_names[3] = {"race", "backup", "unrecorded"};

const char ra_backup_prefix[] = "kept_";

bool ra_backup_name(const std::string &name) {
    std::string prefix = ra_folded_name(ra_backup_prefix);
    return ra_folded_name(name).compare(0, prefix.size(), prefix) == 0;
}

const int ra_same_save_seconds = 2;

bool ra_replay_name(const std::string &name) {
    const size_t ext = sizeof RA_REPLAY_EXT - 1;
    return name.size() > ext && ra_ieq(name.c_str() + name.size() - ext, RA_REPLAY_EXT);
}

bool ra_list_replays(const std::filesystem::path &dir, const std::string &shown,
                     ra_replay_list *out, std::string *error) {
    return ra_list_replays_of(
        dir, shown,
        [&](ra_records *records) {
            ra_read_records(dir, ra_text(dir / ra_records_file), records);
            return true;
        },
        out, error);
}

bool ra_list_replays_of(const std::filesystem::path &dir, const std::string &shown,
                        const std::function<bool(ra_records *records)> &read_records,
                        ra_replay_list *out, std::string *error) {
    *out = ra_replay_list();
    std::error_code failed;
    if (!std::filesystem::is_directory(dir, failed)) {
        *error = "the save folder " + shown + " does not exist: no replay has been saved yet, or " +
                 ra_setting_place(RA_SET_DIR) + " names another folder";
        return false;
    }
    // The replay files of Dir, by folded name: plain files only. A link is
    // no replay of Dir, whatever it points to (a file outside Dir that the
    // app would show and Watch would copy), and is not shown at all.
    // Each by its own name alone: a whole path per file would hold tens of
    // megabytes in a long season's folder.
    std::map<std::string, std::filesystem::path> files;
    std::filesystem::directory_iterator it(dir, failed), end;
    for (; !failed && it != end; it.increment(failed)) {
        std::string name = ra_text(it->path().filename());
        if (ra_replay_name(name) && ra_entry_kind_of(it->path()) == ra_entry_kind::file) {
            files.emplace(ra_folded_name(name), it->path().filename());
        }
    }
    if (failed) {
        *error = "cannot read the save folder " + shown + ": " + ra_reason(failed);
        return false;
    }

    if (!read_records(&out->records)) {
        *error = "cannot read the record in " + shown;
        return false;
    }
    // The latest line for each name claims the file.
    std::map<std::string, size_t> claim;
    const std::vector<ra_record> &lines = out->records.lines;
    for (size_t i = 0; i < lines.size(); ++i) claim[ra_folded_name(lines[i].file)] = i;

    // The files no line names; each may be a race's replay under a new name.
    std::vector<ra_stray> strays;
    for (const auto &file : files) {
        if (claim.count(file.first) != 0) continue;
        ra_stray stray;
        stray.name = ra_text(file.second);
        // A time stamp that cannot be read sorts the file last and pairs with nothing.
        stray.stamped = ra_file_time(dir / file.second, &stray.when);
        strays.push_back(stray);
    }
    // Lines that lost their name to a later race are no candidates.
    std::vector<size_t> claiming;
    for (const auto &c : claim) claiming.push_back(c.second);
    std::map<size_t, size_t> pairs = ra_pair_by_time(lines, claiming, strays);

    out->replays.reserve(lines.size() + strays.size());
    std::map<size_t, size_t> renamed;  // line -> stray file
    for (const auto &p : pairs) {
        bool gone = files.count(ra_folded_name(lines[p.first].file)) == 0;
        if (gone && !ra_backup_name(strays[p.second].name)) renamed[p.first] = p.second;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string folded = ra_folded_name(lines[i].file);
        ra_replay replay;
        replay.file = lines[i].file;
        replay.when = lines[i].saved;
        replay.record = lines[i];
        if (claim[folded] != i) {
            replay.state =
                files.count(folded) == 0 ? ra_replay_state::missing : ra_replay_state::replaced;
        } else if (files.count(folded) != 0) {
            replay.file = ra_text(files[folded]);
        } else if (renamed.count(i) != 0) {
            replay.state = ra_replay_state::renamed;
            replay.file = strays[renamed[i]].name;
        } else {
            replay.state = ra_replay_state::missing;
        }
        out->replays.push_back(std::move(replay));
    }
    std::map<size_t, size_t> held;  // stray file -> line
    for (const auto &p : pairs) held[p.second] = p.first;
    for (size_t s = 0; s < strays.size(); ++s) {
        if (held.count(s) != 0 && renamed.count(held[s]) != 0) continue;
        ra_replay replay;
        replay.file = strays[s].name;
        replay.when = strays[s].when;
        // Without a record file every file is a race the plug-in saved.
        if (out->records.found) {
            replay.kind =
                ra_backup_name(replay.file) ? ra_replay_kind::backup : ra_replay_kind::unrecorded;
            if (held.count(s) != 0) replay.holds = lines[held[s]];
        }
        out->replays.push_back(std::move(replay));
    }
    // Newest first; of equal times the later record line, then by name.
    std::stable_sort(out->replays.begin(), out->replays.end(),
                     [](const ra_replay &a, const ra_replay &b) {
                         if (!(a.when == b.when)) return b.when < a.when;
                         int line_a = a.record ? a.record->line : 0;
                         int line_b = b.record ? b.record->line : 0;
                         if (line_a != line_b) return line_a > line_b;
                         return a.file < b.file;
                     });
    return true;
}

std::string ra_race_name(const ra_replay &replay) {
    const ra_record *facts = replay.record  ? &*replay.record
                             : replay.holds ? &*replay.holds
                                            : nullptr;
    // "YYYY-MM-DD HH:MM" of the shown time: a race is named to the minute.
    const size_t minute_text_length = 16;
    const std::string track = facts ? facts->get(ra_column_track) : std::string();
    if (track.empty()) return replay.file;
    return track + ", " + ra_format_time(replay.when).substr(0, minute_text_length);
}
