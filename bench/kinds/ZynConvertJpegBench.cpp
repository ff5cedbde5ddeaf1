// The camera interface's JPEG conversion of the largest raw file of family 1
// it reads (a sensor of 4096 x 4096, plain data: 16.8 Mpixel; its sides are
// limited to 4096) through the older raw kind and, side by side in the same
// run, through VqConvertToJPEG called straight with the same options (full
// size, quality code 0, 300 per inch):
//   BM_ZynConvertJpeg   ZynImage::ExportJPEG: the settings sent, the raw data
//                       loaded into the cache and decoded, the conversion
//   BM_VqConvertJpeg    VqConvertToJPEG on an image opened with
//                       VqOpenImageFile, which reads the raw data itself
// The two files are compared once, outside the timing.
//
//   LUMORA_SYSTEM_DIR=build/share/lumora/system build/bench/zyn_convert_bench
#include "ImagePool.h"
#include "ImageWerks.h"
#include "InstalledImageKinds.h"
#include "ZynImage.h"
#include "ZyrSample.h"
#include "ZyrWriter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace NimbalCore;

namespace {

constexpr uint32_t kSensorSide = 4096;
constexpr uint32_t kResolution = 300;

std::string TempPath(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

const std::string& FilePath() {
    static const std::string path = [] {
        const std::string p = TempPath("lumora-bench-zyn-convert-16mp.zyr");
        ZyrSampleOptions o;
        o.sensorWidth = kSensorSide;
        o.sensorHeight = kSensorSide;
        o.tagWord = 1;
        o.settingsData = true;
        ZyrWriter writer(o.order);
        ZyrSample::Fill(writer, o);
        const std::vector<uint8_t> bytes = writer.Build();
        std::ofstream(p, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p;
    }();
    return path;
}

ZynImage* Kind() {
    static ImageRef image = [] {
        InstalledImageKinds::Install();
        ImagePool::Instance();
        ImageRef i;
        if (ImageWerks().OpenImage(FilePathSpec(FilePath()), i) != 0 || !dynamic_cast<ZynImage*>(i.Get())) std::abort();
        return i;
    }();
    return dynamic_cast<ZynImage*>(image.Get());
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::string kKindOut = TempPath("lumora-bench-zyn-convert-kind.jpg");
const std::string kVqOut = TempPath("lumora-bench-zyn-convert-vq.jpg");

void BM_ZynConvertJpeg(benchmark::State& state) {
    ZynImage* zyn = Kind();
    const ImageProcessParam params = *zyn->GetProcessParams();
    auto convert = [&] { zyn->ExportJPEG(FilePathSpec(kKindOut), 0, 0, 0, kResolution, params, nullptr); };
    convert();
    for (auto _ : state) convert();
    // The file is held by one open image at a time.
    zyn->Close();
    state.SetItemsProcessed(int64_t(state.iterations()) * kSensorSide * kSensorSide);
}

void BM_VqConvertJpeg(benchmark::State& state) {
    Kind()->Close();
    ImageInfoRecord info{};
    if (VqOpenImageFile(FilePath().c_str(), &info) != 0) std::abort();
    if (VqSetExtension(&info, VQ_EXT_RESOLUTION, reinterpret_cast<void*>(uintptr_t(kResolution)), 1, 0, 0, 0) != 0)
        std::abort();
    std::vector<uint8_t> work(size_t(std::max(info.geometry.workBytes, info.geometry.frameBytes / 8)));
    VqPathRecord path{};
    std::snprintf(path.path, sizeof path.path, "%s", kVqOut.c_str());
    JpegOptionsRecord options{};
    options.keepFileDate = 1;
    options.overwrite = 1;
    auto convert = [&] {
        ImageBufferRecord buffer{work.data(), uint32_t(work.size()), 0, nullptr};
        if (VqConvertToJPEG(&info, &path, &buffer, nullptr, &options) != 0) std::abort();
    };
    convert();
    for (auto _ : state) convert();
    VqCloseImage(&info);
    const std::string kindBytes = ReadAll(kKindOut);
    if (!kindBytes.empty() && kindBytes != ReadAll(kVqOut)) state.SkipWithError("the two files differ");
    state.SetItemsProcessed(int64_t(state.iterations()) * kSensorSide * kSensorSide);
}

// Side by side, taking turns, in one run.
BENCHMARK(BM_ZynConvertJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VqConvertJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
