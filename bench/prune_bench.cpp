// prune on a save folder of 1000 replays that the plug-in saved and
// recorded, all of which go (--keep 0): the dry run, and --apply on a fresh
// set of the files each time, made with the timer stopped. Here files are
// deleted; on Windows they go to the Recycle Bin, which this does not time.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench_world.h"
#include "library/text/local_time.h"
#include "library/record/record_reader.h"
#include "library/replays/prune.h"

namespace {

// A folder of a year or two of racing.
const int bench_prune_replays = 1000;
// Bytes of each file. Deleting costs by file much more than by byte, and a
// thousand replays of a real size (about 1 MiB) would not fit in memory.
const size_t bench_prune_replay_bytes = 16 * 1024;
// Racers whose best lap the record file has a column for.
const int bench_prune_cars = 16;

struct bench_prune_world {
    std::string dir;                 // host path of the save folder
    std::vector<std::string> files;  // the replays' names
};

// Names as the built-in template makes them, an hour apart, and a record
// line each with every column the plug-in writes, filled as for a race of
// four racers.
const bench_prune_world &bench_prune_names(void) {
    static bench_prune_world world;
    if (!world.dir.empty()) return world;
    world.dir = bench_scratch() + "/PruneSaves";
    std::filesystem::create_directories(world.dir);
    std::string records =
        "file,saved,started,type,track,laps,cars,count,cops,traffic,tier,circ,seed,weather,night,"
        "direction,mirror,start_pos,index,track_tr_md5,track_trn_md5,source";
    for (const char *per_car : {"name", "best_lap_car", "total_time_car", "max_speed_car"}) {
        for (int car = 1; car <= bench_prune_cars; ++car) {
            records += "," + std::string(per_car) + std::to_string(car);
        }
    }
    records += "\r\n";
    for (int i = 0; i < bench_prune_replays; ++i) {
        ra_time t;
        t.year = 2026;
        t.month = 1 + i / (28 * 24);  // a replay an hour, 28 days a month
        t.day = 1 + i / 24 % 28;
        t.hour = i % 24;
        t.minute = 5;
        t.second = 9;
        std::string name = ra_format_time_for_name(t) + "_SR_ALPINE_3L.rp4";
        world.files.push_back(name);
        records += name + "," + ra_format_time(t) + "," + ra_format_time(t) +
                   ",SR,ALPINE,3,4,4,2,0,0,0,1234ABCD,DRY,NIGHT,NORMAL,NORMAL,4,,"
                   "c81245ac40f414e699ab87189318e7b9,af0d7dbf0a0e346a3c062d8571c1e0db,"
                   "Replays\\replay.rp4";
        for (const char *four : {"Player", "81.44", "247.67", "221"}) {
            for (int car = 1; car <= bench_prune_cars; ++car) {
                records += "," + std::string(car <= 4 ? four : "");
            }
        }
        records += "\r\n";
    }
    bench_write_file(world.dir + "/replays.csv", records);
    return world;
}

void bench_prune_files(const bench_prune_world &world) {
    static const std::string bytes(bench_prune_replay_bytes, 'r');
    for (const std::string &name : world.files) bench_write_file(world.dir + "/" + name, bytes);
}

ra_prune_policy bench_prune_all(void) {
    ra_prune_policy policy;
    policy.keep = 0;
    return policy;
}

void PruneDryRun(benchmark::State &state) {
    const bench_prune_world &world = bench_prune_names();
    bench_prune_files(world);
    for (auto _ : state) {
        ra_prune_result result = ra_prune_folder(world.dir, world.dir, bench_prune_all(), false);
        if (!result.error.empty()) {
            state.SkipWithError(result.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(result.candidates.data());
    }
    state.counters["replays"] = bench_prune_replays;
}

void PruneApply(benchmark::State &state) {
    const bench_prune_world &world = bench_prune_names();
    for (auto _ : state) {
        state.PauseTiming();
        bench_prune_files(world);
        state.ResumeTiming();
        ra_prune_result result = ra_prune_folder(world.dir, world.dir, bench_prune_all(), true);
        size_t removed = 0;
        for (const ra_prune_candidate &c : result.candidates) {
            removed += !c.reasons.empty() && c.not_removed.empty();
        }
        if (!result.applied || removed != (size_t)bench_prune_replays) {
            state.SkipWithError(("not all removed: " + result.error).c_str());
            break;
        }
    }
    state.counters["replays"] = bench_prune_replays;
}

}  // namespace

BENCHMARK(PruneDryRun)->Unit(benchmark::kMillisecond);
BENCHMARK(PruneApply)->Unit(benchmark::kMillisecond);
