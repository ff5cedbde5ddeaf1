// JPEG conversion of a 4000 x 3000 picture at full size: an RGB TIFF file, whose
// rendering is a copy, so the figure is the conversion's own (strips, libjpeg,
// the file). "Rendered" converts the open image again and again, as a program
// converting what it shows would; "FromFile" drops the image's cache before
// each conversion, so the file is read again, as cjpeg reads its input.
// Compare with cjpeg on the same pixels (PPM) at the same tables, side by side:
//   bench/camera/jpeg_conversion_vs_cjpeg.sh [build dir]
// (quality 2 of a family-1 model at full size installs JPEG's example tables
// at quality 50, which is what cjpeg -quality 50 writes).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "VqCamera.h"
#include "VqImage.h"
#include "Vq.h"
#include "ZyrCameraFile.h"

namespace {

constexpr uint32_t kWidth = 4000, kHeight = 3000;

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

void JpegConversionFullSize(benchmark::State& state, bool fromFile) {
    lumora::test::TempFolder dir;
    ZyrCameraFileOptions o;
    o.rgbTiff = true;
    o.model = "ZYNM11";
    o.width = kWidth;
    o.height = kHeight;
    o.order = lumora::ByteOrder::Little;
    const std::string tif = (dir.path() / "picture.tif").string();
    Write(tif, ZyrCameraFile::Make(o));
    // The same pixels for cjpeg.
    std::string ppm = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
    std::vector<uint8_t> pnm(ppm.begin(), ppm.end());
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) pnm.push_back(ZyrCameraFile::Pixel(x, y, c));
    const char* keep = std::getenv("LUMORA_BENCH_PPM");
    if (keep) Write(keep, pnm);

    SdkVersionRecord version{};
    VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE);
    ImageInfoRecord info{};
    if (VqOpenImageFile(tif.c_str(), &info) != 0) {
        state.SkipWithError("the RGB TIFF file does not open");
        return;
    }
    VqSetHidden(&info, 17, reinterpret_cast<void*>(uintptr_t(1)));
    std::vector<uint8_t> strip(1 << 20);
    VqPathRecord path{};
    std::snprintf(path.path, sizeof path.path, "%s", (dir.path() / "out.jpg").string().c_str());
    for (auto _ : state) {
        if (fromFile) VqCleanupCache(&info);
        ImageBufferRecord buffer{};
        buffer.buffer = strip.data();
        buffer.bufferBytes = uint32_t(strip.size());
        JpegOptionsRecord options{0, 2, 0, 1, 1};
        if (VqConvertToJPEG(&info, &path, &buffer, nullptr, &options) != 0) {
            state.SkipWithError("conversion failed");
            break;
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
    // The converted file, kept for a look beside cjpeg's.
    if (const char* out = std::getenv("LUMORA_BENCH_JPEG_OUT"))
        std::filesystem::copy_file(path.path, out, std::filesystem::copy_options::overwrite_existing);
    VqCloseImage(&info);
    VqCloseDriver();
}
void BM_JpegConversionFullSizeRendered(benchmark::State& state) { JpegConversionFullSize(state, false); }
void BM_JpegConversionFullSizeFromFile(benchmark::State& state) { JpegConversionFullSize(state, true); }
BENCHMARK(BM_JpegConversionFullSizeRendered)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegConversionFullSizeFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
