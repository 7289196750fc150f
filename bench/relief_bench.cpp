// Full redraws of a 1024 x 768 map view filled with terrain: the fast renderer beside the
// reference renderer (the view's first one) in the same run, and a zoomed-out view of a
// 20000 x 20000 map drawn from its overview level, with the overview made first.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/ratio_main.h"
#include "devhost/app/overview.h"
#include "devhost/app/relief.h"
#include "mapstore/map_file.h"
#include "tests/native/reference_relief.h"

namespace {

// Long ramps with rough ground on them; cheap to make, so the overview benchmark times the
// reduction rather than the terrain.
int16_t Terrain(int64_t c, int64_t r) {
    return static_cast<int16_t>((c * 3 + r * 5) % 1500 + (c * 7919 + r * 104729) % 41);
}

void FillBlock(int32_t code, int16_t* samples) {
    int32_t row = 0, column = 0;
    MapBlockOrigin(code, &row, &column);
    for (int i = 0; i < kMapBlockSamples; ++i) samples[i] = Terrain(column + i % kMapBlockSide, row + i / kMapBlockSide);
}

ReliefView View(int zoom) {
    ReliefView view;
    view.width = 1024;
    view.height = 768;
    view.zoom = zoom;
    view.originColumn = 1000.25;
    view.originRow = 2000.5;
    return view;
}

// The map's blocks come from memory, so the figure is the drawing alone.
struct BenchMap {
    BlockCache cache;
    OverviewLevels levels{&cache};
    explicit BenchMap(int32_t side) { levels.Reset(side, side, FillBlock); }
};

void BM_FastRedraw(benchmark::State& state) {
    BenchMap map(20000);
    ReliefRenderer renderer;
    ReliefView view = View(static_cast<int>(state.range(0)));
    std::vector<uint32_t> pixels(1024 * 768);
    for (auto _ : state) {
        map.cache.BeginFrame();
        renderer.Render(view, map.levels.Grid(ReliefLevelFor(view.zoom)), pixels.data());
        map.cache.EndFrame();
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_FastRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The first renderer: every pixel asks for its sample and its neighbours.
void BM_ReferenceRedraw(benchmark::State& state) {
    BenchMap map(20000);
    ReliefView view = View(static_cast<int>(state.range(0)));
    std::vector<uint32_t> pixels(1024 * 768);
    for (auto _ : state) {
        ReferenceRenderRelief(view, [&map](int64_t c, int64_t r, bool* valid) {
            *valid = c >= 0 && r >= 0 && c < 20000 && r < 20000;
            if (!*valid) return int16_t(0);
            const int16_t* block = map.levels.Block(0, int32_t(r / kMapBlockSide), int32_t(c / kMapBlockSide));
            return block[(r % kMapBlockSide) * kMapBlockSide + c % kMapBlockSide];
        }, pixels.data());
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_ReferenceRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Zoom -40 over the whole 20000 x 20000 map, overview level made before timing.
void BM_FastRedrawZoomedOut(benchmark::State& state) {
    BenchMap map(20000);
    ReliefRenderer renderer;
    ReliefView view = View(-40);
    view.originColumn = view.originRow = -500;
    std::vector<uint32_t> pixels(1024 * 768);
    renderer.Render(view, map.levels.Grid(ReliefLevelFor(view.zoom)), pixels.data());
    for (auto _ : state) {
        map.cache.BeginFrame();
        renderer.Render(view, map.levels.Grid(ReliefLevelFor(view.zoom)), pixels.data());
        map.cache.EndFrame();
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["cache_MiB"] = double(map.cache.bytes()) / (1 << 20);
}
BENCHMARK(BM_FastRedrawZoomedOut)->Unit(benchmark::kMillisecond);

// Making the overview that zoom -40 needs: every map block filled in memory and reduced
// once.
void BM_MakeOverviewOf20000Map(benchmark::State& state) {
    for (auto _ : state) {
        BenchMap map(20000);
        for (int32_t r = 0; r * kMapBlockSide < map.levels.Rows(5); ++r) {
            for (int32_t c = 0; c * kMapBlockSide < map.levels.Columns(5); ++c) benchmark::DoNotOptimize(map.levels.Block(5, r, c));
        }
    }
}
BENCHMARK(BM_MakeOverviewOf20000Map)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    return RunWithRatios(argc, argv, {{"BM_FastRedraw/1", "BM_ReferenceRedraw/1"},
                                      {"BM_FastRedraw/2", "BM_ReferenceRedraw/2"}});
}
