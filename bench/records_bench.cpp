// The companion's record reader on 20000 lines the plug-in wrote (a long
// career): the time to read them, and the heap the read lines keep, alone
// and with a second copy of them as the list of replays keeps one.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <string.h>

#include <string>
#include <vector>

#include "autosave/autosave.h"
#include "bench_world.h"
#include "library/record/record_reader.h"
#include "snapshot/race_context.h"

namespace {

const int bench_record_lines = 20000;

// The plug-in's header and its lines for a race of four racers, each under
// its own name.
const std::string &bench_record_text(void) {
    static std::string text;
    if (!text.empty()) return text;
    ra_ctx ctx;
    memset(&ctx, 0, sizeof ctx);
    strcpy(ctx.type, "SR");
    strcpy(ctx.track, "ALPINE");
    const char *names[] = {"Player", "O\"Neil, Jo", "=Speedy", "Racer4"};
    for (int car = 0; car < 4; ++car) {
        strcpy(ctx.names[car], names[car]);
        ctx.best_lap[car] = 8144u + 37u * (uint32_t)car;
        ctx.total_time[car] = 3u * ctx.best_lap[car];
        ctx.max_speed[car] = 221u;
    }
    ctx.laps = 3;
    ctx.cars = ctx.count = 4;
    ctx.year = 2026, ctx.month = 3, ctx.day = 7, ctx.hour = 21, ctx.minute = 5;
    ctx.start_year = 2026, ctx.start_month = 3, ctx.start_day = 7, ctx.start_hour = 20;
    ctx.player = 1;
    char buf[RA_RECORD_BUF];
    uint32_t fill = 0;
    ra_record_header(buf, &fill);
    text.assign(buf, fill);
    for (int i = 0; i < bench_record_lines; ++i) {
        fill = 0;
        ctx.second = (uint32_t)i % 60u;
        std::string file = "2026-03-07_21-05_" + std::to_string(i) + "_SR_ALPINE_3L.rp4";
        ra_record_line(buf, &fill, &ctx, file.c_str(), "Replays\\replay.rp4", nullptr);
        text.append(buf, fill);
    }
    return text;
}

}  // namespace

static void RecordsRead(benchmark::State &state) {
    const std::string &text = bench_record_text();
    double kept = 0, with_copy = 0;
    for (auto _ : state) {
        size_t before = mallinfo2().uordblks;
        ra_records records;
        ra_parse_records(text, "replays.csv", &records);
        size_t after = mallinfo2().uordblks;
        std::vector<ra_record> copy = records.lines;
        size_t copied = mallinfo2().uordblks;
        if (records.lines.size() != (size_t)bench_record_lines) state.SkipWithError("lines lost");
        kept = (double)(after - before) / bench_record_lines;
        with_copy = (double)(copied - before) / bench_record_lines;
    }
    state.counters["text_bytes_per_line"] = (double)text.size() / bench_record_lines;
    state.counters["kept_bytes_per_line"] = kept;
    state.counters["with_copy_per_line"] = with_copy;
}

BENCHMARK(RecordsRead)->Unit(benchmark::kMillisecond);
