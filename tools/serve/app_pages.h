// The library app's own pages beside the library page: one race's details.
#pragma once

#include <string>

#include "library/replays.h"

// One race: its facts, and per racer the best lap, total time and top
// speed as the record holds them (the start position where it names the
// player's). Style under `nonce`, as the app's security policy asks.
std::string ra_race_page(const ra_replay &replay, const std::string &nonce);

// The page a request without the app's token gets: why, and how to start
// the app again and open its address.
std::string ra_start_again_page(const std::string &why);
