// The screen copy of a picture: a preview's 3000 × 2000 picture shown in a
// window of 1200 × 800, and a slide's 160 × 107 thumbnail drawn at half
// size, by the fast kernel and by its plain reference.
#include "PictureBitmap.h"
#include "PictureReduction.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

void Reduce(benchmark::State& state, bool reference) {
    const int sourceWidth = int(state.range(0)), sourceHeight = int(state.range(1));
    const int width = int(state.range(2)), height = int(state.range(3));
    const int channels = 3;
    const int64_t rowBytes = PictureBitmap::RowBytesFor(sourceWidth, channels);
    std::vector<uint8_t> pixels(size_t(rowBytes * sourceHeight));
    std::mt19937 random(7);
    for (uint8_t& p : pixels) p = uint8_t(random());
    const PictureReduction::Source source{pixels.data(), sourceWidth, sourceHeight, rowBytes, channels};
    std::vector<uint8_t> out(size_t(width) * height * 3);
    for (auto _ : state) {
        if (reference) PictureReduction::ReduceReference(source, out.data(), width, height);
        else PictureReduction::Reduce(source, out.data(), width, height);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * rowBytes * sourceHeight);
}

void BM_PictureReduce(benchmark::State& state) { Reduce(state, false); }
void BM_PictureReduceReference(benchmark::State& state) { Reduce(state, true); }

BENCHMARK(BM_PictureReduce)->Args({3000, 2000, 1200, 800})->Args({160, 107, 80, 53})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PictureReduceReference)
    ->Args({3000, 2000, 1200, 800})
    ->Args({160, 107, 80, 53})
    ->Unit(benchmark::kMillisecond);

} // namespace
