// The user-interface thread stays responsive: a 100-ms timer whose gaps
// are recorded runs while the main frame opens a folder of 200 pictures as
// a contact sheet, shows it, and closes. The timer names the progress window
// that was up during a long gap.
#include "CContactSheetDoc.h"
#include "CProgressDlg.h"
#include "CMainFrame.h"
#include "ColorEngine.h"
#include "GuiTest.h"
#include "ImagePool.h"
#include "InstalledImageKinds.h"
#include "LumoraDocManager.h"
#include "Watchdog.h"
#include "ProgramFrame.h"

#include <gtest/gtest.h>
#include <wx/utils.h>

#include <chrono>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

using gui::kLongestGap;
using gui::Watchdog;

TEST(Watchdog, NoGapOverOneSecondWhileAFolderOf200PicturesOpensAndCloses) {
    gui::TempSettings settings;
    settings.Install();
    // 200 small JPEG files (one picture, copied).
    const fs::path folder = settings.Dir() / "Two Hundred";
    fs::create_directories(folder);
    const fs::path jpeg = settings.Dir() / "picture.jpg";
    ASSERT_EQ(std::system(("convert -size 160x120 -seed 7 plasma:red-blue '" + jpeg.string() + "'").c_str()), 0);
    for (int i = 0; i < 200; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "P%03d.JPG", i);
        fs::copy_file(jpeg, folder / name);
    }
    LumoraDocManager* manager = nullptr;
    CMainFrame* frame = gui::StartProgramFrame(manager);
    ASSERT_NE(frame, nullptr);

    Watchdog watchdog;
    gui::Settle(250);
    wxDocument* doc = manager->CreateDocument(wxString::FromUTF8(folder.string()), wxDOC_SILENT);
    ASSERT_NE(doc, nullptr);
    // The sheet's watcher reads the folder while the window is up.
    auto* sheet = static_cast<CContactSheetDoc*>(doc);
    EXPECT_TRUE(gui::WaitFor([sheet] { return sheet->Sheet().SlideCount() == 200; }, 20000));
    EXPECT_EQ(sheet->GetImageList()->Count(), 200);
    gui::Settle(1500);
    frame->Close(true);
    gui::Settle(300);
    watchdog.Stop();
    EXPECT_LT(watchdog.longest, kLongestGap)
        << std::chrono::duration_cast<std::chrono::milliseconds>(watchdog.longest).count() << " ms";
    delete manager;
    NimbalCore::ImagePool::DeleteInstance();
}

TEST(Watchdog, NamesTheProgressWindowUpDuringAGap) {
    using namespace std::chrono_literals;
    Watchdog watchdog;
    gui::Settle(250);
    {
        CProgressDlg progress(1123);
        ASSERT_TRUE(progress.Create(nullptr, false));
        ASSERT_TRUE(gui::OnScreen(&progress));
        gui::Settle(250);
        wxMilliSleep(1200); // the thread busy under the progress window
        gui::Settle(250);
        progress.DestroyWindow();
        gui::Settle(250);
    }
    wxMilliSleep(600); // busy with no progress window
    gui::Settle(250);
    watchdog.Stop();

    // A loaded machine may add short gaps of its own; the two long ones are
    // told apart by their length.
    auto gapOf = [&](auto shortest) {
        for (const Watchdog::Gap& gap : watchdog.gaps)
            if (gap.length >= shortest && gap.length < shortest + 500ms) return gap;
        return Watchdog::Gap{};
    };
    EXPECT_EQ(gapOf(1200ms).progress, "Renaming File(s)") << watchdog.Describe();
    const Watchdog::Gap plain = gapOf(600ms);
    EXPECT_GT(plain.length, 0ms) << watchdog.Describe();
    EXPECT_EQ(plain.progress, "");
    EXPECT_GE(watchdog.longest, 1200ms);
    EXPECT_GE(watchdog.longestWithoutProgress, 600ms);
    EXPECT_LT(watchdog.longestWithoutProgress, 1200ms);
}

} // namespace
