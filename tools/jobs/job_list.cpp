// list: the replays in Dir, newest first, as a table or as comma-separated
// values: when, type, track, laps, the fastest lap of the race (or of the
// racer asked for, with their personal bests), the file; then the files that
// are no race of their own.
#include "jobs/job_list.h"

#include <algorithm>
#include <string>
#include <vector>

#include "library/record/csv.h"
#include "library/text/utf8_text.h"
#include "platform/game_paths.h"
#include "program/command_row.h"
#include "program/commands.h"
#include "program/game_setup.h"
#include "program/open_library.h"
#include "library/record/racers.h"
#include "library/replays/replays.h"
#include "library/replays/keep_marks.h"
#include "settings/settings.h"

namespace {

// Shown where a bare file has no fact to give.
const char ra_unknown[] = "-";
// Beside a lap that was the racer's personal best on the track.
const char ra_personal_badge[] = "PB";

const char *ra_state_word(const ra_replay &r) {
    switch (r.kind) {
    case ra_replay_kind::race:
        break;
    case ra_replay_kind::backup:
        return "kept";
    case ra_replay_kind::unrecorded:
        return "unrecorded";
    }
    return ra_replay_state_names[(int)r.state];
}

// The race an entry shows the facts of: its own, or the one a file holds.
const ra_record *ra_facts(const ra_replay &r) {
    if (r.record) return &*r.record;
    return r.holds ? &*r.holds : nullptr;
}

// The file column of the table, with what became of the file.
std::string ra_file_cell(const ra_replay &r, const ra_keep_marks &marks) {
    if (r.kind == ra_replay_kind::race && marks.has(r.file) &&
        (r.state == ra_replay_state::saved || r.state == ra_replay_state::renamed)) {
        return r.file + "  (kept by you)";
    }
    std::string held = r.holds ? "; the race of " + ra_format_time(r.holds->saved) : "";
    switch (r.kind) {
    case ra_replay_kind::race:
        break;
    case ra_replay_kind::backup:
        return r.file + "  (kept by restore" + held + ")";
    case ra_replay_kind::unrecorded:
        return r.file + (r.holds ? "  (a copy" + held + ")" : "");
    }
    switch (r.state) {
    case ra_replay_state::saved:
        return r.file;
    case ra_replay_state::missing:
        return r.file + "  (missing)";
    case ra_replay_state::replaced:
        return r.file + "  (replaced by a later race of the same name)";
    case ra_replay_state::renamed:
        return r.file + "  (renamed from " + r.record->file + ")";
    }
    return r.file;
}

std::string ra_fact(const ra_replay &r, const char *column) {
    const ra_record *facts = ra_facts(r);
    if (!facts || facts->get(column).empty()) return ra_unknown;
    return facts->get(column);
}

bool ra_wanted(const ra_replay &r, const ra_list_job &job, const ra_time &since) {
    const ra_record *facts = ra_facts(r);
    if (!job.track.empty() &&
        !(facts && ra_ieq(facts->get(ra_column_track).c_str(), job.track.c_str()))) {
        return false;
    }
    if (!job.type.empty() &&
        !(facts && ra_ieq(facts->get(ra_column_type).c_str(), job.type.c_str()))) {
        return false;
    }
    return job.since.empty() || !(r.when < since);
}

// Rows of cells as columns two blanks apart; the last column is not padded.
// A cell is as wide as its characters, not its bytes: "CœUR FORêT" takes 10.
std::string ra_table(const std::vector<std::vector<std::string>> &rows) {
    std::vector<size_t> width;
    for (const auto &row : rows) {
        if (width.size() < row.size()) width.resize(row.size(), 0);
        for (size_t i = 0; i < row.size(); ++i)
            width[i] = std::max(width[i], ra_text_width(row[i]));
    }
    std::string text;
    size_t line = 0;
    for (size_t w : width) line += w + 2;
    text.reserve(rows.size() * line);
    for (const auto &row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            text += row[i];
            if (i + 1 < row.size()) text.append(width[i] - ra_text_width(row[i]) + 2, ' ');
        }
        text += '\n';
    }
    return text;
}

// The lap an entry shows: the racer's when one was asked for, else the
// race's fastest; 0 for none.
uint32_t ra_shown_lap(const ra_replay &r, const ra_list_job &job) {
    const ra_record *facts = ra_facts(r);
    if (!facts) return 0;
    return job.racer.empty() ? facts->fastest_lap : ra_racer_lap(*facts, job.racer);
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
    // With a track, only its entries are read: personal bests are per track.
    ra_index_facts library;
    int status = ra_open_library(job.ini, &setup, &list, out, job.track, &library);
    if (status != ra_exit_ok) return status;
    std::string shown = ra_text(setup.dir);
    const ra_keep_marks marks = ra_read_keep_marks(setup.dir);

    // The personal bests of the racer asked for, else of the player.
    std::string racer = job.racer.empty() ? library.default_racer : job.racer;
    std::vector<bool> personal(list.replays.size(), false);
    std::vector<uint32_t> racer_lap(list.replays.size(), 0);
    for (const ra_racer_race &race : ra_racer_races(list, racer)) {
        personal[race.replay] = race.personal;
        racer_lap[race.replay] = race.lap;
    }

    // The newest that match, then split: the races, and apart from them the
    // files that are none of their own.
    std::vector<size_t> races, others;
    size_t matching = 0;
    for (size_t i = 0; i < list.replays.size(); ++i) {
        const ra_replay &r = list.replays[i];
        if (!ra_wanted(r, job, since)) continue;
        ++matching;
        if (job.newest != 0 && races.size() + others.size() >= job.newest) continue;
        (r.kind == ra_replay_kind::race ? races : others).push_back(i);
    }

    if (job.csv) {
        out->out += job.racer.empty() ? "when,type,track,laps,fastest_lap,file,state\n"
                                      : "when,type,track,laps,racer_lap,file,state,personal_best\n";
        // One list, newest first; the state tells races from the other files.
        std::vector<size_t> all = races;
        all.insert(all.end(), others.begin(), others.end());
        std::sort(all.begin(), all.end());
        for (size_t i : all) {
            const ra_replay *r = &list.replays[i];
            const ra_record *facts = ra_facts(*r);
            const std::string none;
            auto fact = [&](const char *column) { return facts ? facts->get(column) : none; };
            uint32_t lap = ra_shown_lap(*r, job);
            std::vector<std::string> cells = {ra_format_time(r->when),
                                              fact(ra_column_type),
                                              fact(ra_column_track),
                                              fact(ra_column_laps),
                                              lap ? ra_format_lap_seconds(lap) : "",
                                              r->file,
                                              ra_state_word(*r)};
            if (!job.racer.empty()) cells.push_back(personal[i] ? "1" : "");
            std::string line;
            for (size_t c = 0; c < cells.size(); ++c) {
                line += (c ? "," : "") + ra_csv_field(cells[c]);
            }
            out->out += line + "\n";
        }
        return ra_exit_ok;
    }

    if (races.empty() && others.empty()) {
        out->out += library.entries == 0 ? "No replays in " + shown + ".\n"
                                         : "No replay in " + shown + " matches.\n";
        return ra_exit_ok;
    }
    auto rows_of = [&](const std::vector<size_t> &part) {
        std::vector<std::vector<std::string>> rows = {
            {"When", "Type", "Track", "Laps",
             job.racer.empty() ? "Fastest lap" : "Lap of " + job.racer, "File"}};
        for (size_t i : part) {
            const ra_replay &r = list.replays[i];
            uint32_t lap = ra_shown_lap(r, job);
            std::string lap_cell = lap ? ra_format_lap(lap) : ra_unknown;
            // A rival's faster lap is not the racer's best: theirs goes beside it.
            if (personal[i]) {
                lap_cell += lap == racer_lap[i] ? std::string(" ") + ra_personal_badge
                                                : std::string(" (") + ra_personal_badge + " " +
                                                      ra_format_lap(racer_lap[i]) + ")";
            }
            rows.push_back({ra_format_time(r.when), ra_fact(r, ra_column_type),
                            ra_fact(r, ra_column_track), ra_fact(r, ra_column_laps), lap_cell,
                            ra_file_cell(r, marks)});
        }
        return ra_table(rows);
    };
    out->out += "Replays in " + shown + ", newest first:\n";
    if (!races.empty()) out->out += rows_of(races);
    if (!others.empty()) {
        out->out += std::string(races.empty() ? "" : "\n") + "Other files in " + shown +
                    ", no race of their own (kept by restore, renamed copies or copied in):\n" +
                    rows_of(others);
    }
    if (!racer.empty() && std::find(personal.begin(), personal.end(), true) != personal.end()) {
        out->out += std::string(ra_personal_badge) + ": a personal best of " + racer +
                    " on the track (their lap in brackets where a rival was faster).\n";
    }
    size_t listed = races.size() + others.size();
    if (listed < matching) {
        out->out += "(the " + std::to_string(listed) + " newest of " + std::to_string(matching) +
                    "; \"" + ra_program + " list\" shows them all)\n";
    }
    return ra_exit_ok;
}

// The row of list.
namespace {

void ra_list_options(CLI::App *sub, ra_list_job *job) {
    sub->add_option("--track", job->track, "only this track");
    sub->add_option("--type", job->type, "only this race type code, e.g. SR");
    sub->add_option("--since", job->since, "only replays saved on this day or later")
        ->type_name("YYYY-MM-DD");
    sub->add_flag("--csv", job->csv, "comma-separated values instead of a table");
    sub->add_option("--racer", job->racer,
                    "show this racer's lap in place of the race's fastest, and their personal "
                    "bests");
}

}  // namespace

const ra_command ra_list_command =
    ra_command_row<ra_list_job, ra_list_options, nullptr, ra_run_list>(
        "list", "list the saved replays, newest first");
