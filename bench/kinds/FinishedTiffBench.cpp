// Rendering a 24-Mpixel 16-bit finished TIFF into 8-bit RGB, against reading
// the same file's bytes.
#include "ExportImageArray.h"
#include "FinishedTIFFImage.h"
#include "FinishedTiffWriter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <vector>

using namespace NimbalCore;

namespace {

constexpr uint32_t kWidth = 6000, kHeight = 4000;

const std::string& TiffPath() {
    static const std::string path = [] {
        const std::string p = (std::filesystem::temp_directory_path() / "lumora-bench-24mp.tif").string();
        FinishedTiffSpec spec;
        spec.width = kWidth, spec.height = kHeight, spec.bits = 16;
        spec.pixels.assign(size_t(kWidth) * kHeight * 6, 0x5A);
        FinishedTiffWriter::Write(p, spec);
        return p;
    }();
    return path;
}

void BM_FinishedTiffRender(benchmark::State& state) {
    FinishedTIFFImage image{FilePathSpec(TiffPath())};
    if (image.Open() != 0) {
        state.SkipWithError("open failed");
        return;
    }
    ExportImageArray out;
    out.SetPixelType(PixelArray::RGB);
    out.SetBounds(NbRect(0, 0, kWidth - 1, kHeight - 1));
    out.SetRowBytes(kWidth * 3);
    out.Create(uint64_t(kWidth) * kHeight * 3);
    for (auto _ : state) image.RenderImage(ImageProcessParam(), out, false, nullptr, 1);
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_FinishedTiffRender)->Unit(benchmark::kMillisecond);

void BM_ReadTiffBytes(benchmark::State& state) {
    std::vector<uint8_t> buffer(size_t(kWidth) * 256 * 6);
    for (auto _ : state) {
        FILE* f = std::fopen(TiffPath().c_str(), "rb");
        while (std::fread(buffer.data(), 1, buffer.size(), f) == buffer.size()) {
        }
        std::fclose(f);
    }
}
BENCHMARK(BM_ReadTiffBytes)->Unit(benchmark::kMillisecond);

} // namespace
