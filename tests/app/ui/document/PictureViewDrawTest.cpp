// The picture view's drawing: the screen copy is the area-average reduction
// of the pixels (kept until they change), drawn 1:1 without a size; the
// checkerboard placeholder; a copied rectangle handed to the clipboard as a
// bitmap file.
#include "CPictureView.h"

#include "Clipboard.h"
#include "GuiTest.h"
#include "PackedDib.h"
#include "PictureReduction.h"
#include "WxClipboard.h"

#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/dcmemory.h>
#include <wx/image.h>

#include <cstring>
#include <optional>
#include <vector>

namespace {

// A colour picture whose left half is red and right half blue.
void FillHalves(CPictureView& picture, int width, int height) {
    picture.SetPixelType(NimbalCore::PixelArray::BGR);
    picture.SetBounds(NimbalCore::NbRect(0, 0, width - 1, height - 1));
    picture.Create(0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = picture.PixelAt(x, y);
            p[0] = x < width / 2 ? 0 : 255; // blue
            p[1] = 0;
            p[2] = x < width / 2 ? 255 : 0; // red
        }
}

wxImage DrawnPixels(const CPictureView& picture, const wxRect* destination, wxSize canvas) {
    wxBitmap bitmap(canvas.x, canvas.y, 24);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    EXPECT_TRUE(picture.Draw(dc, destination));
    dc.SelectObject(wxNullBitmap);
    return bitmap.ConvertToImage();
}

TEST(PictureViewDraw, StretchedAndOneToOne) {
    CPictureView picture;
    wxBitmap bitmap(8, 8, 24);
    {
        wxMemoryDC dc(bitmap);
        EXPECT_FALSE(picture.Draw(dc));
    }
    FillHalves(picture, 40, 20);
    const wxRect half(2, 3, 20, 10);
    wxImage shown = DrawnPixels(picture, &half, {30, 20});
    EXPECT_EQ(shown.GetRed(2, 3), 255);
    EXPECT_EQ(shown.GetBlue(21, 12), 255);
    EXPECT_EQ(shown.GetRed(22, 3), 255); // outside: the white background
    EXPECT_EQ(shown.GetGreen(22, 3), 255);
    // No size: 1:1 at the rectangle's origin.
    const wxRect origin(5, 0, 0, 0);
    shown = DrawnPixels(picture, &origin, {50, 20});
    EXPECT_EQ(shown.GetRed(5, 0), 255);
    EXPECT_EQ(shown.GetBlue(44, 19), 255);
    EXPECT_EQ(shown.GetGreen(4, 0), 255);
    // New pixels are drawn anew, not the kept copy.
    picture.ReleaseBits();
    FillHalves(picture, 40, 20);
    for (int y = 0; y < 20; ++y) std::memset(picture.PixelAt(0, y), 0x80, 40 * 3);
    shown = DrawnPixels(picture, &half, {30, 20});
    EXPECT_EQ(shown.GetRed(2, 3), 0x80);
}

TEST(PictureViewDraw, CheckerboardOfFourPixelSquares) {
    wxBitmap bitmap(16, 16, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetTextForeground(*wxBLACK);
        dc.SetTextBackground(*wxWHITE);
        dc.SetPen(*wxTRANSPARENT_PEN);
        EXPECT_TRUE(CPictureView::DrawCheckerboard(dc, wxRect(0, 0, 16, 16)));
    }
    const wxImage image = bitmap.ConvertToImage();
    const int ink = image.GetRed(1, 1), paper = image.GetRed(5, 1);
    EXPECT_NE(ink, paper);
    EXPECT_EQ(image.GetRed(1, 5), paper);
    EXPECT_EQ(image.GetRed(5, 5), ink);
    EXPECT_EQ(image.GetRed(9, 1), ink);
}

TEST(PictureViewDraw, ACopyGoesToTheClipboardAsItsPackedBitmap) {
    CPictureView picture;
    FillHalves(picture, 40, 20);
    CPictureView copy;
    picture.CopyToClipboardDib(&copy, 0, 0, 9, 4);
    WxClipboard clipboard;
    Clipboard::SetCurrent(&clipboard);
    ASSERT_TRUE(CPictureView::PutDibOnClipboard(copy));
    const std::vector<uint8_t> back = clipboard.GetPicture();
    Clipboard::SetCurrent(nullptr);
    const std::optional<PackedDib::Rgb> read = PackedDib::Decode(lumora::ByteView(back.data(), back.size()));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->width, 10);
    EXPECT_EQ(read->height, 5);
    // The copy's top-left pixel comes back as the top-left one: red.
    EXPECT_EQ(read->pixels[0], 255);
    EXPECT_EQ(read->pixels[2], 0);
    wxTheClipboard->Clear();
}

} // namespace
