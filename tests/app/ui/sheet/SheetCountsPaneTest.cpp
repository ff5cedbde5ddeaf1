// A folder of 12 raw and 8 JPEG files opened in the program's frame: the
// watcher turns them into 20 slides, the counts pane reads them, a click on
// a slide selects it through the document, a file copied in becomes a slide
// and a removed one leaves, and Save is offered only for changes.
#include "CContactSheetDoc.h"
#include "CImageInfo.h"
#include "CMainFrame.h"
#include "CSlideMountView.h"
#include "GuiTest.h"
#include "Image.h"
#include "ImagePool.h"
#include "LumoraDocManager.h"
#include "MainFrameLayout.h"
#include "ProgramFrame.h"
#include "SheetSlides.h"
#include "WxCommandId.h"

#include <gtest/gtest.h>
#include <wx/listbox.h>
#include <wx/statusbr.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

std::string CountsPaneText(CMainFrame* frame) {
    const std::vector<int>& indicators = StatusIndicators();
    for (size_t pane = 0; pane < indicators.size(); ++pane)
        if (indicators[pane] == 59145) return frame->GetStatusBar()->GetStatusText(int(pane)).utf8_string();
    return {};
}

TEST(SheetCountsPane, TwentyPicturesBecomeSlidesThatTheCountsPaneAndTheSelectionFollow) {
    gui::TempSettings settings;
    settings.Install();
    const fs::path folder = settings.Dir() / "Twenty";
    fs::create_directories(folder);
    const std::string zyrwrite = std::string(std::getenv("LUMORA_BUILD_DIR")) + "/bin/zyrwrite";
    for (int i = 1; i <= 12; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "RAW%02d.ZYR", i);
        ASSERT_EQ(std::system((zyrwrite + " --sample '" + (folder / name).string() + "' --tag-word " +
                               std::to_string(i % 2) + " --settings-data >/dev/null")
                                  .c_str()),
                  0);
    }
    for (int i = 1; i <= 8; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "JPEG%02d.JPG", i);
        ASSERT_EQ(std::system(("convert -size 96x64 xc:gray" + std::to_string(20 + 5 * i) + " '" +
                               (folder / name).string() + "'")
                                  .c_str()),
                  0);
    }
    LumoraDocManager* manager = nullptr;
    CMainFrame* frame = gui::StartProgramFrame(manager, true);
    ASSERT_NE(frame, nullptr);
    auto* sheet =
        dynamic_cast<CContactSheetDoc*>(manager->CreateDocument(wxString::FromUTF8(folder.string()), wxDOC_SILENT));
    ASSERT_NE(sheet, nullptr);
    wxWindow* sheetFrame = sheet->GetFirstView()->GetFrame();
    ASSERT_EQ(gui::WaitForSlides(sheetFrame, 20).size(), 20u);
    EXPECT_TRUE(gui::WaitFor([frame] { return CountsPaneText(frame) == "20 images,  0 selected"; }))
        << CountsPaneText(frame);

    // A click selects and focuses the slide, through the document.
    std::vector<CSlideMountView*> slides = gui::WaitForSlides(sheetFrame, 20);
    gui::Click(slides[3]);
    gui::Settle(100);
    EXPECT_EQ(sheet->GetSelectionState(), std::vector<SheetDocument::SlidePtr>{slides[3]->Slide()});
    EXPECT_EQ(slides[3]->Slide()->GetMark(), SheetSlide::Mark::kFocused);
    EXPECT_EQ(CountsPaneText(frame), "20 images,  1 selected");
    // The bars show the focused slide's image.
    ASSERT_NE(frame->GetImageInfo(), nullptr);
    EXPECT_GT(frame->GetImageInfo()->GetCameraSettingsList()->GetCount(), 0u) << "the Image Info bar shows nothing";

    // Save is offered for changes only.
    wxUpdateUIEvent save(ToWxId(0xE103));
    frame->ProcessWindowEvent(save);
    EXPECT_FALSE(save.GetEnabled());
    slides[3]->GetRendering()->GetImage()->Get()->SetTagged(true);
    wxUpdateUIEvent saveAfterChange(ToWxId(0xE103));
    frame->ProcessWindowEvent(saveAfterChange);
    EXPECT_TRUE(saveAfterChange.GetEnabled());
    slides[3]->GetRendering()->GetImage()->Get()->SetTagged(false);

    // The folder changes while the sheet is open.
    fs::rename(folder / "JPEG01.JPG", settings.Dir() / "JPEG01.JPG");
    EXPECT_TRUE(gui::WaitFor([frame] { return CountsPaneText(frame) == "19 images,  1 selected"; }, 10000))
        << CountsPaneText(frame);
    fs::rename(settings.Dir() / "JPEG01.JPG", folder / "A-FIRST.JPG");
    EXPECT_TRUE(gui::WaitFor([frame] { return CountsPaneText(frame) == "20 images,  1 selected"; }, 10000))
        << CountsPaneText(frame);
    EXPECT_EQ(gui::WaitForSlides(sheetFrame, 20).size(), 20u);

    sheet->Modify(false);
    frame->Close(true);
    gui::Settle(200);
    delete manager;
    NimbalCore::ImagePool::DeleteInstance();
}

} // namespace
