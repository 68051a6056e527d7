#include "friends/leaderboard.h"

#include <stdlib.h>

#include <algorithm>
#include <map>

#include "friends/aliases.h"
#include "friends/friends_folder.h"
#include "friends/friends_index.h"
#include "friends/line_binding.h"
#include "friends/plain_name.h"
#include "library/text/folded_name.h"
#include "library/record/lap_time.h"
#include "platform/file_system.h"
#include "platform/game_paths.h"

namespace fs = std::filesystem;

const char ra_with_replay[] = "with its replay (watch to check)";

namespace {

// Beside a friend's name that is the player's too, so that the board never
// shows two racers as one (the player stays "(you)").
const char ra_friend_mark[] = " (friend)";

std::string ra_signed_seconds(int64_t hundredths) {
    std::string sign = hundredths < 0 ? "-" : "+";
    return sign + ra_format_lap_seconds((uint32_t)llabs(hundredths));
}

}  // namespace

ra_leaderboard ra_make_leaderboard(const fs::path &dir, const std::string &track,
                                   const std::string &type) {
    ra_leaderboard board;
    const ra_aliases aliases = ra_read_aliases(dir);
    const auto folders = ra_friend_folders(dir);
    ra_friends_index index;
    if (!index.refresh(dir, folders, &board.warnings)) {
        board.warnings.push_back("the leaderboard's cache could not be made: out of memory");
        return board;
    }
    const std::string player = index.player();
    board.player = aliases.shown(player.empty() ? std::string("you") : player);
    // A friend shown by the player's own name is marked as a friend.
    const auto shown_friend = [&](const std::string &folder) {
        const std::string name = aliases.shown(folder);
        return ra_folded_name(name) == ra_folded_name(board.player) ? name + ra_friend_mark : name;
    };

    // Racers in order: the player, then the friends whose folders were read.
    std::map<std::string, size_t> order;
    order[""] = 0;
    for (const auto &folder : folders) order.emplace(folder.first, order.size());
    std::vector<ra_best_row> rows;
    index.bests(ra_folded_name(track), ra_folded_name(type), &rows);
    // Per track and type, each racer's best by their order.
    std::map<std::pair<std::string, std::string>, std::map<size_t, ra_board_entry>> best;
    for (const ra_best_row &row : rows) {
        auto at = order.find(row.source);
        if (at == order.end()) continue;
        const bool own = row.source.empty();
        const fs::path folder = own ? dir : dir / ra_friends_folder / ra_path(row.source);
        ra_board_entry e;
        e.racer = own ? board.player : shown_friend(row.source);
        e.friend_folder = row.source;
        e.lap = row.lap;
        e.when = row.when;
        // The cache is a file anyone may have changed: a name from it is
        // used only as a plain name in the racer's own folder, as a share's.
        if (ra_plain_name_problem(row.file).empty()) {
            e.file = row.file;
            const fs::path replay = folder / ra_path(row.file);
            e.watchable = ra_entry_kind_of(replay) == ra_entry_kind::file;
            if (!own && e.watchable && !row.stated.empty() && !row.digest.empty()) {
                const ra_replay_proof proof = index.replay_proof(row.source, replay);
                e.with_replay = proof.sha256 == row.stated && proof.digest == row.digest;
            }
        }
        best[{row.track, row.type}][at->second] = e;
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
    // Head to head with every friend whose folder could be read.
    for (const auto &folder : folders) {
        ra_versus v;
        if (!index.versus(folder.first, &v)) continue;
        v.racer = shown_friend(folder.first);
        board.versus.push_back(v);
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
                     : e.with_replay         ? ra_with_replay
                     : e.watchable           ? "its replay is not shown to be this race's"
                                             : "without its replay") +
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
