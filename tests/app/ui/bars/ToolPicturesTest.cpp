// The pictures of every toolbar of the main frame and of the tool cursors:
// drawings (not flat tiles) at 1x and 2x, the 2x one drawn at that scale,
// and the main toolbar's tooltips from the string table.
#include "CImageSettings.h"
#include "CMainFrame.h"
#include "GuiTest.h"
#include "MainFrameFixture.h"
#include "StringResources.h"
#include "ToolBarButtons.h"
#include "ToolPictures.h"
#include "WxCommandId.h"

#include <gtest/gtest.h>
#include <wx/docview.h>
#include <wx/sizer.h>
#include <wx/imagpng.h>
#include <wx/toolbar.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// What a picture is made of: the share of its pixels that are drawn (not
// transparent) and the number of distinct colours among them.
struct PictureMakeUp {
    double coverage = 0;
    size_t colours = 0;
};

PictureMakeUp MakeUp(const wxImage& image) {
    PictureMakeUp m;
    const int n = image.GetWidth() * image.GetHeight();
    if (n == 0) return m;
    std::set<std::tuple<int, int, int>> colours;
    int drawn = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x) {
            if (image.HasAlpha() && image.GetAlpha(x, y) < 128) continue;
            ++drawn;
            colours.insert({image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)});
        }
    m.coverage = static_cast<double>(drawn) / n;
    m.colours = colours.size();
    return m;
}

// A drawing leaves room around its shape (a tile filling its square does
// not) and has shading and edges (a letter on a flat tile has two colours
// and their blends, all within one square).
void ExpectDrawing(const wxImage& image, const std::string& what) {
    ASSERT_TRUE(image.IsOk()) << what;
    const PictureMakeUp m = MakeUp(image);
    EXPECT_GT(m.coverage, 0.08) << what;
    EXPECT_LT(m.coverage, 0.85) << what;
    EXPECT_GE(m.colours, 6u) << what;
}

bool SameImage(const wxImage& a, const wxImage& b) {
    if (a.GetSize() != b.GetSize()) return false;
    const size_t n = static_cast<size_t>(a.GetWidth()) * a.GetHeight();
    if (std::memcmp(a.GetData(), b.GetData(), n * 3) != 0) return false;
    if (a.HasAlpha() != b.HasAlpha()) return false;
    return !a.HasAlpha() || std::memcmp(a.GetAlpha(), b.GetAlpha(), n) == 0;
}

// Where each toolbar command's picture comes from: its bitmap and image.
std::map<int, std::pair<int, int>> PictureOfCommand() {
    std::map<int, std::pair<int, int>> pictures = {{57601, {kMainToolBarBitmap, kMainToolOpen}},
                                                   {33109, {kMainToolBarBitmap, kMainToolPreferences}},
                                                   {57664, {kMainToolBarBitmap, kMainToolAbout}}};
    for (const ToolBarTable* table :
         {&ToolsBarTable(), &SoundBarTable(), &AutoAtCaptureBarTable(), &AutoExposureBarTable()})
        for (const ToolBarButton& button : table->buttons)
            if (button.style != ToolBarButton::kSeparator) pictures[button.command] = {table->bitmapId, button.image};
    return pictures;
}

void CollectToolBars(wxWindow* window, std::vector<wxToolBar*>& out) {
    if (auto* bar = dynamic_cast<wxToolBar*>(window)) out.push_back(bar);
    for (wxWindow* child : window->GetChildren()) CollectToolBars(child, out);
}

std::string ToolTipOfString(int command) {
    const std::string text = LoadResourceString(command);
    const size_t newline = text.find('\n');
    return newline == std::string::npos ? text : text.substr(newline + 1);
}

class ToolPicturesTest : public gui::MainFrameFixture {};

TEST_F(ToolPicturesTest, EveryToolbarButtonShowsADrawingAtOneAndTwoTimes) {
    std::vector<wxToolBar*> bars;
    CollectToolBars(frame_, bars);
    // The main toolbar, the tools bar, the two automatic bars and the sound
    // bar.
    ASSERT_EQ(bars.size(), 5u);
    const auto pictures = PictureOfCommand();
    std::set<int> seen;
    for (wxToolBar* bar : bars) {
        std::vector<wxImage> faces;
        for (size_t i = 0; i < bar->GetToolsCount(); ++i) {
            const wxToolBarToolBase* tool = bar->GetToolByPos(static_cast<int>(i));
            if (tool->IsSeparator()) continue;
            const int command = FromWxId(tool->GetId());
            const std::string what = "command " + std::to_string(command);
            seen.insert(command);
            const auto found = pictures.find(command);
            ASSERT_NE(found, pictures.end()) << what;
            const auto [bitmapId, image] = found->second;
            const wxBitmapBundle bundle = tool->GetNormalBitmapBundle();
            ASSERT_TRUE(bundle.IsOk()) << what;
            const wxSize size = ToolPictureSize(bitmapId);
            EXPECT_EQ(bundle.GetDefaultSize(), size) << what;
            const wxImage one = bundle.GetBitmap(size).ConvertToImage();
            const wxImage two = bundle.GetBitmap(size * 2).ConvertToImage();
            EXPECT_EQ(one.GetSize(), size) << what;
            EXPECT_EQ(two.GetSize(), size * 2) << what;
            ExpectDrawing(one, what + " at 1x");
            ExpectDrawing(two, what + " at 2x");
            // The 2x picture is drawn at that scale, not the 1x one enlarged.
            EXPECT_TRUE(SameImage(one, DrawToolPicture(bitmapId, image, 1))) << what;
            EXPECT_TRUE(SameImage(two, DrawToolPicture(bitmapId, image, 2))) << what;
            for (const wxImage& other : faces) EXPECT_FALSE(SameImage(one, other)) << what;
            faces.push_back(one);
        }
    }
    // Every button of every table was found on a bar.
    for (const auto& [command, picture] : pictures) EXPECT_TRUE(seen.count(command)) << command;
}

TEST_F(ToolPicturesTest, TheImageControlsBarIsTallEnoughForItsAutomaticSettingsButtons) {
    CImageSettings* bar = frame_->GetImageSettings();
    ASSERT_TRUE(bar && bar->GetSizer());
    EXPECT_GE(bar->GetFloatSize().y, bar->GetSizer()->GetMinSize().y);
}

TEST_F(ToolPicturesTest, EveryMainToolbarButtonHasTheTooltipOfItsString) {
    wxToolBar* bar = frame_->GetMainToolBar();
    ASSERT_TRUE(bar);
    int buttons = 0;
    for (size_t i = 0; i < bar->GetToolsCount(); ++i) {
        const wxToolBarToolBase* tool = bar->GetToolByPos(static_cast<int>(i));
        if (tool->IsSeparator()) continue;
        ++buttons;
        const int command = FromWxId(tool->GetId());
        const std::string tip = ToolTipOfString(command);
        EXPECT_FALSE(tip.empty()) << "no string for " << command;
        EXPECT_EQ(tool->GetShortHelp().utf8_string(), tip) << command;
    }
    EXPECT_EQ(buttons, 3);
}

TEST(ToolCursors, EveryToolCursorLoadsAndIsADrawingWithItsHotSpotInside) {
    // Click balance, the two hands, the crop cursors of both constrained
    // modes and the close-up cursor.
    std::vector<int> ids = {148, 191, 192, 226};
    for (int id = 221; id <= 225; ++id) ids.push_back(id);
    for (int id = 227; id <= 231; ++id) ids.push_back(id);
    std::vector<wxImage> seen;
    for (int id : ids) {
        const std::string what = "cursor " + std::to_string(id);
        EXPECT_TRUE(LoadToolCursor(id).IsOk()) << what;
        EXPECT_TRUE(LoadToolCursor(id, 2.0).IsOk()) << what;
        for (int scale : {1, 2}) {
            const wxImage image = DrawToolCursor(id, scale);
            ASSERT_TRUE(image.IsOk()) << what;
            EXPECT_EQ(image.GetSize(), wxSize(kToolCursorSize, kToolCursorSize) * scale) << what;
            ExpectDrawing(image, what + " at " + std::to_string(scale) + "x");
            ASSERT_TRUE(image.HasOption(wxIMAGE_OPTION_CUR_HOTSPOT_X)) << what;
            const int x = image.GetOptionInt(wxIMAGE_OPTION_CUR_HOTSPOT_X);
            const int y = image.GetOptionInt(wxIMAGE_OPTION_CUR_HOTSPOT_Y);
            EXPECT_TRUE(x >= 0 && x < image.GetWidth() && y >= 0 && y < image.GetHeight()) << what;
        }
        const wxImage one = DrawToolCursor(id, 1);
        for (const wxImage& other : seen) EXPECT_FALSE(SameImage(one, other)) << what;
        seen.push_back(one);
    }
    EXPECT_FALSE(LoadToolCursor(147).IsOk());
    EXPECT_FALSE(DrawToolCursor(147, 1).IsOk());

    // A sheet of every picture and cursor for a look by eye.
    if (const char* build = std::getenv("LUMORA_BUILD_DIR")) {
        const std::filesystem::path dir = std::filesystem::path(build) / "tests" / "output" / "toolpictures";
        std::filesystem::create_directories(dir);
        if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
        for (int scale : {1, 2}) {
            wxImage sheet(40 * 14 * scale, 40 * 7 * scale);
            sheet.SetRGB(wxRect(sheet.GetSize()), 200, 200, 204);
            int row = 0;
            for (int bitmapId : {kMainToolBarBitmap, 146, 164, 253, 254}) {
                for (int image = 0;; ++image) {
                    const wxImage p = DrawToolPicture(bitmapId, image, scale);
                    if (!p.IsOk()) break;
                    sheet.Paste(p, 40 * image * scale + 4, 40 * row * scale + 4, wxIMAGE_ALPHA_BLEND_COMPOSE);
                }
                ++row;
            }
            for (size_t i = 0; i < ids.size(); ++i)
                sheet.Paste(DrawToolCursor(ids[i], scale), 40 * static_cast<int>(i) * scale + 4,
                            40 * row * scale + 4, wxIMAGE_ALPHA_BLEND_COMPOSE);
            sheet.SaveFile((dir / ("sheet-" + std::to_string(scale) + "x.png")).string(), wxBITMAP_TYPE_PNG);
        }
    }
}

} // namespace
