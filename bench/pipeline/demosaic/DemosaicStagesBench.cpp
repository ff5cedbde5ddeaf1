// Throughput of the demosaicing, noise, sharpen and chroma stages on a
// 4000 x 3000 mosaic, strip by strip as a render runs them; the scalar references
// run beside the fast stages for comparison.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "AdaptiveDemosaicer.h"
#include "CfaReference.h"
#include "CfaTableStage.h"
#include "ChromaFilter.h"
#include "ChromaReference.h"
#include "DemosaicReference.h"
#include "DirectionMapDemosaicer.h"
#include "SharpenReference.h"
#include "SharpenStage.h"
#include "ThresholdDemosaicer.h"

using namespace lumora;

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kStrip = 60;

// Smooth scene with sensor-like noise, 12-bit.
const std::vector<int16_t>& Scene() {
    static const std::vector<int16_t> scene = [] {
        std::vector<int16_t> s(size_t(kWidth) * kHeight);
        std::mt19937 rng(1);
        std::normal_distribution<double> noise(0, 12);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const double v = 1500 + 900 * std::sin(x / 150.0) * std::cos(y / 110.0) + ((x ^ y) & 1 ? 300 : 0);
                s[size_t(y) * kWidth + x] = int16_t(std::clamp(v + noise(rng), 0.0, 4095.0));
            }
        return s;
    }();
    return scene;
}

void SetRate(benchmark::State& state, double pixels) {
    state.counters["Mpixel/s"] = benchmark::Counter(pixels * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

using StripCall = std::function<void(int16_t* above, int16_t* strip, int16_t* below, int16_t* g, int16_t* e,
                                     int16_t* o, int rows)>;

void DemosaicWhole(benchmark::State& state, const StripCall& call) {
    const std::vector<int16_t>& scene = Scene();
    // The scene padded with three mirrored rows above and below, so every strip
    // reads its context rows in place.
    std::vector<int16_t> padded(size_t(kHeight + 6) * kWidth);
    for (int i = 0; i < kHeight + 6; ++i) {
        int y = i - 3;
        y = y < 0 ? -y : (y >= kHeight ? 2 * (kHeight - 1) - y : y);
        std::copy_n(scene.begin() + ptrdiff_t(y) * kWidth, kWidth, padded.begin() + ptrdiff_t(i) * kWidth);
    }
    std::vector<int16_t> g(size_t(kStrip + 2) * kWidth), e(size_t(kStrip + 1) * kWidth), o(size_t(kStrip + 1) * kWidth);
    for (auto _ : state) {
        for (int y0 = 0; y0 < kHeight; y0 += kStrip) {
            int16_t* strip = padded.data() + size_t(y0 + 3) * kWidth;
            call(strip - 3 * kWidth, strip, strip + size_t(kStrip) * kWidth, g.data(), e.data(), o.data(), kStrip);
        }
        benchmark::DoNotOptimize(g.data());
    }
    SetRate(state, double(kWidth) * kHeight);
}

StripCall ObjectCall(Demosaicer& d) {
    return [&d](int16_t* a, int16_t* s, int16_t* b, int16_t* g, int16_t* e, int16_t* o, int rows) {
        int16_t *rg, *re, *ro;
        d.Setup(a, s, b, g, e, o, int16_t(rows), int16_t(kWidth), 0);
        benchmark::DoNotOptimize(d.Run(&rg, &re, &ro));
    };
}

void BM_AdaptiveDemosaicer(benchmark::State& state) {
    AdaptiveDemosaicer d;
    d.SetMode(1);
    // 0: the portable green rows, 1: the best the processor has.
    d.UseKernel(state.range(0) ? AdaptiveDemosaicer::Kernel::Best : AdaptiveDemosaicer::Kernel::Portable);
    DemosaicWhole(state, ObjectCall(d));
}
void BM_AdaptiveDemosaicerReference(benchmark::State& state) {
    DemosaicWhole(state, [](int16_t* a, int16_t* s, int16_t* b, int16_t* g, int16_t* e, int16_t* o, int rows) {
        benchmark::DoNotOptimize(reference::AdaptiveInterpolate(a, s, b, g, e, o, rows, kWidth, 1));
    });
}
void BM_ThresholdDemosaicer(benchmark::State& state) {
    ThresholdDemosaicer d;
    d.SetThreshold(100);
    // 0: the portable green rows, 1: the best the processor has.
    d.UseKernel(state.range(0) ? AdaptiveDemosaicer::Kernel::Best : AdaptiveDemosaicer::Kernel::Portable);
    d.SetMode(1);
    DemosaicWhole(state, ObjectCall(d));
}
void BM_ThresholdDemosaicerReference(benchmark::State& state) {
    DemosaicWhole(state, [](int16_t* a, int16_t* s, int16_t* b, int16_t* g, int16_t* e, int16_t* o, int rows) {
        benchmark::DoNotOptimize(reference::ThresholdInterpolate(a, s, b, g, e, o, rows, kWidth, 1, 100));
    });
}
void BM_DirectionMapDemosaicer(benchmark::State& state) {
    DirectionMapDemosaicer d;
    d.SetMode(1);
    d.SetHorizontalThreshold(120);
    d.SetVerticalThreshold(120);
    DemosaicWhole(state, ObjectCall(d));
}
void BM_DirectionMapDemosaicerReference(benchmark::State& state) {
    std::vector<int32_t> terms;
    DemosaicWhole(state, [&terms](int16_t* a, int16_t* s, int16_t* b, int16_t* g, int16_t* e, int16_t* o, int rows) {
        benchmark::DoNotOptimize(
            reference::DirectionMapInterpolate(a, s, b, g, e, o, rows, kWidth, 1, 120, 120, terms));
    });
}

std::vector<uint16_t> NoiseTable(int scale) {
    std::vector<uint16_t> t(4096);
    for (int i = 0; i < 4096; ++i) t[size_t(i)] = uint16_t(scale + i / 64);
    return t;
}

void CfaWhole(benchmark::State& state, bool fast, CfaTableStage::Kernel kernel = CfaTableStage::Kernel::Best) {
    const std::vector<uint16_t> red = NoiseTable(20), green = NoiseTable(15), blue = NoiseTable(25);
    std::vector<int16_t> plane = Scene();
    CfaTableStage stage;
    stage.width = kWidth;
    stage.height = kStrip + 4;
    stage.size = 4096;
    stage.redTable = red.data();
    stage.greenTable = green.data();
    stage.blueTable = blue.data();
    stage.UseKernel(kernel);
    for (auto _ : state) {
        for (int y0 = 0; y0 + kStrip + 4 <= kHeight; y0 += kStrip) {
            int16_t* p = plane.data() + size_t(y0) * kWidth;
            if (fast)
                benchmark::DoNotOptimize(stage.Run(p));
            else
                benchmark::DoNotOptimize(
                    reference::CfaFilter(p, kWidth, kStrip + 4, 4096, red.data(), green.data(), blue.data()));
        }
    }
    SetRate(state, double(kWidth) * kHeight);
}
// 0: the portable rows, 1: the best the processor has.
void BM_CfaTableStage(benchmark::State& state) {
    CfaWhole(state, true, state.range(0) ? CfaTableStage::Kernel::Best : CfaTableStage::Kernel::Portable);
}
void BM_CfaTableStageReference(benchmark::State& state) { CfaWhole(state, false); }

void SharpenWhole(benchmark::State& state, bool fast) {
    std::vector<int16_t> p1 = Scene(), p2 = Scene(), p3 = Scene();
    int16_t block[28];
    int32_t c[5];
    SharpenStage::GetPresetParameters(block, &c[0], &c[1], &c[2], &c[3], &c[4], 11);
    SharpenStage stage;
    std::copy(block, block + 28, stage.kernelBlock);
    stage.divisor = 16;
    stage.gain = c[0];
    stage.coreLow = c[1];
    stage.coreHigh = c[2];
    stage.linearEnd = c[3];
    stage.cutoff = c[4];
    stage.mode = 0;
    stage.width = kWidth;
    stage.height = kStrip + 4;
    const reference::SharpenParameters params{kWidth, kStrip + 4, 0, block, 16, c[0], c[1], c[2], c[3], c[4], 4095};
    for (auto _ : state) {
        for (int y0 = 0; y0 + kStrip + 4 <= kHeight; y0 += kStrip) {
            const size_t off = size_t(y0) * kWidth;
            if (fast)
                benchmark::DoNotOptimize(stage.Apply(p1.data() + off, p2.data() + off, p3.data() + off));
            else
                benchmark::DoNotOptimize(reference::Sharpen(p1.data() + off, p2.data() + off, p3.data() + off, params));
        }
    }
    SetRate(state, double(kWidth) * kHeight);
}
void BM_SharpenStage(benchmark::State& state) { SharpenWhole(state, true); }
void BM_SharpenStageReference(benchmark::State& state) { SharpenWhole(state, false); }

void ChromaWhole(benchmark::State& state, bool fast) {
    std::vector<int16_t> p0 = Scene(), p1 = Scene(), p2 = Scene();
    std::reverse(p2.begin(), p2.end());
    const ChromaSettings settings{64, 0, 100, 0, 1, 1};
    ChromaFilter filter;
    filter.SetSettings(&settings);
    const int rows = kStrip + 2 * ChromaFilter::kMargin;
    for (auto _ : state) {
        for (int y0 = 0; y0 + rows <= kHeight; y0 += kStrip) {
            const size_t off = size_t(y0) * kWidth;
            if (fast)
                benchmark::DoNotOptimize(
                    filter.Apply(p0.data() + off, p1.data() + off, p2.data() + off, kWidth, rows, 0, 0));
            else
                benchmark::DoNotOptimize(
                    reference::ChromaFilter(p0.data() + off, p1.data() + off, p2.data() + off, kWidth, rows, settings));
        }
    }
    SetRate(state, double(kWidth) * kHeight);
}
void BM_ChromaFilter(benchmark::State& state) { ChromaWhole(state, true); }
void BM_ChromaFilterReference(benchmark::State& state) { ChromaWhole(state, false); }

} // namespace

BENCHMARK(BM_AdaptiveDemosaicer)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AdaptiveDemosaicerReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThresholdDemosaicer)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThresholdDemosaicerReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectionMapDemosaicer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectionMapDemosaicerReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CfaTableStage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CfaTableStageReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SharpenStage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SharpenStageReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChromaFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChromaFilterReference)->Unit(benchmark::kMillisecond);
