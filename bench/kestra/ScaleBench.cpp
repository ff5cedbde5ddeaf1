// Resampling a 4000 x 3000 picture of three interleaved 16-bit planes with the
// built-in 32-tap resampler, strip by strip (256 destination rows, one
// destination strip buffer reused), with the gathered and the ring pass:
//   Reduce2   2:1, rate in source pixels per second
//   Enlarge3  1:3, rate in destination pixels per second
#include "FpResamplePass.h"
#include "FpScaleStrip.h"
#include "Kestra.h"
#include "PsfFilterRecord.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace kestra;

namespace {

constexpr int32_t kW = 4000, kH = 3000, kPlanes = 3, kStripRows = 256;

std::vector<uint8_t> resamplerBytes() {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(KESTRA_BENCH_RESAMPLER, "rb")) {
        uint8_t buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return bytes;
}

PSFPicture interleaved(uint16_t* data, int32_t columns, int32_t rows, int32_t rowSamples, PSFRect rect, int32_t width,
                       int32_t height) {
    PSFPicture p{};
    p.rect = rect;
    p.width = width;
    p.height = height;
    p.planeCount = kPlanes;
    for (int i = 0; i < kPlanes; ++i)
        p.planes[i] = {columns, 2 * kPlanes, rows, 2 * rowSamples, PSFSample16b, data + i};
    return p;
}

struct Job {
    PSFRect destination, source, aux;
};

void run(benchmark::State& state, double scale, FpResampleFunction pass) {
    PSFCaller caller = 0;
    PSFInitialize(&caller);
    const std::vector<uint8_t> bytes = resamplerBytes();
    PSFFilter f = 0;
    if (bytes.empty() || PSFLoadFilterFromBuffer(caller, bytes.data(), uint32_t(bytes.size()), &f) != PSFSuccess) {
        state.SkipWithError("no resampler");
        PSFTerminate(caller);
        return;
    }
    const double m[4] = {scale, 0, 0, scale}, o[2] = {(scale - 1) / 2, (scale - 1) / 2};
    PSFAffineSetup(f, m, o);
    const int32_t dw = int32_t(kW * scale), dh = int32_t(kH * scale);
    std::vector<uint16_t> src(size_t(kW) * kH * kPlanes), strip(size_t(dw) * kStripRows * kPlanes);
    std::mt19937 rng(3);
    for (auto& v : src) v = uint16_t(rng());

    // The rectangles of every strip, asked once inside the bracket.
    const PSFRect whole{0, 0, kW, kH};
    PSFStripBegin(f, &whole);
    std::vector<Job> jobs;
    int64_t workSamples = 0;
    for (int32_t y = 0; y < dh; y += kStripRows) {
        Job j{};
        j.destination = PSFRect{0, y, dw, std::min(dh, y + kStripRows)};
        PSFRect second{};
        uint16_t flag = 0;
        PSFRectangles(f, &j.source, &second, &j.aux, &j.destination, &flag, 1, 0);
        workSamples = std::max<int64_t>(workSamples, int64_t(j.aux.x1) * j.aux.y1 * kPlanes);
        jobs.push_back(j);
    }
    std::vector<uint16_t> work(static_cast<size_t>(workSamples));
    PsfFilterRecord* record = PsfLockFilterRecord(f);
    const Handle fp = record->filter;
    PsfUnlockFilterRecord(f);

    for (auto _ : state) {
        for (const Job& j : jobs) {
            const PSFRect& s = j.source;
            PSFPicture S = interleaved(src.data() + (int64_t(s.y0) * kW + s.x0) * kPlanes, s.x1 - s.x0, s.y1 - s.y0, kW,
                                       s, kW, kH);
            PSFPicture D = interleaved(strip.data(), dw, j.destination.y1 - j.destination.y0, dw, j.destination, dw, dh);
            PSFPicture W = interleaved(work.data(), j.aux.x1, j.aux.y1, j.aux.x1, j.aux, j.aux.x1, j.aux.y1);
            FpRunRecord r{5, {0, 0, 0}, nullptr};
            if (FpScale(fp, &S, &W, &D, nullptr, r, 4, pass) != FpOk) state.SkipWithError("scale failed");
        }
        benchmark::DoNotOptimize(strip.data());
    }
    const int64_t pixels = scale < 1 ? int64_t(kW) * kH : int64_t(dw) * dh;
    state.counters["Mpixel/s"] = benchmark::Counter(double(pixels) * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
    PSFStripEnd(f);
    PSFFreeFilter(f);
    PSFTerminate(caller);
}

void BM_Reduce2_Fast(benchmark::State& s) { run(s, 0.5, FpResamplePass); }
void BM_Reduce2_Reference(benchmark::State& s) { run(s, 0.5, FpResamplePassReference); }
void BM_Enlarge3_Fast(benchmark::State& s) { run(s, 3.0, FpResamplePass); }
void BM_Enlarge3_Reference(benchmark::State& s) { run(s, 3.0, FpResamplePassReference); }

BENCHMARK(BM_Reduce2_Fast)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Reduce2_Reference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Enlarge3_Fast)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Enlarge3_Reference)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
