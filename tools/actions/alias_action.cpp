// Storing and listing the racers' aliases.
#include "actions/alias_action.h"

#include "friends/aliases.h"

ra_action_said ra_alias_action(const ra_game_setup &setup, const std::string &old_name,
                               const std::string &new_name) {
    ra_action_said out;
    std::string error;
    if (!ra_set_alias(setup.dir, old_name, new_name, &error)) {
        return out.stop(ra_action_end::failed, error);
    }
    out.said = ra_alias_stored(old_name, new_name);
    return out;
}

ra_action_said ra_aliases_action(const ra_game_setup &setup) {
    ra_action_said out;
    const ra_aliases aliases = ra_read_aliases(setup.dir);
    if (aliases.spelled.empty()) out.said = "No aliases.\n";
    for (const auto &a : aliases.spelled) out.said += a.first + " is shown as " + a.second + "\n";
    return out;
}
