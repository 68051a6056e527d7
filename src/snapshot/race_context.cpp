// The race snapshot: one ra_ctx filled from the game's memory, the captured
// hook words, the clock and the digest cache.
#include "snapshot/race_context.h"

#include <windows.h>

#include "patches/hooks.h"
#include "snapshot/game_map.h"
#include "snapshot/track_digests.h"

// Game times tick at 64 per second; we report hundredths.
#define RA_TICKS_PER_SECOND 64u
#define RA_TICK_SHIFT 6u  // log2 of RA_TICKS_PER_SECOND
#define RA_HUNDREDTHS 100u

// Metres per second to km/h as a single-precision constant (exactly
// 3.5999999046325684, a little below 3.6), and the rounding half.
static const float ra_kmh_per_ms = 3.6f;
static const double ra_round_half = 0.5;
// 2^52: from here on a double has no fraction bits left; 2^63: int64 limit.
static const double ra_two_52 = 4503599627370496.0;
static const double ra_two_63 = 9223372036854775808.0;

// Nearest hundredth, halves up, in 32-bit arithmetic: the product wraps from
// 42,949,673 ticks (over 186 hours) on.
static uint32_t ra_hundredths(uint32_t ticks) {
    return (ticks * RA_HUNDREDTHS + RA_TICKS_PER_SECOND / 2) >> RA_TICK_SHIFT;
}

// Truncation of 3.6f * speed + 0.5, taken exactly, to a signed 64-bit value;
// not-a-number and values out of range give INT64_MIN. The result must not
// depend on x87 or SSE arithmetic.
static int64_t ra_speed_conversion(float speed) {
    // A 24-bit by 24-bit product fits a double's 53 bits: exact on x87 and SSE.
    double p = (double)ra_kmh_per_ms * (double)speed;
    if (p != p) return INT64_MIN;
    if (p > -ra_two_52 && p < ra_two_52) {
        // Adding 0.5 needs at most 53 bits here, so the sum is exact too;
        // only for products below 1/32 is it not, and those truncate to 0.
        double v = p + ra_round_half;
        return (int64_t)v;
    }
    // From 2^52 on p is a whole number: p + 0.5 truncates to p, or to p + 1
    // below zero. Converting out-of-range values would be undefined.
    if (p >= ra_two_63 || p < -ra_two_63) return INT64_MIN;
    return (int64_t)p + (p < 0 ? 1 : 0);
}

static uint32_t ra_flag(uint32_t word) { return word != 0 ? 1u : 0u; }

// Best lap, total time and top speed of the cars in the game's car table,
// by the slot each car record names.
static void ra_fill_cars(ra_ctx *ctx) {
    uint32_t entries = ra_game_u32(game_car_count);
    if (entries > game_table_max) entries = game_table_max;
    uint32_t now = ra_game_u32(game_timer_now);
    uint32_t start = ra_game_u32(game_timer_start);
    // A clock behind its start value means no race time yet.
    uint32_t running = now >= start ? now - start : 0;
    for (uint32_t j = 0; j < entries; ++j) {
        const unsigned char *car = ra_game_ptr(game_car_table + 4u * j);
        if (car == nullptr) continue;
        uint32_t slot = ra_mem_u32(car, car_slot);
        if (slot >= RA_CARS) continue;
        // Smallest non-zero lap time; 0 when the car has none.
        uint32_t best = 0;
        for (uint32_t lap = 0; lap < car_lap_count; ++lap) {
            uint32_t t = ra_mem_u32(car, car_lap_times + 4u * lap);
            if (t != 0 && (best == 0 || t < best)) best = t;
        }
        ctx->best_lap[slot] = ra_hundredths(best);
        uint32_t total = ra_mem_u32(car, car_state) == car_state_total
                             ? ra_mem_u32(car, car_total_time)
                             : running;
        ctx->total_time[slot] = ra_hundredths(total);
        ctx->max_speed[slot] =
            (uint32_t)(uint64_t)ra_speed_conversion(ra_mem_f32(car, car_top_speed));
    }
}

// The player's car number 1..16, or 0 when the player index is out of range.
static uint32_t ra_player_car(void) {
    uint32_t player = ra_game_u32(game_player_index);
    return player < game_table_max ? player + 1u : 0u;
}

// Every field but the player's car, which was added behind the others: a
// caller that owns a record of the fields before it is never written past
// its end.
static void ra_fill_race(ra_ctx *ctx, uint32_t index, const ra_systemtime *now) {
    unsigned char *bytes = (unsigned char *)ctx;
    for (uint32_t i = 0; i < RA_CTX_RACE_SIZE; ++i) bytes[i] = 0;

    ra_track_folder(ctx->track);
    uint32_t race_type = ra_game_u32(game_race_type);
    vqra_type_code(race_type, ra_game_u32(game_race_variant), (uint32_t)vq_ra_circ_type,
                   ra_flag(ra_game_u32(game_m_flag)), ctx->type);

    ctx->laps = ra_game_u32(game_laps);
    ctx->cars = ra_game_u32(game_cars);
    ctx->traffic = ra_game_u32(game_traffic);
    ctx->count = ctx->cars < ctx->traffic ? ctx->cars : ctx->cars - ctx->traffic;
    ctx->cops = ra_game_u32(game_cops_a) + ra_game_u32(game_cops_b);
    ctx->tier = ra_game_u32(game_tier);
    // The captured circuit id belongs to career circuits only.
    ctx->circ = race_type == game_type_circuit ? vq_ra_circ_id : 0;
    uint32_t player = ra_game_u32(game_player_index);
    if (player < game_table_max) {
        ctx->start_pos = ra_game_u32(game_start_positions + 4u * player) + 1u;
    }
    ctx->seed = ra_game_u32(game_seed);
    ctx->wet = ra_flag(ra_game_u32(game_wet));
    ctx->night = ra_flag(ra_game_u32(game_night));
    ctx->reverse = ra_flag(ra_game_u32(game_reverse));
    ctx->mirror = ra_flag(ra_game_u32(game_mirror));
    ctx->index = index;

    // The cache is refreshed by the caller when its template needs a digest.
    if (ra_md5_valid) {
        for (uint32_t i = 0; i < RA_MD5_TEXT_SIZE; ++i) {
            ctx->md5_tr[i] = ra_md5_tr[i];
            ctx->md5_trn[i] = ra_md5_trn[i];
        }
    }

    ctx->year = now->year;
    ctx->month = now->month;
    ctx->day = now->day;
    ctx->hour = now->hour;
    ctx->minute = now->minute;
    ctx->second = now->second;
    // A race whose start was not seen is taken to start now.
    const ra_systemtime *start = ra_start_valid ? &ra_start_time : now;
    ctx->start_year = start->year;
    ctx->start_month = start->month;
    ctx->start_day = start->day;
    ctx->start_hour = start->hour;
    ctx->start_minute = start->minute;
    ctx->start_second = start->second;

    // Racer names: only 12 name bytes exist in the game's racer record, so the
    // terminator goes at byte 12; NULs inside the name are copied as they are.
    uint32_t racers = ctx->cars < game_table_max ? ctx->cars : game_table_max;
    for (uint32_t i = 0; i < racers; ++i) {
        const unsigned char *name = ra_game_at(game_racers + game_racer_size * i + racer_name);
        for (uint32_t k = 0; k < RA_RACER_NAME_LEN; ++k) ctx->names[i][k] = (char)name[k];
        ctx->names[i][RA_RACER_NAME_LEN] = '\0';
    }

    ra_fill_cars(ctx);
}

extern "C" void ra_fill_ctx_at(ra_ctx *ctx, uint32_t index, const ra_systemtime *now) {
    ra_fill_race(ctx, index, now);
    ctx->player = ra_player_car();
}

static ra_systemtime ra_local_now(void) {
    SYSTEMTIME local;
    GetLocalTime(&local);
    return {local.wYear, local.wMonth,  local.wDayOfWeek, local.wDay,
            local.wHour, local.wMinute, local.wSecond,    local.wMilliseconds};
}

extern "C" void ra_fill_ctx(ra_ctx *ctx, uint32_t index) {
    const ra_systemtime now = ra_local_now();
    ra_fill_race(ctx, index, &now);
}

extern "C" void ra_fill_save_ctx(ra_ctx *ctx, uint32_t index) {
    const ra_systemtime now = ra_local_now();
    ra_fill_ctx_at(ctx, index, &now);
}
