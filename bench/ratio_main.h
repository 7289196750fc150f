// A benchmark main that prints, after the usual table, each benchmark's time as a ratio
// to a named baseline from the same run, beside the target for that ratio when one is
// named. Wall-clock ratios come first; CPU-time ratios follow, since the machines we
// measure on are shared and wall-clock time also counts other processes' turns.
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
    const char* target = nullptr;  // e.g. "at most 10x"; null when the pair has none
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
            cpuTimes[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
    std::map<std::string, double> cpuTimes;
};

inline int RunWithRatios(int argc, char** argv, const std::vector<BenchRatio>& ratios) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const BenchRatio& ratio : ratios) {
        auto figure = reporter.times.find(ratio.name);
        auto base = reporter.times.find(ratio.baseline);
        if (figure == reporter.times.end() || base == reporter.times.end() || base->second <= 0) continue;
        double cpuFigure = reporter.cpuTimes[ratio.name], cpuBase = reporter.cpuTimes[ratio.baseline];
        std::printf("%s: %.2f, %.2fx the time of %s (%.2f; both in the table's unit); CPU time %.2fx", ratio.name,
                    figure->second, figure->second / base->second, ratio.baseline, base->second,
                    cpuBase > 0 ? cpuFigure / cpuBase : 0.0);
        if (ratio.target != nullptr) std::printf("; target %s", ratio.target);
        std::printf("\n");
    }
    benchmark::Shutdown();
    return 0;
}
