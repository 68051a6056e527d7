#include "bench_world.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <fstream>

#include "game_image.h"
#include "game_memory.h"
#include "host/host.h"
#include "settings/settings.h"
#include "sim_win32.h"

static std::string bench_scratch_dir;

static void bench_remove_scratch(void) {
    if (bench_scratch_dir.empty()) return;
    std::string cmd = "rm -rf '" + bench_scratch_dir + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "bench: could not remove %s\n", cmd.c_str());
}

// Where the scratch folder goes: $RA_BENCH_DIR, else /dev/shm when it is
// there, else $TMPDIR or /tmp. A memory file system keeps disk writeback,
// which on a shared machine varies by a factor of two from one run to the
// next, out of the figures.
static std::string bench_scratch_parent(void) {
    const char *dir = getenv("RA_BENCH_DIR");
    if (dir && *dir) return dir;
    if (access("/dev/shm", W_OK) == 0) return "/dev/shm";
    dir = getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

const std::string &bench_scratch(void) {
    if (bench_scratch_dir.empty()) {
        std::string pattern = bench_scratch_parent() + "/ra-bench-XXXXXX";
        if (mkdtemp(&pattern[0]) == nullptr) {
            perror("bench: mkdtemp");
            exit(1);
        }
        bench_scratch_dir = pattern;
        atexit(bench_remove_scratch);
    }
    return bench_scratch_dir;
}

void bench_game(const std::string &replay_dir) {
    sim_game_map();
    sim_race race;
    race.race_type = 0;
    race.laps = 3;
    race.track_index = 2;
    race.has_track_folder[2] = true;
    race.track_folders[2] = "Alpine";
    race.cars = 4;
    race.cops_a = 1;
    race.cops_b = 1;
    race.seed = 0x1234ABCDu;
    race.night = 1;
    race.timer_start = 1000;
    race.timer_now = 20200;
    race.replay_dir = replay_dir;
    race.track_root = "Tracks\\";
    const char *racers[] = {"Player", "Rival:One", "Racer?3", "Racer4"};
    for (unsigned i = 0; i < 4; ++i) race.racers[i] = racers[i];
    race.start_positions[0] = 3;
    for (uint32_t slot = 0; slot < 3; ++slot) {
        sim_car car;
        car.slot = slot;
        for (uint32_t lap = 0; lap < 3; ++lap) car.lap_times[lap] = 5300 + 37 * slot + 11 * lap;
        car.total_time = 15851 + 300 * slot;
        car.top_speed = 61.5f - (float)slot;
        car.state = 3;
        race.car_table.push_back(car);
    }
    race.car_count = (uint32_t)race.car_table.size();
    sim_game_write_race(race);

    SYSTEMTIME clock = {BENCH_YEAR, BENCH_MONTH, 6, BENCH_DAY, 21, 5, 9, 0};
    sim_set_clock(&clock);
    ra_game = VQ_GAME_BASE;
    ra_log = nullptr;
}

void bench_settings(const std::string &dir, const char *name_tpl, int clear_ip) {
    if (dir.size() >= RA_DIR_SIZE || strcmp(ra_tpls[0].key, "Name") != 0) {
        fprintf(stderr, "bench: save folder too long or unexpected template table\n");
        exit(1);
    }
    ra_cfg_loaded = 1;
    ra_enabled = 1;
    strcpy(ra_dir, dir.c_str());
    for (ra_tpl &tpl : ra_tpls) tpl.value[0] = '\0';
    if (name_tpl) strcpy(ra_tpls[0].value, name_tpl);
    ra_index_start = 1;
    ra_clear_ip = clear_ip;
    ra_record = 0;
}

void bench_write_file(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    if (!out) {
        fprintf(stderr, "bench: cannot write %s\n", path.c_str());
        exit(1);
    }
}

std::string bench_replay_bytes(uint32_t size) {
    std::string bytes(size, '\0');
    uint32_t x = 0x9E3779B9u;
    for (uint32_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        // Few digits and dots, so that quads are where we put them.
        uint8_t b = (uint8_t)x;
        bytes[i] = (char)((b >= '.' && b <= '9') ? b + 16 : b);
    }
    const char *quads[] = {"192.168.0.17", "10.0.0.1", "172.16.254.3"};
    uint32_t at[] = {220, 1400, 5000};
    for (unsigned i = 0; i < 3; ++i) {
        if (at[i] + strlen(quads[i]) + 1 <= size) {
            memcpy(&bytes[at[i]], quads[i], strlen(quads[i]) + 1);
        }
    }
    return bytes;
}
