// Whole raw-engine renders of lossless-JPEG family-1 mosaics of 1, 4, 12 and 16
// Mpixel to RGB16, with the caller's buffer holding the whole picture (0 rows)
// or 64 rows, and the process's peak memory over the render: `peakMB` is the
// peak resident size while rendering, `renderMB` what the render added to what
// was resident before it (the caller's buffer excluded, the sensor cache
// included).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "RawEngineFixture.h"
#include "VqOutputTypes.h"

using namespace lumora;
using namespace lumora::test;

namespace {

// A line of /proc/self/status, in MB.
double StatusMB(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::strtod(line.c_str() + std::strlen(key), nullptr) / 1024.0;
    return 0;
}

// Starts the peak resident size again from the present size.
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_RawEngineRenderSizes(benchmark::State& state) {
    const double mpixel = double(state.range(0));
    const int32_t bufferRows = int32_t(state.range(1));
    int width = int(std::sqrt(mpixel * 1e6 * 4 / 3));
    width -= width % 16;
    int height = width * 3 / 4;
    height -= height % 16;
    const Sensor sensor = BusySensor(width, height, 1);
    const RawFile file = LosslessFile(sensor);
    EngineOptions o;
    o.identityCurves = false;
    o.balance[0] = 700;
    o.balance[2] = 500;
    RawEngine engine;
    MemoryImage image;
    EngineSetup setup;
    setup.Configure(engine, image, file, width, height, o);
    SetParameter(engine, RP_OUTPUT_TYPE, int32_t(VQ_TYPE_RGB16));
    const size_t rowBytes = size_t(width) * 6;
    std::vector<uint8_t> buffer(rowBytes * size_t(bufferRows ? bufferRows : height));
    ImageBufferRecord record{buffer.data(), uint32_t(buffer.size()), 0,
                             [](void* b, uint32_t, int32_t) -> void* { return b; }};
    engine.FreeCache();
    const double before = StatusMB("VmRSS:");
    ResetPeak();
    for (auto _ : state) {
        engine.FreeCache(); // every round reads and decodes the sensor data again
        if (engine.RenderImage(&record, nullptr) != VQ_OK) state.SkipWithError("render failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    const double peak = StatusMB("VmHWM:");
    state.counters["peakMB"] = peak;
    state.counters["renderMB"] = peak - before;
    state.counters["outputMB"] = double(rowBytes) * height / (1024.0 * 1024.0);
    state.counters["Mpixel/s"] = benchmark::Counter(double(width) * height * double(state.iterations()) / 1e6,
                                                    benchmark::Counter::kIsRate);
}

BENCHMARK(BM_RawEngineRenderSizes)
    ->ArgNames({"Mpixel", "bufferRows"})
    ->ArgsProduct({{1, 4, 12, 16}, {0, 64}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
