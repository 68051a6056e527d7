#include "serve/friends_api.h"

#include <algorithm>

#include "friends/aliases.h"
#include "friends/friends_folder.h"
#include "library/text/folded_name.h"
#include "library/text/html_text.h"
#include "library/replays/keep_marks.h"
#include "library/record/lap_time.h"
#include "library/text/local_time.h"
#include "library/record/record_schema.h"
#include "library/record/record_reader.h"
#include "library/record/type_codes.h"

namespace fs = std::filesystem;

namespace {

// A friend's replay as Watch names it, relative to Dir.
std::string ra_friend_replay_id(const std::string &folder, const std::string &file) {
    return ra_url_text(std::string(ra_friends_folder) + "/" + folder + "/" + file);
}

nlohmann::json ra_entry_json(const ra_board_entry &e) {
    nlohmann::json entry = {
        {"racer", ra_utf8_text(e.racer)},
        {"you", e.friend_folder.empty()},
        {"lap", ra_format_lap(e.lap)},
        {"when", e.when.substr(0, 10)},
        {"gap", e.gap == 0 ? std::string() : "+" + ra_format_lap_seconds(e.gap)},
        {"with_replay", e.with_replay},
        {"watch", nullptr}};
    // The player's own times are their own replays: the list watches those.
    if (!e.friend_folder.empty() && e.watchable) {
        entry["watch"] = ra_friend_replay_id(e.friend_folder, e.file);
    }
    return entry;
}

nlohmann::json ra_versus_json(const ra_versus &v) {
    nlohmann::json gap = nullptr;
    if (v.timed != 0) {
        const int64_t average = v.gap_sum / v.timed;
        gap = (average > 0   ? "+"
               : average < 0 ? "-"
                             : "") +
              ra_format_lap_seconds((uint32_t)(average < 0 ? -average : average));
    }
    return {{"racer", ra_utf8_text(v.racer)},
            {"races", v.races},
            {"wins", v.wins},
            {"losses", v.losses},
            {"average_gap", gap}};
}

}  // namespace

nlohmann::json ra_boards_json(const ra_leaderboard &board) {
    nlohmann::json boards = nlohmann::json::array();
    for (const ra_board &b : board.boards) {
        if (boards.size() == ra_boards_shown_max) break;
        nlohmann::json entries = nlohmann::json::array();
        // The player and as many friends as the view lists.
        for (const ra_board_entry &e : b.entries) {
            if (entries.size() == ra_friends_shown_max + 1) break;
            entries.push_back(ra_entry_json(e));
        }
        boards.push_back({{"track", ra_utf8_text(b.track)},
                          {"type", ra_utf8_text(b.type)},
                          {"meaning", ra_type_code_meaning(b.type)},
                          {"entries", entries}});
    }
    return boards;
}

nlohmann::json ra_friends_json(const fs::path &dir) {
    std::vector<std::string> warnings;
    const std::vector<ra_friend> friends = ra_read_friends(dir, &warnings);
    const ra_aliases aliases = ra_read_aliases(dir);
    nlohmann::json list = nlohmann::json::array();
    for (const ra_friend &f : friends) {
        if (list.size() == ra_friends_shown_max) break;
        // Their replays: the files their shares stated a hash for.
        size_t replays = 0;
        for (const auto &stated : f.stated) {
            replays += f.files.count(ra_folded_name(stated.first));
        }
        ra_time written;
        const bool known = ra_file_time(f.folder / ra_records_file, &written);
        list.push_back({{"name", ra_utf8_text(f.name)},
                        {"shown", ra_utf8_text(aliases.shown(f.name))},
                        {"imported", known ? ra_format_time(written).substr(0, 16) : ""},
                        {"races", f.records.lines.size()},
                        {"replays", replays}});
    }
    const ra_leaderboard board = ra_make_leaderboard(dir, "", "");
    nlohmann::json versus = nlohmann::json::array();
    for (const ra_versus &v : board.versus) {
        if (versus.size() == ra_friends_shown_max) break;
        versus.push_back(ra_versus_json(v));
    }
    for (const std::string &w : board.warnings) {
        if (std::find(warnings.begin(), warnings.end(), w) == warnings.end()) warnings.push_back(w);
    }
    nlohmann::json said = nlohmann::json::array();
    for (const std::string &w : warnings) said.push_back(ra_utf8_text(w));
    return {{"player", ra_utf8_text(board.player)},
            {"friends", list},
            {"friends_total", friends.size()},
            {"versus", versus},
            {"boards", ra_boards_json(board)},
            {"boards_total", board.boards.size()},
            {"warnings", said}};
}

bool ra_friend_races_json(const fs::path &dir, const std::string &name, size_t offset, size_t limit,
                          nlohmann::json *out, std::string *error) {
    ra_friend them;
    if (!ra_read_named_friend(dir, name, &them, error)) return false;
    // Newest first; of equal times the later line first, as it was saved later.
    const std::vector<ra_record> &lines = them.records.lines;
    std::vector<size_t> order(lines.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = order.size() - 1 - i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return lines[b].saved < lines[a].saved; });
    const ra_keep_marks marks = ra_read_keep_marks(them.folder);
    limit = std::min(limit, ra_friend_races_page_max);
    nlohmann::json races = nlohmann::json::array();
    for (size_t i = offset; i < order.size() && races.size() < limit; ++i) {
        const ra_record &r = lines[order[i]];
        // Their own car is the player's car of their record.
        const uint32_t lap = r.player < 1 ? 0 : ra_parse_lap(r.get_car(ra_car_best_lap, r.player));
        races.push_back({{"id", ra_friend_replay_id(name, r.file)},
                         {"when", ra_format_time(r.saved).substr(0, 16)},
                         {"track", ra_utf8_text(r.get(ra_column_track))},
                         {"type", ra_utf8_text(r.get(ra_column_type))},
                         {"laps", ra_utf8_text(r.get(ra_column_laps))},
                         {"lap", ra_lap_text(lap)},
                         {"replay", them.files.count(ra_folded_name(r.file)) != 0},
                         {"kept", marks.has(r.file)}});
    }
    *out = {{"friend", ra_utf8_text(name)},
            {"total", lines.size()},
            {"offset", offset},
            {"races", races}};
    return true;
}
