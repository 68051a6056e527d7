#include "friends/friend_removal.h"

#include "friends/friends_folder.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/remove.h"
#include "platform/game_paths.h"

namespace fs = std::filesystem;

bool ra_remove_friend(const fs::path &dir, const std::string &name, std::string *error) {
    // The name is looked up among the listed folders, never made into a
    // path: "..", a separator or a link can name nothing here.
    fs::path folder;
    for (const auto &f : ra_friend_folders(dir)) {
        if (f.first == name) folder = f.second;
    }
    if (folder.empty()) {
        *error = "no friend named " + name + " was imported; nothing was removed";
        return false;
    }
    // An import writes into the folder under this lock: the folder goes
    // whole or not at all, never in the middle of an import.
    ra_file_lock lock;
    std::string why;
    const fs::path lock_path = dir / ra_friends_folder / ra_friends_lock_file;
    if (!lock.take(lock_path, &why)) {
        *error = "cannot lock " + ra_text(lock_path) + ": " + why + "; nothing was removed";
        return false;
    }
    // Looked at again under the lock: a link put in its place meanwhile is refused.
    if (ra_entry_kind_of(folder) != ra_entry_kind::folder) {
        *error = ra_text(folder) + " is no longer a plain folder; nothing was removed";
        return false;
    }
    std::error_code failed;
    const fs::path full = fs::absolute(folder, failed);
    why = ra_remove_folder(failed ? folder : full);
    if (!why.empty()) {
        *error = "cannot remove " + ra_text(folder) + ": " + why;
        return false;
    }
    return true;
}
