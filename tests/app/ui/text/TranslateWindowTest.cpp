#include "TranslateWindow.h"

#include "FrenchTable.h"
#include "GuiTest.h"
#include "LocalizedText.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace {

const std::vector<std::pair<std::string, std::string>> kFrench = {
    {"&Open...\tCtrl+O", "&Ouvrir...\tCtrl+O"},
    {"&Edit", "&Edition"},
    {"Copy", "Copier"},
    {"Best", "Meilleure"},
    {"Rename Image File(s)", "Renommer le(s) fichier(s)"},
    {"Cancel", "Annuler"},
};

TEST(TranslateWindow, MenuItemsKeepTheirIdsAndSubmenus) {
    FrenchTable french(kFrench);
    ASSERT_TRUE(french.ok());
    EXPECT_EQ(TranslateString("&Open...\tCtrl+O"), "&Ouvrir...\tCtrl+O");
    wxMenu menu;
    menu.Append(101, "&Open...\tCtrl+O");
    menu.AppendSeparator();
    menu.Append(102, "Untranslated Item");
    auto* edit = new wxMenu;
    edit->Append(201, "Copy");
    menu.AppendSubMenu(edit, "&Edit");
    TranslateMenu(&menu);
    EXPECT_EQ(menu.FindItemByPosition(0)->GetItemLabel(), "&Ouvrir...\tCtrl+O");
    EXPECT_EQ(menu.FindItemByPosition(0)->GetId(), 101);
    EXPECT_EQ(menu.FindItemByPosition(2)->GetItemLabel(), "Untranslated Item");
    wxMenuItem* popup = menu.FindItemByPosition(3);
    EXPECT_EQ(popup->GetItemLabel(), "&Edition");
    ASSERT_EQ(popup->GetSubMenu(), edit);
    EXPECT_EQ(edit->FindItemByPosition(0)->GetItemLabel(), "Copier");
    EXPECT_EQ(edit->FindItemByPosition(0)->GetId(), 201);
    TranslateMenu(static_cast<wxMenu*>(nullptr));
}

TEST(TranslateWindow, DialogWithoutCaptionEntryStillGetsItsControlsTranslated) {
    FrenchTable french(kFrench);
    ASSERT_TRUE(french.ok());
    wxFrame frame(nullptr, wxID_ANY, "Frame");
    wxDialog dialog(&frame, wxID_ANY, "A caption nobody translated");
    auto* panel = new wxPanel(&dialog);
    auto* box = new wxCheckBox(panel, wxID_ANY, "Rename Image File(s)");
    auto* cancel = new wxButton(&dialog, wxID_CANCEL, "Cancel");
    auto* folder = new wxTextCtrl(&dialog, wxID_ANY, "Best");  // the user's folder name, not a text of ours
    wxDialog sibling(&frame, wxID_ANY, "Best");
    TranslateWindowText(&dialog, false);
    EXPECT_EQ(dialog.GetTitle(), "A caption nobody translated");
    EXPECT_EQ(box->GetLabel(), "Renommer le(s) fichier(s)");
    EXPECT_EQ(cancel->GetLabel(), "Annuler");
    EXPECT_EQ(folder->GetValue(), "Best");
    EXPECT_EQ(sibling.GetTitle(), "Best");

    // With siblings: the controls after the first one.
    wxDialog other(&frame, wxID_ANY, "x");
    auto* first = new wxStaticText(&other, wxID_ANY, "Copy");
    auto* second = new wxStaticText(&other, wxID_ANY, "Best");
    TranslateWindowTextByHandle(second, true);
    EXPECT_EQ(first->GetLabel(), "Copy");
    EXPECT_EQ(second->GetLabel(), "Meilleure");
    TranslateWindowText(first, true);
    EXPECT_EQ(first->GetLabel(), "Copier");
}

} // namespace
