#include "friends/import.h"

#include <map>
#include <set>
#include <system_error>
#include <vector>

#include "friends/friends_folder.h"
#include "friends/leaderboard.h"
#include "friends/line_binding.h"
#include "friends/sharing.h"
#include "library/text/folded_name.h"
#include "library/replays/game_replay.h"
#include "library/record/record_schema.h"
#include "library/record/record_writer.h"
#include "library/record/record_reader.h"
#include "library/replays/replays.h"
#include "library/replays/sha256.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "platform/random.h"

namespace fs = std::filesystem;

const char ra_import_cancelled[] = "the import was cancelled; nothing was imported";

namespace {

// Free names tried for a replay whose name is taken: "name (2).rp4" ...
const int ra_free_name_tries = 10000;

// The next name of the folder that no file has and no other replay of this
// import takes: "stem (2).ext", "stem (3).ext" ...; empty when none is free.
std::string ra_free_name(const std::string &name, const std::set<std::string> &taken) {
    if (!taken.count(ra_folded_name(name))) return name;
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) dot = name.size();
    for (int n = 2; n < ra_free_name_tries; ++n) {
        std::string candidate =
            name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
        if (!taken.count(ra_folded_name(candidate))) return candidate;
    }
    return "";
}

// The folder given must be a plain folder or nothing.
bool ra_plain_folder_or_none(const fs::path &path, std::string *error) {
    ra_entry_kind kind = ra_entry_kind_of(path);
    if (kind == ra_entry_kind::none || kind == ra_entry_kind::folder) return true;
    *error =
        ra_text(path) + " is not a plain folder (a link or a file); move it away and import again";
    return false;
}

// Removes from Friends\ the folders of imports killed before they ended;
// the caller holds its lock, so no import is at work.
void ra_remove_import_leftovers(const fs::path &friends) {
    std::error_code failed;
    std::vector<fs::path> leftovers;
    for (fs::directory_iterator it(friends, failed), end; !failed && it != end;
         it.increment(failed)) {
        if (ra_text(it->path().filename()).rfind(ra_import_prefix, 0) == 0 &&
            ra_entry_kind_of(it->path()) == ra_entry_kind::folder) {
            leftovers.push_back(it->path());
        }
    }
    // Only what an import writes is in them: replays and the two files.
    for (const fs::path &folder : leftovers) fs::remove_all(folder, failed);
}

// The folders of path that do not exist yet, the outermost first. A player
// who imports a friend's share before the game has saved a race has no Dir
// yet; the plug-in makes every level of Dir too.
std::vector<fs::path> ra_missing_folders(const fs::path &path) {
    std::vector<fs::path> missing;
    for (fs::path p = path; !p.empty() && ra_entry_kind_of(p) == ra_entry_kind::none;
         p = p.parent_path()) {
        missing.insert(missing.begin(), p);
        if (p == p.parent_path()) break;
    }
    return missing;
}

// One replay to write: its index in the share and its name in the folder.
struct ra_new_replay {
    size_t index;
    std::string name;
};

// What an import adds to a friend's folder.
struct ra_import_plan {
    std::map<std::string, std::string> name_of;     // folded name in the share -> name there
    std::map<std::string, std::string> new_hashes;  // name there -> hash, new to the hash list
    std::vector<ra_new_replay> writes;              // the replays to write
    std::string new_lines;                          // the record lines new to the folder
    bool hashes_change = false;                     // the hash list changes
};

// The plan, from the friend's folder as it is (known) and the share: which
// replays are new and under which names, which lines. Counted in *result
// as it goes; false with *error when a replay has no free name.
bool ra_plan_import(const fs::path &folder, const ra_friend &known, ra_share_reader &reader,
                    const std::map<std::string, std::string> &digest_of, ra_import_result *result,
                    ra_import_plan *plan, std::string *error) {
    const ra_share &share = reader.share();
    std::string why;
    std::map<std::string, std::string> present_by_hash;  // hash -> name, of replays there
    for (const auto &f : known.files) {
        auto h = known.hashes.find(f.first);
        if (h != known.hashes.end()) present_by_hash.emplace(h->second, f.second);
    }
    // Replays the hash list does not name: moved in by an import killed
    // before it wrote the list. Hashed here, and named by the list again
    // when this import brings them.
    std::set<std::string> unlisted;
    for (const auto &f : known.files) {
        if (known.hashes.count(f.first) || !ra_replay_name(f.second)) continue;
        ra_sha256 hash;
        if (!ra_read_plain_file(
                folder / ra_path(f.second), ra_replay_max_bytes,
                [&](const char *data, size_t size) {
                    hash.add(data, size);
                    return true;
                },
                &why)) {
            continue;
        }
        present_by_hash.emplace(ra_hex(hash.digest()), f.second);
        unlisted.insert(f.second);
    }
    std::set<std::string> taken;
    for (const auto &f : known.files) taken.insert(f.first);
    // A name the hash list already gives another hash is no free name either.
    for (const auto &h : known.hashes) taken.insert(h.first);
    taken.insert(ra_folded_name(ra_records_file));
    taken.insert(ra_folded_name(ra_hashes_file));
    std::map<std::string, std::string> &name_of = plan->name_of;
    std::map<std::string, std::string> &new_hashes = plan->new_hashes;
    std::vector<ra_new_replay> &writes = plan->writes;
    for (size_t i = 0; i < share.replays.size(); ++i) {
        const ra_shared_replay &r = share.replays[i];
        // The replay already there with these bytes: of the same name first,
        // since two races may have the same bytes.
        std::string present;
        auto same = known.files.find(ra_folded_name(r.name));
        auto same_hash = known.hashes.find(ra_folded_name(r.name));
        if (same != known.files.end() && same_hash != known.hashes.end() &&
            same_hash->second == r.sha256) {
            present = same->second;
        } else if (present_by_hash.count(r.sha256)) {
            present = present_by_hash[r.sha256];
        }
        if (!present.empty()) {
            name_of[ra_folded_name(r.name)] = present;
            if (unlisted.count(present)) new_hashes[present] = r.sha256;
            if (share.kind == ra_share_kind::share) {
                result->skipped.push_back(r.name +
                                          (present == r.name ? "" : " (as " + present + ")"));
            }
            continue;
        }
        // A card's hash for a name not taken by another hash keeps that name.
        auto stated = known.hashes.find(ra_folded_name(r.name));
        std::string name = stated != known.hashes.end() && stated->second == r.sha256 &&
                                   !known.files.count(ra_folded_name(r.name))
                               ? r.name
                               : ra_free_name(r.name, taken);
        if (name.empty()) {
            *error =
                "no free name for " + r.name + " in " + ra_text(folder) + "; nothing was imported";
            return false;
        }
        taken.insert(ra_folded_name(name));
        name_of[ra_folded_name(r.name)] = name;
        new_hashes[name] = r.sha256;
        if (share.kind == ra_share_kind::share) {
            writes.push_back({i, name});
            if (name != r.name) result->renamed.push_back(r.name + " as " + name);
        }
    }
    std::set<std::string> lines_there;
    for (const ra_record &r : known.records.lines) lines_there.insert(ra_plugin_form(r));
    std::string &new_lines = plan->new_lines;
    for (const ra_record &r : reader.records().lines) {
        auto digest = digest_of.find(ra_folded_name(r.file));
        if (digest != digest_of.end() && ra_line_digest(r).empty()) ++result->lines_undigested;
        if (digest != digest_of.end() && !ra_line_digest(r).empty() &&
            ra_line_digest(r) != digest->second) {
            ++result->lines_unmatched;
        }
        auto mapped = name_of.find(ra_folded_name(r.file));
        std::string text = ra_plugin_form(mapped == name_of.end() || mapped->second == r.file
                                              ? r
                                              : ra_record_with(r, ra_column_file, mapped->second));
        if (!lines_there.insert(text).second) {
            ++result->lines_known;
            continue;
        }
        new_lines += text;
        ++result->lines_added;
    }
    for (const ra_new_replay &w : writes) result->added.push_back(w.name);
    bool &hashes_change = plan->hashes_change;
    for (const auto &h : new_hashes) {
        auto old = known.hashes.find(ra_folded_name(h.first));
        hashes_change = hashes_change || old == known.hashes.end() || old->second != h.second;
    }
    return true;
}

// Every replay's bytes, checked before anything is written and read a piece
// at a time: each one's digest (folded name in the share -> digest), to hold
// its record line against.
bool ra_share_digests(ra_share_reader &reader, const ra_import_progress &go_on,
                      std::map<std::string, std::string> *digest_of, std::string *error) {
    const ra_share &share = reader.share();
    const uint64_t shared = share.kind == ra_share_kind::share ? share.replays.size() : 0;
    for (size_t i = 0; i < shared; ++i) {
        if (!go_on(ra_import_stage::checking, i, shared)) {
            *error = ra_import_cancelled;
            return false;
        }
        ra_shared_digest digest;
        const ra_put_bytes fed = [&digest](const char *data, size_t size) {
            digest.add(data, size);
            return true;
        };
        if (!reader.read(i, fed, error)) {
            *error += " (nothing was imported)";
            return false;
        }
        (*digest_of)[ra_folded_name(share.replays[i].name)] = digest.hex();
    }
    return true;
}

// An import's turn in Friends\: imports from consoles and the app take
// turns, each planning from the friend's folder as it is under the lock, so
// that none loses the other's lines. It holds the lock and knows the
// folders it made (Friends\ and Dir's levels, outermost first), so that a
// refusal leaves the disk as it found it.
class ra_friends_turn {
public:
    explicit ra_friends_turn(const fs::path &friends)
        : lock_path_(friends / ra_friends_lock_file), friends_(friends) {}

    bool take(std::string *error) {
        std::error_code failed;
        for (const fs::path &f : ra_missing_folders(friends_)) {
            // Another import may make it meanwhile: that one is not ours to remove.
            const bool made_now = fs::create_directory(f, failed);
            if (failed) {
                give_back();
                *error = "cannot make " + ra_text(f) + ": " + ra_reason(failed) +
                         "; nothing was imported";
                return false;
            }
            if (made_now) made_.push_back(f);
        }
        std::string why;
        if (!lock_.take(lock_path_, &why)) {
            give_back();
            *error = "cannot lock " + ra_text(lock_path_) + ": " + why +
                     "; nothing was imported, try again";
            return false;
        }
        return true;
    }

    // Leaves the disk as it was when folders were made for this import alone.
    void give_back() {
        lock_.release();
        if (made_.empty()) return;
        std::error_code failed;
        fs::remove(lock_path_, failed);
        for (auto f = made_.rbegin(); f != made_.rend(); ++f) fs::remove(*f, failed);
        made_.clear();
    }

private:
    ra_file_lock lock_;
    fs::path lock_path_, friends_;
    std::vector<fs::path> made_;
};

// The writing of a plan: its replays, hash list and record into a folder of
// this import inside Friends\, then into place (a new friend's whole folder
// in one rename). Any failure puts back what was moved, removes the
// import's folder and gives the turn back.
bool ra_write_import(const fs::path &folder, const ra_friend &known, bool existed,
                     ra_share_reader &reader, const ra_import_plan &plan,
                     const ra_import_progress &go_on, ra_friends_turn &turn,
                     ra_import_result *result, std::string *error) {
    const fs::path friends = folder.parent_path();
    const std::vector<ra_new_replay> &writes = plan.writes;
    std::error_code failed;
    std::string why;
    const std::string random = ra_random_hex(8);
    if (random.empty()) {
        turn.give_back();
        *error =
            "the system gave no random numbers for a temporary folder's name; nothing was "
            "imported";
        return false;
    }
    const fs::path temp = friends / (ra_import_prefix + random);
    std::vector<std::string> moved;  // replays already moved into the friend's folder
    auto undo = [&](const std::string &what) {
        std::string ignored;
        for (const std::string &name : moved)
            ra_move_new(folder / ra_path(name), temp / ra_path(name), &ignored);
        fs::remove_all(temp, failed);
        turn.give_back();
        *error = what;
        return false;
    };
    if (!fs::create_directory(temp, failed)) {
        return undo("cannot make a folder in " + ra_text(friends) + ": " + ra_reason(failed) +
                    "; nothing was imported");
    }
    for (size_t n = 0; n < writes.size(); ++n) {
        const ra_new_replay &w = writes[n];
        if (!go_on(ra_import_stage::writing, n, writes.size())) return undo(ra_import_cancelled);
        std::string unread;
        why.clear();
        const bool written = ra_create_new_file_with(
            temp / ra_path(w.name),
            [&](const ra_put_bytes &put) { return reader.read(w.index, put, &unread); }, false,
            &why, ra_file_sync::later);
        if (!written && !unread.empty()) return undo(unread + "; nothing was imported");
        if (!written) {
            return undo("cannot write " + w.name + " into " + ra_text(friends) + ": " + why +
                        "; nothing was imported");
        }
    }
    // Every replay on the disk before any is moved into place: a crash then
    // never leaves one cut short under its name.
    if (!writes.empty() && !ra_sync_new_files(temp, &why)) {
        return undo("cannot write the replays into " + ra_text(friends) + ": " + why +
                    "; nothing was imported");
    }
    // From here on the import goes to its end: its replays are moved into
    // place, which a cancel could only leave half done.
    go_on(ra_import_stage::placing, writes.size(), writes.size());
    // The friend's record, in the plug-in's own form, and the hash list.
    std::string record;
    for (const ra_record &r : known.records.lines) record += ra_plugin_form(r);
    if (!record.empty() || !plan.new_lines.empty()) {
        record = ra_friend_record_text(record + plan.new_lines);
    }
    std::map<std::string, std::string> all = known.stated;
    for (const auto &h : plan.new_hashes) all[h.first] = h.second;
    if (!ra_create_new_file(temp / ra_path(ra_hashes_file), ra_hashes_text(all), &why) ||
        (!record.empty() && !ra_create_new_file(temp / ra_path(ra_records_file), record, &why))) {
        return undo("cannot write into " + ra_text(temp) + ": " + why + "; nothing was imported");
    }
    if (!existed) {
        // A new friend: the whole folder in one rename.
        if (!ra_move_new(temp, folder, &why)) {
            return undo("cannot make " + ra_text(folder) + ": " + why + "; nothing was imported");
        }
        result->changed = true;
        return true;
    }
    // A friend imported before: the replays first (under names nothing
    // has), then the hash list, then the record, each in one rename. Cut
    // short, the record still names only what is there; the next import of
    // the same file finds the replays moved in by their hashes.
    for (const ra_new_replay &w : writes) {
        if (!ra_move_new(temp / ra_path(w.name), folder / ra_path(w.name), &why)) {
            return undo("cannot move " + w.name + " into " + ra_text(folder) + ": " + why +
                        "; nothing was imported");
        }
        moved.push_back(w.name);
    }
    if (!ra_replace_file(temp / ra_path(ra_hashes_file), folder / ra_hashes_file, &why) ||
        (!record.empty() &&
         !ra_replace_file(temp / ra_path(ra_records_file), folder / ra_records_file, &why))) {
        return undo("cannot update " + ra_text(folder) + ": " + why + "; nothing was imported");
    }
    fs::remove_all(temp, failed);
    result->changed = true;
    return true;
}

}  // namespace

bool ra_import_share(const fs::path &dir, const fs::path &file, ra_import_result *result,
                     std::string *error, const ra_import_progress &progress) {
    *result = ra_import_result();
    const ra_import_progress go_on = [&](ra_import_stage stage, uint64_t done, uint64_t total) {
        return !progress || progress(stage, done, total);
    };
    ra_share_reader reader;
    if (!reader.open(file, error)) return false;
    const ra_share &share = reader.share();
    result->sharer = share.sharer;
    result->kind = share.kind;
    const fs::path friends = dir / ra_friends_folder;
    const fs::path folder = friends / ra_path(share.sharer);
    result->folder = folder;
    std::map<std::string, std::string> digest_of;
    if (!ra_plain_folder_or_none(friends, error) || !ra_plain_folder_or_none(folder, error) ||
        !ra_share_digests(reader, go_on, &digest_of, error)) {
        return false;
    }
    // From here on only the disk can refuse.
    ra_friends_turn turn(friends);
    if (!turn.take(error)) return false;
    ra_friend known;
    const bool existed = ra_entry_kind_of(folder) == ra_entry_kind::folder;
    if (existed && !ra_read_friend(folder, share.sharer, &known, error)) {
        *error += "; nothing was imported";
        return false;
    }
    // An import killed before it ended left its folder behind: none is at
    // work while we hold the lock.
    ra_remove_import_leftovers(friends);
    ra_import_plan plan;
    if (!ra_plan_import(folder, known, reader, digest_of, result, &plan, error)) {
        turn.give_back();
        return false;
    }
    if (plan.writes.empty() && plan.new_lines.empty() && !plan.hashes_change) {
        turn.give_back();
        return true;
    }
    return ra_write_import(folder, known, existed, reader, plan, go_on, turn, result, error);
}

std::string ra_import_summary(const ra_import_result &result) {
    // A card brings record lines alone; a share, each race with its replay.
    const bool card = result.kind == ra_share_kind::card;
    const size_t added = card ? result.lines_added : result.added.size() + result.renamed.size();
    const size_t known = card ? result.lines_known : result.skipped.size();
    return "Added " + std::to_string(added) + " of " + result.sharer + "'s " +
           (card ? "race results" : "races") + " (" + std::to_string(known) + " already here).";
}

std::string ra_import_report(const ra_import_result &result) {
    return ra_import_summary(result) + "\n" + ra_import_details(result);
}

std::string ra_import_details(const ra_import_result &result) {
    std::string text = std::string(result.kind == ra_share_kind::card ? "Card" : "Share") + " of " +
                       result.sharer + " -> " + ra_text(result.folder) + "\n";
    for (const std::string &name : result.added) text += "  new replay: " + name + "\n";
    for (const std::string &name : result.renamed) text += "  name taken, saved " + name + "\n";
    for (const std::string &name : result.skipped)
        text += "  already there, skipped: " + name + "\n";
    text += "  " + std::to_string(result.lines_added) + " new record lines";
    if (result.lines_known) text += ", " + std::to_string(result.lines_known) + " known already";
    text += "\n";
    if (result.lines_unmatched) {
        text += "  " + std::to_string(result.lines_unmatched) +
                " record lines do not match the replay that came with them (changed, or "
                "put with another race's replay): imported, shown without \"" +
                ra_with_replay + "\"\n";
    }
    if (result.lines_undigested) {
        text += "  " + std::to_string(result.lines_undigested) +
                " record lines are of an older plug-in, which did not bind a line to its "
                "replay: imported, shown without \"" +
                ra_with_replay + "\"\n";
    }
    if (!result.changed) text += "Nothing new: nothing changed.\n";
    return text;
}
