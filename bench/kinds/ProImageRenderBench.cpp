// Rendering a 6000 x 4000 raw file of the newest models through the stand-in
// driver at full size into 16-bit RGB, on one and on two threads
// (LUMORA_CPU_COUNT 1 and 2). Every run's bytes are compared with the first's.
#include "ImagePool.h"
#include "ImageRef.h"
#include "ImageRendering.h"
#include "ProImage.h"
#include "RenderBuffer.h"
#include "ZproWriter.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

using namespace NimbalCore;

namespace {

constexpr uint32_t kWidth = 6000, kHeight = 4000;

const std::string& FilePath() {
    static const std::string path = [] {
        const std::string p = (std::filesystem::temp_directory_path() / "lumora-bench-pro-24mp.zyr").string();
        ZproSpec spec;
        spec.width = kWidth, spec.height = kHeight, spec.modelCode = 2048;
        spec.SetDefaults();
        // Noise reduction on, so that the driver's 3 x 3 filter runs.
        spec.Set(1822, ZproValue::Ints(2, {1}));
        spec.Set(1820, ZproValue::Ints(2, {50}));
        WriteZproFile(p, spec);
        return p;
    }();
    return path;
}

ProImage* Image24() {
    static ProImage* image = [] {
        ProImage::InstallPoolSteps();
        ImagePool::Instance();
        auto* i = new ProImage(FilePathSpec(FilePath()), ProImage::Wren4);
        i->AddReference();
        if (i->Open() != 0) std::abort();
        return i;
    }();
    return image;
}

void RenderOnce(RenderBuffer& buffer) {
    ProImage* image = Image24();
    ImageProcessParam params = *image->GetProcessParams();
    params.noiseReductionMode = 1;
    ImageRendering rendering(ImageRef(image), params);
    buffer.RenderFrom(&rendering, nullptr, 1, 1);
}

void Prepare(RenderBuffer& buffer) {
    buffer.SetPixelType(PixelArray::RGB);
    buffer.SetBytesPerSample(2);
    buffer.SetBounds(NbRect(0, 0, kWidth - 1, kHeight - 1));
    buffer.SetRowBytes(kWidth * 6);
}

void BM_ProImageRender(benchmark::State& state) {
    const std::string cpus = std::to_string(state.range(0));
    // The bytes of the first render, to which every later one is compared
    // whole, outside the timing.
    static std::vector<uint8_t> reference;
    ::setenv("LUMORA_CPU_COUNT", cpus.c_str(), 1);
    RenderBuffer buffer;
    Prepare(buffer);
    // Writing and opening the file, and the first render's one-off costs
    // (memory the process grows into), stay outside the timing.
    RenderOnce(buffer);
    for (auto _ : state) RenderOnce(buffer);
    const auto* p = static_cast<const uint8_t*>(buffer.GetData());
    const size_t bytes = size_t(buffer.GetRowBytes()) * kHeight;
    if (reference.empty()) reference.assign(p, p + bytes);
    else if (reference.size() != bytes || std::memcmp(reference.data(), p, bytes) != 0)
        state.SkipWithError("renders on one and on two threads differ");
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(kWidth) * kHeight * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
    ::unsetenv("LUMORA_CPU_COUNT");
}
BENCHMARK(BM_ProImageRender)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace
