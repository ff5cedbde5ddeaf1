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
