// The colour transform's full conversion with separate tone tables on a strip of
// 4000 x 64 pixels: the per-pixel reference, the portable kernel and the AVX2
// kernel (the portable one again where the processor has no AVX2).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "ColorTransformStage.h"

namespace {

constexpr int kWidth = 4000, kRows = 64, kSkip = 4;

enum class Run { Reference, Portable, Avx2 };

void Convert(benchmark::State& state, Run run) {
    std::vector<uint16_t> tone(4096), first(4096), last(4096), output(4096);
    for (int i = 0; i < 4096; ++i) {
        tone[i] = uint16_t(std::lround(4095.0 * std::sqrt(i / 4095.0)));
        first[i] = last[i] = tone[i];
        output[i] = uint16_t(i * 16);
    }
    ColorTransformStage stage;
    stage.width = kWidth;
    stage.height = kRows;
    stage.mode = ColorTransformStage::ModeFullSeparateTones;
    stage.leftSkip = stage.rightSkip = kSkip;
    const int32_t m[9] = {5200, -700, -400, -600, 5000, -300, -200, -900, 5200};
    for (int i = 0; i < 9; ++i) stage.firstMatrix[i] = stage.secondMatrix[i] = {m[i], 4096};
    stage.workingMaximum = 4095;
    stage.subsampled = 1;
    stage.firstTone = first.data();
    stage.middleTone = tone.data();
    stage.lastTone = last.data();
    stage.outputTable = output.data();
    stage.outputSize = 4096;
    if (stage.Prepare() != 0) {
        state.SkipWithError("prepare failed");
        return;
    }
    stage.UseReference(run == Run::Reference);
    stage.UseKernel(run == Run::Avx2 ? ColorTransformStage::Kernel::Avx2 : ColorTransformStage::Kernel::Portable);
    const size_t n = size_t(kWidth + 2 * kSkip) * kRows;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> d(0, 4095);
    std::vector<int16_t> p0(n), q0(n), r0(n);
    for (size_t i = 0; i < n; ++i) p0[i] = int16_t(d(rng)), q0[i] = int16_t(d(rng)), r0[i] = int16_t(d(rng));
    std::vector<int16_t> p, q, r;
    for (auto _ : state) {
        state.PauseTiming();
        p = p0, q = q0, r = r0;
        state.ResumeTiming();
        stage.Run(p.data(), q.data(), r.data(), nullptr);
        benchmark::DoNotOptimize(p.data());
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(kWidth) * kRows * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_ColorTransformReference(benchmark::State& state) { Convert(state, Run::Reference); }
void BM_ColorTransformPortable(benchmark::State& state) { Convert(state, Run::Portable); }
void BM_ColorTransformAvx2(benchmark::State& state) { Convert(state, Run::Avx2); }

BENCHMARK(BM_ColorTransformReference)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ColorTransformPortable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ColorTransformAvx2)->Unit(benchmark::kMicrosecond);

} // namespace
