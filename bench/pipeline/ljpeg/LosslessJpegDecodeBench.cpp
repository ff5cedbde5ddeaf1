// Decode throughput of lossless-JPEG sensor data: a 4000 × 3000 14-bit Bayer
// mosaic coded as camera DNGs do (two components of 2000 columns, predictor 1),
// decoded by the fast path, the reference path, and by LibRaw (its own unpack
// time as dcraw_emu -timing reports it, on the same stream wrapped as a DNG).
#include "LjpegDngWriter.h"
#include "LosslessJpegDecoder.h"
#include "LosslessJpegEncoder.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kWidth = 4000, kHeight = 3000, kBits = 14;

struct Fixture {
    std::vector<uint16_t> mosaic;
    std::vector<uint8_t> stream;
    std::string dir, dngPath;

    Fixture() {
        // A smooth scene with edges and sensor noise, per-channel levels of a
        // daylight exposure.
        std::mt19937 rng(42);
        std::normal_distribution<double> noise(0.0, 1.0);
        mosaic.resize(size_t(kWidth) * kHeight);
        const double gain[4] = {0.45, 1.0, 1.0, 0.6};
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x) {
                const double u = x / double(kWidth), v = y / double(kHeight);
                double scene = 0.5 + 0.3 * std::sin(9 * u + 4 * v) * std::cos(7 * v) + ((x / 250 + y / 250) % 2 ? 0.1 : -0.1);
                double s = scene * gain[(y & 1) * 2 + (x & 1)] * 12000.0 + 512.0;
                s += noise(rng) * std::sqrt(s) * 0.8;
                mosaic[size_t(y) * kWidth + x] = uint16_t(std::lround(std::fmin(std::fmax(s, 0.0), 16383.0)));
            }
        ljpegenc::EncodeOptions o;
        o.columns = kWidth / 2;
        o.rows = kHeight;
        o.components = 2;
        o.precision = kBits;
        o.predictor = 1;
        ljpegenc::encodeLosslessJpeg(mosaic.data(), o, stream);
        char tmpl[] = "/tmp/lumora-ljpeg-bench-XXXXXX";
        if (::mkdtemp(tmpl)) {
            dir = tmpl;
            dngPath = dir + "/mosaic.dng";
            const auto dng = ljpegenc::wrapLjpegAsDng(stream, kWidth, kHeight, kBits);
            std::ofstream(dngPath, std::ios::binary).write(reinterpret_cast<const char*>(dng.data()), std::streamsize(dng.size()));
        }
    }
    ~Fixture() {
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }
};

const Fixture& fixture() {
    static Fixture f;
    return f;
}

void decodeBench(benchmark::State& state, lumora::LosslessJpegDecoder::Path path) {
    const Fixture& f = fixture();
    std::vector<uint16_t> out(f.mosaic.size());
    for (auto _ : state) {
        lumora::LosslessJpegDecoder dec;
        dec.setPath(path);
        *dec.parameters()[lumora::LosslessJpegDecoder::InputBytes] = int32_t(f.stream.size());
        const VqStatus st = dec.Decode(f.stream.data(), out.data(), out.size(), kWidth, kHeight);
        if (st != VQ_OK) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.data());
    }
    if (out != f.mosaic) state.SkipWithError("decoded samples differ");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.stream.size()));
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(state.iterations()) * kWidth * kHeight / 1e6, benchmark::Counter::kIsRate);
    state.counters["stream_MB"] = double(f.stream.size()) / 1e6;
}

void BM_LjpegDecodeFast(benchmark::State& state) { decodeBench(state, lumora::LosslessJpegDecoder::Path::Fast); }
void BM_LjpegDecodeReference(benchmark::State& state) {
    decodeBench(state, lumora::LosslessJpegDecoder::Path::Reference);
}

// LibRaw's unpack time of the same stream, from its own timing report.
void BM_LibRawUnpack(benchmark::State& state) {
    const Fixture& f = fixture();
    if (f.dngPath.empty() || std::system("command -v dcraw_emu >/dev/null 2>&1") != 0) {
        state.SkipWithError("dcraw_emu (libraw-bin) is not installed");
        return;
    }
    const std::string cmd = "dcraw_emu -timing -h -disinterp -Z '" + f.dngPath + ".ppm' '" + f.dngPath + "' 2>&1";
    for (auto _ : state) {
        FILE* p = ::popen(cmd.c_str(), "r");
        double ms = -1;
        char line[512];
        while (p && std::fgets(line, sizeof line, p)) {
            const char* at = std::strstr(line, "unpack():");
            if (at) ms = std::atof(at + 9);
        }
        if (p) ::pclose(p);
        if (ms < 0) {
            state.SkipWithError("no unpack time in dcraw_emu's report");
            return;
        }
        state.SetIterationTime(ms / 1000.0);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.stream.size()));
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(state.iterations()) * kWidth * kHeight / 1e6, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_LjpegDecodeFast)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LjpegDecodeReference)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LibRawUnpack)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8);
