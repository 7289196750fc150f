// Save throughput of a map save session beside plain stdio writes of the same bytes.
// Files go to $ZOLVA_BENCH_DIR (default: the working directory), so every variant
// writes to the same file system.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mapstore/file_io.h"
#include "mapstore/map_file.h"

namespace {

using Clock = std::chrono::steady_clock;

const int32_t kGridSide = 8 * kMapBlockSide;  // room for 64 blocks

std::string BenchPath(const char* name) {
    const char* dir = std::getenv("ZOLVA_BENCH_DIR");
    return std::string(dir != nullptr ? dir : ".") + "/" + name;
}

std::vector<int16_t> Samples() {
    std::vector<int16_t> samples(kMapBlockSamples);
    for (int i = 0; i < kMapBlockSamples; ++i) samples[i] = static_cast<int16_t>((i * 37) % 3000);
    return samples;
}

MapHeader BenchHeader() {
    MapHeader header;
    header.width = kGridSide;
    header.height = kGridSide;
    header.cellLat = header.cellLon = 1.0 / 1200.0;
    return header;
}

bool FreshMap(const std::string& path) {
    std::string error;
    return CreateMapFile(path, BenchHeader(), nullptr, &error);
}

// One save of `blocks` blocks; seconds spent, or a negative value on failure.
double TimedSave(const std::string& path, int blocks, const std::vector<int16_t>& samples) {
    auto start = Clock::now();
    MapSaveSession session;
    std::string error;
    if (!session.Begin(path, &error)) return -1.0;
    for (int i = 0; i < blocks; ++i) {
        if (!session.Append(MapBlockCode((i / 8) * kMapBlockSide, (i % 8) * kMapBlockSide), samples.data(), &error)) {
            return -1.0;
        }
    }
    if (!session.Commit(&error)) return -1.0;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// fwrite of the same sample bytes to a new file, then fflush and, when asked, the disk
// flush. The old file is removed untimed, as the save's file is created untimed.
double TimedPlainWrite(const std::string& path, int blocks, const std::vector<int16_t>& samples, bool sync) {
    std::remove(path.c_str());
    auto start = Clock::now();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return -1.0;
    bool ok = true;
    for (int i = 0; i < blocks && ok; ++i) ok = std::fwrite(samples.data(), 1, kMapBlockBytes, file) == size_t(kMapBlockBytes);
    ok = ok && (sync ? FlushToDisk(file) : std::fflush(file) == 0);
    ok = (std::fclose(file) == 0) && ok;
    return ok ? std::chrono::duration<double>(Clock::now() - start).count() : -1.0;
}

double MegabytesPerSecond(double bytes, double seconds) { return seconds > 0 ? bytes / seconds / 1e6 : 0.0; }

// All three writers in each iteration, interleaved, so they see the same machine state.
// Manual time is the save's; the counters give each writer's MB/s and the ratios.
void BM_SaveBesidePlainWrites(benchmark::State& state) {
    const int blocks = static_cast<int>(state.range(0));
    const std::vector<int16_t> samples = Samples();
    const std::string mapPath = BenchPath("bench_save.map");
    const std::string plainPath = BenchPath("bench_plain.bin");
    double save = 0, plain = 0, plainSync = 0;
    for (auto _ : state) {
        if (!FreshMap(mapPath)) return state.SkipWithError("cannot create the map");
        double s = TimedSave(mapPath, blocks, samples);
        double p = TimedPlainWrite(plainPath, blocks, samples, false);
        double ps = TimedPlainWrite(plainPath, blocks, samples, true);
        if (s < 0 || p < 0 || ps < 0) return state.SkipWithError("write failed");
        save += s;
        plain += p;
        plainSync += ps;
        state.SetIterationTime(s);
    }
    const double bytes = double(blocks) * kMapBlockBytes * state.iterations();
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["save_MBps"] = MegabytesPerSecond(bytes, save);
    state.counters["fwrite_fflush_MBps"] = MegabytesPerSecond(bytes, plain);
    state.counters["fwrite_fsync_MBps"] = MegabytesPerSecond(bytes, plainSync);
    state.counters["ratio_vs_fflush"] = save > 0 ? plain / save : 0.0;
    state.counters["ratio_vs_fsync"] = save > 0 ? plainSync / save : 0.0;
    std::remove(mapPath.c_str());
    std::remove(plainPath.c_str());
}
BENCHMARK(BM_SaveBesidePlainWrites)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->UseManualTime()->Unit(benchmark::kMillisecond);

// A map with `history` earlier one-block saves, opened by `reader`.
bool MapWithHistory(const std::string& path, int history, MapFileReader* reader) {
    if (!FreshMap(path)) return false;
    std::vector<int16_t> samples = Samples();
    for (int i = 0; i < history; ++i) {
        samples[0] = static_cast<int16_t>(i);
        if (TimedSave(path, 1, samples) < 0) return false;
    }
    std::string error;
    return reader->Open(path, &error);
}

// The steady state a user sees: saves of changed blocks into a map that already has
// history, each continuing the open reader's view, beside appending the same bytes to an
// existing file with fwrite and fsync. Target: ratio_vs_fsync >= 0.8 from 4 blocks.
void BM_SaveIntoMapWithHistory(benchmark::State& state) {
    const int blocks = static_cast<int>(state.range(0));
    const std::string mapPath = BenchPath("bench_history.map");
    const std::string plainPath = BenchPath("bench_history.bin");
    MapFileReader reader;
    if (!MapWithHistory(mapPath, 50, &reader)) return state.SkipWithError("setup failed");
    std::vector<int16_t> samples = Samples();
    if (TimedPlainWrite(plainPath, 1, samples, true) < 0) return state.SkipWithError("setup failed");
    double save = 0, plainSync = 0;
    int round = 0;
    for (auto _ : state) {
        samples[1] = static_cast<int16_t>(++round);  // every save changes its blocks
        auto start = Clock::now();
        MapSaveSession session;
        std::string error;
        bool ok = session.Begin(mapPath, reader, &error);
        for (int i = 0; i < blocks && ok; ++i) {
            ok = session.Append(MapBlockCode((i / 8) * kMapBlockSide, (i % 8) * kMapBlockSide), samples.data(), &error);
        }
        ok = ok && session.Commit(&error) && reader.TakeSave(session);
        double s = std::chrono::duration<double>(Clock::now() - start).count();
        start = Clock::now();
        std::FILE* file = std::fopen(plainPath.c_str(), "ab");
        for (int i = 0; i < blocks && file != nullptr; ++i) std::fwrite(samples.data(), 1, kMapBlockBytes, file);
        ok = ok && file != nullptr && FlushToDisk(file);
        if (file != nullptr) std::fclose(file);
        double p = std::chrono::duration<double>(Clock::now() - start).count();
        if (!ok) return state.SkipWithError("write failed");
        save += s;
        plainSync += p;
        state.SetIterationTime(s);
    }
    const double bytes = double(blocks) * kMapBlockBytes * state.iterations();
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["save_MBps"] = MegabytesPerSecond(bytes, save);
    state.counters["append_fsync_MBps"] = MegabytesPerSecond(bytes, plainSync);
    state.counters["ratio_vs_fsync"] = save > 0 ? plainSync / save : 0.0;
    std::remove(mapPath.c_str());
    std::remove(plainPath.c_str());
}
BENCHMARK(BM_SaveIntoMapWithHistory)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->UseManualTime()->Unit(benchmark::kMillisecond);

// Starting a save (no block, nothing written) in a map with H earlier saves: reading the
// file's history, beside continuing an open reader's view, which should not grow with H.
void BM_BeginSave(benchmark::State& state) {
    const int history = static_cast<int>(state.range(0));
    const std::string path = BenchPath("bench_begin.map");
    MapFileReader reader;
    if (!MapWithHistory(path, history, &reader)) return state.SkipWithError("setup failed");
    double scanning = 0, continuing = 0;
    for (auto _ : state) {
        std::string error;
        auto start = Clock::now();
        {
            MapSaveSession session;
            if (!session.Begin(path, &error) || !session.Commit(&error)) return state.SkipWithError(error.c_str());
        }
        auto middle = Clock::now();
        {
            MapSaveSession session;
            if (!session.Begin(path, reader, &error) || !session.Commit(&error)) return state.SkipWithError(error.c_str());
        }
        auto end = Clock::now();
        scanning += std::chrono::duration<double>(middle - start).count();
        continuing += std::chrono::duration<double>(end - middle).count();
        state.SetIterationTime(std::chrono::duration<double>(end - middle).count());
    }
    state.counters["scan_us"] = scanning / state.iterations() * 1e6;
    state.counters["continue_us"] = continuing / state.iterations() * 1e6;
    state.counters["ratio_scan_vs_continue"] = continuing > 0 ? scanning / continuing : 0.0;
    std::remove(path.c_str());
}
BENCHMARK(BM_BeginSave)->Arg(10)->Arg(100)->Arg(1000)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Opening (which checks every block's checksum) a map of N saved blocks.
void BM_OpenMap(benchmark::State& state) {
    const int blocks = static_cast<int>(state.range(0));
    const std::string path = BenchPath("bench_open.map");
    if (!FreshMap(path) || TimedSave(path, blocks, Samples()) < 0) return state.SkipWithError("setup failed");
    for (auto _ : state) {
        MapFileReader reader;
        std::string error;
        if (!reader.Open(path, &error)) return state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(reader.BlockCodes().size());
    }
    state.SetBytesProcessed(int64_t(blocks) * kMapBlockBytes * state.iterations());
    std::remove(path.c_str());
}
BENCHMARK(BM_OpenMap)->Arg(4)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
