// Sharpening a 4000 x 3000 picture of three interleaved 16-bit planes in
// gain-table mode, strip engine with the fast and the reference pass:
//   Plane0_7taps  plane 0 sharpened, planes 1 and 2 copied (the sharpen
//                 library's case)
//   All_15taps    all three planes
// and one convolution pass alone. Rates are in pixels per second.
#include "FpConvolvePass.h"
#include "FpFilterRecord.h"
#include "FpSharpenStrip.h"
#include "Kestra.h"
#include "PsfFilterRecord.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

using namespace kestra;

namespace {

constexpr int32_t kW = 4000, kH = 3000, kPlanes = 3;

struct Fixture {
    PSFCaller caller = 0;
    std::vector<uint16_t> src, dst;
    Fixture() {
        PSFInitialize(&caller);
        std::mt19937 rng(1);
        src.resize(size_t(kW) * kH * kPlanes);
        for (auto& v : src) v = uint16_t(rng());
        dst.resize(src.size());
    }
    PSFPicture picture(std::vector<uint16_t>& data) const {
        PSFPicture p{};
        p.rect = {0, 0, kW, kH};
        p.width = kW;
        p.height = kH;
        p.planeCount = kPlanes;
        for (int i = 0; i < kPlanes; ++i) p.planes[i] = {kW, 2 * kPlanes, kH, 2 * kPlanes * kW, PSFSample16, data.data() + i};
        return p;
    }
    // A 64-variant unsharp filter with blend pairs, set up with a gain table.
    PSFFilter filter(int32_t taps) {
        std::vector<double> k, pairs;
        const int32_t c = taps / 2;
        for (int32_t v = 0; v < 64; ++v) {
            double sum = 0;
            std::vector<double> blur(static_cast<size_t>(taps));
            for (int32_t t = 0; t < taps; ++t) sum += blur[size_t(t)] = double(c + 1 - std::abs(t - c));
            for (double b : blur) k.push_back(b / sum);
            pairs.push_back(-v / 64.0);
            pairs.push_back(1 + v / 64.0);
        }
        const double level = 1.0;
        PSFFilter f = 0;
        PSFCreateFilterFromData(caller, 1, 1, 64, taps, &level, k.data(), pairs.data(), &f);
        uint8_t table[256];
        for (int i = 0; i < 256; ++i) table[i] = uint8_t(i);
        PSFSharpenSetupT(f, 1.0, 1, table, 2);
        return f;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void sharpen(benchmark::State& state, int32_t taps, bool allPlanes, FpPassFunction pass) {
    Fixture& fx = fixture();
    const PSFFilter f = fx.filter(taps);
    PsfFilterRecord* r = PsfLockFilterRecord(f);
    const Handle fp = r->filter;
    const int32_t level = r->levelIndex, gain = r->gainIndex;
    PsfUnlockFilterRecord(f);
    PSFPicture s = fx.picture(fx.src), d = fx.picture(fx.dst), work{};
    if (!allPlanes) d.planes[1].data = d.planes[2].data = nullptr;
    const PSFRect aux{0, 0, kH, kW}; // transposed in gain-table mode
    PSFAllocPicture(&s, &aux, &work);
    for (auto _ : state) {
        const FpStatus st = FpSharpenStripKind5(fp, level, gain, level, gain, &s, &s, &work, &d, nullptr, taps, pass);
        if (st != FpOk) state.SkipWithError("sharpen failed");
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kW) * kH);
    PSFFreePicture(&work);
    PSFFreeFilter(f);
}

void BM_Sharpen_Plane0_7taps(benchmark::State& s) { sharpen(s, 7, false, FpConvolvePass); }
void BM_Sharpen_Plane0_7taps_Reference(benchmark::State& s) { sharpen(s, 7, false, FpConvolvePassReference); }
void BM_Sharpen_All_15taps(benchmark::State& s) { sharpen(s, 15, true, FpConvolvePass); }
void BM_Sharpen_All_15taps_Reference(benchmark::State& s) { sharpen(s, 15, true, FpConvolvePassReference); }

// One row pass over plane 0 with per-sample kernels (the gain-table case).
void pass(benchmark::State& state, FpPassFunction run) {
    Fixture& fx = fixture();
    const int32_t T = int32_t(state.range(0));
    std::vector<int32_t> taps(size_t(64 * 2 * T), 8);
    std::vector<const int32_t*> table(256);
    for (int c = 0; c < 256; ++c) table[size_t(c)] = taps.data() + (c / 4) * 2 * T + T;
    std::vector<uint16_t> out(size_t(kW) * kH);
    const PSFPlane in{kW, 2 * kPlanes, kH, 2 * kPlanes * kW, PSFSample16, fx.src.data()};
    const PSFPlane o{kW, 2, kH, 2 * kW, PSFSample16, out.data()};
    const size_t scratchSize = size_t(kW + T) * kFpPassBlock;
    std::vector<int32_t> ring(static_cast<size_t>(T)), line(scratchSize), sums(scratchSize);
    std::vector<uint8_t> control(scratchSize);
    FpPassScratch scratch{line.data(), sums.data(), control.data(), kW, T, kFpPassBlock};
    FpPassArgs a{};
    a.input = &in;
    a.inputValid = a.inputStart = a.outputLines = a.outputSamples = {0, 0, kW, kH};
    a.output = &o;
    a.control = &in;
    a.controlBuffer = a.controlStart = {0, 0, kW, kH};
    a.taps = T;
    a.fractionBits = 9;
    a.kernels = table.data();
    a.ring = ring.data();
    a.scratch = &scratch;
    for (auto _ : state) run(a);
    state.SetItemsProcessed(state.iterations() * int64_t(kW) * kH);
}

void BM_Pass(benchmark::State& s) { pass(s, FpConvolvePass); }
void BM_Pass_Reference(benchmark::State& s) { pass(s, FpConvolvePassReference); }

} // namespace

BENCHMARK(BM_Sharpen_Plane0_7taps)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sharpen_Plane0_7taps_Reference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sharpen_All_15taps)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sharpen_All_15taps_Reference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pass)->Arg(7)->Arg(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pass_Reference)->Arg(7)->Arg(15)->Unit(benchmark::kMillisecond);
