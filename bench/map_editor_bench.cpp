// Block lookups and copies of CMapEditor, each beside its baseline in the same run.
#include "bench/ratio_main.h"

#include <cstring>
#include <memory>
#include <new>

#include "engine/map_editor.h"

namespace {

// Hit in the one-entry cache: the cost every stamped sample pays.
void BM_StrokeBlockCacheHit(benchmark::State& state) {
    CMapEditor editor;
    for (int32_t code = 0; code < 10; ++code) editor.FindOrCreateStrokeBlock(code);
    editor.FindOrCreateStrokeBlock(9);
    for (auto _ : state) benchmark::DoNotOptimize(editor.FindOrCreateStrokeBlock(9));
}
BENCHMARK(BM_StrokeBlockCacheHit);

// Baseline: alternating between two blocks, so every lookup searches the list.
void BM_StrokeBlockSearch_Baseline(benchmark::State& state) {
    CMapEditor editor;
    for (int32_t code = 0; code < 10; ++code) editor.FindOrCreateStrokeBlock(code);
    int32_t code = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(editor.FindOrCreateStrokeBlock(code));
        code = code == 0 ? 9 : 0;
    }
}
BENCHMARK(BM_StrokeBlockSearch_Baseline);

void BM_CopyBlockOut(benchmark::State& state) {
    CMapEditor editor;
    editor.FindOrCreateStrokeBlock(0);
    editor.FindOrLoadBlock(0);
    std::unique_ptr<MapBlock> out(new MapBlock);
    for (auto _ : state) benchmark::DoNotOptimize(editor.CopyBlockOut(0, out->samples));
    state.SetBytesProcessed(state.iterations() * kBlockBytes);
}
BENCHMARK(BM_CopyBlockOut);

// Baseline: one memcpy of a block between two aligned blocks.
void BM_CopyBlock_Baseline(benchmark::State& state) {
    std::unique_ptr<MapBlock> from(new MapBlock), to(new MapBlock);
    std::memset(from->samples, 1, kBlockBytes);
    for (auto _ : state) {
        std::memcpy(to->samples, from->samples, kBlockBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBlockBytes);
}
BENCHMARK(BM_CopyBlock_Baseline);

// Copies between blocks 16 bytes apart modulo 4 KiB, as unaligned heap blocks can be.
void BM_CopyBlockMisaligned(benchmark::State& state) {
    std::unique_ptr<char[]> from(new char[kBlockBytes + 8192]), to(new char[kBlockBytes + 8192]);
    char* source = from.get() + (4096 - reinterpret_cast<uintptr_t>(from.get()) % 4096);
    char* target = to.get() + (4096 - reinterpret_cast<uintptr_t>(to.get()) % 4096) + 16;
    std::memset(source, 1, kBlockBytes);
    for (auto _ : state) {
        std::memcpy(target, source, kBlockBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBlockBytes);
}
BENCHMARK(BM_CopyBlockMisaligned);

}  // namespace

int main(int argc, char** argv) {
    return RunWithRatios(argc, argv,
                         {{"BM_StrokeBlockCacheHit", "BM_StrokeBlockSearch_Baseline"},
                          {"BM_CopyBlockOut", "BM_CopyBlock_Baseline"},
                          {"BM_CopyBlockMisaligned", "BM_CopyBlock_Baseline"}});
}
