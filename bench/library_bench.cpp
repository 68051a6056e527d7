// list and page on a long season: 5000 races the plug-in saved and
// recorded, four racers each (the player and three of six rivals), on four
// tracks and nine race types, with every column the plug-in writes. The
// page's size is its counter `bytes`.
#include <benchmark/benchmark.h>

#include <stdio.h>

#include <filesystem>
#include <string>

#include "bench_world.h"
#include "jobs/job_list.h"
#include "jobs/job_page.h"
#include "library/text/local_time.h"
#include "settings/settings.h"

namespace {

// A long season of racing.
const int bench_library_races = 5000;
// Racers whose columns the record file has.
const int bench_library_cars = 16;

// The game folder with its replay_autosave.ini, made once.
const std::string &bench_library_game(void) {
    static std::string game;
    if (!game.empty()) return game;
    game = bench_scratch() + "/LibraryGame";
    std::string dir = game + "/SaveData/Saves";
    std::filesystem::create_directories(dir);
    bench_write_file(game + "/replay_autosave.ini", "[ReplayAutosave]\r\nRecord = 1\r\n");
    std::string records =
        "file,saved,started,type,track,laps,cars,count,cops,traffic,tier,circ,seed,weather,night,"
        "direction,mirror,start_pos,index,track_tr_md5,track_trn_md5,source,player";
    for (const char *per_car : {"name", "best_lap_car", "total_time_car", "max_speed_car"}) {
        for (int car = 1; car <= bench_library_cars; ++car) {
            records += "," + std::string(per_car) + std::to_string(car);
        }
    }
    records += "\r\n";
    const char *tracks[] = {"ALPINE", "CITY", "COAST", "CANYON"};
    const char *types[] = {"SR", "ST", "SK", "SC", "SE", "TR", "TT", "TK", "TC"};
    const char *rivals[] = {"Rival:One", "Racer?3", "Racer4", "Speedy", "<script>", "Ana"};
    for (int i = 0; i < bench_library_races; ++i) {
        ra_time t;
        t.year = 2026 + i / (12 * 28 * 3);  // three races a day
        t.month = 1 + i / (28 * 3) % 12;
        t.day = 1 + i / 3 % 28;
        t.hour = 18 + i % 3;
        t.minute = 5;
        t.second = 9;
        const char *track = tracks[i % 4], *type = types[i % 9];
        std::string name = ra_format_time_for_name(t) + "_" + type + "_" + track + "_3L.rp4";
        bench_write_file(dir + "/" + name, "r");
        records += name + "," + ra_format_time(t) + "," + ra_format_time(t) + "," + type + "," +
                   track +
                   ",3,4,4,2,0,0,0,1234ABCD,DRY,NIGHT,NORMAL,NORMAL,4,,"
                   "c81245ac40f414e699ab87189318e7b9,af0d7dbf0a0e346a3c062d8571c1e0db,"
                   "Replays\\replay.rp4,1";
        std::string names[4] = {"Player", rivals[i % 6], rivals[(i + 1) % 6], rivals[(i + 3) % 6]};
        for (int column = 0; column < 4; ++column) {
            for (int car = 1; car <= bench_library_cars; ++car) {
                std::string value;
                if (car <= 4 && column == 0) value = names[car - 1];
                if (car <= 4 && column == 1) {
                    // The player gets faster over the season, with scatter.
                    int lap = 8000 + car * 40 - (car == 1 ? i / 10 : 0) + (i * 37 + car * 11) % 90;
                    char text[16];
                    snprintf(text, sizeof text, "%d.%02d", lap / 100, lap % 100);
                    value = text;
                }
                if (car <= 4 && column == 2) value = "247.67";
                if (car <= 4 && column == 3) value = "221";
                records += "," + value;
            }
        }
        records += "\r\n";
    }
    bench_write_file(dir + "/replays.csv", records);
    return game;
}

void LibraryList(benchmark::State &state) {
    ra_list_job job;
    job.ini = bench_library_game() + "/replay_autosave.ini";
    for (auto _ : state) {
        ra_output out;
        if (ra_run_list(job, &out) != ra_exit_ok) {
            state.SkipWithError(out.err.c_str());
            break;
        }
        benchmark::DoNotOptimize(out.out.data());
    }
    state.counters["races"] = bench_library_races;
}

void LibraryPage(benchmark::State &state) {
    ra_page_job job;
    job.ini = bench_library_game() + "/replay_autosave.ini";
    for (auto _ : state) {
        ra_output out;
        if (ra_run_page(job, &out) != ra_exit_ok) {
            state.SkipWithError(out.err.c_str());
            break;
        }
    }
    std::error_code failed;
    state.counters["races"] = bench_library_races;
    state.counters["bytes"] = (double)std::filesystem::file_size(
        bench_library_game() + "/SaveData/Saves/replays.html", failed);
}

}  // namespace

BENCHMARK(LibraryList)->Unit(benchmark::kMillisecond);
BENCHMARK(LibraryPage)->Unit(benchmark::kMillisecond);
