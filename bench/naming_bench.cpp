// Template expansion, per name, against a race context filled from the fake
// game's memory.
#include <benchmark/benchmark.h>
#include <string.h>

#include <string>

#include "bench_world.h"
#include "naming/naming.h"
#include "settings/settings.h"

// Every token the expander knows; with both digests the name is cut at 199
// characters.
static const char bench_every_token[] =
    "%date%_%time%_%start_date%_%start_time%_%type%_%track%_%laps%_%start_pos%_%count%_%cars%_"
    "%cops%_%traffic%_%tier%_%circ%_%track_tr_md5%_%track_trn_md5%_%index%_%seed%_%weather%_"
    "%night%_%direction%_%dir%_%mirror%_%name1%_%name16%_%best_lap_car1%_%total_time_car2%_"
    "%max_speed_car3%";

static void bench_expand(benchmark::State &state, const char *tpl) {
    bench_game("Replays\\");
    ra_ctx ctx;
    ra_fill_ctx(&ctx, 1);
    // As if the track's files had been digested.
    strcpy(ctx.md5_tr, "0123456789abcdef0123456789abcdef");
    strcpy(ctx.md5_trn, "fedcba9876543210fedcba9876543210");
    char name[RA_NAME_BUF];
    for (auto _ : state) {
        vqra_expand(tpl, &ctx, name);
        benchmark::DoNotOptimize(name);
    }
    state.SetLabel(std::to_string(strlen(name)) + " characters");
}

static void ExpandDefault(benchmark::State &state) { bench_expand(state, ra_default_tpl); }
static void ExpandEveryToken(benchmark::State &state) { bench_expand(state, bench_every_token); }

BENCHMARK(ExpandDefault);
BENCHMARK(ExpandEveryToken);
