// Head to head: the player against one friend in the races both drove,
// as the leaderboard shows it and its cache (friends_index.h) counts it.
#pragma once

#include <stdint.h>

#include <string>

// Two lines of two records are one race when their starts are this close.
const int ra_same_race_seconds = 60;

// The player against one friend in the races they drove together.
struct ra_versus {
    std::string racer;    // the friend, through the aliases
    int races = 0;        // races both saved, each counted once
    int wins = 0;         // races the player finished ahead
    int losses = 0;       // races the friend finished ahead
    int64_t gap_sum = 0;  // the player's race time minus the friend's, summed (hundredths)
    int timed = 0;        // races in which both finished, for the average gap
};
