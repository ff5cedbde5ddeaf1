// One image of the older raw kind rendered on two threads at once: strips
// at two scales, rotations and looks, and thumbnails between them, give the
// bytes one thread gets. Also run under ThreadSanitizer.
#include "ZynTestSupport.h"

#include "ColorEngine.h"
#include "ImageWerks.h"
#include "StaticProfileTable.h"
#include "ZynImage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace NimbalCore;
using namespace zyntest;
using factorytest::KindsScope;

TEST(ZynImageThreadTest, TwoThreadsRenderOneImageAsOneThreadDoes) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteFixture(files, "IMG.ZYR", Fixture::Family1Ljpeg, 68, 52)),
                                     image),
              0);
    // One thread: the camera's linear output turned by a quarter at full
    // size; the other: the product look into sRGB at half size, and
    // thumbnails.
    const ImageProcessParam linear = LinearParams(image.Get(), 90.0f);
    ImageProcessParam look = LinearParams(image.Get(), 0.0f);
    look.colorMode = 0;
    look.workingSpaceName = StaticProfileTable::Description(StaticProfileTable::kSRGB);
    look.exposureCompensation = 1.0f;
    look.lighting = look.balanceType = 1;
    const Picture first = RenderThroughCore(image, linear, 1, 16);
    const Picture second = RenderThroughCore(image, look, 2, 8);
    const Picture thumbnail = ThumbnailThroughCore(image, look, 8);

    constexpr int kRounds = 1000;
    std::atomic<int> wrong{0}, failed{0};
    auto run = [&](const std::function<void()>& round) {
        ColorEngine::Instance(0, 1)->InitThread();
        for (int i = 0; i < kRounds; ++i) {
            if (CodeOf(round) != 0) ++failed;
        }
        ColorEngine::Instance(0, 1)->TermThread();
    };
    std::thread a([&] {
        run([&] {
            if (RenderThroughCore(image, linear, 1, 16).data != first.data) ++wrong;
        });
    });
    std::thread b([&] {
        run([&] {
            if (RenderThroughCore(image, look, 2, 8).data != second.data) ++wrong;
            for (int i = 0; i < 4; ++i)
                if (ThumbnailThroughCore(image, look, 8).data != thumbnail.data) ++wrong;
        });
    });
    a.join();
    b.join();
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_TRUE(image->IsClosable());
    EXPECT_FALSE(image->IsRendering());
}

} // namespace

namespace {

// What two threads may do between the core's sending of a strip's
// parameters and the strip itself, done on one thread: another set sent
// (by a thumbnail) in between. The strip still renders with its own.
TEST(ZynImageThreadTest, AStripRendersWithItsOwnParametersWhateverWasSentBetween) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteFixture(files, "IMG.ZYR", Fixture::Family1, 68, 52)), image), 0);
    auto* zyn = dynamic_cast<ZynImage*>(image.Get());
    ImageProcessParam own = LinearParams(zyn);
    ImageProcessParam other = own;
    other.exposureCompensation = 1.5f;
    other.lighting = other.balanceType = 3;
    std::vector<uint16_t> expected(64 * 48 * 3), got(64 * 48 * 3);
    VrelSharpenPlanes planes{};
    planes.channels = 3, planes.bitsPerSample = 16, planes.pixelStride = 6, planes.rowStride = 64 * 6;
    planes.rows = 48, planes.columns = 64;
    auto strip = [&](std::vector<uint16_t>& into) {
        planes.plane[0] = into.data(), planes.plane[1] = into.data() + 1, planes.plane[2] = into.data() + 2;
        zyn->GetImageRectangleFromCameraSDK(0, own, FilterRect{0, 0, 48, 64}, 0.0f, planes, 1, 1, nullptr);
    };
    zyn->SetParmsInImageForLinearRendering(own);
    strip(expected);
    zyn->SetParmsInImageForLinearRendering(own);
    zyn->SetProcessParamsInImageExceptWindow(other);
    strip(got);
    EXPECT_TRUE(got == expected);
    // And the other set renders differently, or the check would prove nothing.
    std::vector<uint16_t> different(64 * 48 * 3);
    planes.plane[0] = different.data(), planes.plane[1] = different.data() + 1, planes.plane[2] = different.data() + 2;
    zyn->SetParmsInImageForLinearRendering(other);
    zyn->GetImageRectangleFromCameraSDK(0, other, FilterRect{0, 0, 48, 64}, 0.0f, planes, 1, 1, nullptr);
    EXPECT_FALSE(different == expected);
}

} // namespace
