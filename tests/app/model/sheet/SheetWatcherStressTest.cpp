// The folder watcher rescanning a folder where another thread adds and
// removes 200 files, while the user-interface thread selects slides, takes
// undo steps, undoes and redoes them. Run under the thread and address
// sanitizers as well: no race, and no undo step reaching a freed slide.
#include "FakeKinds.h"
#include "FakeSheetSeams.h"
#include "Image.h"
#include "QuietUndoHost.h"
#include "SheetDocument.h"
#include "TempFolder.h"
#include "UndoHistory.h"
#include "UndoHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string StressName(int i) { return "S" + std::to_string(1000 + i) + ".JPG"; }

TEST(SheetWatcherStress, RescansWhileFilesComeAndGoAndTheUserSelectsUndoesAndRedoes) {
    lumora::test::TempFolder temp;
    fs::create_directories(temp.path() / "busy");
    coretest::FakeKinds kinds;
    for (int i = 0; i < 200; ++i) kinds.opens[StressName(i)] = {"JPEG"};
    coretest::FactoryScope scope(kinds);
    auto queue = std::make_shared<sheettest::DrainedQueue>();
    sheettest::LoggingSheetHost host;
    sheettest::SheetBoxes boxes;
    apptest::QuietUndoHost undoHost;
    {
        auto sheet = std::make_shared<SheetDocument>(queue, nullptr, std::chrono::milliseconds(15));
        UndoHistory history(*sheet, undoHost);
        host.forgetInUndo = [&history](const NimbalCore::ImageRendering* r) { history.RemoveImageFromUndo(r); };
        sheet->SetHost(&host);
        ASSERT_TRUE(sheet->Open(temp.file("busy")));

        // The script: every file written, and every other one removed again.
        std::atomic<bool> scriptDone{false};
        std::thread script([&] {
            for (int i = 0; i < 200; ++i) {
                const std::string staged = temp.write(StressName(i), "image");
                fs::rename(staged, temp.path() / "busy" / StressName(i));
                if (i % 2 == 1) fs::remove(temp.path() / "busy" / StressName(i - 1));
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            scriptDone = true;
        });

        int round = 0;
        while (!scriptDone || round < 200) {
            queue->Drain();
            const std::vector<SheetDocument::SlidePtr> slides = sheet->GetSlides();
            if (!slides.empty()) {
                const SheetDocument::SlidePtr& slide = slides[size_t(round) % slides.size()];
                if (round % 7 == 0) sheet->ClearSelection();
                sheet->SelectSlide(slide);
                history.BeginUndo(62109, 62110, false, false, true, false, false);
                for (NimbalCore::ImageRendering* image : sheet->GetSelectedImages())
                    (*image->GetImage())->SetTagged(round % 2 == 0);
                history.EndUndo();
            }
            if (round % 3 == 0) history.Undo();
            if (round % 5 == 0) history.Redo();
            ++round;
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        script.join();
        // The folder settles: 100 files left, each a slide.
        EXPECT_TRUE(queue->DrainUntil([&] { return sheet->SlideCount() == 100; }, 5000)) << sheet->SlideCount();
        // Every step still reachable undoes and redoes over live slides.
        while (history.UndoCount() > 0) history.Undo();
        while (history.RedoCount() > 0) history.Redo();
        sheet->Close();
        queue->Drain();
    }
    EXPECT_TRUE(boxes.texts.empty());
}

} // namespace
