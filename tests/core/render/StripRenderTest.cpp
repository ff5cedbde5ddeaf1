// The strip renderer with the fake kind: strip plans, progress, every
// rotation with and without crop, render kinds, depths and formats against a
// reference turned and cut straight from the source; refusals; sharpening
// through a fake library.
#include "CoreTestSupport.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "ProgressAccumulator.h"
#include "RenderBuffer.h"
#include "StripRendering.h"
#include "VrelSharpenProcs.h"
#include "WorkerPool.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::FakeImage;

namespace {

struct Recording : ProgressCB {
    std::vector<int> seen;
    int refuseAt = -1; // index of the call to refuse
    bool Progress(int percent) override {
        seen.push_back(percent);
        return int(seen.size()) - 1 != refuseAt;
    }
};

class StripRenderTest : public ::testing::Test {
protected:
    void TearDown() override { ImagePool::DeleteInstance(); }
};

// A destination of w x h pixels.
void Shape(RenderBuffer& buffer, int32_t w, int32_t h, int type, int bytes) {
    buffer.Free();
    buffer.SetPixelType(type);
    buffer.SetBytesPerSample(bytes);
    buffer.SetBounds(NbRect(0, 0, w - 1, h - 1));
    buffer.SetRowBytes(w * buffer.GetChannels() * bytes + 4); // padded rows
    buffer.Create(uint64_t(buffer.GetRowBytes()) * h);
    std::memset(buffer.GetData(), 0xA5, size_t(buffer.GetSize()));
}

// The native point shown at (x, y) of a view of area turned by rotation.
void NativeOf(const NbRect& area, int rotation, int64_t x, int64_t y, int64_t& nx, int64_t& ny) {
    const int64_t w = area.Width(), h = area.Height();
    switch (rotation) {
    case 90: nx = y, ny = h - 1 - x; break;
    case 180: nx = w - 1 - x, ny = h - 1 - y; break;
    case 270: nx = w - 1 - y, ny = x; break;
    default: nx = x, ny = y; break;
    }
    nx += area.left;
    ny += area.top;
}

// Counts the destination samples that differ from the reference.
int Mismatches(const FakeImage& image, RenderBuffer& buffer, const NbRect& area, int rotation, bool twelveBit = false) {
    const NbRect b = buffer.GetBounds();
    const int channels = buffer.GetChannels(), bytes = buffer.GetBytesPerSample();
    int bad = 0;
    for (int64_t y = 0; y <= b.bottom; ++y)
        for (int64_t x = 0; x <= b.right; ++x) {
            int64_t nx, ny;
            NativeOf(area, rotation, x, y, nx, ny);
            const uint16_t* src = image.Pixel(nx, ny);
            const uint8_t* d = buffer.GetPixelAddress(int32_t(x), int32_t(y));
            for (int k = 0; k < channels; ++k) {
                uint32_t want = src[k], got;
                if (bytes == 1) {
                    want >>= twelveBit ? 4 : 8;
                    want &= 0xFF;
                    got = d[k];
                } else {
                    uint16_t v;
                    std::memcpy(&v, d + 2 * k, 2);
                    got = v;
                }
                if (got != want) ++bad;
            }
        }
    return bad;
}

// A sharpen library that copies its source and records what it was asked.
struct FakeSharpen {
    static inline int strips = 0, filters = 0, releases = 0;
    static inline bool cancel = false;
    static VrelSharpenStatus Init(int32_t, SharpenLibrary** library) {
        static int object;
        *library = reinterpret_cast<SharpenLibrary*>(&object);
        return 0;
    }
    static VrelSharpenStatus Term(SharpenLibrary** library) {
        *library = nullptr;
        return 0;
    }
    static VrelSharpenStatus Create(SharpenLibrary*, SharpenFilter** filter, const FilterRect*, uint32_t, uint32_t,
                                    uint32_t, uint32_t, uint32_t) {
        static int f;
        *filter = reinterpret_cast<SharpenFilter*>(&f);
        ++filters;
        return 0;
    }
    static VrelSharpenStatus Sizes(SharpenFilter*, const FilterRect* strip, uint32_t* in, uint32_t* work, uint32_t* out) {
        const uint32_t bytes = uint32_t((strip->bottom - strip->top) * (strip->right - strip->left) * 6);
        *in = *out = bytes;
        *work = 64;
        return 0;
    }
    static VrelSharpenStatus Rects(SharpenFilter*, const FilterRect* strip, FilterRect* source) {
        *source = *strip;
        return 0;
    }
    static VrelSharpenStatus Strip(SharpenFilter*, void*, const FilterRect*, const VrelSharpenPlanes* dst,
                                   const VrelSharpenPlanes* src, VrelSharpenProgressProc progress, void* context) {
        ++strips;
        if (progress(0, context) != 1 || (cancel && progress(50, context) != 1)) return 735;
        for (int32_t r = 0; r < src->rows; ++r)
            std::memcpy(static_cast<uint8_t*>(dst->plane[0]) + int64_t(r) * dst->rowStride,
                        static_cast<uint8_t*>(src->plane[0]) + int64_t(r) * src->rowStride, size_t(src->columns) * 6);
        return progress(100, context) == 1 ? 0 : 735;
    }
    static VrelSharpenStatus Release(SharpenFilter** filter) {
        *filter = nullptr;
        ++releases;
        return 0;
    }
    static int32_t Load(const char* name, VrelSharpenProcs* p) {
        if (std::strcmp(name, "VrelSharpenLib") != 0) return 701;
        p->initialize = Init;
        p->terminate = Term;
        p->createFilter = Create;
        p->bufferSizes = Sizes;
        p->stripRects = Rects;
        p->stripWithProgress = Strip;
        p->releaseFilter = Release;
        return 0;
    }
    static int32_t Unload(VrelSharpenProcs*) { return 0; }
};

} // namespace

TEST(StripPlanTest, Cases) {
    const struct {
        uint32_t height, limit;
        uint32_t full, count, rows, last;
    } cases[] = {
        {1000, 300, 4, 4, 250, 0}, {1001, 300, 3, 4, 252, 245}, {999, 300, 3, 4, 250, 249},
        {1200, 300, 4, 4, 300, 0}, {7, 3, 3, 4, 2, 1},          {100, 100, 1, 1, 100, 0},
        {50, 1000, 1, 1, 50, 0},   {301, 301, 1, 1, 301, 0},    {10, 0, 5, 5, 2, 0},
        {11, 1, 5, 6, 2, 1},       {9, 5, 2, 3, 4, 1},
    };
    for (const auto& c : cases) {
        const StripPlan p = PlanStrips(c.height, c.limit);
        EXPECT_EQ(p.fullStrips, c.full) << c.height << "/" << c.limit;
        EXPECT_EQ(p.stripCount, c.count) << c.height << "/" << c.limit;
        EXPECT_EQ(p.stripRows, c.rows) << c.height << "/" << c.limit;
        EXPECT_EQ(p.lastRows, c.last) << c.height << "/" << c.limit;
        EXPECT_EQ(uint64_t(p.fullStrips) * p.stripRows + p.lastRows, c.height);
    }
}

TEST(ProgressAccumulatorTest, SubStepsMapOntoOneRange) {
    Recording target;
    ProgressAccumulator two(&target, 2);
    for (int p : {0, 50, 100, 0, 100}) two.Progress(p);
    EXPECT_EQ(target.seen, (std::vector<int>{0, 25, 50, 50, 100}));
    Recording four;
    ProgressAccumulator acc(&four, 4);
    for (int p : {0, 100, 0, 100, 0, 50, 100, 0, 100}) acc.Progress(p);
    EXPECT_EQ(four.seen, (std::vector<int>{0, 25, 25, 50, 50, 62, 75, 75, 100}));
    Recording none;
    ProgressAccumulator zero(&none, 0);
    zero.Progress(3);
    EXPECT_EQ(none.seen, (std::vector<int>{100}));
    EXPECT_EQ(SharpenProgressBridge(150, nullptr), 1);
    none.refuseAt = 1;
    EXPECT_EQ(SharpenProgressBridge(-5, &none), NbErrProgressCancelled);
    EXPECT_EQ(none.seen.back(), 0);
}

TEST_F(StripRenderTest, EveryRotationCropDepthAndFormatMatchesTheReference) {
    auto* fake = new FakeImage("/r/1.tif", 37, 30);
    ImageRef hold(fake);
    fake->FillPattern();
    RenderBuffer buffer;
    for (int rotation : {0, 90, 180, 270})
        for (bool crop : {false, true})
            for (int bytes : {1, 2})
                for (int type : {PixelArray::RGB, PixelArray::Gray}) {
                    SCOPED_TRACE(testing::Message() << rotation << " crop " << crop << " bytes " << bytes << " type " << type);
                    ImageProcessParam p;
                    p.rotation = float(rotation);
                    p.crop = NbRect(3, 4, 30, 27);
                    const NbRect area = crop ? p.crop : NbRect(0, 0, 36, 29);
                    int32_t w = int32_t(area.Width()), h = int32_t(area.Height());
                    if (rotation == 90 || rotation == 270) std::swap(w, h);
                    Shape(buffer, w, h, type, bytes);
                    fake->sdkRects.clear();
                    fake->resolutionDivisor_ = 1;
                    fake->RenderKind(p, buffer, crop, nullptr, 0);
                    EXPECT_EQ(Mismatches(*fake, buffer, area, rotation), 0);
                    // Half the image's height is the strip limit: two or more strips.
                    EXPECT_GE(fake->sdkRects.size(), 2u);
                }
}

// Strips tall enough to be converted in bands of rows, on one lane of the
// worker pool and on several, match the reference at every rotation.
TEST_F(StripRenderTest, BandsOnEveryLaneCountMatchTheReference) {
    auto* fake = new FakeImage("/r/1.tif", 70, 200);
    ImageRef hold(fake);
    fake->FillPattern();
    RenderBuffer buffer;
    for (unsigned lanes : {1u, 4u}) {
        lumora::WorkerPool::Shared().SetLanes(lanes);
        for (int rotation : {0, 90, 180, 270})
            for (int bytes : {1, 2})
                for (int type : {PixelArray::RGB, PixelArray::Gray}) {
                    SCOPED_TRACE(testing::Message() << lanes << " lanes, " << rotation << " bytes " << bytes << " type "
                                                    << type);
                    ImageProcessParam p;
                    p.rotation = float(rotation);
                    int32_t w = 70, h = 200;
                    if (rotation == 90 || rotation == 270) std::swap(w, h);
                    Shape(buffer, w, h, type, bytes);
                    fake->resolutionDivisor_ = 1;
                    fake->RenderKind(p, buffer, false, nullptr, 0);
                    EXPECT_EQ(Mismatches(*fake, buffer, NbRect(0, 0, 69, 199), rotation), 0);
                }
    }
    lumora::WorkerPool::Shared().SetLanes(lumora::ProcessorCount());
}

TEST_F(StripRenderTest, NinetyDegreesCutsVerticalBandsFilledTopToBottom) {
    auto* fake = new FakeImage("/r/1.tif", 40, 24);
    ImageRef hold(fake);
    fake->FillPattern();
    fake->resolutionDivisor_ = 1;
    RenderBuffer buffer;
    Shape(buffer, 24, 40, PixelArray::RGB, 1);
    ImageProcessParam p;
    p.rotation = 90;
    fake->RenderKind(p, buffer, false, nullptr, 0);
    ASSERT_EQ(fake->sdkRects.size(), 4u); // limit 12 over 40 rows of the view
    int32_t left = 0;
    for (const FilterRect& r : fake->sdkRects) {
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.bottom, 24);
        EXPECT_EQ(r.left, left);
        left = r.right;
    }
    EXPECT_EQ(left, 40);
    EXPECT_EQ(Mismatches(*fake, buffer, NbRect(0, 0, 39, 23), 90), 0);
}

TEST_F(StripRenderTest, PreviewAndThumbnailKindsAndOneOrManyStrips) {
    auto* fake = new FakeImage("/r/1.tif", 64, 300);
    ImageRef hold(fake);
    fake->FillPattern();
    fake->previewRect_ = NbRect(2, 0, 61, 299);
    fake->thumbnailRect_ = NbRect(0, 0, 15, 9);
    RenderBuffer buffer;
    Shape(buffer, 60, 300, PixelArray::RGB, 2);
    fake->RenderKind(ImageProcessParam(), buffer, false, nullptr, 1);
    EXPECT_EQ(fake->sdkRects.size(), 3u); // at most 128 rows a strip
    EXPECT_EQ(Mismatches(*fake, buffer, fake->previewRect_, 0), 0);
    fake->sdkRects.clear();
    Shape(buffer, 16, 10, PixelArray::Gray, 1);
    fake->RenderKind(ImageProcessParam(), buffer, false, nullptr, 2);
    EXPECT_EQ(fake->sdkRects.size(), 1u);
    EXPECT_EQ(Mismatches(*fake, buffer, fake->thumbnailRect_, 0), 0);
    EXPECT_EQ(fake->sdkKinds.back(), 2);
}

TEST_F(StripRenderTest, TwelveBitSourcesShiftByFour) {
    auto* fake = new FakeImage("/r/1.tif", 16, 8);
    ImageRef hold(fake);
    fake->FillPattern();
    for (uint16_t& v : fake->pixels) v &= 0x0FFF;
    fake->sourceBitDepth_ = 12;
    fake->resolutionDivisor_ = 1;
    RenderBuffer buffer;
    Shape(buffer, 16, 8, PixelArray::RGB, 1);
    fake->RenderKind(ImageProcessParam(), buffer, false, nullptr, 0);
    EXPECT_EQ(Mismatches(*fake, buffer, NbRect(0, 0, 15, 7), 0, true), 0);
}

TEST_F(StripRenderTest, RefusalsLeaveTheDestinationUntouched) {
    auto* fake = new FakeImage("/r/1.tif", 20, 20);
    ImageRef hold(fake);
    fake->FillPattern();
    fake->resolutionDivisor_ = 1;
    RenderBuffer buffer;
    auto untouched = [&] {
        const uint8_t* p = static_cast<const uint8_t*>(buffer.GetData());
        for (int32_t i = 0; i < buffer.GetSize(); ++i)
            if (p[i] != 0xA5) return false;
        return true;
    };
    // Too small for the area (also when only the turned view would fit).
    Shape(buffer, 19, 20, PixelArray::RGB, 1);
    EXPECT_EQ(CodeOf([&] { fake->RenderKind(ImageProcessParam(), buffer, false, nullptr, 0); }), NbErrRenderFailed);
    EXPECT_TRUE(untouched());
    ImageProcessParam turned;
    turned.rotation = 90;
    turned.crop = NbRect(0, 0, 9, 19);
    Shape(buffer, 10, 20, PixelArray::RGB, 1);
    EXPECT_EQ(CodeOf([&] { fake->RenderKind(turned, buffer, true, nullptr, 0); }), NbErrRenderFailed);
    EXPECT_TRUE(untouched());
    EXPECT_EQ(fake->sdkCalls, 0);

    // A refused first progress: no data asked for.
    Shape(buffer, 20, 20, PixelArray::RGB, 1);
    Recording refuse;
    refuse.refuseAt = 0;
    EXPECT_EQ(CodeOf([&] { fake->RenderKind(ImageProcessParam(), buffer, false, &refuse, 0); }), NbErrRenderCancelled);
    EXPECT_EQ(fake->sdkCalls, 0);
    EXPECT_TRUE(untouched());

    // A file that cannot be opened again is an error, and the render ends.
    const int endsBefore = fake->endRenders;
    fake->ensureOpenResult = NbErrFileOpenFailed;
    EXPECT_EQ(CodeOf([&] { fake->RenderKind(ImageProcessParam(), buffer, false, nullptr, 0); }), NbErrFileOpenFailed);
    EXPECT_TRUE(untouched());
    EXPECT_EQ(fake->endRenders, endsBefore + 1);
    EXPECT_TRUE(fake->IsClosable());
    EXPECT_FALSE(fake->IsRendering());
}

TEST_F(StripRenderTest, ProgressRunsOverTheStripsAndACancelEndsTheRender) {
    auto* fake = new FakeImage("/r/1.tif", 20, 20);
    ImageRef hold(fake);
    fake->FillPattern();
    fake->resolutionDivisor_ = 1;
    RenderBuffer buffer;
    Shape(buffer, 20, 20, PixelArray::RGB, 1);
    Recording progress;
    fake->RenderKind(ImageProcessParam(), buffer, false, &progress, 0);
    EXPECT_EQ(progress.seen.front(), 0);
    EXPECT_EQ(progress.seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.seen.begin(), progress.seen.end()));
    Recording cancel;
    cancel.refuseAt = 4;
    EXPECT_EQ(CodeOf([&] { fake->RenderKind(ImageProcessParam(), buffer, false, &cancel, 0); }), NbErrRenderCancelled);
    EXPECT_FALSE(fake->IsRendering());
}

TEST_F(StripRenderTest, SharpeningGoesThroughTheLibrary) {
    VrelSharpenProcs::SetBinding(&FakeSharpen::Load, &FakeSharpen::Unload);
    ASSERT_EQ(Image::OpenSharpenLibrary(), 0);
    auto* fake = new FakeImage("/r/1.tif", 40, 120);
    ImageRef hold(fake);
    fake->FillPattern();
    fake->resolutionDivisor_ = 1;
    RenderBuffer buffer;
    Shape(buffer, 40, 120, PixelArray::RGB, 1);
    ImageProcessParam p;
    p.sharpenAmount = 5;
    p.sharpenRadius = 10;
    fake->RenderKind(p, buffer, false, nullptr, 0);
    EXPECT_EQ(FakeSharpen::strips, 3); // a third of the image's height a strip
    EXPECT_EQ(FakeSharpen::releases, 1);
    EXPECT_EQ(Mismatches(*fake, buffer, NbRect(0, 0, 39, 119), 0), 0);

    // A cancel inside the library arrives through the bridge as 1711.
    FakeSharpen::cancel = true;
    Recording cancel;
    cancel.refuseAt = 4;
    EXPECT_EQ(CodeOf([&] { fake->RenderKind(p, buffer, false, &cancel, 0); }), NbErrRenderCancelled);
    EXPECT_EQ(FakeSharpen::releases, 2);
    FakeSharpen::cancel = false;

    // Strips under 16 rows render unsharpened.
    auto* small = new FakeImage("/r/2.tif", 40, 40);
    ImageRef holdSmall(small);
    small->FillPattern();
    small->resolutionDivisor_ = 1;
    Shape(buffer, 40, 40, PixelArray::RGB, 1);
    const int before = FakeSharpen::strips;
    small->RenderKind(p, buffer, false, nullptr, 0);
    EXPECT_EQ(FakeSharpen::strips, before);
    EXPECT_EQ(Mismatches(*small, buffer, NbRect(0, 0, 39, 39), 0), 0);

    Image::CloseSharpenLibrary();
    VrelSharpenProcs::SetBinding(nullptr, nullptr);
    EXPECT_EQ(VrelSharpenProcs::library, nullptr);
}
