// The brush: building the kernel, stamping, painting a line and applying a block, with
// Apply beside a plain copy of the block in the same run.
#include <cstring>
#include <memory>

#include "bench/ratio_main.h"
#include "engine/brush_kernel.h"
#include "engine/brush_lanes.h"
#include "engine/map_editor.h"

namespace {

const int kLargestBrush = 32;
const int kStampCells = (2 * kLargestBrush - 1) * (2 * kLargestBrush - 1);

void BM_Build32(benchmark::State& state) {
    CBrushKernel kernel;
    for (auto _ : state) {
        kernel.Build(kLargestBrush, 1, 500, 0.5, 0.3);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Build32);

// Per stamped cell: the time per iteration divided by the 63 x 63 window.
void BM_Stamp32(benchmark::State& state) {
    CBrushKernel kernel;
    kernel.Build(kLargestBrush, 1, 500, 0.5, 0.3);
    CMapEditor editor;
    kernel.Stamp(editor, 330, 330);
    for (auto _ : state) kernel.Stamp(editor, 330, 330);
    state.counters["ns_per_cell"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kStampCells,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Stamp32);

// Paints the line once untimed (creating its stroke blocks), then times painting it again.
void RunPaintLine(benchmark::State& state, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    CBrushKernel kernel;
    kernel.Build(kLargestBrush, 1, 500, 0.5, 0.3);
    CMapEditor editor;
    editor.SetBrush(&kernel);
    editor.PaintLine(x0, y0, x1, y1);
    for (auto _ : state) editor.PaintLine(x0, y0, x1, y1);
}

// A 100-point stroke across a block corner, stroke blocks already created.
void BM_PaintLine100(benchmark::State& state) {
    RunPaintLine(state, 270, 290, 369, 350);
    state.counters["ns_per_cell"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kStampCells * 100,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PaintLine100)->Unit(benchmark::kMicrosecond);

// A pointer a hundred million columns off the map: only the stamps that reach the mesh
// cost anything, so this should take about as long as that part alone.
void BM_PaintLineFromFarOff(benchmark::State& state) { RunPaintLine(state, -100000000, 330, 330, 330); }
BENCHMARK(BM_PaintLineFromFarOff)->Unit(benchmark::kMicrosecond);

// Baseline: the part of that line whose stamps reach the mesh.
void BM_PaintLineReachingPart_Baseline(benchmark::State& state) {
    RunPaintLine(state, -(kLargestBrush - 1), 330, 330, 330);
}
BENCHMARK(BM_PaintLineReachingPart_Baseline)->Unit(benchmark::kMicrosecond);

// Each pass restores the weights first, so the figures include one block copy.
template <class ApplyFunction>
void RunApply(benchmark::State& state, ApplyFunction apply) {
    CBrushKernel kernel;
    kernel.Build(kLargestBrush, static_cast<int>(state.range(0)), 500, 0.5, 0.3);
    std::unique_ptr<MapBlock> map(new MapBlock), stroke(new MapBlock), weights(new MapBlock);
    for (int k = 0; k < kBlockSamples; ++k) {
        map->samples[k] = static_cast<int16_t>(k % 2000);
        weights->samples[k] = static_cast<int16_t>(k % 3 == 0 ? 0 : k % 256);
    }
    for (auto _ : state) {
        std::memcpy(stroke->samples, weights->samples, kBlockBytes);
        apply(kernel, map->samples, stroke->samples);
        benchmark::ClobberMemory();
    }
}

// What the plug-in runs: AVX2 where the CPU has it.
void BM_Apply(benchmark::State& state) {
    RunApply(state, [](const CBrushKernel& kernel, int16_t* map, int16_t* stroke) { kernel.Apply(map, stroke); });
}
BENCHMARK(BM_Apply)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

// The SSE2 form, what a CPU without AVX2 runs.
void BM_ApplySse2(benchmark::State& state) {
    RunApply(state, [](const CBrushKernel& kernel, int16_t* map, int16_t* stroke) {
        ApplyWithSse2(ApplyParams{kernel.method, kernel.strength, kernel.targetAltitude}, map, stroke, kBlockSamples);
    });
}
BENCHMARK(BM_ApplySse2)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

// The one-sample-at-a-time form the vector forms must match.
void BM_ApplyPlain(benchmark::State& state) {
    RunApply(state, [](const CBrushKernel& kernel, int16_t* map, int16_t* stroke) { kernel.ApplyPlain(map, stroke); });
}
BENCHMARK(BM_ApplyPlain)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

// Committing a 100-point stroke of size 32 across a block corner (four blocks), map blocks
// held; each pass paints the stroke again untimed (which is slow, hence the fixed counts).
template <class CommitFunction>
void RunCommit(benchmark::State& state, CommitFunction commit) {
    CBrushKernel kernel;
    kernel.Build(kLargestBrush, 1, 500, 0.5, 0.3);
    CMapEditor editor;
    editor.SetBrush(&kernel);
    for (auto _ : state) {
        state.PauseTiming();
        editor.BeginStroke();
        editor.PaintLine(270, 290, 369, 350);
        for (int i = 0; i < editor.StrokeBlockCount(); ++i) editor.FindOrLoadBlock(editor.StrokeBlockAt(i)->code);
        state.ResumeTiming();
        commit(editor, kernel);
        benchmark::ClobberMemory();
    }
}

void BM_CommitStroke100(benchmark::State& state) {
    RunCommit(state, [](CMapEditor& editor, const CBrushKernel&) { editor.CommitStroke(); });
}
BENCHMARK(BM_CommitStroke100)->Unit(benchmark::kMicrosecond)->Iterations(3000);

// Baseline: the whole of every block, one sample at a time.
void BM_CommitWholeBlocksPlain_Baseline(benchmark::State& state) {
    RunCommit(state, [](CMapEditor& editor, const CBrushKernel& kernel) {
        for (int i = 0; i < editor.StrokeBlockCount(); ++i) {
            MapBlock* stroke = const_cast<MapBlock*>(editor.StrokeBlockAt(i));
            kernel.ApplyPlain(editor.FindOrLoadBlock(stroke->code), stroke->samples);
        }
    });
}
BENCHMARK(BM_CommitWholeBlocksPlain_Baseline)->Unit(benchmark::kMicrosecond)->Iterations(1000);



void BM_BlockCopy_Baseline(benchmark::State& state) {
    std::unique_ptr<MapBlock> from(new MapBlock), to(new MapBlock);
    std::memset(from->samples, 1, kBlockBytes);
    for (auto _ : state) {
        std::memcpy(to->samples, from->samples, kBlockBytes);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BlockCopy_Baseline)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    const char* kApplyTarget = "at most 10x";
    return RunWithRatios(argc, argv, {{"BM_Apply/1", "BM_BlockCopy_Baseline", kApplyTarget},
                                      {"BM_Apply/2", "BM_BlockCopy_Baseline", kApplyTarget},
                                      {"BM_Apply/3", "BM_BlockCopy_Baseline", kApplyTarget},
                                      {"BM_ApplySse2/1", "BM_BlockCopy_Baseline", kApplyTarget},
                                      {"BM_ApplySse2/2", "BM_BlockCopy_Baseline", kApplyTarget},
                                      {"BM_ApplySse2/3", "BM_BlockCopy_Baseline", kApplyTarget},
                                      {"BM_ApplyPlain/1", "BM_BlockCopy_Baseline"},
                                      {"BM_ApplyPlain/2", "BM_BlockCopy_Baseline"},
                                      {"BM_ApplyPlain/3", "BM_BlockCopy_Baseline"},
                                      {"BM_CommitStroke100/iterations:3000", "BM_CommitWholeBlocksPlain_Baseline/iterations:1000",
                                       "at most 40 us for the stroke"},
                                      {"BM_PaintLineFromFarOff", "BM_PaintLineReachingPart_Baseline", "about 1x"}});
}
