// The race context: one snapshot of the race whose replay was just saved,
// read from the game's memory, the captured hook words, the clock and the
// digest cache. The name template expands against it.
#pragma once

#include <stdint.h>

#define RA_CARS 16            // per-car entries and racer names
#define RA_TYPE_SIZE 8        // race type code and terminator
#define RA_TRACK_SIZE 24      // track folder name: 23 characters and terminator
#define RA_NAME_SIZE 16       // a racer name: 12 game bytes, terminator, padding
#define RA_RACER_NAME_LEN 12  // name bytes in the game's racer record
#define RA_MD5_TEXT_SIZE 33   // 32 hex digits and terminator

struct ra_ctx {
    char type[RA_TYPE_SIZE];            // race type code, e.g. "SR"
    char track[RA_TRACK_SIZE];          // track folder, upper case
    char names[RA_CARS][RA_NAME_SIZE];  // racer names in racer order
    char md5_tr[RA_MD5_TEXT_SIZE];      // digest of "Tr.frd", or empty
    char md5_trn[RA_MD5_TEXT_SIZE];     // digest of "Trn.frd", or empty
    uint32_t laps;                      // number of laps
    uint32_t count;                     // cars other than traffic
    uint32_t cars;                      // number of cars
    uint32_t cops;                      // number of cops
    uint32_t traffic;                   // number of traffic cars
    uint32_t tier;                      // the game's tier word
    uint32_t circ;                      // circuit id, race type 4 only
    uint32_t seed;                      // the game's seed word
    uint32_t start_pos;                 // player's start position + 1, or 0
    uint32_t player;                    // the player's car (racer) number 1..16, or 0
    uint32_t best_lap[RA_CARS];         // hundredths of a second, by car slot
    uint32_t total_time[RA_CARS];       // hundredths of a second, by car slot
    uint32_t max_speed[RA_CARS];        // km/h, by car slot
    uint32_t wet, night;                // 0 or 1
    uint32_t index;                     // sequence index of this attempt
    uint32_t reverse, mirror;           // 0 or 1
    uint32_t year, month, day;          // local time of the fill
    uint32_t hour, minute, second;
    uint32_t start_year, start_month, start_day;  // local time of the race start
    uint32_t start_hour, start_minute, start_second;
};

extern "C" {

// Zeroes ctx and fills it afresh for the sequence index.
void ra_fill_ctx(ra_ctx *ctx, uint32_t index);

}  // extern "C"
