// Removing a friend's replay, or a friend.
#include "actions/remove_action.h"

#include "friends/friend_removal.h"
#include "friends/friend_replay.h"
#include "platform/remove.h"

ra_action_said ra_remove_action(const ra_game_setup &setup, const std::string &file,
                                ra_front front) {
    ra_action_said out;
    ra_friend_replay theirs;
    std::string error;
    if (!ra_is_friend_replay(setup.dir, file, &theirs, &error)) {
        return out.stop(ra_action_end::refused,
                        front == ra_front::console
                            ? "remove takes a friend's replay, Friends\\<friend>\\<replay>; your "
                              "own replays are removed by \"" +
                                  std::string(ra_program) + " prune\""
                            : "only a friend's replay is removed here; your own replays go by "
                              "Tidy, which shows first what it removes");
    }
    if (!error.empty()) return out.stop(ra_action_end::refused, error);
    if (!ra_remove_friend_replay(theirs, &error)) return out.stop(ra_action_end::failed, error);
    out.said = "Removed " + theirs.file + " and its lines from " + theirs.friend_name +
               "'s record (" + ra_removed_how + ").\n";
    return out;
}

ra_action_said ra_remove_friend_action(const ra_game_setup &setup, const std::string &name) {
    ra_action_said out;
    std::string error;
    if (!ra_remove_friend(setup.dir, name, &error)) return out.stop(ra_action_end::failed, error);
    out.said = name + "'s races were " + ra_removed_how + ".\n";
    return out;
}
