#include "CDisabledItemComboBox.h"
#include "CFlickerKicker.h"
#include "CHostFolderEdit.h"
#include "CMappedBitmapButton.h"
#include "CNumericEdit.h"

#include "GuiTest.h"

#include <gtest/gtest.h>
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/settings.h>

namespace {

class ControlFrame : public ::testing::Test {
protected:
    void SetUp() override {
        frame = new wxFrame(nullptr, wxID_ANY, "Controls", wxPoint(40, 40), wxSize(500, 400));
        panel = new wxPanel(frame);
        panel->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { ++textEvents; });
        panel->Bind(wxEVT_COMBOBOX, [this](wxCommandEvent&) { ++comboEvents; });
        frame->Show();
        gui::OnScreen(frame);
    }
    void TearDown() override {
        frame->Destroy();
        gui::Settle(20);
    }
    wxFrame* frame = nullptr;
    wxPanel* panel = nullptr;
    int textEvents = 0;
    int comboEvents = 0;
};

TEST_F(ControlFrame, NumericEditTakesTypedDigitsAndOneMinus) {
    auto* edit = new CNumericEdit(panel, 500, wxPoint(10, 10), wxSize(150, -1));
    gui::OnScreen(edit);
    gui::Focus(edit);
    gui::TypeHere("12");
    EXPECT_EQ(edit->wxTextCtrl::GetValue(), "12");
    edit->SetInsertionPoint(0);
    gui::TypeHere("-");
    EXPECT_EQ(edit->wxTextCtrl::GetValue(), "-12");
    edit->SetInsertionPointEnd();
    gui::TypeHere("-a.3");
    EXPECT_EQ(edit->wxTextCtrl::GetValue(), "-123");
    gui::KeyHere(WXK_BACK);
    EXPECT_EQ(edit->wxTextCtrl::GetValue(), "-12");
    EXPECT_EQ(edit->GetValue(), -12);

    const int before = textEvents;
    edit->SetValueQuietly(77);
    gui::Settle();
    EXPECT_EQ(edit->wxTextCtrl::GetValue(), "77");
    EXPECT_EQ(textEvents, before);
    edit->SetValue(78);
    gui::Settle();
    EXPECT_EQ(textEvents, before + 1);

    edit->SetValid(false);
    EXPECT_EQ(edit->GetForegroundColour(), *wxRED);
    edit->SetValid(true);
    EXPECT_EQ(edit->GetForegroundColour(), *wxBLACK);
    edit->ChangeValue("x12");
    EXPECT_EQ(edit->GetValue(), 0);
}

TEST_F(ControlFrame, HostFolderEditRefusesColonButTakesStarAndPaste) {
    auto* edit = new CHostFolderEdit(panel, 501, wxString(), wxPoint(10, 50), wxSize(200, -1));
    gui::OnScreen(edit);
    gui::Type(edit, "a:b*.c|d");
    EXPECT_EQ(edit->GetValue(), "ab*.cd");
    // Pasted (or set) text is not filtered.
    edit->WriteText("x:y");
    EXPECT_EQ(edit->GetValue(), "ab*.cdx:y");
}

TEST_F(ControlFrame, ComboSkipsGreyItemsByKeysAndRefusesThem) {
    auto* combo = new CDisabledItemComboBox(panel, 502, wxPoint(10, 100), wxSize(200, -1));
    combo->AppendItem("zero", false);
    combo->AppendItem("one", true);
    combo->AppendItem("two", false);
    combo->AppendItem("three", true);
    combo->AppendItem("four", false);
    combo->SetSelection(1);
    gui::OnScreen(combo);
    EXPECT_FALSE(combo->IsItemEnabled(0));
    EXPECT_TRUE(combo->IsItemEnabled(3));
    EXPECT_FALSE(combo->IsItemEnabled(99));
    EXPECT_FALSE(combo->IsItemEnabled(-1));

    gui::Key(combo, WXK_DOWN);
    EXPECT_EQ(combo->GetSelection(), 3);
    gui::Key(combo, WXK_DOWN);  // nothing enabled below
    EXPECT_EQ(combo->GetSelection(), 3);
    gui::Key(combo, WXK_HOME);
    EXPECT_EQ(combo->GetSelection(), 1);
    gui::Key(combo, WXK_END);
    EXPECT_EQ(combo->GetSelection(), 3);
    gui::Key(combo, WXK_UP);
    EXPECT_EQ(combo->GetSelection(), 1);
    EXPECT_GE(comboEvents, 1);

    // A typed letter whose search lands on a grey item changes nothing.
    gui::Key(combo, 't');
    EXPECT_TRUE(combo->IsItemEnabled(combo->GetSelection())) << combo->GetSelection();
    gui::Key(combo, 'f');
    EXPECT_TRUE(combo->IsItemEnabled(combo->GetSelection())) << combo->GetSelection();

    // A grey item chosen by another route is put back after the event and
    // the parent is told.
    const int before = comboEvents;
    combo->SetSelection(2);
    wxCommandEvent chosen(wxEVT_COMBOBOX, combo->GetId());
    chosen.SetEventObject(combo);
    combo->GetEventHandler()->ProcessEvent(chosen);
    gui::Settle();
    EXPECT_EQ(combo->GetSelection(), 1);
    EXPECT_EQ(combo->GetValue(), "one");
    EXPECT_GE(comboEvents, before + 2);

    // A click on a grey item in the open list does nothing.
    combo->Popup();
    wxWindow* list = combo->GetPopupControl()->GetControl();
    ASSERT_TRUE(gui::OnScreen(list));
    gui::Settle(100);
    auto* vlist = dynamic_cast<wxVListBox*>(list);
    ASSERT_NE(vlist, nullptr);
    const wxRect item = vlist->GetItemRect(2);
    wxUIActionSimulator sim;
    sim.MouseMove(list->ClientToScreen(item.GetPosition() + wxPoint(10, item.height / 2)));
    gui::Settle(50);
    sim.MouseClick();
    gui::Settle(150);
    EXPECT_EQ(combo->GetSelection(), 1);
    ASSERT_TRUE(combo->IsPopupShown());
    EXPECT_EQ(vlist->GetSelection(), 1);

    // In the open list the keys skip the grey items too.
    gui::KeyHere(WXK_DOWN);
    EXPECT_EQ(vlist->GetSelection(), 3);
    gui::KeyHere(WXK_END);
    EXPECT_EQ(vlist->GetSelection(), 3);
    gui::KeyHere(WXK_HOME);
    EXPECT_EQ(vlist->GetSelection(), 1);
    if (combo->IsPopupShown()) combo->Dismiss();
}

TEST_F(ControlFrame, ComboWithNoEnabledItemIgnoresNavigation) {
    auto* combo = new CDisabledItemComboBox(panel, 503, wxPoint(10, 150), wxSize(200, -1));
    combo->AppendItem("a", false);
    combo->AppendItem("b", false);
    combo->SetSelection(0);
    for (int key : {WXK_DOWN, WXK_END, WXK_PAGEDOWN, WXK_RIGHT}) {
        gui::Key(combo, key);
        EXPECT_EQ(combo->GetSelection(), 0) << key;
    }
}

TEST_F(ControlFrame, BitmapButtonCutsAStripIntoFourMappedPictures) {
    wxImage strip(96, 10);
    strip.SetRGB(wxRect(0, 0, 96, 10), 192, 192, 192);
    strip.SetRGB(wxRect(24, 0, 24, 10), 10, 20, 30);
    CMappedBitmapButton::RegisterStrip(7001, strip);
    auto* button = new CMappedBitmapButton;
    ASSERT_TRUE(button->SubclassAndLoad(504, panel, 7001));
    ASSERT_EQ(button->ImageCount(), 4u);
    EXPECT_EQ(button->Image(0).GetWidth(), 24);
    EXPECT_EQ(button->Image(0).GetHeight(), 10);
    const wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    wxImage normal = button->Image(0).ConvertToImage();
    EXPECT_EQ(wxColour(normal.GetRed(0, 0), normal.GetGreen(0, 0), normal.GetBlue(0, 0)), face);
    wxImage pressed = button->Image(1).ConvertToImage();
    EXPECT_EQ(pressed.GetRed(0, 0), 10);  // not a standard colour: kept

    // The system colours change: the pictures are made again from the strip.
    wxImage other(96, 10);
    other.SetRGB(wxRect(0, 0, 96, 10), 1, 2, 3);
    CMappedBitmapButton::RegisterStrip(7001, other);
    wxSysColourChangedEvent changed;
    changed.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(changed);
    wxImage reloaded = button->Image(0).ConvertToImage();
    EXPECT_EQ(reloaded.GetRed(0, 0), 1);

    CMappedBitmapButton missing(panel, 505);
    EXPECT_FALSE(missing.LoadMappedBitmap(9999));
    EXPECT_EQ(missing.ImageCount(), 0u);
}

TEST_F(ControlFrame, FlickerKickerCopiesThePassInOneStep) {
    auto* area = new wxPanel(panel, wxID_ANY, wxPoint(10, 200), wxSize(40, 30));
    wxBitmap targetBitmap(60, 50);
    wxMemoryDC target(targetBitmap);
    target.SetBackground(*wxBLUE_BRUSH);
    target.Clear();
    {
        CFlickerKicker kicker(&target, area);
        kicker.SetBackground(*wxRED_BRUSH);
        kicker.Clear();
    }
    target.SelectObject(wxNullBitmap);
    wxImage result = targetBitmap.ConvertToImage();
    EXPECT_EQ(result.GetRed(0, 0), 255);
    EXPECT_EQ(result.GetBlue(39, 29), 0);
    EXPECT_EQ(result.GetBlue(45, 35), 255);  // outside the client area: untouched

    auto* empty = new wxPanel(panel, wxID_ANY, wxPoint(100, 200), wxSize(0, 0));
    wxBitmap untouched(10, 10);
    wxMemoryDC second(untouched);
    second.SetBackground(*wxBLUE_BRUSH);
    second.Clear();
    {
        CFlickerKicker kicker(&second, empty);
        kicker.SetBackground(*wxRED_BRUSH);
        kicker.Clear();
    }
    second.SelectObject(wxNullBitmap);
    EXPECT_EQ(untouched.ConvertToImage().GetBlue(0, 0), 255);
}

} // namespace
