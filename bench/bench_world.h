// What the benchmarks share: a scratch folder, the fake game with one race
// in its memory, the plug-in's settings set directly, and the ratios that
// the run prints at its end.
#pragma once

#include <stdint.h>

#include <string>

// The local time every benchmark runs at, so that names repeat.
#define BENCH_YEAR 2026
#define BENCH_MONTH 3
#define BENCH_DAY 7

// The folder all files of this run go to (host path, no trailing '/'), in
// $RA_BENCH_DIR, else /dev/shm, else the temporary folder; made on the first
// call, removed with everything in it when the program ends.
const std::string &bench_scratch(void);

// Maps the fake game with a three-lap race on ALPINE whose replay folder is
// replay_dir (a Windows path ending in a separator, may be absolute), fixes
// the clock, and accepts the game as VQ_Apply would (ra_game, no log).
void bench_game(const std::string &replay_dir);

// Settings as the INI would give them, loaded already: Dir, the "Name"
// template (null: none, so the built-in one), IndexStart 1, ClearIp, Record 0.
void bench_settings(const std::string &dir, const char *name_tpl, int clear_ip);

// Writes a whole file at a host path; aborts on failure.
void bench_write_file(const std::string &path, const std::string &bytes);

// Bytes of a replay of the given size: pseudo-random binary with a few
// dotted quads as text in the scanned region, and a non-zero block.
std::string bench_replay_bytes(uint32_t size);

// A ratio printed after all benchmarks with its target: the counter `counter`
// of the benchmark `benchmark` (its median over the repetitions), at least
// target when at_least, else at most target.
void bench_add_ratio(const char *label, const char *benchmark, const char *counter, double target,
                     bool at_least);

// Seconds since an arbitrary start, for timing the two sides of a ratio
// inside one benchmark, alternately, so that both see the same machine.
double bench_now(void);
