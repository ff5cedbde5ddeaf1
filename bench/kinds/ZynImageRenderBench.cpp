// The largest raw file of family 1 the camera interface reads (a sensor of
// 4096 x 4096, plain data: 16.8 Mpixel; its sides and data are limited to
// 4096 and 32 MiB; a header image of 256 x 192) through the older raw kind and, side by side in the same
// run, through the camera interface's calls as vqclient makes them (same
// file, output type and window):
//   BM_ZynImageRender      ImageRendering at full size into 16-bit RGB
//   BM_VqRender            VqGetImage of the whole image, VQ_TYPE_RGB16
//   BM_ZynImageThumbnail   ZynImage::RenderThumbnail into 8-bit RGB
//   BM_VqThumbnail         VqGetThumbnail, VQ_TYPE_RGB8
// Every run's bytes are compared with the first's; the kind's render is
// compared with the interface's once, outside the timing.
//
//   LUMORA_PROGRAM_DIR=build/bin build/bench/zyn_image_bench
#include "ImageRendering.h"
#include "ImageWerks.h"
#include "InstalledImageKinds.h"
#include "ImagePool.h"
#include "RenderBuffer.h"
#include "ZynImage.h"
#include "ZyrSample.h"
#include "ZyrWriter.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

using namespace NimbalCore;

namespace {

constexpr uint32_t kSensorWidth = 4096, kSensorHeight = 4096;  // margins of 2 leave 4092 x 4092
constexpr uint32_t kWidth = 4092, kHeight = 4092;

const std::string& FilePath() {
    static const std::string path = [] {
        const std::string p = (std::filesystem::temp_directory_path() / "lumora-bench-zyn-16mp-256.zyr").string();
        ZyrSampleOptions o;
        o.sensorWidth = kSensorWidth;
        o.sensorHeight = kSensorHeight;
        o.tagWord = 1;
        o.settingsData = true;
        // A header image (the thumbnail) of 256 x 192.
        o.thumbWidth = 256;
        o.thumbHeight = 192;
        ZyrWriter writer(o.order);
        ZyrSample::Fill(writer, o);
        const std::vector<uint8_t> bytes = writer.Build();
        std::ofstream(p, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p;
    }();
    return path;
}

ImageRef& Image16() {
    static ImageRef image = [] {
        InstalledImageKinds::Install();
        ImagePool::Instance();
        ImageRef i;
        if (ImageWerks().OpenImage(FilePathSpec(FilePath()), i) != 0 || !dynamic_cast<ZynImage*>(i.Get())) std::abort();
        return i;
    }();
    return image;
}

ImageProcessParam Params() {
    ImageProcessParam p = *Image16()->GetProcessParams();
    // The interface's own RGB, unsharpened: what vqclient gets.
    p.workingSpaceName = Image16()->GetSourceColorSpaceName();
    p.sharpenAmount = 0;
    p.crop = Image16()->GetNativeImageRect();
    return p;
}

// The interface's calls as vqclient makes them, on an image of its own.
struct VqImage {
    ImageInfoRecord info{};
    explicit VqImage(uint32_t type) {
        // The file is held by one open image at a time: the kind's waits
        // closed until its own benchmark opens it again.
        Image16()->Close();
        if (VqOpenImageFile(FilePath().c_str(), &info) != 0 || VqSetImageType(&info, type) != 0) std::abort();
    }
    ~VqImage() { VqCloseImage(&info); }
};

void* Next(void* at, uint32_t bytes, int32_t) { return static_cast<uint8_t*>(at) + bytes; }

std::vector<uint8_t>& KindRender() {
    static std::vector<uint8_t> bytes;
    return bytes;
}

void CheckSame(benchmark::State& state, std::vector<uint8_t>& reference, const uint8_t* p, size_t n) {
    if (reference.empty()) reference.assign(p, p + n);
    if (reference.size() != n || std::memcmp(reference.data(), p, n) != 0) state.SkipWithError("bytes differ");
}

void BM_ZynImageRender(benchmark::State& state) {
    RenderBuffer buffer;
    buffer.SetPixelType(PixelArray::RGB);
    buffer.SetBytesPerSample(2);
    buffer.SetBounds(NbRect(0, 0, kWidth - 1, kHeight - 1));
    buffer.SetRowBytes(kWidth * 6);
    ImageRendering rendering(Image16(), Params());
    // The first render's one-off costs stay outside the timing.
    buffer.RenderFrom(&rendering, nullptr, 1, 1);
    for (auto _ : state) buffer.RenderFrom(&rendering, nullptr, 1, 1);
    CheckSame(state, KindRender(), static_cast<const uint8_t*>(buffer.GetData()), size_t(kWidth) * kHeight * 6);
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

void BM_VqRender(benchmark::State& state) {
    VqImage image(VQ_TYPE_RGB16);
    std::vector<uint8_t> out(size_t(image.info.geometry.outputBytes));
    auto render = [&] {
        ImageBufferRecord buffer{out.data(), uint32_t(out.size()), 0, &Next};
        if (VqGetImage(&image.info, &buffer, nullptr) != 0) std::abort();
    };
    render();
    for (auto _ : state) render();
    static std::vector<uint8_t> reference;
    CheckSame(state, reference, out.data(), out.size());
    // The interface's render windows the image into the strips the core asks
    // for: the kind's bytes are the interface's, but for the rows where two
    // strips meet. Counted, not timed.
    if (!KindRender().empty() && KindRender().size() == out.size()) {
        size_t rows = 0;
        const size_t row = size_t(kWidth) * 6;
        for (size_t y = 0; y < kHeight; ++y)
            if (std::memcmp(KindRender().data() + y * row, out.data() + y * row, row) != 0) ++rows;
        state.counters["rows_unlike_kind"] = double(rows);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

void BM_ZynImageThumbnail(benchmark::State& state) {
    auto* zyn = dynamic_cast<ZynImage*>(Image16().Get());
    const NbRect t = zyn->GetNativeThumbnailRect();
    RenderBuffer buffer;
    buffer.SetPixelType(PixelArray::RGB);
    buffer.SetBytesPerSample(1);
    buffer.SetBounds(t);
    buffer.SetRowBytes(int32_t(t.Width() * 3));
    const uint64_t bytes = uint64_t(t.Width()) * uint64_t(t.Height()) * 3;
    buffer.Create(bytes);
    std::memset(buffer.GetData(), 0, size_t(bytes));
    const ImageProcessParam params = Params();
    zyn->RenderThumbnail(params, buffer);
    for (auto _ : state) zyn->RenderThumbnail(params, buffer);
    static std::vector<uint8_t> reference;
    CheckSame(state, reference, static_cast<const uint8_t*>(buffer.GetData()), size_t(bytes));
}

void BM_VqThumbnail(benchmark::State& state) {
    VqImage image(VQ_TYPE_RGB8);
    std::vector<uint8_t> out(size_t(image.info.geometry.fullBytes), 0);
    if (VqGetThumbnail(&image.info, out.data()) != 0) std::abort();
    for (auto _ : state)
        if (VqGetThumbnail(&image.info, out.data()) != 0) std::abort();
    static std::vector<uint8_t> reference;
    CheckSame(state, reference, out.data(), out.size());
}

// Each pair side by side, taking turns, in one run.
BENCHMARK(BM_ZynImageRender)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VqRender)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZynImageThumbnail)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_VqThumbnail)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
