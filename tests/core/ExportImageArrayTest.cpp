// The export array: its defaults, its buffer and addresses relative to the
// bounds, and purging by the memory pool.
#include "BlockOMemoryLock.h"
#include "BlockOMemoryPool.h"
#include "CoreTestSupport.h"
#include "ExportImageArray.h"
#include "RenderBuffer.h"
#include "NbErrorCodes.h"
#include "StBlockOMemoryPoolExceptionDisabler.h"

#include <gtest/gtest.h>

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
