// The autosave's own costs, with the Windows stand-ins on the real file
// system: one probing candidate, the longest stall a probing run can cause,
// one whole autosave against a plain copy of the same file (also with the
// record of saves on), and scrubbing.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <string>

#include "autosave/autosave.h"
#include "bench_world.h"
#include "naming/naming.h"
#include "settings/settings.h"
#include "sim_win32.h"

// The game's replay: 1 MiB, a typical size for a few laps.
static const uint32_t bench_replay_size = 1u << 20;
// As a player has it: the game's folder is the current one, its replay folder
// "Replays\", and "Dir" the default; the probing runs get a folder of their own.
static const char bench_replay_dir[] = "Replays\\";
static const char bench_replay_file[] = "Replays\\replay.rp4";
static const char bench_probe_dir[] = "SaveData\\Probe";
static const char bench_plain_copy[] = "SaveData\\Saves\\plain.rp4";
static const char bench_scrub_file[] = "SaveData\\Saves\\scrub.rp4";
static const char bench_saved_file[] = "SaveData\\Saves\\2026-03-07_21-05-09_SR_ALPINE_3L.rp4";
// The template of the probing benchmarks: the default one with the index.
static const char bench_index_tpl[] = "%date%_%time%_%type%_%track%_%laps%L_%index%";

// Host path of a file in the game's folder.
static std::string bench_path(const char *leaf) { return bench_scratch() + "/" + leaf; }

// The game's folder, made the current one, with its 1 MiB "replay.rp4"; the
// save folder exists, as it does after the first save.
static void bench_replay_world(void) {
    static bool made = false;
    if (made) return;
    if (chdir(bench_scratch().c_str()) != 0) {
        perror("bench: chdir");
        exit(1);
    }
    mkdir("Replays", 0755);
    mkdir("SaveData", 0755);
    mkdir("SaveData/Saves", 0755);
    bench_write_file(bench_path("Replays/replay.rp4"), bench_replay_bytes(bench_replay_size));
    made = true;
}

// The probe folder in which every one of the 10000 candidates exists,
// made once, and the settings that probe it.
static void bench_probe_world(void) {
    static bool made = false;
    bench_replay_world();
    bench_game(bench_replay_dir);
    bench_settings(bench_probe_dir, bench_index_tpl, 1);
    if (made) return;
    mkdir("SaveData/Probe", 0755);
    ra_ctx ctx;
    char name[RA_NAME_BUF];
    char dst[RA_PATH_SIZE];
    for (uint32_t index = 1; index <= RA_INDEX_PROBES; ++index) {
        ra_fill_ctx(&ctx, index);
        vqra_expand(bench_index_tpl, &ctx, name);
        HANDLE file = INVALID_HANDLE_VALUE;
        if (ra_build_dst(dst, name)) {
            file = CreateFileA(dst, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        }
        if (file == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "bench: cannot create candidate %u\n", index);
            exit(1);
        }
        CloseHandle(file);
    }
    made = true;
}

// One candidate of a probing run, as the handler tries it: fill, expand,
// build the path, test whether it exists (it does).
static void ProbeCandidate(benchmark::State &state) {
    bench_probe_world();
    ra_ctx ctx;
    char name[RA_NAME_BUF];
    char dst[RA_PATH_SIZE];
    uint32_t index = 1;
    int64_t existing = 0;
    for (auto _ : state) {
        ra_fill_ctx(&ctx, index);
        vqra_expand(bench_index_tpl, &ctx, name);
        ra_build_dst(dst, name);
        existing += GetFileAttributesA(dst) != INVALID_FILE_ATTRIBUTES;
        index = index == RA_INDEX_PROBES ? 1 : index + 1;
    }
    if (existing != (int64_t)state.iterations()) state.SkipWithError("a candidate was missing");
}

// The longest the game can stall in one save: all 10000 candidates exist,
// so the handler tries every one and copies nothing.
static void ProbeWorstCase(benchmark::State &state) {
    bench_probe_world();
    sim_clear_faults();
    for (auto _ : state) vq_ra_after();
    // The source test and the 10000 candidates, and no copy.
    if (sim_call_count("GetFileAttributesA") != state.iterations() * (RA_INDEX_PROBES + 1) ||
        sim_call_count("CopyFileA") != 0) {
        state.SkipWithError("the handler did not probe every candidate");
    }
}

// One whole autosave of the 1 MiB replay with the default settings: the
// built-in template, "Dir" SaveData\Saves and ClearIp on. The same
// destination is replaced every time.
static void Autosave(benchmark::State &state) {
    bench_replay_world();
    bench_game(bench_replay_dir);
    bench_settings(RA_DEFAULT_DIR, nullptr, 1);
    sim_clear_faults();
    for (auto _ : state) vq_ra_after();
    if (sim_call_count("CopyFileA") != state.iterations()) state.SkipWithError("a copy failed");
}

// What the autosave is measured against: the copy alone, onto an existing file.
static void PlainCopy(benchmark::State &state) {
    bench_replay_world();
    for (auto _ : state) {
        if (!CopyFileA(bench_replay_file, bench_plain_copy, FALSE))
            state.SkipWithError("copy failed");
    }
}

// Scrubbing one saved replay that holds three quads and a non-zero block;
// the scanned region is put back, untimed, before every scrub.
static void ScrubReplay(benchmark::State &state) {
    bench_replay_world();
    const std::string bytes = bench_replay_bytes(bench_replay_size);
    bench_write_file(bench_path("SaveData/Saves/scrub.rp4"), bytes);
    int fd = open(bench_path("SaveData/Saves/scrub.rp4").c_str(), O_WRONLY);
    for (auto _ : state) {
        state.PauseTiming();
        if (pwrite(fd, bytes.data(), RA_SCRUB_REGION, 0) != (ssize_t)RA_SCRUB_REGION) {
            state.SkipWithError("cannot restore the region");
        }
        state.ResumeTiming();
        ra_scrub_ip(bench_scrub_file);
    }
    close(fd);
}

// The digest the record keeps of a saved replay of 1 MiB: open, its first
// block read and scrubbed in memory, its size, MD5 of the block and size.
static void ReplayDigest(benchmark::State &state) {
    bench_replay_world();
    bench_write_file(bench_path("SaveData/Saves/scrub.rp4"), bench_replay_bytes(bench_replay_size));
    char digest[RA_MD5_TEXT_SIZE];
    for (auto _ : state) {
        ra_replay_digest(bench_scrub_file, digest);
        benchmark::DoNotOptimize(digest[0]);
    }
    if (digest[0] == '\0') state.SkipWithError("no digest");
}

// The record's own cost: one line appended to replays.csv, the file opened
// and closed around it, from a context filled as the handler fills it.
static void RecordSave(benchmark::State &state) {
    bench_replay_world();
    bench_game(bench_replay_dir);
    bench_settings(RA_DEFAULT_DIR, nullptr, 1);
    ra_ctx ctx;
    ra_fill_ctx(&ctx, 1);
    sim_clear_faults();
    for (auto _ : state) {
        ra_record_save(&ctx, bench_replay_file, bench_saved_file, nullptr);
    }
    if (sim_call_count("WriteFile") != state.iterations()) state.SkipWithError("a write failed");
}

// What the record's line cannot cost less than: the same line appended by
// one open, one write and one close, with nothing built or looked at.
static void RecordAppendOnly(benchmark::State &state) {
    bench_replay_world();
    bench_game(bench_replay_dir);
    ra_ctx ctx;
    ra_fill_ctx(&ctx, 1);
    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    ra_record_line(buf, &fill, &ctx, bench_saved_file + sizeof RA_DEFAULT_DIR, bench_replay_file,
                   nullptr);
    const std::string path = RA_DEFAULT_DIR "\\" RA_RECORD_FILE;
    for (auto _ : state) {
        HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        if (h == INVALID_HANDLE_VALUE || !WriteFile(h, buf, fill, &written, nullptr)) {
            state.SkipWithError("the append failed");
        }
        CloseHandle(h);
    }
}

// Building the record's header and line alone, without the file.
static void RecordLine(benchmark::State &state) {
    bench_game(bench_replay_dir);
    ra_ctx ctx;
    ra_fill_ctx(&ctx, 1);
    char buf[RA_RECORD_BUF];
    for (auto _ : state) {
        uint32_t fill = 0;
        ra_record_header(buf, &fill);
        ra_record_line(buf, &fill, &ctx, bench_saved_file + sizeof RA_DEFAULT_DIR,
                       bench_replay_file, nullptr);
        benchmark::DoNotOptimize(fill);
    }
}

// Both, alternately: one autosave, one plain copy, each timed on its own.
// With record, every autosave also appends its line to replays.csv.
static void bench_autosave_vs_copy(benchmark::State &state, int record) {
    bench_replay_world();
    bench_game(bench_replay_dir);
    bench_settings(RA_DEFAULT_DIR, nullptr, 1);
    ra_record_enabled = record;
    sim_clear_faults();
    double autosave = 0, copy = 0;
    bool autosave_first = true;
    for (auto _ : state) {
        for (int side = 0; side < 2; ++side) {
            double start = bench_now();
            if ((side == 0) == autosave_first) {
                vq_ra_after();
                autosave += bench_now() - start;
            } else {
                CopyFileA(bench_replay_file, bench_plain_copy, FALSE);
                copy += bench_now() - start;
            }
        }
        autosave_first = !autosave_first;
    }
    // The record's one write per autosave, after the scrub's one.
    if (record && sim_call_count("WriteFile") != 2 * state.iterations()) {
        state.SkipWithError("a record was not written");
    }
    ra_record_enabled = 0;
    double n = (double)state.iterations();
    state.counters["autosave_us"] = autosave / n * 1e6;
    state.counters["copy_us"] = copy / n * 1e6;
    state.counters["ratio"] = autosave / copy;
}

static void AutosaveVsCopy(benchmark::State &state) { bench_autosave_vs_copy(state, 0); }
static void AutosaveRecordVsCopy(benchmark::State &state) { bench_autosave_vs_copy(state, 1); }

BENCHMARK(ProbeCandidate);
BENCHMARK(ProbeWorstCase)->Unit(benchmark::kMillisecond);
BENCHMARK(Autosave)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(AutosaveVsCopy)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(RecordLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(RecordSave)->Unit(benchmark::kMicrosecond);
BENCHMARK(RecordAppendOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(AutosaveRecordVsCopy)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(ScrubReplay)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReplayDigest)->Unit(benchmark::kMicrosecond);

static const int bench_autosave_ratio =
    (bench_add_ratio("whole autosave / plain copy (1 MiB)", "AutosaveVsCopy", "ratio", 1.10, false),
     0);
static const int bench_record_ratio =
    (bench_add_ratio("whole autosave with Record=1 / plain copy (1 MiB)", "AutosaveRecordVsCopy",
                     "ratio", 1.10, false),
     0);
