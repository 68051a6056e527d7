// The library as the jobs that show it open it.
#include "program/open_library.h"

#include "platform/console.h"
#include "platform/game_paths.h"

namespace {

// A rebuild of fewer entries is over before progress would be worth telling.
const size_t ra_long_rebuild = 5000;

}  // namespace

void ra_tell_index_progress(size_t done, size_t total) {
    if (total < ra_long_rebuild || !ra_is_terminal(stderr)) return;
    std::string line =
        "\rIndexing the library: " + std::to_string(done) + " of " + std::to_string(total);
    ra_write_text(stderr, done == total ? line + "\n" : line);
}

int ra_open_library(const std::string &ini, ra_game_setup *setup, ra_replay_list *list,
                    ra_output *out, const std::string &track, ra_index_facts *facts) {
    std::string error;
    if (!ra_load_setup(ini, setup, &error)) return ra_fail(out, error, ra_exit_usage);
    ra_index_request request;
    if (ra_is_terminal(stderr)) request.progress = ra_tell_index_progress;
    request.track = track;
    if (!ra_indexed_list(setup->dir, ra_text(setup->dir), list, &error, request, facts)) {
        return ra_fail(out, error, ra_exit_failed);
    }
    for (const std::string &w : list->records.warnings) out->err += "warning: " + w + "\n";
    return ra_exit_ok;
}

int ra_open_records(const std::string &ini, ra_game_setup *setup, ra_records *records,
                    ra_output *out) {
    std::string error;
    if (!ra_load_setup(ini, setup, &error)) return ra_fail(out, error, ra_exit_usage);
    const std::filesystem::path &dir = setup->dir;
    *records = ra_records();
    ra_replay_list list;
    std::string unlisted;
    ra_index_request existing;
    existing.make = false;
    if (ra_indexed_list(dir, ra_text(dir), &list, &unlisted, existing)) {
        *records = std::move(list.records);
    } else {
        ra_read_records(dir, ra_text(dir / ra_records_file), records);
    }
    return ra_exit_ok;
}
