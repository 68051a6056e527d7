// Watch and restore: which file is played, then library/replays/restore.cpp, then
// the words for what came of it.
#include "actions/restore_action.h"

#include "friends/friend_replay.h"
#include "platform/game_paths.h"

namespace {

// The file restore reads: a friend's replay from their folder alone; a row
// of the app's list by its place in Dir, never a path of the request's.
// False with *problem when a friend's replay is named wrongly.
bool ra_played_file(const ra_game_setup &setup, const ra_restore_ask &ask, std::string *file,
                    std::string *problem) {
    *file = ask.in_dir ? ra_text(setup.dir / ra_path(ask.file)) : ask.file;
    ra_friend_replay theirs;
    if (!ra_is_friend_replay(setup.dir, ask.file, &theirs, problem)) {
        problem->clear();
        return true;
    }
    if (!problem->empty()) return false;
    *file = ra_text(theirs.path);
    return true;
}

// What restore of `asked` (as the player named it) did, in the player's words.
void ra_restore_words(const std::string &asked, ra_restore_said *out) {
    const ra_restore_result &result = out->restore;
    const std::string shown = ra_text(result.replay);
    switch (result.outcome) {
    case ra_restore_outcome::restored:
        out->said = "The game will play " + result.name +
                    " when you next watch its replay (copied to " + shown + ").";
        if (!result.backup.empty()) {
            out->said += " The replay it had is kept as " + ra_text(result.backup) + ".";
        }
        if (!result.copy.empty()) {
            out->said += " The replay it had is saved already as " + ra_text(result.copy) + ".";
        }
        out->said += "\n";
        return;
    case ra_restore_outcome::playing:
        out->said =
            "The game already plays " + result.name + " (" + shown + "); nothing changed.\n";
        return;
    case ra_restore_outcome::declined:
        out->said = "Nothing changed.\n";
        out->end = ra_action_end::failed;
        return;
    case ra_restore_outcome::not_found:
        out->stop(ra_action_end::refused,
                  "cannot find the replay " + asked + "; give its path, or " + ra_list_shows());
        return;
    case ra_restore_outcome::refused:
        out->stop(ra_action_end::refused, result.problem);
        return;
    case ra_restore_outcome::failed:
        break;
    }
    out->stop(ra_action_end::failed, result.problem);
}

}  // namespace

ra_restore_said ra_restore_action(const ra_game_setup &setup, const ra_records &records,
                                  const ra_restore_ask &ask, const ra_restore_hooks &hooks) {
    ra_restore_said out;
    out.warnings = records.warnings;
    if (ask.file.empty()) {
        out.stop(ra_action_end::refused, "restore needs a replay: its path, or " + ra_list_shows());
        return out;
    }
    std::string file, problem;
    if (!ra_played_file(setup, ask, &file, &problem)) {
        out.stop(ra_action_end::refused, problem);
        return out;
    }
    ra_restore_place place;
    place.game = setup.game;
    place.dir = setup.dir;
    place.clear_ip = setup.settings.clear_ip != 0;
    out.restore = ra_restore(place, records, file, ask.to, hooks);
    ra_restore_words(ask.in_dir ? file : ask.file, &out);
    return out;
}
