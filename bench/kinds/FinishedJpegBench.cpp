// Rendering a 24-Mpixel baseline JPEG into 8-bit RGB, and its thumbnail
// from the main image at 1/8. bench/kinds/finished_vs_peers.sh runs these beside
// djpeg on the same file.
#include "ExportImageArray.h"
#include "FinishedJPEGImage.h"
#include "JpegFixture.h"

#include <benchmark/benchmark.h>

#include <filesystem>

using namespace NimbalCore;

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

const std::string& JpegPath() {
    static const std::string path = [] {
        const char* given = std::getenv("LUMORA_BENCH_JPEG");
        const std::string p =
            given ? given : (std::filesystem::temp_directory_path() / "lumora-bench-24mp.jpg").string();
        if (!std::filesystem::exists(p))
            JpegFixture::WriteFile(p, JpegFixture::Encode(JpegFixture::Pattern(kWidth, kHeight, 3, 1), 90));
        return p;
    }();
    return path;
}

void BM_FinishedJpegRender(benchmark::State& state) {
    FinishedJPEGImage image{FilePathSpec(JpegPath())};
    if (image.Open() != 0) {
        state.SkipWithError("open failed");
        return;
    }
    const NbRect size = image.GetNativeImageRect();
    ExportImageArray out;
    out.SetPixelType(PixelArray::RGB);
    out.SetBounds(size);
    out.SetRowBytes(int32_t(size.Width() * 3));
    out.Create(uint64_t(size.Width()) * uint64_t(size.Height()) * 3);
    for (auto _ : state) image.RenderImage(ImageProcessParam(), out, false, nullptr, 1);
    state.SetItemsProcessed(int64_t(state.iterations()) * size.Width() * size.Height());
}
BENCHMARK(BM_FinishedJpegRender)->Unit(benchmark::kMillisecond);

void BM_FinishedJpegThumbnail(benchmark::State& state) {
    FinishedJPEGImage image{FilePathSpec(JpegPath())};
    if (image.Open() != 0) {
        state.SkipWithError("open failed");
        return;
    }
    const NbRect size = image.GetNativeThumbnailRect();
    ExportImageArray out;
    out.SetPixelType(PixelArray::RGB);
    out.SetBounds(size);
    out.SetRowBytes(int32_t(size.Width() * 3));
    out.Create(uint64_t(size.Width()) * uint64_t(size.Height()) * 3);
    for (auto _ : state) {
        // Built again each time: nothing kept from the last round.
        image.FreeCachedData();
        image.RenderThumbnail(ImageProcessParam(), out);
    }
}
BENCHMARK(BM_FinishedJpegThumbnail)->Unit(benchmark::kMillisecond);

} // namespace
