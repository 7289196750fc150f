// A benchmark main that prints, after the usual table, each benchmark's time as a ratio
// to a named baseline from the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct BenchRatio {
    const char* name;
    const char* baseline;
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

inline int RunWithRatios(int argc, char** argv, const std::vector<BenchRatio>& ratios) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const BenchRatio& ratio : ratios) {
        auto figure = reporter.times.find(ratio.name);
        auto base = reporter.times.find(ratio.baseline);
        if (figure == reporter.times.end() || base == reporter.times.end() || base->second <= 0) continue;
        std::printf("%s: %.2f, %.2fx the time of %s (%.2f; both in the table's unit)\n", ratio.name, figure->second,
                    figure->second / base->second, ratio.baseline, base->second);
    }
    benchmark::Shutdown();
    return 0;
}
