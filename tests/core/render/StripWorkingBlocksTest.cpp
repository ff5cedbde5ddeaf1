// The strip renderer's working blocks outlive a render: the next render
// writes into the same memory; what is kept is bounded, goes back unpinned
// on every way out, is the first thing a purge frees, and is never freed
// while a render writes into it (also with renders and purges on several
// threads).
#include "BlockOMemoryLock.h"
#include "BlockOMemoryPool.h"
#include "CoreTestSupport.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "RenderBuffer.h"
#include "StBlockOMemoryPoolExceptionDisabler.h"
#include "StripWorkingBlocks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::FakeImage;

namespace {

constexpr uint64_t MB = 1 << 20;

// A fake kind that notes where the renderer asked it to write, and may run
// something just before it writes.
class WatchedImage : public FakeImage {
public:
    using FakeImage::FakeImage;
    void GetImageRectangleFromCameraSDK(int kind, const ImageProcessParam& params, const FilterRect& rect, float angle,
                                        VrelSharpenPlanes& layout, int format, int divisor,
                                        ProgressCB* progress) override {
        blocks.push_back(layout.plane[0]);
        if (beforeWriting) beforeWriting();
        FakeImage::GetImageRectangleFromCameraSDK(kind, params, rect, angle, layout, format, divisor, progress);
    }
    std::vector<void*> blocks;
    std::function<void()> beforeWriting;
};

// An 8-bit RGB destination of the image's size.
void Shape(RenderBuffer& buffer, const FakeImage& image) {
    const NbRect r = image.imageRect_;
    buffer.Free();
    buffer.SetPixelType(PixelArray::RGB);
    buffer.SetBytesPerSample(1);
    buffer.SetBounds(NbRect(0, 0, int32_t(r.Width() - 1), int32_t(r.Height() - 1)));
    buffer.SetRowBytes(int32_t(r.Width() * 3));
    buffer.Create(uint64_t(r.Width() * r.Height() * 3));
    std::memset(buffer.GetData(), 0xA5, size_t(buffer.GetSize()));
}

bool MatchesSource(const FakeImage& image, RenderBuffer& buffer) {
    const NbRect b = buffer.GetBounds();
    for (int32_t y = 0; y <= b.bottom; ++y)
        for (int32_t x = 0; x <= b.right; ++x)
            for (int k = 0; k < 3; ++k)
                if (buffer.GetPixelAddress(x, y)[k] != uint8_t(image.Pixel(x, y)[k] >> 8)) return false;
    return true;
}

struct Refusing : ProgressCB {
    int calls = 0, refuseAt = 0;
    bool Progress(int) override { return calls++ != refuseAt; }
};

class StripWorkingBlocksTest : public ::testing::Test {
protected:
    void SetUp() override {
        StripWorkingBlocks::Release();
        BlockOMemoryPool::Instance(true)->SetMemoryBudget(~uint64_t(0));
    }
    void TearDown() override {
        ImagePool::DeleteInstance();
        StripWorkingBlocks::Release();
    }
};

} // namespace

TEST_F(StripWorkingBlocksTest, TheNextRenderWritesIntoTheSameBlockAndAPurgeFreesItFirst) {
    auto* first = new WatchedImage("/w/1.tif", 64, 40);
    auto* second = new WatchedImage("/w/2.tif", 48, 30);
    ImageRef holdFirst(first), holdSecond(second);
    first->FillPattern();
    second->FillPattern();
    // The second image's pattern differs, so stale rows would show.
    for (uint16_t& v : second->pixels) v = uint16_t(v * 7 + 3);
    first->resolutionDivisor_ = second->resolutionDivisor_ = 1;

    RenderBuffer buffer;
    Shape(buffer, *first);
    first->RenderKind(ImageProcessParam(), buffer, false, nullptr, 0);
    EXPECT_TRUE(MatchesSource(*first, buffer));
    ASSERT_EQ(StripWorkingBlocks::GetKeptBlockCount(), 1u);
    const uint64_t kept = StripWorkingBlocks::GetKeptBytes();
    EXPECT_EQ(kept, uint64_t(64) * 20 * 6); // strips of half the image's height

    // A smaller render of another image: the same memory, only its own bytes.
    RenderBuffer other;
    Shape(other, *second);
    second->RenderKind(ImageProcessParam(), other, false, nullptr, 0);
    EXPECT_TRUE(MatchesSource(*second, other));
    ASSERT_FALSE(second->blocks.empty());
    EXPECT_EQ(second->blocks.front(), first->blocks.front());
    EXPECT_EQ(StripWorkingBlocks::GetKeptBlockCount(), 1u);

    // Under pressure the kept block goes before the older render buffers.
    {
        StBlockOMemoryPoolExceptionDisabler quiet;
        EXPECT_EQ(BlockOMemoryPool::Instance(true)->Flush(1), kept);
    }
    EXPECT_EQ(StripWorkingBlocks::GetKeptBytes(), 0u);
    EXPECT_TRUE(buffer.IsAllocated());
    EXPECT_TRUE(other.IsAllocated());
    // ... and the next render makes it again.
    Shape(buffer, *first);
    first->RenderKind(ImageProcessParam(), buffer, false, nullptr, 0);
    EXPECT_TRUE(MatchesSource(*first, buffer));
    EXPECT_EQ(StripWorkingBlocks::GetKeptBytes(), kept);

    // Closing the image pool lets them go.
    const size_t registered = BlockOMemoryPool::Instance(true)->GetBlockCount();
    ImagePool::DeleteInstance();
    EXPECT_EQ(StripWorkingBlocks::GetKeptBlockCount(), 0u);
    EXPECT_EQ(BlockOMemoryPool::Instance(true)->GetBlockCount(), registered - 1);
}

TEST_F(StripWorkingBlocksTest, LeasesTakeTheSmallestThatFitsAndTheLargestAreKept) {
    struct Step {
        std::vector<uint64_t> leases; // held at the same time
        std::vector<uint64_t> keptAfter;
    } steps[] = {
        // Five at once: only the three largest stay.
        {{1 * MB, 5 * MB, 2 * MB, 4 * MB, 3 * MB}, {5 * MB, 4 * MB, 3 * MB}},
        // 3.5 MB is served by the 4 MB block, which stays 4 MB.
        {{3 * MB + MB / 2}, {5 * MB, 4 * MB, 3 * MB}},
        // Larger than any: the largest is made again at the new size.
        {{6 * MB}, {6 * MB, 4 * MB, 3 * MB}},
        // Never more than the byte bound: 100 MiB and 60 MiB (made from the
        // 6 and 4 MB blocks) do not both stay.
        {{100 * MB, 60 * MB}, {100 * MB, 3 * MB}},
    };
    for (const Step& step : steps) {
        std::vector<std::unique_ptr<StripWorkingBlocks::Lease>> held;
        for (uint64_t size : step.leases) {
            held.push_back(std::make_unique<StripWorkingBlocks::Lease>(size));
            EXPECT_GE(uint64_t(held.back()->GetSize()), size);
            ASSERT_NE(held.back()->GetData(), nullptr);
        }
        if (step.leases.size() == 1 && step.leases[0] == 3 * MB + MB / 2) {
            EXPECT_EQ(held[0]->GetSize(), int32_t(4 * MB));
        }
        held.clear();
        uint64_t total = 0;
        for (uint64_t s : step.keptAfter) total += s;
        EXPECT_EQ(StripWorkingBlocks::GetKeptBlockCount(), step.keptAfter.size());
        EXPECT_EQ(StripWorkingBlocks::GetKeptBytes(), total);
    }
}

TEST_F(StripWorkingBlocksTest, ARenderThatFailsGivesItsBlockBackUnpinned) {
    auto* image = new WatchedImage("/w/1.tif", 32, 32);
    ImageRef hold(image);
    image->FillPattern();
    image->resolutionDivisor_ = 1;
    RenderBuffer buffer;
    Shape(buffer, *image);
    Refusing cancel;
    cancel.refuseAt = 2; // inside the first strip
    EXPECT_EQ(CodeOf([&] { image->RenderKind(ImageProcessParam(), buffer, false, &cancel, 0); }),
              NbErrRenderCancelled);
    EXPECT_EQ(StripWorkingBlocks::GetKeptBlockCount(), 1u);
    StBlockOMemoryPoolExceptionDisabler quiet;
    BlockOMemoryPool::Instance(true)->Flush(0);
    EXPECT_EQ(StripWorkingBlocks::GetKeptBytes(), 0u);
}

TEST_F(StripWorkingBlocksTest, APurgeWhileTheKindWritesLeavesTheBlockAlone) {
    auto* image = new WatchedImage("/w/1.tif", 50, 40);
    ImageRef hold(image);
    image->FillPattern();
    image->resolutionDivisor_ = 1;
    // Everything purgeable goes just before the kind writes.
    image->beforeWriting = [] {
        StBlockOMemoryPoolExceptionDisabler quiet;
        BlockOMemoryPool::Instance(true)->Flush(~uint64_t(0) >> 1);
    };
    RenderBuffer buffer;
    Shape(buffer, *image);
    BlockOMemoryLock pin(&buffer);
    for (int round = 0; round < 2; ++round) { // a new block, then a kept one
        image->RenderKind(ImageProcessParam(), buffer, false, nullptr, 0);
        EXPECT_TRUE(MatchesSource(*image, buffer));
        EXPECT_EQ(StripWorkingBlocks::GetKeptBlockCount(), 1u);
    }
}

// Two renders on two threads while a third purges all the time: each gets
// its own blocks, every picture comes out whole.
TEST_F(StripWorkingBlocksTest, RendersOnTwoThreadsWithPurgesBetween) {
    std::atomic<bool> done{false};
    std::atomic<int> purges{0};
    std::thread purger([&] {
        StBlockOMemoryPoolExceptionDisabler quiet;
        while (!done.load()) {
            BlockOMemoryPool::Instance(true)->Flush(1);
            ++purges;
            std::this_thread::yield();
        }
    });
    std::atomic<int> wrong{0};
    auto renderMany = [&](const char* path, int32_t w, int32_t h) {
        auto* image = new FakeImage(path, w, h);
        ImageRef hold(image);
        image->FillPattern();
        image->resolutionDivisor_ = 1;
        RenderBuffer buffer;
        // At least 60 renders, and on until the purger has run a good many
        // times.
        for (int i = 0; (i < 60 || purges.load() < 100) && i < 100000; ++i) {
            // The destination, too, is touched only under a pin.
            BlockOMemoryLock pin(&buffer);
            if (!buffer.IsAllocated()) Shape(buffer, *image);
            image->RenderKind(ImageProcessParam(), buffer, false, nullptr, 0);
            if (!MatchesSource(*image, buffer)) ++wrong;
        }
    };
    std::thread a(renderMany, "/w/a.tif", 40, 30);
    std::thread b(renderMany, "/w/b.tif", 30, 44);
    a.join();
    b.join();
    done = true;
    purger.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(purges.load(), 0);
    EXPECT_LE(StripWorkingBlocks::GetKeptBlockCount(), StripWorkingBlocks::kMaxKeptBlocks);
}
