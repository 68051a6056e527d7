// The library app's own pages beside the library page: one race's details.
#pragma once

#include <string>

#include "library/replays.h"

// One race, titled by ra_race_name: its facts, and its racers in finishing
// order (by total time, as far as the record tells) with the best lap, total
// time, gap to the winner and top speed, the player's marked "(you)" with
// the start position. Style under `nonce`, as the app's security policy asks.
std::string ra_race_page(const ra_replay &replay, const std::string &nonce);

// The page a request without the app's token gets: why, and how to start
// the app again and open its address.
std::string ra_start_again_page(const std::string &why);
