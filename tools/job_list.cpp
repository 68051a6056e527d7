// list: the replays in Dir, newest first, as a table or as comma-separated
// values: when, type, track, laps, the fastest lap of the race, the file.
#include <algorithm>
#include <string>
#include <vector>

#include "csv.h"
#include "game_paths.h"
#include "game_setup.h"
#include "jobs.h"
#include "replays.h"
#include "settings/settings.h"

namespace {

// Shown where a bare file has no fact to give.
const char ra_unknown[] = "-";

const char *ra_state_word(ra_replay_state state) {
    switch (state) {
    case ra_replay_state::saved:
        return "saved";
    case ra_replay_state::missing:
        return "missing";
    case ra_replay_state::replaced:
        return "replaced";
    }
    return "";
}

// The file column of the table, with what became of the file.
std::string ra_file_cell(const ra_replay &r) {
    switch (r.state) {
    case ra_replay_state::saved:
        return r.file;
    case ra_replay_state::missing:
        return r.file + "  (missing)";
    case ra_replay_state::replaced:
        return r.file + "  (replaced by a later race of the same name)";
    }
    return r.file;
}

std::string ra_fact(const ra_replay &r, const char *column) {
    if (!r.record || r.record->get(column).empty()) return ra_unknown;
    return r.record->get(column);
}

bool ra_wanted(const ra_replay &r, const ra_list_job &job, const ra_time &since) {
    if (!job.track.empty() &&
        !(r.record && ra_ieq(r.record->get(ra_column_track).c_str(), job.track.c_str()))) {
        return false;
    }
    if (!job.type.empty() &&
        !(r.record && ra_ieq(r.record->get(ra_column_type).c_str(), job.type.c_str()))) {
        return false;
    }
    return job.since.empty() || !(r.when < since);
}

// Rows of cells as columns two blanks apart; the last column is not padded.
std::string ra_table(const std::vector<std::vector<std::string>> &rows) {
    std::vector<size_t> width;
    for (const auto &row : rows) {
        if (width.size() < row.size()) width.resize(row.size(), 0);
        for (size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], row[i].size());
    }
    std::string text;
    for (const auto &row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            text += row[i];
            if (i + 1 < row.size()) text += std::string(width[i] - row[i].size() + 2, ' ');
        }
        text += "\n";
    }
    return text;
}

}  // namespace

int ra_run_list(const ra_list_job &job, ra_output *out) {
    ra_time since;
    if (!job.since.empty() && !ra_parse_date(job.since, &since)) {
        return ra_fail(out, "--since wants a day as YYYY-MM-DD, e.g. 2026-03-07, not " + job.since,
                       ra_exit_usage);
    }
    ra_game_setup setup;
    ra_replay_list list;
    int status = ra_open_library(job.ini, &setup, &list, out);
    if (status != ra_exit_ok) return status;
    std::string shown = ra_text(setup.dir);

    std::vector<const ra_replay *> shown_replays;
    size_t matching = 0;
    for (const ra_replay &r : list.replays) {
        if (!ra_wanted(r, job, since)) continue;
        ++matching;
        if (job.newest == 0 || shown_replays.size() < job.newest) shown_replays.push_back(&r);
    }

    if (job.csv) {
        out->out += "when,type,track,laps,fastest_lap,file,state\n";
        for (const ra_replay *r : shown_replays) {
            const std::string none;
            auto fact = [&](const char *column) {
                return r->record ? r->record->get(column) : none;
            };
            std::vector<std::string> cells = {ra_format_time(r->when),
                                              fact(ra_column_type),
                                              fact(ra_column_track),
                                              fact(ra_column_laps),
                                              r->record && r->record->fastest_lap
                                                  ? ra_format_lap_seconds(r->record->fastest_lap)
                                                  : "",
                                              r->file,
                                              ra_state_word(r->state)};
            std::string line;
            for (size_t i = 0; i < cells.size(); ++i) {
                line += (i ? "," : "") + ra_csv_field(cells[i]);
            }
            out->out += line + "\n";
        }
        return ra_exit_ok;
    }

    if (shown_replays.empty()) {
        out->out += list.replays.empty() ? "No replays in " + shown + ".\n"
                                         : "No replay in " + shown + " matches.\n";
        return ra_exit_ok;
    }
    std::vector<std::vector<std::string>> rows = {
        {"When", "Type", "Track", "Laps", "Fastest lap", "File"}};
    for (const ra_replay *r : shown_replays) {
        rows.push_back({ra_format_time(r->when), ra_fact(*r, ra_column_type),
                        ra_fact(*r, ra_column_track), ra_fact(*r, ra_column_laps),
                        r->record && r->record->fastest_lap ? ra_format_lap(r->record->fastest_lap)
                                                            : ra_unknown,
                        ra_file_cell(*r)});
    }
    out->out += "Replays in " + shown + ", newest first:\n" + ra_table(rows);
    if (shown_replays.size() < matching) {
        out->out += "(the " + std::to_string(shown_replays.size()) + " newest of " +
                    std::to_string(matching) + "; \"" + ra_program + " list\" shows them all)\n";
    }
    return ra_exit_ok;
}
