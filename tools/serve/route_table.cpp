#include "serve/route_table.h"

#include "friends/share_file.h"

extern const ra_route ra_routes[] = {
    {{"GET", "/", false, 0, true}, ra_serve_page},
    {{"GET", "/race", false, 0, true}, ra_serve_race_shell},
    {{"GET", "/api/race", true}, ra_serve_race},
    {{"GET", "/state", false}, ra_serve_state, true},
    {{"GET", "/api/rows", false}, ra_serve_rows},
    {{"GET", "/api/facts", false}, ra_serve_facts, true},
    {{"GET", "/api/chart", false}, ra_serve_chart},
    {{"POST", "/watch", true}, ra_serve_watch},
    {{"POST", "/keep", true}, ra_serve_keep},
    {{"POST", "/unkeep", true}, ra_serve_unkeep},
    {{"POST", "/tidy", false}, ra_serve_tidy},
    {{"GET", "/api/friends", false}, ra_serve_friends},
    {{"GET", "/api/friend-races", false}, ra_serve_friend_races},
    {{"GET", "/api/leaderboard", false}, ra_serve_leaderboard},
    {{"POST", "/import", false, ra_share_max_bytes}, nullptr, false, ra_serve_import},
    {{"GET", "/api/import", false}, ra_serve_import_progress},
    {{"POST", "/import/cancel", false}, ra_serve_import_cancel},
    {{"POST", "/share", true}, ra_serve_share},
    {{"POST", "/card", false}, ra_serve_card},
    {{"POST", "/friend/remove", false}, ra_serve_remove_friend},
    {{"POST", "/remove", true}, ra_serve_remove},
    {{"POST", "/alias", false}, ra_serve_alias},
};
extern const size_t ra_route_count = sizeof ra_routes / sizeof ra_routes[0];

const ra_route_rule *ra_route_rules() {
    static ra_route_rule rules[ra_route_count];
    for (size_t i = 0; i < ra_route_count; ++i) rules[i] = ra_routes[i].rule;
    return rules;
}
