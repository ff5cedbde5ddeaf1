#include "WxMenuSeam.h"

#include "WxCommandId.h"

#include "CapabilityImage.h"
#include "FakeShell.h"
#include "ImageContextMenu.h"
#include "ImageRendering.h"

#include <gtest/gtest.h>
#include <wx/menu.h>

namespace {

// A context menu as wx holds it: check items, a plain Look entry whose
// submenu starts with the placeholder, and a nested submenu.
wxMenu* MakePopup() {
    auto* popup = new wxMenu;
    popup->AppendCheckItem(ToWxId(32847), "Select");
    popup->AppendCheckItem(ToWxId(32846), "Click Balance");
    auto* crop = new wxMenu;
    for (int c = 33110; c <= 33118; ++c) crop->AppendCheckItem(ToWxId(c), "ratio");
    popup->AppendSubMenu(crop, "Crop Aspect Ratio");
    auto* look = new wxMenu;
    look->Append(ToWxId(45000), "Look");
    popup->AppendSubMenu(look, "Look");
    popup->Append(ToWxId(33108), "Send To");
    return popup;
}

TEST(WxMenuSeam, StatesByCommandAndTheLookSubmenu) {
    std::unique_ptr<wxMenu> popup(MakePopup());
    WxMenuSeam seam(popup.get());
    seam.Enable(33112, false);
    EXPECT_FALSE(popup->IsEnabled(ToWxId(33112)));
    seam.Check(33113, true);
    EXPECT_TRUE(popup->IsChecked(ToWxId(33113)));
    seam.Check(33108, true);  // not checkable: left alone
    seam.Enable(99999, false);  // not in this menu: ignored
    seam.SetLabel(33118, "&Other (1.50 X 2.00)...");
    EXPECT_EQ(popup->GetLabel(ToWxId(33118)), "&Other (1.50 X 2.00)...");

    const int look = seam.FindSubmenuStartingWith(45000);
    EXPECT_EQ(look, 3);
    EXPECT_EQ(seam.FindSubmenuStartingWith(12345), -1);
    seam.ClearSubmenu(look);
    seam.AppendToSubmenu(look, 45000, "Standard", false);
    seam.AppendToSubmenu(look, 45001, "Portrait", true);
    wxMenu* sub = popup->FindItemByPosition(3)->GetSubMenu();
    ASSERT_EQ(sub->GetMenuItemCount(), 2u);
    EXPECT_TRUE(popup->IsChecked(ToWxId(45001)));
    seam.EnableEntry(look, false);
    EXPECT_FALSE(popup->FindItemByPosition(3)->IsEnabled());
}

TEST(WxMenuSeam, PreparedContextMenu) {
    FakeProfileStore store;
    std::unique_ptr<wxMenu> popup(MakePopup());
    WxMenuSeam seam(popup.get());
    auto* image = new CapabilityImage;
    image->looks = {"Standard", "Portrait", "Vivid"};
    image->clickBalance = false;
    NimbalCore::ImageProcessParam params;
    params.lookName = "Vivid";
    NimbalCore::ImageRendering rendering(NimbalCore::ImageRef(image), params);
    MainFrameState frame;
    frame.currentTool = 0;
    PrepareImageContextMenu(&seam, &rendering, frame);
    EXPECT_TRUE(popup->IsChecked(ToWxId(32847)));
    EXPECT_FALSE(popup->IsEnabled(ToWxId(32846)));
    EXPECT_TRUE(popup->IsChecked(ToWxId(33110)));
    EXPECT_FALSE(popup->IsEnabled(ToWxId(33108)));
    wxMenu* looks = popup->FindItemByPosition(3)->GetSubMenu();
    ASSERT_EQ(looks->GetMenuItemCount(), 3u);
    EXPECT_EQ(FromWxId(looks->FindItemByPosition(2)->GetId()), 45002);
    EXPECT_TRUE(popup->IsChecked(ToWxId(45002)));
}

} // namespace
