// The benchmark program: Google Benchmark's console output, then one line
// per ratio with its target. The two sides of a ratio run with repetitions
// and are compared by their medians.
#include <benchmark/benchmark.h>
#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "bench_world.h"

namespace {

struct bench_ratio {
    const char *label;
    std::string numerator, denominator;
    double target;
    bool at_least;
};

std::vector<bench_ratio> &bench_ratios(void) {
    static std::vector<bench_ratio> ratios;
    return ratios;
}

// The console output as usual, keeping each benchmark's real time per
// iteration in seconds: the median when there are repetitions.
class bench_reporter : public benchmark::ConsoleReporter {
  public:
    bench_reporter() : ConsoleReporter(OO_Tabular) {}
    std::map<std::string, double> seconds;

    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.error_occurred) continue;
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            if (!median && seconds.count(name) && run.repetitions > 1) continue;
            seconds[name] = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

void bench_add_ratio(const char *label, const char *numerator, const char *denominator,
                     double target, bool at_least) {
    bench_ratios().push_back({label, numerator, denominator, target, at_least});
}

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    // Figures, not a test: a missed target is printed, not an error.
    printf("\nfiles of this run were in %s\n", bench_scratch().c_str());
    for (const bench_ratio &r : bench_ratios()) {
        auto num = reporter.seconds.find(r.numerator);
        auto den = reporter.seconds.find(r.denominator);
        if (num == reporter.seconds.end() || den == reporter.seconds.end() || den->second <= 0) {
            continue;  // filtered out of this run
        }
        double ratio = num->second / den->second;
        bool met = r.at_least ? ratio >= r.target : ratio <= r.target;
        printf("ratio %-48s %6.3f  (target %s %.2f: %s)\n", r.label, ratio, r.at_least ? ">=" : "<=",
               r.target, met ? "met" : "NOT met");
    }
    benchmark::Shutdown();
    return 0;
}
