#include "friends/friend_replay.h"

#include <map>
#include <vector>

#include "friends/friends_folder.h"
#include "friends/plain_name.h"
#include "library/replays/files.h"
#include "library/text/folded_name.h"
#include "library/replays/keep_marks.h"
#include "library/record/record_writer.h"
#include "library/record/record_reader.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "platform/remove.h"

namespace fs = std::filesystem;

bool ra_is_friend_replay(const fs::path &dir, const std::string &given, ra_friend_replay *out,
                         std::string *problem) {
    problem->clear();
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = given.find_first_of("\\/", start);
        parts.push_back(given.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (parts.size() < 2 || ra_folded_name(parts[0]) != ra_folded_name(ra_friends_folder)) {
        return false;
    }
    const std::string how = std::string(ra_friends_folder) + "\\<friend>\\<replay>";
    if (parts.size() != 3) {
        *problem = given + " is no replay of a friend: name it as " + how;
        return true;
    }
    const std::string wrong = ra_plain_name_problem(parts[2]);
    if (!wrong.empty()) {
        *problem = "the replay's name in " + given + " cannot be used: " + wrong;
        return true;
    }
    for (const auto &folder : ra_friend_folders(dir)) {
        if (ra_folded_name(folder.first) != ra_folded_name(parts[1])) continue;
        out->friend_name = folder.first;
        out->folder = folder.second;
        out->file = parts[2];
        out->path = folder.second / ra_path(parts[2]);
        return true;
    }
    *problem = "no friend " + parts[1] + " was imported into " + ra_text(dir / ra_friends_folder) +
               "; import their share first";
    return true;
}

bool ra_mark_friend_replay(const ra_friend_replay &replay, const std::string &given, bool keep,
                           std::string *error) {
    if (keep && ra_entry_kind_of(replay.path) != ra_entry_kind::file) {
        // Named as given, from Dir.
        *error = "no replay " + given + " in " + ra_text(replay.folder.parent_path().parent_path());
        return false;
    }
    return ra_set_keep_mark(replay.folder, replay.file, keep, error);
}

bool ra_remove_friend_replay(const ra_friend_replay &replay, std::string *error) {
    const fs::path friends = replay.folder.parent_path();
    ra_file_lock lock;
    std::string why;
    if (!lock.take(friends / ra_friends_lock_file, &why)) {
        *error = "cannot lock " + ra_text(friends / ra_friends_lock_file) + ": " + why +
                 "; nothing was removed, try again";
        return false;
    }
    if (ra_entry_kind_of(replay.path) != ra_entry_kind::file) {
        *error = "no replay " + replay.file + " in " + ra_text(replay.folder) +
                 " (or it is a link, which is never touched); nothing was removed";
        return false;
    }
    ra_keep_marks marks;
    if (!ra_load_keep_marks(replay.folder, &marks, error)) return false;
    if (marks.has(replay.file)) {
        *error = replay.file + " is kept; unkeep it first to remove it";
        return false;
    }
    ra_friend known;
    if (!ra_read_friend(replay.folder, replay.friend_name, &known, error)) {
        *error += "; nothing was removed";
        return false;
    }
    // The friend's record without the replay's lines, in the plug-in's form.
    const std::string folded = ra_folded_name(replay.file);
    std::string lines;
    size_t dropped = 0;
    for (const ra_record &r : known.records.lines) {
        if (ra_folded_name(r.file) == folded) {
            ++dropped;
            continue;
        }
        lines += ra_plugin_form(r);
    }
    std::map<std::string, std::string> hashes;
    for (const auto &h : known.stated) {
        if (ra_folded_name(h.first) != folded) hashes.insert(h);
    }
    if (dropped > 0) {
        const fs::path record = replay.folder / ra_records_file;
        if (!ra_save_file_atomically(record, ra_friend_record_text(lines), &why)) {
            *error = "cannot write " + ra_text(record) + ": " + why + "; nothing was removed";
            return false;
        }
    }
    // The hash list after the record: cut short here, the hash left over
    // names a replay no line names, and the next import keeps it.
    const fs::path list = replay.folder / ra_hashes_file;
    if (hashes.size() != known.stated.size() &&
        !ra_save_file_atomically(list, ra_hashes_text(hashes), &why)) {
        *error = "cannot write " + ra_text(list) + ": " + why;
        return false;
    }
    const std::string failed = ra_remove_files({replay.path}).front();
    if (!failed.empty()) {
        *error =
            "cannot remove " + ra_text(replay.path) + ": " + failed + "; its lines left the record";
        return false;
    }
    return true;
}
