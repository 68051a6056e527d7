#include "serve/route_table.h"

#include "friends/share_file.h"

// One row a route: name, rule (method, path, names a replay, body, shell),
// parameters, what it reads, handler[, tells of a rebuild, takes a file].
// One line each: cmake/page_assets.cmake reads the rows for the scripts.
// clang-format off
extern const ra_route ra_routes[] = {
    {"library", {"GET", "/", false, 0, true}, "", ra_route_reads::nothing, ra_serve_page},
    {"race_page", {"GET", "/race", false, 0, true}, "file", ra_route_reads::nothing, ra_serve_race_shell},
    {"race", {"GET", "/api/race", true}, "file", ra_route_reads::library, ra_serve_race},
    {"state", {"GET", "/state", false}, "since racer", ra_route_reads::library, ra_serve_state, true},
    {"rows", {"GET", "/api/rows", false}, "offset limit sort desc track type weather pb kept q kind racer", ra_route_reads::library, ra_serve_rows},
    {"facts", {"GET", "/api/facts", false}, "racer", ra_route_reads::library, ra_serve_facts, true},
    {"chart", {"GET", "/api/chart", false}, "racer track type window friend", ra_route_reads::library, ra_serve_chart},
    {"watch", {"POST", "/watch", true}, "file", ra_route_reads::library, ra_serve_watch},
    {"keep", {"POST", "/keep", true}, "file", ra_route_reads::library, ra_serve_keep},
    {"unkeep", {"POST", "/unkeep", true}, "file", ra_route_reads::library, ra_serve_unkeep},
    {"tidy", {"POST", "/tidy", false}, "keep max_size older_than apply plan", ra_route_reads::settings, ra_serve_tidy},
    {"friends", {"GET", "/api/friends", false}, "", ra_route_reads::settings, ra_serve_friends},
    {"friend_races", {"GET", "/api/friend-races", false}, "friend offset limit", ra_route_reads::settings, ra_serve_friend_races},
    {"leaderboard", {"GET", "/api/leaderboard", false}, "track type", ra_route_reads::settings, ra_serve_leaderboard},
    {"import", {"POST", "/import", false, ra_share_max_bytes}, "name", ra_route_reads::nothing, nullptr, false, ra_serve_import},
    {"import_progress", {"GET", "/api/import", false}, "", ra_route_reads::nothing, ra_serve_import_progress},
    {"import_cancel", {"POST", "/import/cancel", false}, "", ra_route_reads::nothing, ra_serve_import_cancel},
    {"share", {"POST", "/share", true}, "file hide_names confirm", ra_route_reads::library, ra_serve_share},
    {"card", {"POST", "/card", false}, "confirm", ra_route_reads::settings, ra_serve_card},
    {"remove_friend", {"POST", "/friend/remove", false}, "friend", ra_route_reads::settings, ra_serve_remove_friend},
    {"remove", {"POST", "/remove", true}, "file", ra_route_reads::library, ra_serve_remove},
    {"alias", {"POST", "/alias", false}, "old new", ra_route_reads::settings, ra_serve_alias},
};
// clang-format on
extern const size_t ra_route_count = sizeof ra_routes / sizeof ra_routes[0];

const ra_route_rule *ra_route_rules() {
    static ra_route_rule rules[ra_route_count];
    for (size_t i = 0; i < ra_route_count; ++i) rules[i] = ra_routes[i].rule;
    return rules;
}
