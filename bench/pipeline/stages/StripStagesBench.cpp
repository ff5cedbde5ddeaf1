// Per-strip stages that touch every output pixel: the LUT and the output packers.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "LutStage.h"
#include "OutputStage.h"
#include "VqOutputTypes.h"

using namespace lumora;

namespace {

constexpr int32_t kWidth = 2048;
constexpr int32_t kHeight = 64;
constexpr int32_t kMargin = 4;

std::vector<uint16_t> randomPlane(size_t n, uint32_t seed, uint16_t mask = 0xFFFF) {
    std::mt19937 rng(seed);
    std::vector<uint16_t> p(n);
    for (auto& v : p) v = uint16_t(rng()) & mask;
    return p;
}

void setRate(benchmark::State& state, int64_t pixelsPerIteration) {
    state.counters["Mpix/s"] = benchmark::Counter(double(pixelsPerIteration) * double(state.iterations()) / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void BM_LutApplyThreePlanes(benchmark::State& state) {
    const size_t n = size_t(kWidth) * kHeight;
    std::vector<uint16_t> table(4096);
    LutStage lut;
    lut.size = 4096;
    lut.BuildLinear(table.data(), 65535, 1.0f);
    lut.width = kWidth;
    lut.height = kHeight;
    auto src = randomPlane(3 * n, 1, 0x0FFF);
    std::vector<int16_t> planes(3 * n);
    for (auto _ : state) {
        state.PauseTiming();
        for (size_t i = 0; i < planes.size(); ++i) planes[i] = int16_t(src[i]);
        state.ResumeTiming();
        lut.Apply(planes.data(), planes.data() + n, planes.data() + 2 * n);
        benchmark::DoNotOptimize(planes.data());
    }
    setRate(state, int64_t(n));
}
BENCHMARK(BM_LutApplyThreePlanes);

void BM_LutTableKernel(benchmark::State& state) {
    const size_t n = size_t(kWidth) * kHeight;
    auto table = randomPlane(4096, 2);
    auto src = randomPlane(n, 3, 0x0FFF);
    std::vector<int16_t> plane(n);
    const bool reference = state.range(0) != 0;
    for (auto _ : state) {
        // The table maps into 0..4095, so the plane can be run through again.
        for (size_t i = 0; i < n; ++i) plane[i] = int16_t(src[i]);
        if (reference) LutStage::ApplyTableReference(plane.data(), n, table.data(), 4096);
        else LutStage::ApplyTable(plane.data(), n, table.data(), 4096);
        benchmark::DoNotOptimize(plane.data());
    }
    setRate(state, int64_t(n));
    state.SetLabel(reference ? "reference" : "kernel");
}
BENCHMARK(BM_LutTableKernel)->Arg(0)->Arg(1);

// The offset stage with row and column offsets: 0 the portable rows, 1 the
// best the processor has.
void BM_LutAddOffsets(benchmark::State& state) {
    const size_t n = size_t(kWidth) * kHeight;
    auto src = randomPlane(n, 4, 0x0FFF);
    std::vector<int16_t> plane(n), cols(kWidth, -7), rows(kHeight, 12);
    LutStage lut;
    lut.size = 4096;
    lut.width = kWidth;
    lut.height = kHeight;
    lut.UseKernel(state.range(0) ? LutStage::Kernel::Best : LutStage::Kernel::Portable);
    for (auto _ : state) {
        for (size_t i = 0; i < n; ++i) plane[i] = int16_t(src[i]);
        lut.AddOffsets16(plane.data(), cols.data(), rows.data(), 4095, 0, 0);
        benchmark::DoNotOptimize(plane.data());
    }
    setRate(state, int64_t(n));
}
BENCHMARK(BM_LutAddOffsets)->Arg(0)->Arg(1);

void BM_Pack(benchmark::State& state) {
    const uint32_t type = uint32_t(state.range(0));
    const float rotation = float(state.range(1));
    const bool reference = state.range(2) != 0;
    const size_t stride = size_t(kWidth + 2 * kMargin);
    auto p0 = randomPlane(stride * kHeight, 4), p1 = randomPlane(stride * kHeight, 5),
         p2 = randomPlane(stride * kHeight, 6), p3 = randomPlane(stride * kHeight, 7);
    int32_t bytes = 1, channels = 3;
    switch (type) {
    case VQ_TYPE_RGB16: case VQ_TYPE_BGR16: bytes = 2; break;
    case VQ_TYPE_BGRX8: case VQ_TYPE_CMYK8: channels = 4; break;
    case VQ_TYPE_GRAY8: channels = 1; break;
    default: break;
    }
    OutputStage out;
    out.Init(type, rotation, kMargin, kMargin, 0, kWidth, kHeight, bytes, channels);
    std::vector<uint8_t> dst(size_t(kWidth) * kHeight * bytes * channels);
    const uint16_t* fourth = type == VQ_TYPE_CMYK8 ? p3.data() : nullptr;
    for (auto _ : state) {
        if (reference) out.PackReference(p0.data(), p1.data(), p2.data(), fourth, dst.data());
        else out.Pack(p0.data(), p1.data(), p2.data(), fourth, dst.data());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    setRate(state, int64_t(kWidth) * kHeight);
    state.SetLabel(reference ? "per-pixel packer" : "strip kernel");
}
BENCHMARK(BM_Pack)
    ->ArgNames({"type", "rotation", "reference"})
    ->Args({VQ_TYPE_RGB8, 0, 0})->Args({VQ_TYPE_RGB8, 0, 1})
    ->Args({VQ_TYPE_BGRX8, 0, 0})->Args({VQ_TYPE_BGRX8, 0, 1})
    ->Args({VQ_TYPE_RGB16, 0, 0})->Args({VQ_TYPE_RGB16, 0, 1})
    ->Args({VQ_TYPE_GRAY8, 0, 0})->Args({VQ_TYPE_CMYK8, 0, 0})
    ->Args({VQ_TYPE_RGB8, 180, 0})->Args({VQ_TYPE_RGB8, 90, 0})->Args({VQ_TYPE_RGB8, 90, 1})
    ->Args({VQ_TYPE_RGB16, 270, 0});

} // namespace
