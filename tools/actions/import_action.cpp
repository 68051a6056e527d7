// Importing a share or a card, in the player's words.
#include "actions/import_action.h"

#include "platform/game_paths.h"

ra_import_said ra_import_action(const ra_game_setup &setup, const std::filesystem::path &file,
                                const std::string &shown_as, const ra_import_progress &progress) {
    ra_import_said out;
    std::string why;
    if (!ra_import_share(setup.dir, file, &out.import, &why, progress)) {
        // The player knows the file by the name they picked, not by ours.
        const std::string ours = ra_text(file);
        for (size_t at = shown_as.empty() ? std::string::npos : why.find(ours);
             at != std::string::npos; at = why.find(ours, at)) {
            why.replace(at, ours.size(), shown_as);
            at += shown_as.size();
        }
        out.stop(ra_action_end::failed, why);
        return out;
    }
    out.said = ra_import_report(out.import);
    return out;
}
