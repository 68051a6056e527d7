// The library app's own pages beside the library page: one race's details.
#pragma once

#include <string>

#include "library/replays.h"

// What the details of a race have of the app: the policy's nonce of this
// answer, the actions' secret, and whether the player keeps the replay.
struct ra_race_page_app {
    std::string nonce;
    std::string secret;
    bool kept = false;
};

// One race, titled by ra_race_name: Watch and Keep, its facts with what its
// race type code means, and its racers in finishing order (by total time,
// as far as the record tells) with the best lap, total time, gap to the
// winner and top speed, the player's marked "(you)" with the start position.
std::string ra_race_page(const ra_replay &replay, const ra_race_page_app &app);

// The page a request without the app's token gets: why, and how to start
// the app again and open its address.
std::string ra_start_again_page(const std::string &why);
