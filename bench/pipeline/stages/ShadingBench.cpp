// Shading correction over a 4000 × 3000 colour-filter-array frame, in place.
#include "PolynomialShading.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void BM_PolynomialShadingCfa(benchmark::State& state) {
    const uint16_t width = 4000;
    const int32_t rows = 3000;
    std::vector<uint16_t> frame(size_t(width) * rows);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint16_t((i * 2654435761u >> 20) & 4095);
    lumora::PolynomialShading s;
    s.SetPolynomial({3, 40, 5, -25, 0x110000, -2, -30, 4, 60, 0xF0000}, width, 4095);
    for (auto _ : state) {
        s.ApplyCfa(0, 0, frame.data(), frame.data(), rows);
        benchmark::DoNotOptimize(frame.data());
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(state.iterations()) * width * rows / 1e6, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_PolynomialShadingCfa)->Unit(benchmark::kMillisecond);
