// Builder of the game's memory: every location the plug-in reads, written by
// its name, with strings and car records in a data area of their own.
#include "game_memory.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "game_image.h"
#include "snapshot/game_map.h"
#include "snapshot/race_context.h"

// Where the builder puts what the game's pointers lead to: no game location
// lies here. It is inside the 4 MiB the plug-in translates a game pointer
// in (ra_image_mem), so that the plug-in's code reads the race alike where
// the image is held elsewhere (sim_game_origin).
#define SIM_DATA_START 0x7E0000u
#define SIM_DATA_END 0x800000u
// Room for one car record: the last field read, car_state, ends at 0x2B0.
#define SIM_CAR_RECORD_SIZE 0x300u
// Every racer record byte we do not set carries this, so that reading past
// the 12 name bytes shows up in the results.
#define SIM_RACER_FILL 0xEEu

static_assert(SIM_LAP_TIMES == car_lap_count, "lap times per car record");
static_assert(SIM_TRACK_FOLDERS == game_track_folder_last + 1, "track folder table");
static_assert(SIM_RACERS == game_table_max && SIM_CAR_TABLE == game_table_max,
              "racer and car tables");

namespace {

// Hands out the data area from its start for one sim_game_write_race.
struct sim_data_area {
    uint32_t next = SIM_DATA_START;

    uint32_t take(uint32_t size) {
        uint32_t at = next;
        if (size > SIM_DATA_END - at) {
            fprintf(stderr, "sim_game_write_race: data area full\n");
            abort();
        }
        next = (at + size + 3u) & ~3u;  // keep records word-aligned
        return at;
    }

    uint32_t put_string(const std::string &text) {
        uint32_t at = take((uint32_t)text.size() + 1u);
        sim_game_put_bytes(at, text.c_str(), (uint32_t)text.size() + 1u);
        return at;
    }
};

void sim_put_float(uint32_t a, float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    sim_game_put32(a, bits);
}

}  // namespace

void sim_game_write_race(const sim_race &race) {
    memset(sim_game_ptr(SIM_DATA_START), 0, SIM_DATA_END - SIM_DATA_START);
    sim_data_area data;

    sim_game_put32(game_race_type, race.race_type);
    sim_game_put32(game_m_flag, race.m_flag);
    sim_game_put32(game_race_variant, race.race_variant);
    sim_game_put32(game_tier, race.tier);
    sim_game_put32(game_track_index, race.track_index);
    sim_game_put32(game_laps, race.laps);
    sim_game_put32(game_reverse, race.reverse);
    sim_game_put32(game_mirror, race.mirror);
    sim_game_put32(game_night, race.night);
    sim_game_put32(game_wet, race.wet);
    sim_game_put32(game_player_index, race.player_index);
    sim_game_put32(game_cars, race.cars);
    sim_game_put32(game_cops_a, race.cops_a);
    sim_game_put32(game_cops_b, race.cops_b);
    sim_game_put32(game_traffic, race.traffic);
    sim_game_put32(game_seed, race.seed);
    sim_game_put32(game_playback_flag, race.playback_flag);
    sim_game_put32(game_playback_state, race.playback_state);
    sim_game_put32(game_timer_now, race.timer_now);
    sim_game_put32(game_timer_start, race.timer_start);
    sim_game_put32(game_car_count, race.car_count);

    sim_game_put32(game_replay_dir, race.has_replay_dir ? data.put_string(race.replay_dir) : 0);
    sim_game_put32(game_track_root, race.has_track_root ? data.put_string(race.track_root) : 0);
    for (uint32_t i = 0; i < SIM_TRACK_FOLDERS; ++i) {
        uint32_t at = race.has_track_folder[i] ? data.put_string(race.track_folders[i]) : 0;
        sim_game_put32(game_track_folder_table + 4u * i, at);
    }

    for (uint32_t i = 0; i < SIM_RACERS; ++i) {
        uint32_t record = game_racers + game_racer_size * i;
        memset(sim_game_ptr(record), SIM_RACER_FILL, game_racer_size);
        unsigned char name[RA_RACER_NAME_LEN] = {};
        memcpy(name, race.racers[i].data(), std::min<size_t>(race.racers[i].size(), sizeof name));
        sim_game_put_bytes(record + racer_name, name, sizeof name);
        sim_game_put32(game_start_positions + 4u * i, race.start_positions[i]);
    }

    if (race.car_table.size() > SIM_CAR_TABLE_MAX) {
        fprintf(stderr, "sim_game_write_race: more than %u car table entries\n", SIM_CAR_TABLE_MAX);
        abort();
    }
    for (uint32_t j = 0; j < SIM_CAR_TABLE_MAX; ++j) {
        uint32_t at = 0;
        if (j < race.car_table.size() && !race.car_table[j].empty) {
            const sim_car &car = race.car_table[j];
            at = data.take(SIM_CAR_RECORD_SIZE);
            sim_game_put32(at + car_slot, car.slot);
            sim_game_put32(at + car_total_time, car.total_time);
            for (uint32_t lap = 0; lap < SIM_LAP_TIMES; ++lap) {
                sim_game_put32(at + car_lap_times + 4u * lap, car.lap_times[lap]);
            }
            sim_put_float(at + car_top_speed, car.top_speed);
            sim_game_put32(at + car_state, car.state);
        }
        sim_game_put32(game_car_table + 4u * j, at);
    }
}
