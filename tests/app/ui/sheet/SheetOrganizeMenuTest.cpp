// The sort and selection commands of a contact sheet through the program's
// frame: the Edit and View menus carry them with their keys, the update
// rules grey and check them, Select All fills the counts pane, and the
// order chosen is the one the next sheet starts with.
#include "CContactSheetDoc.h"
#include "CMainFrame.h"
#include "CReviewDialog.h"
#include "GuiTest.h"
#include "ImageList.h"
#include "ImagePool.h"
#include "LumoraDocManager.h"
#include "ProgramFrame.h"
#include "SheetOrganizeCommands.h"
#include "WxCommandId.h"

#include <gtest/gtest.h>
#include <wx/menu.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(SheetOrganizeMenu, TheMenusSortAndSelectTheActiveSheet) {
    gui::TempSettings settings;
    settings.Install();
    const fs::path folder = settings.Dir() / "Organize";
    const fs::path empty = settings.Dir() / "Empty";
    const fs::path later = settings.Dir() / "Later";
    for (const fs::path& made : {folder, empty, later}) fs::create_directories(made);
    for (const char* name : {"P1.JPG", "P2.JPG", "P3.JPG"})
        ASSERT_EQ(std::system(("convert -size 120x80 xc:gray50 '" + (folder / name).string() + "'").c_str()), 0);
    LumoraDocManager* manager = nullptr;
    CMainFrame* frame = gui::StartProgramFrame(manager, true);
    ASSERT_NE(frame, nullptr);

    const struct {
        int command;
        const char* label;
    } items[] = {
        {SheetOrganizeCommands::kSelectAll, "Select &All\tCtrl+A"},
        {SheetOrganizeCommands::kSelectInverse, "Select &Inverse\tCtrl+B"},
        {SheetOrganizeCommands::kSelectTagged, "Select &Tagged"},
        {SheetOrganizeCommands::kDeselectAll, "&Deselect All\tCtrl+D"},
        {SheetOrganizeCommands::kSortByName, "By &Name"},
        {SheetOrganizeCommands::kSortByDate, "By &Date"},
        {kReviewCommand, "&Review Selection...\tCtrl+H"},
    };
    for (const auto& item : items) {
        SCOPED_TRACE(item.label);
        wxMenuItem* menuItem = frame->GetMenuBar()->FindItem(ToWxId(item.command));
        ASSERT_NE(menuItem, nullptr);
        EXPECT_EQ(menuItem->GetItemLabel().utf8_string(), item.label);
    }

    // Without a document, and with a preview active, the sheet's commands
    // and Save (which no preview takes yet) show disabled, not enabled and
    // doing nothing.
    const int sheetOnly[] = {SheetOrganizeCommands::kSelectAll, SheetOrganizeCommands::kSortByDate, kReviewCommand,
                             0xE103};
    const auto shownEnabled = [frame](int command) {
        frame->GetMenuBar()->UpdateMenus();
        return frame->GetMenuBar()->FindItem(ToWxId(command))->IsEnabled();
    };
    for (const int command : sheetOnly) EXPECT_FALSE(shownEnabled(command)) << command;
    wxDocument* preview = manager->CreateDocument(wxString::FromUTF8((folder / "P1.JPG").string()), wxDOC_SILENT);
    ASSERT_NE(preview, nullptr);
    gui::Settle(300);
    for (const int command : sheetOnly) EXPECT_FALSE(shownEnabled(command)) << command;
    preview->Modify(false);
    ASSERT_TRUE(preview->Close());
    preview->DeleteAllViews();
    gui::Settle(200);

    // A sheet with no slide greys the selection items and checks no order.
    auto* bare = dynamic_cast<CContactSheetDoc*>(manager->CreateDocument(wxString::FromUTF8(empty.string()), wxDOC_SILENT));
    ASSERT_NE(bare, nullptr);
    gui::Settle(300);
    EXPECT_FALSE(gui::MenuItemState(frame, SheetOrganizeCommands::kSelectAll).GetEnabled());
    EXPECT_FALSE(gui::MenuItemState(frame, SheetOrganizeCommands::kSortByName).GetEnabled());
    EXPECT_FALSE(gui::MenuItemState(frame, SheetOrganizeCommands::kSortByName).GetChecked());

    auto* doc = dynamic_cast<CContactSheetDoc*>(manager->CreateDocument(wxString::FromUTF8(folder.string()), wxDOC_SILENT));
    ASSERT_NE(doc, nullptr);
    gui::WaitForSlides(frame, 3);
    gui::Settle(300);
    EXPECT_TRUE(gui::MenuItemState(frame, SheetOrganizeCommands::kSelectAll).GetEnabled());
    EXPECT_TRUE(gui::MenuItemState(frame, SheetOrganizeCommands::kSortByName).GetChecked());

    gui::SendMenuCommand(frame, SheetOrganizeCommands::kSelectAll);
    EXPECT_EQ(doc->GetSelectionState().size(), 3u);
    EXPECT_TRUE(gui::MenuItemState(frame, kReviewCommand).GetEnabled());
    gui::SendMenuCommand(frame, SheetOrganizeCommands::kDeselectAll);
    EXPECT_TRUE(doc->GetSelectionState().empty());
    EXPECT_FALSE(gui::MenuItemState(frame, kReviewCommand).GetEnabled());

    gui::SendMenuCommand(frame, SheetOrganizeCommands::kSortByDate);
    EXPECT_EQ(doc->GetImageList()->GetSortMode(), SheetOrganizeCommands::kByDate);
    EXPECT_EQ(frame->State().sortOrder, SheetOrganizeCommands::kByDate);
    EXPECT_TRUE(gui::MenuItemState(frame, SheetOrganizeCommands::kSortByDate).GetChecked());
    EXPECT_FALSE(gui::MenuItemState(frame, SheetOrganizeCommands::kSortByName).GetChecked());

    // The next sheet opens in the order chosen last.
    auto* next = dynamic_cast<CContactSheetDoc*>(manager->CreateDocument(wxString::FromUTF8(later.string()), wxDOC_SILENT));
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->GetImageList()->GetSortMode(), SheetOrganizeCommands::kByDate);

    frame->Close(true);
    gui::Settle(300);
    wxTheApp->SetTopWindow(nullptr);
    delete manager;
    NimbalCore::ImagePool::DeleteInstance();
}

} // namespace
