// A whole raw-engine render of a synthetic 4000 x 3000 family-1 mosaic to RGB16:
// cache decoding (plain big-endian samples or lossless JPEG) and every strip
// stage, delivered strip by strip as a caller with a small buffer takes it.
#include <benchmark/benchmark.h>

#include <vector>

#include "RawEngineFixture.h"
#include "VqOutputTypes.h"

using namespace lumora;
using namespace lumora::test;

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

void RenderWhole(benchmark::State& state, bool compressed) {
    const Sensor sensor = BusySensor(kWidth, kHeight, 1);
    const RawFile file = compressed ? LosslessFile(sensor) : PlainFile(sensor);
    EngineOptions o;
    o.offsets = true;
    o.gainMap = true;
    o.sharpen = true;
    o.identityCurves = false;
    o.demosaicThreshold = 100;
    o.balance[0] = 700;
    o.balance[2] = 500;
    RawEngine engine;
    MemoryImage image;
    EngineSetup setup;
    setup.Configure(engine, image, file, kWidth, kHeight, o);
    SetParameter(engine, RP_OUTPUT_TYPE, int32_t(VQ_TYPE_RGB16));
    std::vector<uint8_t> strip(size_t(kWidth) * 6 * 128);
    ImageBufferRecord record{strip.data(), uint32_t(strip.size()), 0,
                             [](void* buffer, uint32_t, int32_t) -> void* { return buffer; }};
    for (auto _ : state) {
        engine.FreeCache(); // every round reads and decodes the sensor data again
        const VqStatus s = engine.RenderImage(&record, nullptr);
        if (s != VQ_OK) state.SkipWithError("render failed");
        benchmark::DoNotOptimize(strip.data());
    }
    state.counters["Mpixel/s"] = benchmark::Counter(double(kWidth) * kHeight * double(state.iterations()) / 1e6,
                                                    benchmark::Counter::kIsRate);
}

void BM_RawEngineRenderPlainToRgb16(benchmark::State& state) { RenderWhole(state, false); }
void BM_RawEngineRenderLosslessJpegToRgb16(benchmark::State& state) { RenderWhole(state, true); }

BENCHMARK(BM_RawEngineRenderPlainToRgb16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawEngineRenderLosslessJpegToRgb16)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
