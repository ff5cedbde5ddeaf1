// The export array: its defaults, its buffer and addresses relative to the
// bounds, and purging by the memory pool.
#include "BlockOMemoryLock.h"
#include "BlockOMemoryPool.h"
#include "CoreTestSupport.h"
#include "ExportImageArray.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "LabelGlyphs.h"
#include "RenderBuffer.h"
#include "NbErrorCodes.h"
#include "StBlockOMemoryPoolExceptionDisabler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>

using namespace NimbalCore;

TEST(ExportImageArrayTest, DefaultsAndAddresses) {
    ExportImageArray array;
    EXPECT_EQ(array.GetPixelType(), 1);
    EXPECT_EQ(array.GetChannels(), 3);
    EXPECT_EQ(array.GetBytesPerSample(), 1);
    EXPECT_EQ(array.GetPixels(), nullptr);
    EXPECT_EQ(array.GetPixelAddress(0, 0), nullptr);

    array.SetBounds(NbRect(10, 20, 650, 29)); // 641 x 10
    array.SetRowBytes(1924);
    array.Create(1924 * 10);
    auto* base = static_cast<uint8_t*>(array.GetPixels());
    ASSERT_NE(base, nullptr);
    EXPECT_TRUE(array.IsAllocated());
    EXPECT_EQ(array.GetSize(), 1924 * 10);
    EXPECT_EQ(array.GetPixelAddress(640, 9), base + 9 * 1924 + 640 * 3);
    EXPECT_EQ(array.GetPixelAddress(641, 0), nullptr);
    EXPECT_EQ(array.GetPixelAddress(0, -1), nullptr);
    array.Create(1); // a held buffer is kept
    EXPECT_EQ(array.GetPixels(), base);
    array.Free();
    EXPECT_EQ(array.GetPixels(), nullptr);
    EXPECT_EQ(array.GetSize(), 0);
    EXPECT_FALSE(array.IsAllocated());

    array.SetPixelType(0);
    EXPECT_EQ(array.GetChannels(), 1);
    array.SetPixelType(6);
    EXPECT_EQ(array.GetChannels(), 4);
}

TEST(ExportImageArrayTest, ThePoolPurgesOnlyAnUnpinnedBuffer) {
    ExportImageArray array;
    array.Create(4096);
    StBlockOMemoryPoolExceptionDisabler quiet;
    {
        BlockOMemoryLock pin(&array);
        BlockOMemoryPool::Instance(true)->Flush(4096);
        EXPECT_NE(array.GetPixels(), nullptr);
    }
    BlockOMemoryPool::Instance(true)->Flush(4096);
    EXPECT_EQ(array.GetPixels(), nullptr);
    EXPECT_EQ(coretest::CodeOf([&] { array.Create(uint64_t(1) << 40); }), NbErrAllocFailed);
}

TEST(PixelArrayTest, DescriptorsAndRenderBufferPriority) {
    ExportImageArray array;
    array.SetPixelType(PixelArray::BGR);
    EXPECT_EQ(array.GetChannels(), 3);
    array.SetBounds(NbRect(0, 0, 9, 4));
    array.SetRowBytes(32);
    array.Create(32 * 5);
    auto* p = static_cast<uint8_t*>(array.GetPixels());
    PixelLayout d = array.GetBufferDescriptor();
    EXPECT_EQ(d.sampleType, PixelSample8);
    EXPECT_EQ(d.columnOffset, 3);
    EXPECT_EQ(d.channels, 3);
    EXPECT_EQ(d.base[0], p + 2);
    EXPECT_EQ(d.base[2], p);
    d = array.DescribeRect(NbRect(2, 1, 4, 3));
    EXPECT_EQ(d.columns, 3);
    EXPECT_EQ(d.rows, 3);
    EXPECT_EQ(d.base[0], p + 2 + 6 + 32);
    array.SetPixelType(PixelArray::FourSample);
    d = array.GetBufferDescriptor();
    EXPECT_EQ(d.channels, 0);
    EXPECT_EQ(d.base[0], nullptr);
    EXPECT_EQ(d.columns, 10);
}

TEST(PixelArrayTest, ARenderBufferKeepsItsPriorityWhenFreed) {
    RenderBuffer buffer;
    buffer.SetPurgePriority(BlockOMemoryBase::kPurgeLast);
    buffer.Create(100);
    EXPECT_EQ(buffer.GetPixelAddress(0, 0), buffer.GetData());
    buffer.Free();
    EXPECT_EQ(buffer.GetPurgePriority(), BlockOMemoryBase::kPurgeLast);
    EXPECT_FALSE(buffer.IsAllocated());
    EXPECT_EQ(buffer.GetSize(), 0);
}

namespace {

using coretest::FakeImage;

// A fake whose render fails in a way of the test's choosing.
class FailingImage : public FakeImage {
public:
    using FakeImage::FakeImage;
    int failure = 0; // 1 bad_alloc, 2 runtime_error, 3 bare status 1711
    void RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop, ProgressCB* progress,
                     int renderScale) override {
        if (failure == 1) throw std::bad_alloc();
        if (failure == 2) throw std::runtime_error("lost");
        if (failure == 3) throw int(NbErrRenderCancelled);
        FakeImage::RenderImage(params, destination, useCrop, progress, renderScale);
    }
};

class Refusing : public ProgressCB {
public:
    bool Progress(int) override { return false; }
};

std::string OperationOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const YlmErrp& e) {
        return e.Get()->GetMessage();
    }
    return "";
}

class RenderFromRenderingTest : public ::testing::Test {
protected:
    void TearDown() override { ImagePool::DeleteInstance(); }
};

} // namespace

TEST_F(RenderFromRenderingTest, PixelTypeRowBytesAndSamplesFollowTheRendering) {
    auto* fake = new FakeImage("/e/1.tif", 700, 40);
    ImageRef hold(fake);
    fake->FillPattern();
    const struct {
        int colorMode, channels, bytes;
        bool renders;
        int pixelType, rowBytes;
    } cases[] = {
        {0, 3, 1, true, 1, 1924}, {1, 3, 2, true, 1, 3848}, {2, 1, 1, true, 0, 644},
        {2, 1, 2, true, 0, 1284}, {3, 3, 1, false, -1, 0},
        {0, 1, 1, true, 0, 644}, // one channel is never rendered as colour
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.colorMode << " bytes " << c.bytes);
        ImageProcessParam p;
        p.colorMode = c.colorMode;
        p.crop = NbRect(10, 4, 650, 13); // 641 x 10
        ImageRendering rendering(hold, p);
        ExportImageArray array;
        array.SetPixelType(PixelArray::FourSample);
        array.SetChannels(c.channels);
        array.SetBytesPerSample(c.bytes);
        const int rendersBefore = fake->renders, freesBefore = fake->frees;
        array.RenderFromRendering(&rendering, nullptr, 1);
        EXPECT_EQ(fake->renders - rendersBefore, c.renders ? 1 : 0);
        EXPECT_EQ(fake->frees - freesBefore, c.renders ? 1 : 0);
        if (!c.renders) {
            EXPECT_EQ(array.GetPixels(), nullptr);
            EXPECT_EQ(array.GetPixelType(), PixelArray::FourSample);
            continue;
        }
        EXPECT_EQ(array.GetPixelType(), c.pixelType);
        EXPECT_EQ(array.GetChannels(), c.channels); // only the pixel type changes
        EXPECT_EQ(array.GetRowBytes(), c.rowBytes);
        EXPECT_EQ(array.GetBounds(), p.crop);
        EXPECT_EQ(array.GetSize(), c.rowBytes * 10);
        EXPECT_EQ(array.GetPurgePriority(), ExportImageArray().GetPurgePriority()); // unpinned again
        for (int32_t y : {0, 9})
            for (int32_t x : {0, 640}) {
                const uint16_t* src = fake->Pixel(10 + x, 4 + y);
                const uint8_t* d = array.GetPixelAddress(x, y);
                uint16_t got;
                if (c.bytes == 2) std::memcpy(&got, d, 2);
                else got = d[0];
                EXPECT_EQ(got, c.bytes == 2 ? src[0] : src[0] >> 8) << x << "," << y;
            }
    }
}

TEST_F(RenderFromRenderingTest, TheBufferGrowsOnlyWhenTooSmall) {
    auto* fake = new FakeImage("/e/1.tif", 200, 100);
    ImageRef hold(fake);
    fake->FillPattern();
    ImageProcessParam p;
    p.crop = NbRect(0, 0, 99, 49);
    ImageRendering rendering(hold, p);
    ExportImageArray array;
    array.RenderFromRendering(&rendering, nullptr, 1);
    const void* first = array.GetPixels();
    const int32_t size = array.GetSize();
    rendering.GetProcessParamPtr()->crop = NbRect(0, 50, 49, 59);
    array.RenderFromRendering(&rendering, nullptr, 1);
    EXPECT_EQ(array.GetPixels(), first);
    EXPECT_EQ(array.GetSize(), size);
    rendering.GetProcessParamPtr()->crop = NbRect(0, 0, 199, 99);
    array.RenderFromRendering(&rendering, nullptr, 1);
    EXPECT_EQ(array.GetSize(), 600 * 100);
    EXPECT_EQ(array.GetBounds(), NbRect(0, 0, 199, 99));
}

TEST_F(RenderFromRenderingTest, EveryFailureFreesTheBufferAndIsThrown) {
    auto* fake = new FailingImage("/e/1.tif", 64, 32);
    ImageRef hold(fake);
    fake->FillPattern();
    ImageProcessParam p;
    p.crop = NbRect(0, 0, 63, 31);
    ImageRendering rendering(hold, p);
    Refusing cancel;
    const struct {
        int failure;
        ProgressCB* progress;
        int ensureOpen;
        int code;
        const char* operation; // null: the core's own error passes unchanged
    } cases[] = {
        {0, &cancel, 0, NbErrRenderCancelled, nullptr},
        {0, nullptr, 1701, 1701, nullptr},
        {1, nullptr, 0, NbErrAllocFailed, "ExportImageArray::RenderFromRendering"},
        {2, nullptr, 0, NbErrRenderFailed, "ExportImageArray::RenderFromRendering"},
        {3, nullptr, 0, NbErrRenderFailed, "ExportImageArray::RenderFromRendering"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        fake->failure = c.failure;
        fake->ensureOpenResult = c.ensureOpen;
        ExportImageArray array;
        array.SetBounds(NbRect(0, 0, 63, 31));
        array.SetRowBytes(192);
        array.Create(192 * 32);
        const std::string op = OperationOf([&] { array.RenderFromRendering(&rendering, c.progress, 1); });
        EXPECT_EQ(coretest::CodeOf([&] { array.RenderFromRendering(&rendering, c.progress, 1); }), c.code);
        if (c.operation) EXPECT_EQ(op, c.operation);
        else EXPECT_NE(op, "ExportImageArray::RenderFromRendering");
        EXPECT_EQ(array.GetPixels(), nullptr);
        EXPECT_FALSE(array.IsAllocated());
    }
}

namespace {

// The label's extent in an array filled with 0x55: the columns and rows
// that changed, and whether every changed sample is all-0 or all-1 bits.
struct LabelExtent {
    int width = 0, height = 0;
    bool blackAndWhite = true, hasBlack = false, hasWhite = false;
};

LabelExtent Measure(ExportImageArray& array, int samplesPerPixel) {
    LabelExtent e;
    const NbRect b = array.GetBounds();
    const int bytes = array.GetBytesPerSample();
    for (int32_t y = 0; y <= b.bottom - b.top; ++y)
        for (int32_t x = 0; x <= b.right - b.left; ++x) {
            const uint8_t* p = array.GetPixelAddress(x, y);
            bool changed = false;
            for (int k = 0; k < array.GetChannels() * bytes; ++k) {
                if (p[k] == 0x55) continue;
                changed = true;
                if (k >= samplesPerPixel * bytes || (p[k] != 0 && p[k] != 0xFF)) e.blackAndWhite = false;
                if (bytes == 2 && p[k] != p[k ^ 1]) e.blackAndWhite = false;
                (p[k] ? e.hasWhite : e.hasBlack) = true;
            }
            if (changed) {
                e.width = std::max(e.width, x + 1);
                e.height = std::max(e.height, y + 1);
            }
        }
    return e;
}

} // namespace

TEST(DrawTextLabelTest, WhiteBoxWithBlackLettersCutToTheArray) {
    const int adv = kLabelGlyphAdvance;
    const std::string longText(200, 'W');
    const struct {
        int channels, pixelType, bytes, width, height;
        std::string text;
        bool drawn;
        int labelWidth, labelHeight;
    } cases[] = {
        {3, PixelArray::RGB, 1, 400, 40, "N 48 51.5", true, 11 * adv, 16},
        {3, PixelArray::RGB, 2, 400, 40, "N 48 51.5", true, 11 * adv, 16},
        {1, PixelArray::Gray, 1, 400, 40, "E 2", true, 5 * adv, 16},
        {1, PixelArray::Gray, 2, 400, 10, "E 2", true, 5 * adv, 10},   // a 10-row strip
        {3, PixelArray::RGB, 1, 1000, 20, longText, true, 768, 16},     // cut at the label's width
        {3, PixelArray::RGB, 1, 30, 20, "N 48 51.5", true, 30, 16},     // cut at the array's width
        {3, PixelArray::RGB, 1, 400, 40, "", false, 0, 0},
        {4, PixelArray::FourSample, 1, 400, 40, "N 48", false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << "x" << c.bytes << " " << c.width << "x" << c.height << " '"
                                        << c.text.substr(0, 12) << "'");
        ExportImageArray array;
        array.SetPixelType(c.pixelType);
        array.SetChannels(c.channels);
        array.SetBytesPerSample(c.bytes);
        array.SetBounds(NbRect(100, 200, 100 + c.width - 1, 200 + c.height - 1));
        const int32_t rowBytes = (c.width * c.channels * c.bytes + 3) & ~3;
        array.SetRowBytes(rowBytes);
        array.Create(uint64_t(rowBytes) * c.height);
        std::memset(array.GetPixels(), 0x55, size_t(rowBytes) * c.height);
        EXPECT_EQ(array.DrawTextLabel(c.text), c.drawn);
        const LabelExtent e = Measure(array, c.channels);
        EXPECT_EQ(e.width, c.labelWidth);
        EXPECT_EQ(e.height, c.labelHeight);
        EXPECT_TRUE(e.blackAndWhite);
        EXPECT_EQ(e.hasBlack, c.drawn);
        EXPECT_EQ(e.hasWhite, c.drawn);
    }
}
