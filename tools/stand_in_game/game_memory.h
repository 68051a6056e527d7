// Builder of the game's memory as the plug-in reads it: every location by its
// name, with strings and car records placed inside the fake image.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#define SIM_TRACK_FOLDERS 19  // entries of the game's track folder table
#define SIM_RACERS 16         // racer records
#define SIM_CAR_TABLE 16      // car table entries the plug-in may read
#define SIM_CAR_TABLE_MAX 32  // car table entries written (beyond 16: must stay unread)
#define SIM_LAP_TIMES 8       // lap times per car record

// One entry of the game's car table.
struct sim_car {
    bool empty = false;                      // a null table entry
    uint32_t slot = 0;                       // car_slot
    uint32_t lap_times[SIM_LAP_TIMES] = {};  // car_lap_times, 1/64 s, 0 = none
    uint32_t total_time = 0;                 // car_total_time, 1/64 s
    float top_speed = 0.0f;                  // car_top_speed, m/s
    uint32_t state = 0;                      // car_state; 3 selects total_time
};

// Everything the game holds about one race, as plain values.
struct sim_race {
    uint32_t race_type = 0, m_flag = 0, race_variant = 0, tier = 0, track_index = 0;
    uint32_t laps = 0, reverse = 0, mirror = 0, night = 0, wet = 0;
    uint32_t player_index = 0, cars = 0, cops_a = 0, cops_b = 0, traffic = 0, seed = 0;
    uint32_t playback_flag = 0, playback_state = 0, timer_now = 0, timer_start = 0;
    uint32_t car_count = 0;                         // game_car_count as written
    bool has_replay_dir = true;                     // false: game_replay_dir holds a null pointer
    std::string replay_dir;                         // text game_replay_dir points at
    bool has_track_root = true;                     // false: game_track_root holds a null pointer
    std::string track_root;                         // text game_track_root points at
    bool has_track_folder[SIM_TRACK_FOLDERS] = {};  // false: null table entry
    std::string track_folders[SIM_TRACK_FOLDERS];
    std::string racers[SIM_RACERS];  // first 12 bytes go into racer_name
    uint32_t start_positions[SIM_RACERS] = {};
    std::vector<sim_car> car_table;  // entries in table order, at most SIM_CAR_TABLE_MAX;
                                     // the rest of the SIM_CAR_TABLE_MAX entries are null
};

// Writes every location of the race into the mapped image (sim_game_map
// first). Strings and car records go into a data area of the image that the
// game's own locations never use.
void sim_game_write_race(const sim_race &race);
