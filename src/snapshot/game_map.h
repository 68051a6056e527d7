// The game's memory as we read it: every location by name, the accessors that
// turn a game address into something readable here, and the two small readers
// built on the layout (track folder name and race type code). We never write
// to game data.
#pragma once

#include <stdint.h>

#include "host/host.h"

// A fixed game global at game address A is read at ra_game + (A - VQ_GAME_BASE),
// for every A; a pointer the game stores goes through ra_image_mem instead.
// Stored pointers are rebased only inside this 4 MiB window above VQ_GAME_BASE
// (largest offset); anything else, 0 among them, passes through unchanged.
#define RA_IMAGE_WINDOW 0x3FFFFFu

// Fixed game locations (game addresses). Words are 32-bit little-endian and
// unsigned unless noted; "tested for zero" words only matter as zero/non-zero.
constexpr uint32_t game_track_folder_table = 0x5BA21Cu;  // 19 pointers to folder names
constexpr uint32_t game_replay_dir = 0x5BD2E0u;     // pointer: replay folder, "replay.rp4" appended
constexpr uint32_t game_track_root = 0x5BD2E4u;     // pointer: track root, folder name appended
constexpr uint32_t game_car_count = 0x661A60u;      // entries of game_car_table in use
constexpr uint32_t game_car_table = 0x661A88u;      // pointers to car records, 0 = empty
constexpr uint32_t game_playback_flag = 0x7C4BE4u;  // non-zero while a replay plays back
constexpr uint32_t game_m_flag = 0x7C4BECu;         // the M flag, tested for zero
constexpr uint32_t game_seed = 0x7C4BF0u;           // race seed
constexpr uint32_t game_race_type = 0x7C4BF4u;      // race type 0..4
constexpr uint32_t game_race_variant = 0x7C4CA0u;   // variant of race type 3
constexpr uint32_t game_tier = 0x7C4CE0u;           // tier
constexpr uint32_t game_track_index = 0x7C4CE4u;    // index into the folder table
constexpr uint32_t game_laps = 0x7C4CECu;           // number of laps
constexpr uint32_t game_reverse = 0x7C4CF0u;        // reverse direction, tested for zero
constexpr uint32_t game_mirror = 0x7C4CF4u;         // mirrored track, tested for zero
constexpr uint32_t game_night = 0x7C4CF8u;          // night, tested for zero
constexpr uint32_t game_wet = 0x7C4CFCu;            // wet weather, tested for zero
constexpr uint32_t game_player_index = 0x7C4D24u;   // index into game_start_positions
constexpr uint32_t game_cars = 0x7C4D44u;           // number of cars; bounds the names read
constexpr uint32_t game_cops_a = 0x7C4D50u;         // cops, first part
constexpr uint32_t game_cops_b = 0x7C4D58u;         // cops, second part
constexpr uint32_t game_traffic = 0x7C4D5Cu;        // traffic cars among game_cars
constexpr uint32_t game_racers = 0x7C4D64u;         // 16 racer records of game_racer_size bytes
constexpr uint32_t game_start_positions = 0x7C5464u;  // 16 start positions, 0-based, by player
constexpr uint32_t game_playback_state = 0x8290A0u;   // 2 while a replay plays back
constexpr uint32_t game_timer_now = 0x853B5Cu;        // running race clock, 1/64 s
constexpr uint32_t game_timer_start = 0x853B64u;      // clock value the race time counts from

// Sizes and bounds of the game's tables.
constexpr uint32_t game_track_folder_last = 18u;  // highest valid game_track_index
constexpr uint32_t game_racer_size = 112u;        // bytes per racer record
constexpr uint32_t game_table_max = 16u;          // racers, start positions, car entries we read
constexpr uint32_t racer_name = 0u;               // offset of the name in a racer record

// Fields of a car record (byte offsets from its start).
constexpr uint32_t car_slot = 0x1E8u;        // slot 0..15 of our per-car arrays
constexpr uint32_t car_total_time = 0x230u;  // total time, 1/64 s, valid when car_state is 3
constexpr uint32_t car_lap_times = 0x238u;   // car_lap_count lap times, 1/64 s, 0 = none
constexpr uint32_t car_top_speed = 0x29Cu;   // IEEE float, metres per second
constexpr uint32_t car_state = 0x2ACu;       // car_state_total selects car_total_time
constexpr uint32_t car_lap_count = 8u;       // entries of car_lap_times
constexpr uint32_t car_state_total = 3u;     // car_state value: report car_total_time

// Race types with codes of their own beyond the plain ones.
constexpr uint32_t game_type_variant = 3u;  // code chosen by game_race_variant
constexpr uint32_t game_type_circuit = 4u;  // career circuit: uses the captured circuit words

extern "C" {

// Where game address a can be read in this process: a unchanged when the
// image sits at its preferred base, else rebased if inside the image window.
const void *ra_image_mem(uint32_t a);

// Writes the current track folder name, upper-cased, at most 23 characters,
// always terminated, into out (at least 24 bytes).
void ra_track_folder(char *out);

// Writes the race type code ("SR", "MH", "C", "??", ...) and a terminator
// into dst (at least 3 bytes); returns its length. Values compare unsigned.
uint32_t vqra_type_code(uint32_t race_type, uint32_t variant, uint32_t circ_type, uint32_t m_flag,
                        char *dst);

}  // extern "C"

// Accessors for game memory; the logic reads nothing else.

// Address here of the fixed game global at game address a.
const unsigned char *ra_game_at(uint32_t a);
// Unsigned 32-bit word of the fixed game global at game address a.
uint32_t ra_game_u32(uint32_t a);
// The pointer stored in the fixed game global at a, made readable; null when 0.
const unsigned char *ra_game_ptr(uint32_t a);
// Word and float at byte offset off of a record reached through a game pointer.
uint32_t ra_mem_u32(const unsigned char *record, uint32_t off);
float ra_mem_f32(const unsigned char *record, uint32_t off);
