// The services library's noise per sample beside the reference gradient-noise library at
// the same octave count and persistence, and a whole generation beside the noise it needs.
#include <libnoise/noise.h>

#include <cstdlib>

#include "bench/ratio_main.h"
#include "engine/map_editor.h"
#include "generator/terrain_generator.h"
#include "host/perlin.h"

namespace {

const int kSide = 64;  // samples per benchmark iteration: kSide x kSide

void BM_PerlinNoise2D(benchmark::State& state) {
    int octaves = static_cast<int>(state.range(0));
    CPerlinNoise noise;
    noise.Create(0.5, 50, 50, 1234.0);
    for (auto _ : state) {
        double sum = 0;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) sum += noise.PerlinNoise2D(x, y, octaves);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_PerlinNoise2D)->Arg(6)->Arg(8);

void BM_ReferencePerlin_Baseline(benchmark::State& state) {
    noise::module::Perlin perlin;
    perlin.SetOctaveCount(static_cast<int>(state.range(0)));
    perlin.SetPersistence(0.5);
    perlin.SetFrequency(1.0 / 50);
    perlin.SetNoiseQuality(noise::QUALITY_STD);
    for (auto _ : state) {
        double sum = 0;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) sum += perlin.GetValue(x, y, 0.5);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_ReferencePerlin_Baseline)->Arg(6)->Arg(8);

class SilentProgress : public GenerationProgress {
public:
    void Open() override {}
    void SetPos(int) override {}
    void Pump() override {}
    bool Aborted() const override { return false; }
    void Close() override {}
};

// A whole generation of a (2d)^2 square with the default relief (5 octaves per field).
void BM_Generate(benchmark::State& state) {
    CTerrainGenerator generator;
    generator.Dist = static_cast<int>(state.range(0));
    CMapEditor editor;
    SilentProgress progress;
    for (auto _ : state) generator.Generate(editor, 5000, 5000, progress);
    state.SetItemsProcessed(state.iterations() * 4LL * generator.Dist * generator.Dist);
}
BENCHMARK(BM_Generate)->Arg(160)->Arg(1000)->Unit(benchmark::kMillisecond);

// The noise alone that such a generation evaluates: two fields per sample.
void BM_GenerateNoiseOnly_Baseline(benchmark::State& state) {
    int d = static_cast<int>(state.range(0));
    CPerlinNoise first, second;
    first.Create(0.5, 50, 50, 1.0);
    second.Create(0.5, 50, 50, 2.0);
    double one = 1.0, other = 1.0;
    int octaves = first.GetOctaves(one, other) + 1;
    for (auto _ : state) {
        double sum = 0;
        for (int r = 5000 - d; r < 5000 + d; ++r) {
            for (int c = 5000 - d; c < 5000 + d; ++c) sum += first.PerlinNoise2D(c, r, octaves) - second.PerlinNoise2D(c, r, octaves);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 4LL * d * d);
}
BENCHMARK(BM_GenerateNoiseOnly_Baseline)->Arg(160)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return RunWithRatios(argc, argv,
                         {{"BM_PerlinNoise2D/6", "BM_ReferencePerlin_Baseline/6", "at most 0.238x (4.2 times as fast)"},
                          {"BM_PerlinNoise2D/8", "BM_ReferencePerlin_Baseline/8", "at most 0.238x (4.2 times as fast)"},
                          {"BM_Generate/160", "BM_GenerateNoiseOnly_Baseline/160"},
                          {"BM_Generate/1000", "BM_GenerateNoiseOnly_Baseline/1000"}});
}
