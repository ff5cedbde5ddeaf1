// The toolkit's clipboard under the display: a file list and a picture come
// back as they were put there, pixel for pixel, and what is no picture
// leaves the clipboard as it was.
#include "PackedDib.h"
#include "WxClipboard.h"

#include <gtest/gtest.h>

namespace {

// An odd width, so that rows carry padding.
PackedDib::Rgb ClipboardTestPicture() {
    PackedDib::Rgb picture{5, 3, {}};
    for (int i = 0; i < 15; ++i)
        picture.pixels.insert(picture.pixels.end(), {uint8_t(i * 16), uint8_t(255 - i), uint8_t(i * 7)});
    return picture;
}

TEST(WxClipboard, FileListsAndPicturesComeBackAsTheyWent) {
    WxClipboard clipboard;
    const std::vector<std::string> files = {"/photos/day one/IMG_0001.ZYR", "/photos/day one/IMG_0001.WAV",
                                            "/photos/Café/IMG_0002.JPG"};
    ASSERT_TRUE(clipboard.SetFiles(files));
    EXPECT_EQ(clipboard.GetFiles(), files);
    EXPECT_TRUE(clipboard.GetPicture().empty());

    const std::vector<uint8_t> dib = PackedDib::Encode(ClipboardTestPicture());
    ASSERT_TRUE(clipboard.SetPicture(dib));
    EXPECT_EQ(clipboard.GetPicture(), dib);
    EXPECT_TRUE(clipboard.GetFiles().empty());

    // Bytes that are no picture, and an empty list, change nothing.
    EXPECT_FALSE(clipboard.SetPicture(std::vector<uint8_t>(dib.begin(), dib.end() - 4)));
    EXPECT_FALSE(clipboard.SetFiles({}));
    EXPECT_EQ(clipboard.GetPicture(), dib);
}

TEST(WxClipboard, AGreyCopyComesBackAsTheSameGreys) {
    // 2 x 1, 8 bits with the full grey table, as a copy of a grey picture.
    std::vector<uint8_t> dib(40, 0);
    dib[0] = 40;
    dib[4] = 2;
    dib[8] = 1;
    dib[12] = 1;
    dib[14] = 8;
    for (int i = 0; i < 256; ++i) dib.insert(dib.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
    dib.insert(dib.end(), {30, 220, 0, 0});
    WxClipboard clipboard;
    ASSERT_TRUE(clipboard.SetPicture(dib));
    const std::vector<uint8_t> back = clipboard.GetPicture();
    const auto picture = PackedDib::Decode(lumora::ByteView(back.data(), back.size()));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, (std::vector<uint8_t>{30, 30, 30, 220, 220, 220}));
}

} // namespace
