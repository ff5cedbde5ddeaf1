// A contact sheet's first scan of a folder of 500 small finished JPEG files
// (64 x 48): the listing, the factory's opening of each file through the
// pool, and the sheet's list; beside it, the JPEG kind opening the same
// files on its own, without the factory, the pool or the sheet. Run with
// LUMORA_PROGRAM_DIR=build/bin to meet the drivers and plug-ins the program
// meets.
#include "ContactSheet.h"
#include "FinishedJPEGImage.h"
#include "ImagePool.h"
#include "ImageRef.h"
#include "InstalledImageKinds.h"
#include "JpegFixture.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

using namespace NimbalCore;
namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 500;

const std::string& Folder() {
    static const std::string folder = [] {
        const fs::path f = fs::temp_directory_path() / "lumora-bench-scan-500";
        fs::create_directories(f);
        const std::vector<uint8_t> bytes = JpegFixture::Encode(JpegFixture::Pattern(64, 48, 3, 7), 85);
        for (int i = 0; i < kFiles; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "IMG_%04d.JPG", i);
            if (!fs::exists(f / name)) JpegFixture::WriteFile((f / name).string(), bytes);
        }
        return f.string();
    }();
    return folder;
}

class BenchSheet : public ContactSheet {
public:
    void ReportDropFailures(std::vector<std::string>) override {}
    void ActivateImage(const FilePathSpec&) override {}
};

void BM_ScanFolder(benchmark::State& state) {
    const std::string folder = Folder();
    InstalledImageKinds::Install();
    ImagePool::Instance();
    for (auto _ : state) {
        BenchSheet sheet;
        sheet.SetFolder(FilePathSpec(folder));
        sheet.ScanFolder();
        if (sheet.GetImageList()->Count() != kFiles) state.SkipWithError("not every file was listed");
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
    ImagePool::DeleteInstance();
}
BENCHMARK(BM_ScanFolder)->Unit(benchmark::kMillisecond);

void BM_OpenEachJpegAlone(benchmark::State& state) {
    const std::string folder = Folder();
    InstalledImageKinds::Install();
    ImagePool::Instance();
    std::vector<std::string> paths;
    for (const auto& entry : fs::directory_iterator(folder)) paths.push_back(entry.path().string());
    for (auto _ : state) {
        for (const std::string& path : paths) {
            ImageRef image(new FinishedJPEGImage(FilePathSpec(path)));
            if (image->Open() != 0) state.SkipWithError("open failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t(paths.size()));
    ImagePool::DeleteInstance();
}
BENCHMARK(BM_OpenEachJpegAlone)->Unit(benchmark::kMillisecond);

} // namespace
