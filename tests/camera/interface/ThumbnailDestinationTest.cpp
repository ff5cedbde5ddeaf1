// VqGetThumbnail writes the pixels at the destination it is given, and a
// destination of the size the header names (the record's fullBytes) is never
// overrun, whatever the file says about its thumbnail.
#include "VqSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kUntouched = 0xA5;
constexpr size_t kGuard = 1 << 16;

struct Case {
    const char* what;
    uint32_t thumbWidth, thumbHeight;
    float rotation;
    uint32_t status;
};

} // namespace

TEST(ThumbnailDestination, WritesAtTheDestinationAndNeverBeyondFullBytes) {
    const Case cases[] = {
        {"thumbnail smaller than the sensor", 32, 24, 0.0f, 0},
        {"the same, turned", 32, 24, 90.0f, 0},
        {"thumbnail as large as the sensor", 64, 48, 0.0f, 0},
        {"thumbnail wider than the sensor", 128, 48, 0.0f, VQ_ERR_BAD_FILE},
        {"thumbnail taller than the sensor, turned", 64, 96, 270.0f, VQ_ERR_BAD_FILE},
    };
    VqSession session;
    lumora::test::TempFolder dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZyrSampleOptions o;
        o.version = 0x01000000;
        o.thumbWidth = c.thumbWidth;
        o.thumbHeight = c.thumbHeight;
        const std::string path = WriteFile(dir, std::string(c.what) + ".tif", ZyrSample::Make(o));
        ImageInfoRecord info = EmptyRecord();
        ASSERT_EQ(VqOpenImageFile(path.c_str(), &info), 0u);
        ASSERT_EQ(VqSetRotateType(&info, c.rotation), 0u);
        ASSERT_GT(info.geometry.fullBytes, 0);

        // A caller sizes the destination from the record, as the header says.
        const size_t size = size_t(info.geometry.fullBytes);
        std::vector<uint8_t> destination(size + kGuard, kUntouched);
        EXPECT_EQ(VqGetThumbnail(&info, destination.data()), c.status);
        EXPECT_TRUE(std::all_of(destination.begin() + std::ptrdiff_t(size), destination.end(),
                                [](uint8_t b) { return b == kUntouched; }));
        if (c.status == 0) {
            const size_t thumbBytes = size_t(c.thumbWidth) * c.thumbHeight * size_t(info.geometry.channels) *
                                      size_t(info.geometry.bytesPerSample);
            EXPECT_LT(std::count(destination.begin(), destination.begin() + std::ptrdiff_t(thumbBytes), kUntouched),
                      std::ptrdiff_t(thumbBytes / 8))
                << "the thumbnail's pixels are at the destination";
        }
        EXPECT_EQ(VqCloseImage(&info), 0u);
    }
}

// The record's full size is the picture the main directory stores (the header
// image), and VqGetThumbnail writes every byte of it: a destination filled
// with 0x00 and one filled with 0xFF come back equal. A thumbnail directory
// that names another size than the main directory's is refused, the
// destination untouched.
TEST(ThumbnailDestination, FillsTheStoredPictureSizeWhole) {
    struct ThumbCase {
        const char* what;
        bool colour;
        uint32_t type;
        float rotation;
        uint32_t thumbDirectoryWidth;  // 0: the main directory's
        uint32_t status;
    };
    const ThumbCase cases[] = {
        {"colour", true, VQ_TYPE_RGB8, 0.0f, 0, 0},
        {"colour, turned", true, VQ_TYPE_RGB16, 90.0f, 0, 0},
        {"grey", false, VQ_TYPE_GRAY8, 0.0f, 0, 0},
        {"grey, turned", false, VQ_TYPE_GRAY16, 270.0f, 0, 0},
        {"thumbnail narrower than the main directory", true, VQ_TYPE_RGB8, 0.0f, 16, VQ_ERR_BAD_FILE},
        {"thumbnail wider than the main directory", true, VQ_TYPE_RGB8, 0.0f, 48, VQ_ERR_BAD_FILE},
    };
    VqSession session;
    lumora::test::TempFolder dir;
    for (const ThumbCase& c : cases) {
        SCOPED_TRACE(c.what);
        ZyrSampleOptions o;
        o.sensorWidth = 320;
        o.sensorHeight = 240;
        o.thumbWidth = 40;
        o.thumbHeight = 30;
        o.colour = c.colour;
        ZyrWriter w(o.order);
        const ZyrSample::Ifds d = ZyrSample::Fill(w, o);
        if (c.thumbDirectoryWidth) {
            w.Remove(d.thumbnail, 256);
            w.Longs(d.thumbnail, 256, {c.thumbDirectoryWidth});
        }
        const std::string path = WriteFile(dir, std::string(c.what) + ".tif", w.Build());
        ImageInfoRecord info = EmptyRecord();
        ASSERT_EQ(VqOpenImageFile(path.c_str(), &info), 0u);
        ASSERT_EQ(VqSetImageType(&info, c.type), 0u);
        ASSERT_EQ(VqSetRotateType(&info, c.rotation), 0u);
        const bool turned = c.rotation == 90.0f || c.rotation == 270.0f;
        EXPECT_EQ(info.geometry.fullWidth, turned ? 30 : 40);
        EXPECT_EQ(info.geometry.fullHeight, turned ? 40 : 30);
        const size_t size = size_t(40 * 30) * size_t(info.geometry.channels) * size_t(info.geometry.bytesPerSample);
        ASSERT_EQ(size_t(info.geometry.fullBytes), size);

        std::vector<uint8_t> got[2];
        for (uint8_t fill : {uint8_t(0x00), uint8_t(0xFF)}) {
            std::vector<uint8_t> destination(size + kGuard, fill);
            EXPECT_EQ(VqGetThumbnail(&info, destination.data()), c.status);
            EXPECT_TRUE(std::all_of(destination.begin() + std::ptrdiff_t(size), destination.end(),
                                    [fill](uint8_t b) { return b == fill; }));
            if (c.status != 0) {
                EXPECT_TRUE(
                    std::all_of(destination.begin(), destination.end(), [fill](uint8_t b) { return b == fill; }));
            }
            got[fill ? 1 : 0].assign(destination.begin(), destination.begin() + std::ptrdiff_t(size));
        }
        if (c.status == 0) {
            EXPECT_TRUE(got[0] == got[1]) << "a byte of the destination was left as it was";
        }
        EXPECT_EQ(VqCloseImage(&info), 0u);
    }
}
