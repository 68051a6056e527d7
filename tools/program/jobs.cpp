// What every job shares.
#include "program/jobs.h"

#include "platform/game_paths.h"

const char ra_program[] = "replay-autosave";

int ra_fail(ra_output *out, const std::string &what, int status) {
    out->err += std::string(ra_program) + ": " + what + "\n";
    return status;
}

int ra_open_library(const std::string &ini, ra_game_setup *setup, ra_replay_list *list,
                    ra_output *out) {
    std::string error;
    if (!ra_load_setup(ini, setup, &error)) return ra_fail(out, error, ra_exit_usage);
    if (!ra_list_replays(setup->dir, ra_text(setup->dir), list, &error)) {
        return ra_fail(out, error, ra_exit_failed);
    }
    for (const std::string &w : list->records.warnings) out->err += "warning: " + w + "\n";
    return ra_exit_ok;
}
