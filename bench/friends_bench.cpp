// Sharing with friends at the size of long careers: importing a season card
// of 50000 races into a new friend's folder, and the leaderboard (best laps
// and head to head) of the player and 20 friends with 50000 races each.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <filesystem>
#include <string>

#include "autosave/autosave.h"
#include "bench_world.h"
#include "friends/friends_index.h"
#include "friends/import.h"
#include "friends/leaderboard.h"
#include "friends/share_file.h"
#include "library/replays/sha256.h"
#include "snapshot/race_context.h"

namespace fs = std::filesystem;

namespace {

const int bench_career_races = 50000;
const int bench_friends = 20;
// Tracks and type codes the races are spread over.
const char *const bench_tracks[] = {"ALPINE", "COAST", "CITY", "FOREST", "DESERT", "HARBOUR"};
const char *const bench_types[] = {"SR", "ST", "CC"};

// The record of one racer's career: four racers a race, `me` in car 1.
std::string bench_career(const char *me, const char *rival, uint32_t seed) {
    ra_ctx ctx;
    memset(&ctx, 0, sizeof ctx);
    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    ra_record_header(buf, &fill);
    std::string text(buf, fill);
    const char *names[] = {me, rival, "Racer3", "Racer4"};
    ctx.laps = 3;
    ctx.cars = ctx.count = 4;
    ctx.player = 1;
    for (int i = 0; i < bench_career_races; ++i) {
        strcpy(ctx.type, bench_types[i % 3]);
        strcpy(ctx.track, bench_tracks[(i / 3) % 6]);
        for (int car = 0; car < 4; ++car) {
            strcpy(ctx.names[car], names[car]);
            ctx.best_lap[car] = 8000u + (seed * 7919u + (uint32_t)i * 104729u + 37u * car) % 900u;
            ctx.total_time[car] = 3u * ctx.best_lap[car];
        }
        // A race every 20 minutes, from 2020 on.
        const int minutes = i * 20;
        ctx.year = ctx.start_year = 2020 + minutes / (60 * 24 * 28 * 12);
        ctx.month = ctx.start_month = 1 + minutes / (60 * 24 * 28) % 12;
        ctx.day = ctx.start_day = 1 + minutes / (60 * 24) % 28;
        ctx.hour = ctx.start_hour = minutes / 60 % 24;
        ctx.minute = minutes % 60;
        ctx.start_minute = ctx.minute;
        ctx.second = 50;
        std::string file = "race_" + std::to_string(i) + ".rp4";
        fill = 0;
        ra_record_line(buf, &fill, &ctx, file.c_str(), "Replays\\replay.rp4", nullptr);
        text.append(buf, fill);
    }
    return text;
}

// A card of 50000 races, each with its replay's hash.
const std::string &bench_card_path(void) {
    static std::string path;
    if (!path.empty()) return path;
    ra_share card;
    card.kind = ra_share_kind::card;
    card.sharer = "Ann";
    card.made = "2026-03-07 21:00:00";
    card.record = bench_career("Ann", "Bob", 1);
    for (int i = 0; i < bench_career_races; ++i) {
        ra_shared_replay r;
        r.name = "race_" + std::to_string(i) + ".rp4";
        r.size = 8000;
        r.sha256 = ra_sha256_hex(r.name);
        card.replays.push_back(r);
    }
    path = bench_scratch() + "/ann.rpcard";
    std::string why;
    if (!ra_write_share(path, card, &why)) abort();
    return path;
}

}  // namespace

static void ImportCard50000(benchmark::State &state) {
    const std::string &card = bench_card_path();
    int run = 0;
    for (auto _ : state) {
        // Into a new Dir each time, made and removed outside the timing.
        const fs::path dir = bench_scratch() + "/import" + std::to_string(run++);
        fs::create_directories(dir);
        ra_import_result result;
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        const bool imported = ra_import_share(dir, card, &result, &error);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        fs::remove_all(dir);
        if (!imported || result.lines_added != (size_t)bench_career_races) {
            fprintf(stderr, "import: %s (%zu lines)\n", error.c_str(), result.lines_added);
            state.SkipWithError("the card was not imported whole");
            break;
        }
    }
}

namespace {

// The Dir of the player and 20 friends, made once.
const std::string &bench_board_dir(void) {
    static const std::string dir = bench_scratch() + "/board";
    if (!fs::exists(dir)) {
        fs::create_directories(dir);
        bench_write_file(dir + "/replays.csv", bench_career("Me", "Friend0", 0));
        for (int f = 0; f < bench_friends; ++f) {
            const std::string name = "Friend" + std::to_string(f);
            fs::create_directories(dir + "/Friends/" + name);
            bench_write_file(dir + "/Friends/" + name + "/replays.csv",
                             bench_career(name.c_str(), "Me", (uint32_t)f + 1));
        }
    }
    return dir;
}

bool bench_every_friend_compared(const ra_leaderboard &board) {
    return board.versus.size() == (size_t)bench_friends && board.versus[0].races > 0;
}

}  // namespace

// The leaderboard as the player asks it again and again: the cache is made
// once before the timing.
static void Leaderboard20Friends(benchmark::State &state) {
    const std::string &dir = bench_board_dir();
    ra_make_leaderboard(dir, "", "");
    for (auto _ : state) {
        ra_leaderboard board = ra_make_leaderboard(dir, "", "");
        benchmark::DoNotOptimize(board.boards.size());
        if (!bench_every_friend_compared(board))
            state.SkipWithError("not every friend was compared");
    }
}

// The first leaderboard, or the one after the cache was deleted: every
// record read and stored.
static void Leaderboard20FriendsCold(benchmark::State &state) {
    const std::string &dir = bench_board_dir();
    for (auto _ : state) {
        state.PauseTiming();
        for (const char *suffix : {"", "-wal", "-shm"})
            fs::remove(dir + "/Friends/" + ra_friends_index_file + suffix);
        state.ResumeTiming();
        ra_leaderboard board = ra_make_leaderboard(dir, "", "");
        if (!bench_every_friend_compared(board))
            state.SkipWithError("not every friend was compared");
    }
}

// After a new race of the player: one line appended to their record, read
// alone, and the head to head counted again for every friend.
static void Leaderboard20FriendsAfterRace(benchmark::State &state) {
    const std::string &dir = bench_board_dir();
    ra_make_leaderboard(dir, "", "");
    const std::string record = dir + "/replays.csv";
    std::string lines;
    {
        std::ifstream in(record, std::ios::binary);
        lines.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The last race again, as a new line.
    const std::string race = lines.substr(lines.rfind('\n', lines.size() - 2) + 1);
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(record, std::ios::binary | std::ios::app) << race;
        state.ResumeTiming();
        ra_leaderboard board = ra_make_leaderboard(dir, "", "");
        if (!bench_every_friend_compared(board))
            state.SkipWithError("not every friend was compared");
    }
}

BENCHMARK(ImportCard50000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(Leaderboard20Friends)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(Leaderboard20FriendsCold)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Leaderboard20FriendsAfterRace)->Unit(benchmark::kMillisecond)->Iterations(3);
