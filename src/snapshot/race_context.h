// The race context: one snapshot of the race whose replay was just saved,
// read from the game's memory, the captured hook words, the clock and the
// digest cache. The name template expands against it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "patches/hooks.h"

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
    // Added after the snapshot's own fields, so that a caller filling the
    // record in their order still finds every one of them in its place.
    uint32_t player;  // the player's car (racer) number 1..16, or 0
};

// The layout callers of vqra_expand build the record by: widths and order
// of the fields, text fields first, then 32-bit words (aligned to 4).
static_assert(offsetof(ra_ctx, type) == 0, "ra_ctx layout");
static_assert(offsetof(ra_ctx, track) == 8, "ra_ctx layout");
static_assert(offsetof(ra_ctx, names) == 32, "ra_ctx layout");
static_assert(offsetof(ra_ctx, md5_tr) == 288, "ra_ctx layout");
static_assert(offsetof(ra_ctx, md5_trn) == 321, "ra_ctx layout");
static_assert(offsetof(ra_ctx, laps) == 356, "ra_ctx layout");  // 354 rounded up to 4
static_assert(offsetof(ra_ctx, count) == 360, "ra_ctx layout");
static_assert(offsetof(ra_ctx, cars) == 364, "ra_ctx layout");
static_assert(offsetof(ra_ctx, cops) == 368, "ra_ctx layout");
static_assert(offsetof(ra_ctx, traffic) == 372, "ra_ctx layout");
static_assert(offsetof(ra_ctx, tier) == 376, "ra_ctx layout");
static_assert(offsetof(ra_ctx, circ) == 380, "ra_ctx layout");
static_assert(offsetof(ra_ctx, seed) == 384, "ra_ctx layout");
static_assert(offsetof(ra_ctx, start_pos) == 388, "ra_ctx layout");
static_assert(offsetof(ra_ctx, best_lap) == 392, "ra_ctx layout");
static_assert(offsetof(ra_ctx, total_time) == 456, "ra_ctx layout");
static_assert(offsetof(ra_ctx, max_speed) == 520, "ra_ctx layout");
static_assert(offsetof(ra_ctx, wet) == 584, "ra_ctx layout");
static_assert(offsetof(ra_ctx, night) == 588, "ra_ctx layout");
static_assert(offsetof(ra_ctx, index) == 592, "ra_ctx layout");
static_assert(offsetof(ra_ctx, reverse) == 596, "ra_ctx layout");
static_assert(offsetof(ra_ctx, mirror) == 600, "ra_ctx layout");
static_assert(offsetof(ra_ctx, year) == 604, "ra_ctx layout");
static_assert(offsetof(ra_ctx, month) == 608, "ra_ctx layout");
static_assert(offsetof(ra_ctx, day) == 612, "ra_ctx layout");
static_assert(offsetof(ra_ctx, hour) == 616, "ra_ctx layout");
static_assert(offsetof(ra_ctx, minute) == 620, "ra_ctx layout");
static_assert(offsetof(ra_ctx, second) == 624, "ra_ctx layout");
static_assert(offsetof(ra_ctx, start_year) == 628, "ra_ctx layout");
static_assert(offsetof(ra_ctx, start_month) == 632, "ra_ctx layout");
static_assert(offsetof(ra_ctx, start_day) == 636, "ra_ctx layout");
static_assert(offsetof(ra_ctx, start_hour) == 640, "ra_ctx layout");
static_assert(offsetof(ra_ctx, start_minute) == 644, "ra_ctx layout");
static_assert(offsetof(ra_ctx, start_second) == 648, "ra_ctx layout");
static_assert(offsetof(ra_ctx, player) == 652, "ra_ctx layout: additions go at the end");
static_assert(sizeof(ra_ctx) == 656, "ra_ctx layout");
// The record as it was before the player's car was added: what ra_fill_ctx
// writes, so that a caller owning only these bytes keeps the rest of its frame.
#define RA_CTX_RACE_SIZE 652u
static_assert(offsetof(ra_ctx, player) == RA_CTX_RACE_SIZE, "ra_ctx layout");

extern "C" {

// Zeroes ctx and fills it afresh for the sequence index, at the local time:
// every field before `player` (RA_CTX_RACE_SIZE bytes), which it leaves alone.
void ra_fill_ctx(ra_ctx *ctx, uint32_t index);

// Every field, `player` too, at the local time: the fill of a save.
void ra_fill_save_ctx(ra_ctx *ctx, uint32_t index);

// Every field at the local time now, for programs that show what a save at
// a time of their choosing would be named.
void ra_fill_ctx_at(ra_ctx *ctx, uint32_t index, const ra_systemtime *now);

}  // extern "C"
