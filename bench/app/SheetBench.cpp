// The contact sheet's model:
// - BM_SheetInsertSorted: 10,000 images found in shuffled order, each slide
//   inserted at its sorted place (per iteration a new sheet);
// - BM_SheetIdleRescan500: the watcher's rescan of an unchanged folder of
//   500 files (one listing, nothing to tell the windows);
// - BM_LsLong500: `ls -l` run over the same folder, for comparison, in the
//   same run.
#include "FakeImage.h"
#include "FakeKinds.h"
#include "FakeSheetSeams.h"
#include "SheetDocument.h"
#include "TempFolder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kSlides = 10000;
constexpr int kFiles = 500;

void BM_SheetInsertSorted(benchmark::State& state) {
    std::vector<NimbalCore::ImageRef> images;
    for (int i = 0; i < kSlides; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "/photos/IMG_%05d.JPG", i);
        images.emplace_back(new coretest::FakeImage(name, 64, 48));
    }
    std::shuffle(images.begin(), images.end(), std::mt19937(7));
    auto queue = std::make_shared<sheettest::DrainedQueue>();
    for (auto _ : state) {
        state.PauseTiming();
        auto sheet = std::make_shared<SheetDocument>(queue, nullptr);
        state.ResumeTiming();
        for (const NimbalCore::ImageRef& image : images) benchmark::DoNotOptimize(sheet->ImageFound(image));
        state.PauseTiming();
        if (sheet->SlideCount() != kSlides) state.SkipWithError("slides missing");
        sheet->Close();
        sheet.reset();
        queue->Drain();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kSlides);
}
BENCHMARK(BM_SheetInsertSorted)->Unit(benchmark::kMillisecond);

struct Folder500 {
    lumora::test::TempFolder temp;
    std::string path = temp.file("five-hundred");
    Folder500() {
        std::filesystem::create_directories(path);
        for (int i = 0; i < kFiles; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "F%04d.JPG", i);
            temp.write(std::string("five-hundred/") + name, "image");
        }
    }
};

Folder500& TheFolder() {
    static Folder500 folder;
    return folder;
}

void BM_SheetIdleRescan500(benchmark::State& state) {
    coretest::FakeKinds kinds;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "F%04d.JPG", i);
        kinds.opens[name] = {"JPEG"};
    }
    coretest::FactoryScope scope(kinds);
    auto queue = std::make_shared<sheettest::DrainedQueue>();
    auto sheet = std::make_shared<SheetDocument>(queue, nullptr);
    sheet->SetFolder(NimbalCore::FilePathSpec(TheFolder().path));
    sheet->ScanFolder();
    if (sheet->SlideCount() != kFiles) state.SkipWithError("scan incomplete");
    for (auto _ : state) sheet->CheckForFolderChanges();
    sheet->Close();
    sheet.reset();
    queue->Drain();
}
BENCHMARK(BM_SheetIdleRescan500)->Unit(benchmark::kMicrosecond);

void BM_LsLong500(benchmark::State& state) {
    const std::string folder = TheFolder().path;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char ls[] = "/bin/ls", dashL[] = "-l";
    std::vector<char> path(folder.begin(), folder.end());
    path.push_back('\0');
    char* argv[] = {ls, dashL, path.data(), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawn(&pid, ls, &actions, nullptr, argv, environ) != 0) {
            state.SkipWithError("ls did not start");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_LsLong500)->Unit(benchmark::kMicrosecond);

} // namespace
