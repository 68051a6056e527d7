#include "friends/leaderboard.h"

#include <stdlib.h>

#include <algorithm>
#include <map>
#include <unordered_map>

#include "friends/aliases.h"
#include "friends/friends_folder.h"
#include "friends/sharing.h"
#include "library/folded_name.h"
#include "library/game_replay.h"
#include "library/lap_time.h"
#include "library/local_time.h"
#include "library/record_schema.h"
#include "library/records.h"
#include "library/sha256.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"
#include "snapshot/race_context.h"

namespace fs = std::filesystem;

namespace {

// One racer's records: the player's own, or a friend's.
struct ra_racer_records {
    std::string shown;          // name through the aliases
    std::string folder_name;    // empty for the player
    fs::path folder;            // where the replays are
    const ra_records *records;  // their lines
    const ra_friend *friend_ = nullptr;
};

uint32_t ra_car_hundredths(const ra_record &r, const char *prefix) {
    if (r.player < 1) return 0;
    return ra_parse_lap(r.get(ra_car_column(prefix, r.player)));
}

int64_t ra_started_seconds(const ra_record &r) {
    ra_time started, epoch;
    epoch.year = 1970;
    epoch.month = epoch.day = 1;
    if (!ra_parse_time(r.get(ra_column_started), &started)) return -1;
    return ra_seconds_between(epoch, started);
}

// The facts that make two lines one race, apart from the start.
std::string ra_race_key(const ra_record &r) {
    std::vector<std::string> names;
    for (int car = 1; car <= RA_CARS; ++car) {
        std::string name = r.get(ra_car_column(ra_column_name, car));
        if (!name.empty()) names.push_back(ra_folded_name(name));
    }
    std::sort(names.begin(), names.end());
    std::string key = ra_folded_name(r.get(ra_column_track)) + '\n' +
                      ra_folded_name(r.get(ra_column_type)) + '\n' + r.get(ra_column_laps);
    for (const std::string &n : names) key += '\n' + n;
    return key;
}

bool ra_hash_matches(const fs::path &path, const std::string &stated) {
    std::string bytes, why;
    if (stated.empty() || !ra_load_plain_file(path, ra_replay_max_bytes, &bytes, &why))
        return false;
    return ra_sha256_hex(bytes) == stated;
}

// The player's races by what makes two lines one race, each key's starts
// in order: made once, and paired against every friend in turn.
struct ra_start_of {
    int64_t at;   // seconds from 1970
    size_t line;  // in the player's record
};
using ra_own_races = std::unordered_map<std::string, std::vector<ra_start_of>>;

ra_own_races ra_races_of(const ra_records &own) {
    ra_own_races mine;
    for (size_t i = 0; i < own.lines.size(); ++i) {
        int64_t at = ra_started_seconds(own.lines[i]);
        if (at >= 0) mine[ra_race_key(own.lines[i])].push_back({at, i});
    }
    for (auto &m : mine) {
        std::sort(m.second.begin(), m.second.end(),
                  [](const ra_start_of &a, const ra_start_of &b) { return a.at < b.at; });
    }
    return mine;
}

// The player against one friend (see ra_versus).
ra_versus ra_pair_races(const ra_records &own, const ra_own_races &mine, const ra_records &theirs,
                        const std::string &shown) {
    ra_versus v;
    v.racer = shown;
    std::vector<bool> paired(own.lines.size());
    for (const ra_record &r : theirs.lines) {
        int64_t at = ra_started_seconds(r);
        auto found = at < 0 ? mine.end() : mine.find(ra_race_key(r));
        if (found == mine.end()) continue;
        const std::vector<ra_start_of> &starts = found->second;
        auto first = std::lower_bound(starts.begin(), starts.end(), at - ra_same_race_seconds,
                                      [](const ra_start_of &s, int64_t t) { return s.at < t; });
        const ra_start_of *best = nullptr;
        for (auto it = first; it != starts.end() && it->at <= at + ra_same_race_seconds; ++it) {
            if (!paired[it->line] &&
                (best == nullptr || llabs(it->at - at) < llabs(best->at - at))) {
                best = &*it;
            }
        }
        if (best == nullptr) continue;
        // Each race once, however many times either record holds it.
        paired[best->line] = true;
        ++v.races;
        uint32_t my_time = ra_car_hundredths(own.lines[best->line], ra_column_total_time);
        uint32_t their_time = ra_car_hundredths(r, ra_column_total_time);
        if (my_time > 0 && (their_time == 0 || my_time < their_time)) ++v.wins;
        if (their_time > 0 && (my_time == 0 || their_time < my_time)) ++v.losses;
        if (my_time > 0 && their_time > 0) {
            v.gap_sum += (int64_t)my_time - (int64_t)their_time;
            ++v.timed;
        }
    }
    return v;
}

std::string ra_signed_seconds(int64_t hundredths) {
    std::string sign = hundredths < 0 ? "-" : "+";
    return sign + ra_format_lap_seconds((uint32_t)llabs(hundredths));
}

}  // namespace

namespace {

// The boards being made: per folded track and type, each racer's best entry
// by racer (0: the player, then the friends in order).
using ra_best_map = std::map<std::pair<std::string, std::string>, std::map<size_t, ra_board_entry>>;

// Adds one racer's best laps to the boards, while their records are read.
void ra_add_bests(const ra_racer_records &who, size_t index, const std::string &want_track,
                  const std::string &want_type, ra_best_map *best) {
    std::map<std::pair<std::string, std::string>, const ra_record *> fastest;
    for (const ra_record &r : who.records->lines) {
        uint32_t lap = ra_car_hundredths(r, ra_column_best_lap);
        if (lap == 0) continue;
        std::string t = ra_folded_name(r.get(ra_column_track)),
                    c = ra_folded_name(r.get(ra_column_type));
        if ((!want_track.empty() && t != want_track) || (!want_type.empty() && c != want_type)) {
            continue;
        }
        const ra_record *&held = fastest[{t, c}];
        if (held == nullptr || lap < ra_car_hundredths(*held, ra_column_best_lap)) held = &r;
    }
    for (const auto &group : fastest) {
        const ra_record &r = *group.second;
        ra_board_entry e;
        e.racer = who.shown;
        e.friend_folder = who.folder_name;
        e.lap = ra_car_hundredths(r, ra_column_best_lap);
        e.when = ra_format_time(r.saved);
        e.file = r.file;
        const fs::path replay = who.folder / ra_path(r.file);
        e.watchable = ra_entry_kind_of(replay) == ra_entry_kind::file;
        if (who.friend_ && e.watchable) {
            auto stated = who.friend_->hashes.find(ra_folded_name(r.file));
            e.verified =
                stated != who.friend_->hashes.end() && ra_hash_matches(replay, stated->second);
        }
        (*best)[group.first][index] = e;
    }
}

}  // namespace

ra_leaderboard ra_make_leaderboard(const fs::path &dir, const std::string &track,
                                   const std::string &type) {
    ra_leaderboard board;
    const ra_aliases aliases = ra_read_aliases(dir);
    ra_records own;
    ra_read_records(dir, ra_text(dir / ra_records_file), &own);

    std::string player;
    const ra_record *newest = nullptr;
    for (const ra_record &r : own.lines) {
        if (!ra_line_player_name(r).empty() && (newest == nullptr || !(r.saved < newest->saved))) {
            newest = &r;
        }
    }
    if (newest) player = ra_line_player_name(*newest);
    board.player = aliases.shown(player.empty() ? std::string("you") : player);

    const std::string want_track = ra_folded_name(track), want_type = ra_folded_name(type);
    ra_best_map best;
    ra_add_bests({board.player, "", dir, &own, nullptr}, 0, want_track, want_type, &best);
    // One friend's records at a time: twenty long careers need not be in
    // memory at once.
    const ra_own_races mine = ra_races_of(own);
    size_t index = 0;
    for (const auto &folder : ra_friend_folders(dir)) {
        ra_friend f;
        std::string error;
        if (!ra_read_friend(folder.second, folder.first, &f, &error)) {
            board.warnings.push_back(error);
            continue;
        }
        ra_racer_records who{aliases.shown(f.name), f.name, f.folder, &f.records, &f};
        ra_add_bests(who, ++index, want_track, want_type, &best);
        board.versus.push_back(ra_pair_races(own, mine, f.records, who.shown));
    }
    for (auto &group : best) {
        ra_board b;
        for (auto &entry : group.second) b.entries.push_back(std::move(entry.second));
        std::sort(b.entries.begin(), b.entries.end(),
                  [](const ra_board_entry &a, const ra_board_entry &c) {
                      return a.lap != c.lap ? a.lap < c.lap : a.when < c.when;
                  });
        for (ra_board_entry &e : b.entries) e.gap = e.lap - b.entries.front().lap;
        b.track = group.first.first;
        b.type = group.first.second;
        board.boards.push_back(std::move(b));
    }
    return board;
}

std::string ra_leaderboard_text(const ra_leaderboard &board) {
    std::string text;
    if (board.boards.empty())
        text += "No best laps to compare: no race with a lap of yours or a friend's.\n";
    for (const ra_board &b : board.boards) {
        text += b.track + " " + b.type + "\n";
        int place = 0;
        for (const ra_board_entry &e : b.entries) {
            std::string racer = e.racer + (e.friend_folder.empty() ? " (you)" : "");
            text += "  " + std::to_string(++place) + ". " + racer +
                    std::string(racer.size() < 20 ? 20 - racer.size() : 1, ' ') +
                    ra_format_lap(e.lap) + "  " + e.when.substr(0, 10) + "  " +
                    (e.gap ? "+" + ra_format_lap_seconds(e.gap) : std::string("leader")) + "  " +
                    (e.friend_folder.empty() ? "your record"
                     : e.verified            ? "verified"
                                             : "not verified") +
                    (e.watchable ? ", can be watched: " + e.file : "") + "\n";
        }
    }
    for (const ra_versus &v : board.versus) {
        text += "Head to head, " + board.player + " against " + v.racer + ": " +
                std::to_string(v.races) + (v.races == 1 ? " race" : " races") + " together";
        if (v.races > 0) {
            text += ", " + std::to_string(v.wins) + " won, " + std::to_string(v.losses) + " lost";
            if (v.timed > 0)
                text += ", average gap " + ra_signed_seconds(v.gap_sum / v.timed) + " s";
        }
        text += "\n";
    }
    return text;
}
