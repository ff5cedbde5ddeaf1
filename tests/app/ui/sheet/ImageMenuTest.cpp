// The Image menu in the program's frame over a contact sheet of pictures:
// its items and keys, the update rules through the frame, and commands that
// reach the selected slides through the sheet document.
#include "CContactSheetDoc.h"
#include "CMainFrame.h"
#include "CSlideMountView.h"
#include "GuiTest.h"
#include "Image.h"
#include "FakeSheetSeams.h"
#include "ImageCommandIds.h"
#include "ImagePool.h"
#include "LumoraDocManager.h"
#include "ProgramFrame.h"
#include "SheetSlides.h"
#include "UndoTextIds.h"
#include "WxCommandId.h"

#include <gtest/gtest.h>
#include <wx/menu.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(ImageMenu, CarriesTheCommandsWithTheirKeysAndRunsThemOnTheSelectedSlides) {
    gui::TempSettings settings;
    settings.Install();
    sheettest::SheetBoxes boxes;
    const fs::path folder = settings.Dir() / "Pictures";
    fs::create_directories(folder);
    for (const char* name : {"PIC01.JPG", "PIC02.JPG", "PIC03.JPG"})
        ASSERT_EQ(std::system(("convert -size 96x64 xc:gray40 '" + (folder / name).string() + "'").c_str()), 0);
    LumoraDocManager* manager = nullptr;
    CMainFrame* frame = gui::StartProgramFrame(manager, true);
    ASSERT_NE(frame, nullptr);

    const int image = frame->GetMenuBar()->FindMenu("Image");
    ASSERT_NE(image, wxNOT_FOUND);
    wxMenu* menu = frame->GetMenuBar()->GetMenu(size_t(image));
    const struct {
        int id;
        const char* label;
    } items[] = {
        {kCmdOriginalSettings, "&Use Original Camera Settings\tCtrl+U"},
        {kCmdAutoScene, "&Auto Scene Balance && Exposure Adjustment\tCtrl+T"},
        {kCmdBalancePreset, "&Preset"},
        {kCmdLightingFlash, "F&lash"},
        {kCmdNoiseLow, "&Low"},
        {kCmdRotateCw, "90\u00b0 C&W\tCtrl+R"},
        {kCmdRotateCcw, "90\u00b0 &CCW\tCtrl+Shift+R"},
        {kCmdTag, "&Tag\tCtrl+F"},
        {kCmdUntag, "Unta&g\tCtrl+G"},
        {32867, "Save Balance &File..."},
    };
    for (const auto& item : items) {
        wxMenuItem* found = menu->FindItem(ToWxId(item.id));
        ASSERT_NE(found, nullptr) << item.id;
        EXPECT_EQ(found->GetItemLabel().utf8_string(), item.label);
    }

    auto* sheet =
        dynamic_cast<CContactSheetDoc*>(manager->CreateDocument(wxString::FromUTF8(folder.string()), wxDOC_SILENT));
    ASSERT_NE(sheet, nullptr);
    wxWindow* sheetFrame = sheet->GetFirstView()->GetFrame();
    std::vector<CSlideMountView*> slides = gui::WaitForSlides(sheetFrame, 3);
    ASSERT_EQ(slides.size(), 3u) << sheet->Sheet().SlideCount();

    // Nothing selected: the sheet greys out what needs a selection.
    for (int command : {kCmdRotateCw, kCmdTag, kCmdBalancePreset, kCmdLightingDaylight})
        EXPECT_FALSE(gui::MenuItemState(frame, command).GetEnabled()) << command;

    gui::Click(slides[1]);
    gui::Settle(100);
    ASSERT_EQ(sheet->GetSelectionState().size(), 1u);
    for (int command : {kCmdRotateCw, kCmdTag})
        EXPECT_TRUE(gui::MenuItemState(frame, command).GetEnabled()) << command;

    NimbalCore::Image* picture = slides[1]->GetRendering()->GetImage()->Get();
    const float rotation = picture->GetProcessParams()->rotation;
    slides[1]->Update();
    const wxSize before = slides[1]->ThumbnailSize();
    ASSERT_GT(before.x, 0);
    ASSERT_NE(before.x, before.y) << "a square thumbnail shows no turn";
    gui::SendMenuCommand(frame, kCmdRotateCw);
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(picture->GetProcessParams()->rotation, float((int(rotation) + 90) % 360));
    EXPECT_EQ(slides[1]->GetRendering()->GetProcessParam().rotation, picture->GetProcessParams()->rotation);
    // The slide's thumbnail turns with it.
    gui::Settle(100);
    slides[1]->Update();
    EXPECT_EQ(slides[1]->ThumbnailSize(), wxSize(before.y, before.x));
    EXPECT_TRUE(sheet->IsModified());
    EXPECT_EQ(sheet->GetUndoTextId(), IDS_CANT_UNDO);

    const bool tagged = picture->IsTagged();
    gui::SendMenuCommand(frame, tagged ? kCmdUntag : kCmdTag);
    EXPECT_NE(picture->IsTagged(), tagged);
    EXPECT_EQ(sheet->GetUndoTextId(), tagged ? IDS_UNDO_UNTAG : IDS_UNDO_TAG);
    gui::SendMenuCommand(frame, CMainFrame::ID_EDIT_UNDO);
    EXPECT_EQ(picture->IsTagged(), tagged);

    // The other slides were not selected and kept their settings.
    EXPECT_FALSE(slides[0]->GetRendering()->GetImage()->Get()->IsModified());
    EXPECT_FALSE(slides[2]->GetRendering()->GetImage()->Get()->IsModified());

    sheet->Modify(false);
    frame->Close(true);
    gui::Settle(200);
    delete manager;
    NimbalCore::ImagePool::DeleteInstance();
}

} // namespace
