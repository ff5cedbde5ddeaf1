// A whole raw-engine render of a synthetic 4000 x 3000 family-1 mosaic to RGB16:
// cache decoding (plain big-endian samples or lossless JPEG) and every strip
// stage, delivered strip by strip as a caller with a small buffer takes it. The
// same for the version-3 engine, plain, and with its chroma filter and eight
// concealed columns. The family-1 render again on 1, 2, 4 and 8 lanes of the
// worker pool, whole and with the sensor data already decoded.
#include <benchmark/benchmark.h>

#include <vector>

#include "RawEngineFixture.h"
#include "RawEngineV3.h"
#include "RawEngineV3Fixture.h"
#include "VqOutputTypes.h"
#include "WorkerPool.h"

using namespace lumora;
using namespace lumora::test;

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

enum class Engine { Family1, V3, V3Filtered };

// lanes 0: the pool as the process sized it; keepDecoded: the sensor data is
// decoded once, before the timing.
void RenderWhole(benchmark::State& state, bool compressed, Engine kind = Engine::Family1, unsigned lanes = 0,
                 bool keepDecoded = false) {
    if (lanes) WorkerPool::Shared().SetLanes(lanes);
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
    RawEngine family1;
    RawEngineV3 v3;
    RawEngine& engine = kind == Engine::Family1 ? family1 : v3;
    MemoryImage image;
    EngineSetup setup;
    setup.Configure(engine, image, file, kWidth, kHeight, o);
    V3Setup v3Setup;
    V3Options v3Options;
    if (kind == Engine::V3Filtered) {
        v3Options.chromaLevel = 100;
        v3Options.badColumns = {100, 101, 777, 1500, 2222, 2900, 3333, 3900};
    }
    if (kind != Engine::Family1) v3Setup.Configure(engine, kWidth, kHeight, v3Options);
    SetParameter(engine, RP_OUTPUT_TYPE, int32_t(VQ_TYPE_RGB16));
    std::vector<uint8_t> strip(size_t(kWidth) * 6 * 128);
    ImageBufferRecord record{strip.data(), uint32_t(strip.size()), 0,
                             [](void* buffer, uint32_t, int32_t) -> void* { return buffer; }};
    if (keepDecoded && engine.RenderImage(&record, nullptr) != VQ_OK) state.SkipWithError("render failed");
    for (auto _ : state) {
        if (!keepDecoded) engine.FreeCache(); // every round reads and decodes the sensor data again
        const VqStatus s = engine.RenderImage(&record, nullptr);
        if (s != VQ_OK) state.SkipWithError("render failed");
        benchmark::DoNotOptimize(strip.data());
    }
    if (lanes) WorkerPool::Shared().SetLanes(ProcessorCount());
    state.counters["Mpixel/s"] = benchmark::Counter(double(kWidth) * kHeight * double(state.iterations()) / 1e6,
                                                    benchmark::Counter::kIsRate);
}

void BM_RawEngineRenderPlainToRgb16(benchmark::State& state) { RenderWhole(state, false); }
void BM_RawEngineRenderLosslessJpegToRgb16(benchmark::State& state) { RenderWhole(state, true); }

void BM_RawEngineV3RenderPlainToRgb16(benchmark::State& state) { RenderWhole(state, false, Engine::V3); }
void BM_RawEngineV3RenderLosslessJpegToRgb16(benchmark::State& state) { RenderWhole(state, true, Engine::V3); }
void BM_RawEngineV3RenderChromaAndColumnsToRgb16(benchmark::State& state) {
    RenderWhole(state, false, Engine::V3Filtered);
}

// The lane curve: the whole render and the strip work after decoding.
void BM_RawEngineRenderLosslessJpegToRgb16Lanes(benchmark::State& state) {
    RenderWhole(state, true, Engine::Family1, unsigned(state.range(0)));
}
void BM_RawEngineRenderDecodedToRgb16Lanes(benchmark::State& state) {
    RenderWhole(state, true, Engine::Family1, unsigned(state.range(0)), true);
}

BENCHMARK(BM_RawEngineRenderLosslessJpegToRgb16Lanes)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawEngineRenderDecodedToRgb16Lanes)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawEngineRenderPlainToRgb16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawEngineRenderLosslessJpegToRgb16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawEngineV3RenderPlainToRgb16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawEngineV3RenderLosslessJpegToRgb16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawEngineV3RenderChromaAndColumnsToRgb16)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
