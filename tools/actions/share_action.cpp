// Planning and writing a share or a card.
#include "actions/share_action.h"

#include "friends/share_file.h"
#include "library/text/local_time.h"
#include "platform/game_paths.h"

namespace {

// The plan's words, or the reason there is none.
ra_share_said ra_planned(bool planned, const std::string &error, ra_share_said out) {
    if (!planned) {
        out.stop(ra_action_end::failed, error);
        return out;
    }
    out.said = ra_privacy_report(out.plan);
    return out;
}

}  // namespace

ra_share_said ra_share_action(const ra_game_setup &setup, const std::vector<std::string> &files,
                              bool hide_names) {
    ra_share_said out;
    out.extension = ra_share_extension;
    std::string error;
    const bool planned = ra_plan_share(setup.dir, files, hide_names, &out.plan, &error);
    return ra_planned(planned, error, out);
}

ra_share_said ra_card_action(const ra_game_setup &setup) {
    ra_share_said out;
    out.extension = ra_card_extension;
    std::string error;
    const bool planned = ra_plan_card(setup.dir, &out.plan, &error);
    return ra_planned(planned, error, out);
}

std::string ra_share_file_name(const ra_share_said &planned) {
    ra_time made;
    ra_parse_time(planned.plan.share.made, &made);
    return planned.plan.share.sharer + "_" + ra_format_time_for_name(made) + planned.extension;
}

ra_action_said ra_write_share_action(const ra_share_said &planned,
                                     const std::filesystem::path &path) {
    ra_action_said out;
    std::string why;
    if (!ra_write_share(path, planned.plan.share, &why)) {
        return out.stop(ra_action_end::failed, "cannot write " + ra_text(path) + ": " + why);
    }
    out.said = "Written: " + ra_text(path) + "\n";
    return out;
}
