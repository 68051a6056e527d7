// Keep and unkeep: which replay the name stands for, then its mark.
#include "actions/keep_action.h"

#include <filesystem>
#include <system_error>

#include "friends/friend_replay.h"
#include "library/replays/keep_marks.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

namespace {

// The entry the name gives: exactly as listed, else ignoring letter case
// as Windows compares names.
const ra_replay *ra_listed_any_case(const ra_replay_list &list, const std::string &name) {
    for (const ra_replay &r : list.replays) {
        if (r.file == name) return &r;
    }
    for (const ra_replay &r : list.replays) {
        if (ra_ieq(r.file.c_str(), name.c_str())) return &r;
    }
    return nullptr;
}

// The name in Dir that file gives: a path is taken only when it leads into
// Dir itself. False with *problem.
bool ra_name_in_dir(const fs::path &dir, const std::string &file, std::string *name,
                    std::string *problem) {
    *name = file;
    const fs::path given = ra_path(file);
    if (!given.has_parent_path()) return true;
    std::error_code failed;
    if (!fs::equivalent(given.parent_path(), dir, failed)) {
        *problem = file + " is not in " + ra_text(dir) +
                   ": only the replays in the save folder can be marked";
        return false;
    }
    *name = ra_text(given.filename());
    return true;
}

}  // namespace

ra_mark_said ra_keep_action(const ra_game_setup &setup, const ra_replay_list &list,
                            const std::string &file, bool keep) {
    ra_mark_said out;
    std::string problem;
    // A friend's replay: the mark goes into their folder's own marks.
    ra_friend_replay theirs;
    if (ra_is_friend_replay(setup.dir, file, &theirs, &problem)) {
        if (problem.empty()) ra_mark_friend_replay(theirs, file, keep, &problem);
        if (!problem.empty()) {
            out.stop(ra_action_end::failed, problem);
            return out;
        }
        out.marked = file;
        out.said = ra_keep_said(file, keep) + "\n";
        return out;
    }
    problem.clear();

    std::string name;
    if (!ra_name_in_dir(setup.dir, file, &name, &problem)) {
        out.stop(ra_action_end::failed, problem);
        return out;
    }
    const ra_replay *entry = ra_listed_any_case(list, name);
    const bool there = entry != nullptr && (entry->state == ra_replay_state::saved ||
                                            entry->state == ra_replay_state::renamed);
    // A mark left for a file that is gone can still be taken away.
    if (!there && (keep || !ra_read_keep_marks(setup.dir).has(name))) {
        out.stop(ra_action_end::failed, "no replay " + name + " in " + ra_text(setup.dir) + "; \"" +
                                            ra_program + " list\" shows their names");
        return out;
    }
    if (entry != nullptr) name = entry->file;
    if (!ra_set_keep_mark(setup.dir, name, keep, &problem)) {
        out.stop(ra_action_end::failed, problem);
        return out;
    }
    out.marked = name;
    out.said = ra_keep_said(name, keep) + "\n";
    return out;
}
