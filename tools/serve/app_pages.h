// The library app's own pages beside the library page: one race's details.
#pragma once

#include <string>

#include "library/replays/replays.h"

// One race's details, as /api/race gives them to the race's shell: its
// name, its Watch, Keep and Share (empty when its file is gone), and its
// facts with what its race type code means and its racers in finishing
// order (by total time, as far as the record tells) with the best lap,
// total time, gap to the winner and top speed, the player's marked "(you)"
// with the start position. Markup of escaped text alone, no script.
struct ra_race_details {
    std::string title;  // ra_race_name
    std::string actions;
    std::string facts;
};
ra_race_details ra_race_details_of(const ra_replay &replay, bool kept);

// The shell of a race's details (GET /race): the style and the app's
// scripts under the nonce of this answer, and the places the script fills
// with the details it asks for with the token. It holds no data.
std::string ra_race_shell(const std::string &nonce);

// What a page without the app's token says (the shells, hidden until their
// script finds no token): where the address that lets a tab in comes from,
// and how to start the app again.
std::string ra_no_token_notice();

// The page a request without the app's token gets: why, and the same.
std::string ra_start_again_page(const std::string &why);
