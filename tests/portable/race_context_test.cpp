#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <string>

#include "game_image.h"
#include "game_memory.h"
#include "host/host.h"
#include "patches/hooks.h"
#include "plugin_state.h"
#include "sim_win32.h"
#include "snapshot/race_context.h"
#include "snapshot/track_digests.h"

namespace {

const SYSTEMTIME fill_clock = {2024, 3, 5, 14, 21, 7, 9, 500};

class RaceContext : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        sim_game_map();
        ra_game = VQ_GAME_BASE;
        sim_set_clock(&fill_clock);
    }
    // Writes the race and fills a record that starts out full of garbage.
    const ra_ctx &fill(uint32_t index = 0) {
        sim_game_write_race(race);
        memset(&ctx, 0xA5, sizeof ctx);
        ra_fill_save_ctx(&ctx, index);  // the save's fill: every field
        return ctx;
    }
    // A car in the given slot; the one lap time, state and speed as given.
    static sim_car car(uint32_t slot, uint32_t lap = 0, float speed = 0.0f) {
        sim_car c;
        c.slot = slot;
        c.lap_times[0] = lap;
        c.top_speed = speed;
        return c;
    }
    void set_cars(std::initializer_list<sim_car> cars) {
        race.car_table = cars;
        race.car_count = (uint32_t)cars.size();
    }

    sim_race race;
    ra_ctx ctx;
};

}  // namespace

TEST_F(RaceContext, SettingsWordsAndCounts) {
    race.laps = 3;
    race.tier = 2;
    race.seed = 0xDEADBEEFu;
    race.wet = 0x100;
    race.mirror = 0xFFFFFFFFu;
    race.cars = 8;
    race.traffic = 3;
    race.cops_a = 0xFFFFFFFFu;  // the sum wraps
    race.cops_b = 2;
    fill(77);
    EXPECT_EQ(ctx.laps, 3u);
    EXPECT_EQ(ctx.tier, 2u);
    EXPECT_EQ(ctx.seed, 0xDEADBEEFu);
    EXPECT_EQ(ctx.wet, 1u);
    EXPECT_EQ(ctx.mirror, 1u);
    EXPECT_EQ(ctx.night, 0u);
    EXPECT_EQ(ctx.reverse, 0u);
    EXPECT_EQ(ctx.index, 77u);
    EXPECT_EQ(ctx.count, 5u);
    EXPECT_EQ(ctx.cops, 1u);

    // More traffic than cars: count is the number of cars.
    race.cars = 3;
    race.traffic = 5;
    EXPECT_EQ(fill().count, 3u);
}

TEST_F(RaceContext, TypeTrackAndCircuit) {
    race.has_track_folder[2] = true;
    race.track_folders[2] = "Tr02a";
    race.track_index = 2;
    race.race_type = 4;
    vq_ra_circ_type = 1;
    vq_ra_circ_id = 42;
    fill();
    EXPECT_STREQ(ctx.type, "CK");
    EXPECT_STREQ(ctx.track, "TR02A");
    EXPECT_EQ(ctx.circ, 42u);

    // The captured circuit id belongs to race type 4 only.
    race.race_type = 3;
    race.m_flag = 7;
    race.race_variant = 8;
    fill();
    EXPECT_STREQ(ctx.type, "MX");
    EXPECT_EQ(ctx.circ, 0u);
}

TEST_F(RaceContext, StartPositionAndPlayerOnlyForPlayerIndexUpTo15) {
    race.start_positions[0] = 0;
    race.start_positions[15] = 6;
    // player index, start_pos, player (the car number)
    const struct {
        uint32_t index, start_pos, player;
    } cases[] = {{0, 1, 1}, {15, 7, 16}, {16, 0, 0}, {0xFFFFFFFFu, 0, 0}};
    for (const auto &c : cases) {
        race.player_index = c.index;
        const ra_ctx &got = fill();
        EXPECT_EQ(got.start_pos, c.start_pos) << c.index;
        EXPECT_EQ(got.player, c.player) << c.index;
    }
}

TEST_F(RaceContext, RacerNamesAreTwelveBytesAndATerminator) {
    for (int i = 0; i < SIM_RACERS; ++i) race.racers[i] = "R" + std::to_string(i);
    race.racers[0] = "ABCDEFGHIJKLMNOP";        // cut to the 12 game bytes
    race.racers[1] = std::string("AB\0CD", 5);  // copied as the game holds it

    race.cars = 0;
    fill();
    for (int i = 0; i < RA_CARS; ++i) EXPECT_STREQ(ctx.names[i], "") << i;

    race.cars = 3;
    fill();
    EXPECT_STREQ(ctx.names[0], "ABCDEFGHIJKL");
    EXPECT_EQ(memcmp(ctx.names[1], "AB\0CD\0\0\0\0\0\0\0\0\0\0\0", RA_NAME_SIZE), 0);
    EXPECT_STREQ(ctx.names[2], "R2");
    EXPECT_STREQ(ctx.names[3], "");

    race.cars = 40;
    fill();
    EXPECT_STREQ(ctx.names[15], "R15");
    for (int k = RA_RACER_NAME_LEN; k < RA_NAME_SIZE; ++k) EXPECT_EQ(ctx.names[0][k], 0);
}

TEST_F(RaceContext, BestLapIsTheSmallestNonZeroLapTime) {
    sim_car mixed = car(0);
    const uint32_t laps[SIM_LAP_TIMES] = {0, 300, 250, 0, 280, 0, 0, 0};
    memcpy(mixed.lap_times, laps, sizeof laps);
    set_cars({mixed, car(1)});
    fill();
    EXPECT_EQ(ctx.best_lap[0], 391u);
    EXPECT_EQ(ctx.best_lap[1], 0u);  // no lap time at all
}

TEST_F(RaceContext, HundredthsRoundHalvesUpAndWrapIn32Bits) {
    const uint32_t ticks[] = {1, 31, 32, 64, 250, 42949673};
    const uint32_t want[] = {2, 48, 50, 100, 391, 0};
    for (uint32_t i = 0; i < 6; ++i) race.car_table.push_back(car(i, ticks[i]));
    race.car_count = 6;
    fill();
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(ctx.best_lap[i], want[i]) << ticks[i];
}

TEST_F(RaceContext, TotalTimeFromFinishedCarOrRunningClock) {
    sim_car finished = car(0);
    finished.state = 3;
    finished.total_time = 640;
    sim_car running = car(1);
    running.state = 2;
    running.total_time = 999;
    set_cars({finished, running});
    race.timer_start = 1000;
    race.timer_now = 1064;
    fill();
    EXPECT_EQ(ctx.total_time[0], 1000u);
    EXPECT_EQ(ctx.total_time[1], 100u);

    // A clock behind its start value gives 0, not a wrapped difference.
    race.timer_now = 999;
    fill();
    EXPECT_EQ(ctx.total_time[0], 1000u);
    EXPECT_EQ(ctx.total_time[1], 0u);
}

TEST_F(RaceContext, CarTableEntriesBySlot) {
    sim_car null_entry;
    null_entry.empty = true;
    // Same slot twice: the later entry wins. Slot 16 is skipped; nulls too.
    set_cars({car(4, 64), null_entry, car(4, 128), car(16, 64), car(15, 32)});
    fill();
    EXPECT_EQ(ctx.best_lap[4], 200u);
    EXPECT_EQ(ctx.best_lap[15], 50u);
    for (uint32_t s : {0u, 1u, 5u, 14u}) EXPECT_EQ(ctx.best_lap[s], 0u) << s;

    // A count of 20 examines the first 16 entries only.
    race.car_table.assign(20, car(0, 64));
    for (int j = 16; j < 20; ++j) race.car_table[j] = car(j - 15, 640);
    race.car_count = 20;
    fill();
    EXPECT_EQ(ctx.best_lap[0], 100u);
    for (uint32_t s = 1; s < 5; ++s) EXPECT_EQ(ctx.best_lap[s], 0u) << s;
}

TEST_F(RaceContext, TopSpeedInKmhWithTheSinglePrecisionFactor) {
    struct {
        float speed;
        uint32_t kmh;
    } cases[] = {
        {10.0f, 36},
        {12.5f, 45},
        {100.0f, 360},
        {0.0f, 0},
        // 3.6f is slightly below 3.6: 4.4999998... + 0.5 truncates to 4.
        {1.25f, 4},
        // Truncation toward zero, low 32 bits of the two's complement.
        {-10.0f, 4294967261u},
        // Not a number and values beyond int64 give INT64_MIN, low bits 0.
        {NAN, 0},
        {INFINITY, 0},
        {-INFINITY, 0},
        {1e30f, 0},
        // Beyond 2^52 the 0.5 still counts: -2^60 * 3.6f + 0.5 truncates to
        // a value one above the product, whose low 32 bits are 0.
        {-1152921504606846976.0f, 1},
    };
    const uint32_t n = sizeof cases / sizeof cases[0];
    for (uint32_t i = 0; i < n; ++i) race.car_table.push_back(car(i, 0, cases[i].speed));
    race.car_count = n;
    fill();
    for (uint32_t i = 0; i < n; ++i) EXPECT_EQ(ctx.max_speed[i], cases[i].kmh) << cases[i].speed;
}

TEST_F(RaceContext, FillTimeAndRaceStart) {
    fill();
    EXPECT_EQ(ctx.year, 2024u);
    EXPECT_EQ(ctx.month, 3u);
    EXPECT_EQ(ctx.day, 14u);
    EXPECT_EQ(ctx.hour, 21u);
    EXPECT_EQ(ctx.minute, 7u);
    EXPECT_EQ(ctx.second, 9u);
    // No race start recorded: the start fields repeat the fill time.
    EXPECT_EQ(ctx.start_year, 2024u);
    EXPECT_EQ(ctx.start_day, 14u);
    EXPECT_EQ(ctx.start_second, 9u);

    ra_start_valid = 1;
    ra_start_time = {2023, 12, 0, 31, 23, 59, 58, 0};
    fill();
    EXPECT_EQ(ctx.start_year, 2023u);
    EXPECT_EQ(ctx.start_month, 12u);
    EXPECT_EQ(ctx.start_day, 31u);
    EXPECT_EQ(ctx.start_hour, 23u);
    EXPECT_EQ(ctx.start_minute, 59u);
    EXPECT_EQ(ctx.start_second, 58u);
    EXPECT_EQ(ctx.year, 2024u);
}

TEST_F(RaceContext, DigestsOnlyFromAValidCache) {
    strcpy(ra_md5_tr, "0123456789abcdef0123456789abcdef");
    strcpy(ra_md5_trn, "fedcba9876543210fedcba9876543210");
    ra_md5_valid = 0;
    fill();
    EXPECT_STREQ(ctx.md5_tr, "");
    EXPECT_STREQ(ctx.md5_trn, "");
    ra_md5_valid = 1;
    fill();
    EXPECT_STREQ(ctx.md5_tr, ra_md5_tr);
    EXPECT_STREQ(ctx.md5_trn, ra_md5_trn);
}
