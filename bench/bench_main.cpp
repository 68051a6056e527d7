// The benchmark program: Google Benchmark's console output, then one line
// per ratio with its target. A ratio is a counter of a benchmark that times
// both sides alternately; with repetitions, its median counts.
#include <benchmark/benchmark.h>
#include <stdio.h>

#include <time.h>

#include <map>
#include <string>
#include <vector>

#include "bench_world.h"

namespace {

struct bench_ratio {
    const char *label;
    std::string benchmark, counter;
    double target;
    bool at_least;
};

std::vector<bench_ratio> &bench_ratios(void) {
    static std::vector<bench_ratio> ratios;
    return ratios;
}

// The console output as usual, keeping each benchmark's counters: the
// medians when there are repetitions.
class bench_reporter : public benchmark::ConsoleReporter {
public:
    bench_reporter() : ConsoleReporter(OO_Tabular) {}
    std::map<std::string, benchmark::UserCounters> counters;

    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.error_occurred) continue;
            bool aggregate = run.run_type == Run::RT_Aggregate;
            if (aggregate ? run.aggregate_name == "median" : run.repetitions <= 1) {
                counters[run.run_name.function_name] = run.counters;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

void bench_add_ratio(const char *label, const char *benchmark, const char *counter, double target,
                     bool at_least) {
    bench_ratios().push_back({label, benchmark, counter, target, at_least});
}

double bench_now(void) {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    // Figures, not a test: a missed target is printed, not an error.
    printf("\nfiles of this run were in %s\n", bench_scratch().c_str());
    for (const bench_ratio &r : bench_ratios()) {
        auto run = reporter.counters.find(r.benchmark);
        if (run == reporter.counters.end() || !run->second.count(r.counter)) {
            continue;  // filtered out of this run
        }
        double ratio = run->second.at(r.counter).value;
        bool met = r.at_least ? ratio >= r.target : ratio <= r.target;
        printf("ratio %-44s %6.3f  (target %s %.2f: %s)\n", r.label, ratio,
               r.at_least ? ">=" : "<=", r.target, met ? "met" : "NOT met");
    }
    benchmark::Shutdown();
    return 0;
}
