// A whole TIFF export of a 4000 x 3000 picture (header, Exif, thumbnail and
// rows) from a kind whose render is a copy, against a plain write of the same
// 72,000,000 pixel bytes from memory to the same folder. bench/export_vs_tiffcp.sh runs
// it beside tiffcp on the same disk.
//
// BM_ExportJpeg: the whole JPEG export of the same picture at quality code 0
// (T1 at 95), both thumbnails and every header segment included;
// bench/export_jpeg_vs_cjpeg.sh runs it beside cjpeg with the same tables on
// the same pixels (written as a PPM when LUMORA_BENCH_PPM names a file).
//
// Each reports page_faults, the fresh pages an export touches: on a machine
// where a page fault is slow they, not the work, set the time.
#include "ColorEngine.h"
#include "ExportImageArray.h"
#include "ExportJPEGImage.h"
#include "ExportTIFFImage.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "JpegQualityPreset.h"
#include "StaticProfileTable.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace NimbalCore;
using coretest::FakeImage;

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

// Pages the process touched for the first time so far: fresh memory that
// the system had to hand out (and zero).
int64_t MinorFaults() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The pages touched afresh per export, averaged over the loop: what the
// memory of an export costs beyond its work on warm pages.
void CountFaults(benchmark::State& state, int64_t before) {
    state.counters["page_faults"] = benchmark::Counter(double(MinorFaults() - before), benchmark::Counter::kAvgIterations);
}

class CopySource : public FakeImage {
public:
    CopySource() : FakeImage(Folder() + "/source.tif", kWidth, kHeight), rows(size_t(kWidth) * 3 * 64) {
        for (size_t i = 0; i < rows.size(); ++i) rows[i] = uint16_t(i * 2654435761u >> 16);
        resolutionDivisor_ = 1;
        colorModes = {0, 1, 2};
        cameraMake_ = "Orvex";
        cameraModel_ = "X200";
    }
    void GetImageRectangleFromCameraSDK(int, const ImageProcessParam&, const FilterRect& rect, float,
                                        VrelSharpenPlanes& layout, int, int, ProgressCB*) override {
        const size_t rowBytes = size_t(rect.right - rect.left) * 6;
        for (int32_t r = 0; r < layout.rows; ++r)
            std::memcpy(static_cast<uint8_t*>(layout.plane[0]) + int64_t(r) * layout.rowStride,
                        rows.data() + size_t(r % 64) * kWidth * 3, rowBytes);
    }
    void RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop, ProgressCB* progress,
                     int) override {
        RenderImageInternal(params, destination, useCrop, progress, 0);
    }
    static std::string Folder() { return std::filesystem::temp_directory_path().string(); }
    std::vector<uint16_t> rows;
};

// With batch, one export array serves every export, as a batch export keeps
// it; without, each export gets a new one, as a single Save As does.
void Export(benchmark::State& state, int bytes, bool batch) {
    auto* source = new CopySource();
    ImageRef image(source);
    ImageProcessParam params;
    params.colorMode = 1;
    params.crop = NbRect(0, 0, kWidth - 1, kHeight - 1);
    const std::string target = CopySource::Folder() + "/lumora-bench-export.tif";
    std::unique_ptr<ExportImageArray> array(new ExportImageArray);
    const int64_t faults = MinorFaults();
    for (auto _ : state) {
        // A fresh target each time, as tiffcp gets in the comparison: the
        // cost of dropping a replaced file is not the export's.
        state.PauseTiming();
        ::unlink(target.c_str());
        if (!batch) array.reset(new ExportImageArray);
        state.ResumeTiming();
        ImageRendering rendering(image, params);
        array->SetBytesPerSample(bytes);
        ExportTIFFImage exporter(rendering, FilePathSpec(target), array.get());
        exporter.SaveFile();
    }
    CountFaults(state, faults);
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3 * bytes);
    ::unlink(target.c_str());
    ImagePool::DeleteInstance();
}

void BM_ExportTiff16(benchmark::State& state) { Export(state, 2, true); }
void BM_ExportTiff8(benchmark::State& state) { Export(state, 1, true); }
void BM_ExportTiff16Single(benchmark::State& state) { Export(state, 2, false); }

// The same 72,000,000 pixel bytes, held in memory, written by one fwrite
// loop of 1 MiB blocks.
void BM_PlainWrite72MB(benchmark::State& state) {
    const std::string target = CopySource::Folder() + "/lumora-bench-plain.raw";
    const size_t total = size_t(kWidth) * kHeight * 6;
    std::vector<uint8_t> pixels(total);
    for (size_t i = 0; i < total; ++i) pixels[i] = uint8_t(i * 2654435761u >> 24);
    constexpr size_t kBlock = 1 << 20;
    for (auto _ : state) {
        state.PauseTiming();
        ::unlink(target.c_str());
        state.ResumeTiming();
        std::FILE* f = std::fopen(target.c_str(), "wb");
        for (size_t done = 0; done < total; done += kBlock)
            std::fwrite(pixels.data() + done, 1, std::min(kBlock, total - done), f);
        std::fclose(f);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(total));
    ::unlink(target.c_str());
}

// The copy source answering the quality presets for its tables, with a
// camera-settings text for the APP5 segment.
class PresetCopySource : public CopySource {
public:
    PresetCopySource() { cameraSettingsBlock_ = "Exposure: 1/125\nWidth: 4000\nHeight: 3000\n"; }
    bool GetJPEGQuantizationTables(bool chroma, int row, int column, int* table, int* quality) override {
        return GetJpegQuantTable(0, chroma, row, column, table, quality);
    }
};

// The rendered 8-bit pixels as a binary PPM, for the peer.
void WritePixels(const ImageRef& image, const ImageProcessParam& params, const char* path) {
    ImageRendering rendering(image, params);
    ExportImageArray array;
    array.RenderFromRendering(&rendering, nullptr, 1);
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return;
    std::fprintf(f, "P6\n%d %d\n255\n", kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) std::fwrite(array.GetPixelAddress(0, y), 1, size_t(kWidth) * 3, f);
    std::fclose(f);
}

void BM_ExportJpeg(benchmark::State& state) {
    // The working space's profile goes into the APP2 segments.
    ::setenv("LUMORA_SYSTEM_DIR", LUMORA_BENCH_SYSTEM_DIR, 1);
    ColorEngine::Instance(0, 1);
    auto* source = new PresetCopySource();
    ImageRef image(source);
    ImageProcessParam params;
    params.colorMode = 1;
    params.workingSpaceName = StaticProfileTable::Description("ZynRGB.icm");
    params.crop = NbRect(0, 0, kWidth - 1, kHeight - 1);
    if (const char* ppm = std::getenv("LUMORA_BENCH_PPM")) WritePixels(image, params, ppm);
    const std::string target = CopySource::Folder() + "/lumora-bench-export.jpg";
    ExportImageArray array;
    const int64_t faults = MinorFaults();
    for (auto _ : state) {
        state.PauseTiming();
        ::unlink(target.c_str());
        state.ResumeTiming();
        ImageRendering rendering(image, params);
        ExportJPEGImage exporter(rendering, FilePathSpec(target), &array);
        exporter.SetQualityCode(0);
        exporter.SaveFile();
    }
    CountFaults(state, faults);
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
    ::unlink(target.c_str());
    ImagePool::DeleteInstance();
    ColorEngine::DeleteInstance();
}

} // namespace

BENCHMARK(BM_ExportJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportTiff16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportTiff8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportTiff16Single)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainWrite72MB)->Unit(benchmark::kMillisecond)->UseRealTime();
