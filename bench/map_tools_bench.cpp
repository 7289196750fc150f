// Writing a whole map by rows of blocks beside the whole-grid write it replaced: time and
// peak memory of each, and their ratios. Peak memory is the process's high-water mark
// (VmHWM), reset before each writer through /proc/self/clear_refs (Linux 4.0 and later).
// Files go to $ZOLVA_BENCH_DIR (default: the working directory).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <string>
#include <vector>

#include "mapstore/map_file.h"
#include "maptools/map_recover.h"
#include "maptools/map_stream.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string BenchPath(const char* name) {
    const char* dir = std::getenv("ZOLVA_BENCH_DIR");
    return std::string(dir != nullptr ? dir : ".") + "/" + name;
}

MapHeader GridHeader(int32_t side) {
    MapHeader header;
    header.width = side;
    header.height = side;
    header.cellLat = header.cellLon = 1.0 / 1200.0;
    return header;
}

int16_t Sample(int64_t row, int64_t col) { return static_cast<int16_t>((row * 7 + col * 13) % 4000); }

// Returns freed heap to the system first, so one writer's buffers do not count for the next.
bool ResetPeak() {
    malloc_trim(0);
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.close();
    return !clear.fail();
}

// VmHWM in MiB, or a negative value when the system does not say.
double PeakMiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            double kib = 0;
            status >> kib;
            return kib / 1024.0;
        }
    }
    return -1.0;
}

// The old way: the whole grid in memory, then one CreateMapFile.
bool WriteWholeGrid(const std::string& path, int32_t side) {
    std::vector<int16_t> grid(static_cast<size_t>(side) * side);
    for (int64_t r = 0; r < side; ++r) {
        for (int64_t c = 0; c < side; ++c) grid[size_t(r) * side + c] = Sample(r, c);
    }
    std::string error;
    return CreateMapFile(path, GridHeader(side), grid.data(), &error);
}

bool WriteByRows(const std::string& path, int32_t side) {
    MapHeader header = GridHeader(side);
    MapStreamWriter writer;
    std::string error;
    if (!writer.Begin(path, header, &error)) return false;
    std::vector<int16_t> rows(static_cast<size_t>(kMapBlockSide) * side);
    for (int32_t row0 = 0; row0 < side; row0 += kMapBlockSide) {
        for (int64_t r = 0; r < BlockRowHeight(header, row0); ++r) {
            for (int64_t c = 0; c < side; ++c) rows[size_t(r) * side + c] = Sample(row0 + r, c);
        }
        if (!writer.AppendBlockRow(row0, rows.data(), &error)) return false;
    }
    return writer.Finish(&error);
}

// Seconds and peak MiB of one writer; false when it failed.
bool Measure(bool (*write)(const std::string&, int32_t), const std::string& path, int32_t side, double* seconds,
             double* peak) {
    if (!ResetPeak()) return false;
    auto start = Clock::now();
    bool ok = write(path, side);
    *seconds = std::chrono::duration<double>(Clock::now() - start).count();
    *peak = PeakMiB();
    std::remove(path.c_str());
    return ok && *peak > 0;
}

void BM_WriteByRowsBesideWholeGrid(benchmark::State& state) {
    const int32_t side = static_cast<int32_t>(state.range(0));
    const std::string path = BenchPath("bench_rows.map");
    double rowsTime = 0, wholeTime = 0, rowsPeak = 0, wholePeak = 0;
    for (auto _ : state) {
        double t = 0, peak = 0;
        if (!Measure(WriteWholeGrid, path, side, &t, &peak)) return state.SkipWithError("whole-grid write failed");
        wholeTime += t;
        wholePeak = std::max(wholePeak, peak);
        if (!Measure(WriteByRows, path, side, &t, &peak)) return state.SkipWithError("write by rows failed");
        rowsTime += t;
        rowsPeak = std::max(rowsPeak, peak);
        state.SetIterationTime(t);
    }
    state.counters["rows_peak_MiB"] = rowsPeak;
    state.counters["whole_grid_peak_MiB"] = wholePeak;
    state.counters["peak_ratio"] = wholePeak > 0 ? rowsPeak / wholePeak : 0.0;
    state.counters["time_ratio"] = wholeTime > 0 ? rowsTime / wholeTime : 0.0;
}
BENCHMARK(BM_WriteByRowsBesideWholeGrid)->Arg(3200)->Arg(9600)->Iterations(2)->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Recovery of a small map followed by Arg MiB of block record tags one after another
// (each looks like the start of a record): the search must not read a record at each.
void BM_RecoverOverRunsOfTags(benchmark::State& state) {
    const std::string in = BenchPath("bench_tags.map"), out = BenchPath("bench_tags_recovered.map");
    std::string error;
    std::vector<int16_t> grid(size_t(640) * 640, 100);
    MapHeader header = GridHeader(640);
    if (!CreateMapFile(in, header, grid.data(), &error)) return state.SkipWithError(error.c_str());
    {
        std::ofstream tail(in, std::ios::binary | std::ios::app);
        for (int64_t i = 0; i < state.range(0) * (1 << 18); ++i) tail.write("ZBLK", 4);
    }
    for (auto _ : state) {
        std::remove(out.c_str());
        RecoverReport report;
        if (!RecoverMap(in, out, RecoverOptions(), &report, &error)) return state.SkipWithError(error.c_str());
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
}
BENCHMARK(BM_RecoverOverRunsOfTags)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
