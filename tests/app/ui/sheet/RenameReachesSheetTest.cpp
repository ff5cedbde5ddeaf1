// A file renamed from its preview while its folder's sheet is open: the
// sheet keeps the slide, shows it under the new name at its sorted place and
// paints it safely; the preview's document, tab and title take the new name.
#include "CChildFrame.h"
#include "CContactSheetDoc.h"
#include "CPreviewDoc.h"
#include "CSlideMountView.h"
#include "SheetSlides.h"
#include "GuiTest.h"
#include "Image.h"
#include "ImageRendering.h"
#include "ProgramFrame.h"
#include "RenamePresenter.h"

#include <gtest/gtest.h>
#include <wx/aui/auibook.h>
#include <wx/textctrl.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using gui::CollectSlides;

// The sheet's slides in the order the sheet shows them.
std::vector<CSlideMountView*> ShownSlides(CContactSheetDoc* sheet) {
    std::vector<CSlideMountView*> found;
    CollectSlides(sheet->GetFirstView()->GetFrame(), found);
    std::vector<CSlideMountView*> shown;
    if (found.empty() || !found.front()->GetContainingSizer()) return found;
    for (wxSizerItem* item : found.front()->GetContainingSizer()->GetChildren())
        if (auto* slide = dynamic_cast<CSlideMountView*>(item->GetWindow())) shown.push_back(slide);
    return shown;
}

std::string SlideName(CSlideMountView* slide) { return slide->GetRendering()->GetImage()->Get()->GetFileName(); }

std::vector<std::string> Names(const std::vector<CSlideMountView*>& slides) {
    std::vector<std::string> names;
    for (CSlideMountView* slide : slides) names.push_back(SlideName(slide));
    return names;
}

TEST(SheetRename, ARenameFromThePreviewKeepsTheSlideInSortedPlaceAndRenamesThePreview) {
    gui::TempSettings settings;
    settings.Install();
    const fs::path folder = settings.Dir() / "pier";
    fs::create_directories(folder);
    for (const char* name : {"anchor.jpg", "buoy.jpg", "cleat.jpg"})
        ASSERT_EQ(std::system(("convert -size 64x48 gradient:red-blue '" + (folder / name).string() + "'").c_str()), 0);
    LumoraDocManager* manager = nullptr;
    CMainFrame* frame = gui::StartProgramFrame(manager, false, 100);
    ASSERT_NE(frame, nullptr);
    auto* sheet =
        dynamic_cast<CContactSheetDoc*>(manager->CreateDocument(wxString::FromUTF8(folder.string()), wxDOC_SILENT));
    ASSERT_NE(sheet, nullptr);
    gui::WaitForSlides(sheet->GetFirstView()->GetFrame(), 3);
    gui::Settle(200);
    const std::vector<CSlideMountView*> before = ShownSlides(sheet);
    ASSERT_EQ(Names(before), (std::vector<std::string>{"anchor.jpg", "buoy.jpg", "cleat.jpg"}));
    sheet->Sheet().SelectSlide(before[1]->Slide());

    auto* preview = dynamic_cast<CPreviewDoc*>(
        manager->CreateDocument(wxString::FromUTF8((folder / "anchor.jpg").string()), wxDOC_SILENT));
    ASSERT_NE(preview, nullptr);
    gui::Settle(200);
    gui::ModalScenario scenario([](wxDialog* dialog) {
        auto* name = dynamic_cast<wxTextCtrl*>(dialog->FindWindow(kRenameBaseName));
        if (name) name->SetValue("dinghy.jpg");
        gui::Settle();
        gui::Click(dialog->FindWindow(wxID_OK));
    });
    preview->OnRename();
    gui::Settle(200);
    ASSERT_TRUE(fs::exists(folder / "dinghy.jpg"));
    EXPECT_FALSE(fs::exists(folder / "anchor.jpg"));

    // The same slides, the renamed one now last; the selection stays.
    const std::vector<CSlideMountView*> after = ShownSlides(sheet);
    EXPECT_EQ(Names(after), (std::vector<std::string>{"buoy.jpg", "cleat.jpg", "dinghy.jpg"}));
    EXPECT_EQ(after, (std::vector<CSlideMountView*>{before[1], before[2], before[0]}));
    EXPECT_EQ(sheet->GetSelectionState(), std::vector<SheetDocument::SlidePtr>{before[1]->Slide()});
    EXPECT_NO_THROW(sheet->FindImageByName("dinghy.jpg"));
    // Painting every slide again reads only what the slides hold.
    wxWindow* sheetFrame = sheet->GetFirstView()->GetFrame();
    sheetFrame->Refresh();
    sheetFrame->Update();
    for (CSlideMountView* slide : after) {
        slide->Refresh();
        slide->Update();
    }
    gui::Settle(100);

    EXPECT_EQ(preview->GetTitle().utf8_string(), "dinghy.jpg");
    EXPECT_EQ(preview->GetFilename().utf8_string(), (folder / "dinghy.jpg").string());
    auto* previewFrame = dynamic_cast<CChildFrame*>(preview->GetFirstView()->GetFrame());
    ASSERT_NE(previewFrame, nullptr);
    EXPECT_EQ(previewFrame->GetTitle().utf8_string(), "dinghy.jpg");
    wxAuiNotebook* tabs = frame->GetNotebook();
    ASSERT_NE(tabs, nullptr);
    const int page = tabs->GetPageIndex(previewFrame);
    ASSERT_NE(page, wxNOT_FOUND);
    EXPECT_EQ(tabs->GetPageText(size_t(page)).utf8_string(), "dinghy.jpg");

    frame->Close(true);
    gui::Settle(200);
    delete manager;
    NimbalCore::ImagePool::DeleteInstance();
}

} // namespace
