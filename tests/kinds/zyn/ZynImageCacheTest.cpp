// The raw data cache of the older raw files: loaded in chunks with progress
// that never reaches 100 before the end, cancelled with 1711, the
// decompression reserve taken from the memory pool and given back before the
// interface decodes, and a cache the pool purged never read again.
#include "ZynTestSupport.h"

#include "BlockOMemory.h"
#include "BlockOMemoryPool.h"
#include "ImageWerks.h"
#include "NbErrorCodes.h"
#include "ProgressCB.h"
#include "StBlockOMemoryPoolExceptionDisabler.h"
#include "ZynImage.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace NimbalCore;
using namespace zyntest;
using factorytest::KindsScope;

constexpr int64_t kChunk = 131072;

class Record : public ProgressCB {
public:
    explicit Record(int refuseAt = -1) : refuseAt_(refuseAt) {}
    bool Progress(int percent) override {
        seen.push_back(percent);
        return int(seen.size()) != refuseAt_;
    }
    std::vector<int> seen;

private:
    int refuseAt_;
};

// A raw file whose data fills 23 chunks of 128 KiB: a sensor of 1200 columns,
// rows chosen from the bytes the file has before its data.
std::string WriteTwentyThreeChunks(const lumora::test::TempFolder& files, int64_t* rawBytes) {
    const std::string probe = WriteFixture(files, "PROBE.ZYR", Fixture::Family1, 1200, 100);
    int64_t before = 0;
    {
        ImageInfoRecord info{};
        EXPECT_EQ(VqOpenImageFile(probe.c_str(), &info), 0u);
        before = int64_t(info.geometry.cacheBytes) - 1200 * 100 * 2;
        VqCloseImage(&info);
    }
    // 22.5 chunks in all.
    const int64_t rows = ((22 * kChunk + kChunk / 2 - before) / 2400) & ~int64_t(1);
    const std::string path = WriteFixture(files, "BIG.ZYR", Fixture::Family1, 1200, uint32_t(rows));
    *rawBytes = before + rows * 2400;
    return path;
}

TEST(ZynImageCacheTest, ProgressIsAShareOfTheChunksBelow100) {
    lumora::test::TempFolder files;
    KindsScope scope;
    int64_t rawBytes = 0;
    const std::string path = WriteTwentyThreeChunks(files, &rawBytes);
    ASSERT_EQ((rawBytes + kChunk - 1) / kChunk, 23);
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
    ZynImage* zyn = Zyn(image);
    ASSERT_EQ(zyn->GetInfoRecord().geometry.cacheBytes, rawBytes);
    Record progress;
    zyn->LoadAndDecompressCache(&progress);
    EXPECT_EQ(zyn->GetCacheChunks(), 23);
    // At the sixth, eleventh, sixteenth and twenty-first chunk: the share
    // of 23 chunks loaded, rising, never 100 before the end.
    EXPECT_EQ(progress.seen, (std::vector<int>{26, 47, 69, 91}));
    EXPECT_TRUE(zyn->IsRawCacheAllocated());
    EXPECT_FALSE(zyn->IsDecompressionReserveAllocated()) << "its room is the interface's";

    // Loaded again from the start, into the same block.
    zyn->FreeCachedData();
    EXPECT_FALSE(zyn->IsRawCacheAllocated());
    Record again;
    zyn->LoadAndDecompressCache(&again);
    EXPECT_EQ(again.seen, progress.seen);
}

TEST(ZynImageCacheTest, ACancelledLoadAnswers1711AndGivesTheReserveBack) {
    lumora::test::TempFolder files;
    KindsScope scope;
    int64_t rawBytes = 0;
    const std::string path = WriteTwentyThreeChunks(files, &rawBytes);
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
    ZynImage* zyn = Zyn(image);
    Record refuse(2);
    EXPECT_EQ(CodeOf([&] { zyn->LoadAndDecompressCache(&refuse); }), NbErrRenderCancelled);
    EXPECT_EQ(refuse.seen.size(), 2u);
    EXPECT_EQ(zyn->GetCacheChunks(), 11);
    EXPECT_FALSE(zyn->IsDecompressionReserveAllocated());
    EXPECT_TRUE(zyn->IsClosable());
    // The next load finishes what is left.
    EXPECT_EQ(CodeOf([&] { zyn->LoadAndDecompressCache(nullptr); }), 0);
}

TEST(ZynImageCacheTest, TheReserveTakesItsRoomFromThePool) {
    lumora::test::TempFolder files;
    KindsScope scope;
    const std::string path = WriteFixture(files, "IMG.ZYR", Fixture::Family1, 600, 400);
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
    ZynImage* zyn = Zyn(image);
    const ImageGeometry g = zyn->GetInfoRecord().geometry;
    ASSERT_GT(g.reserved, 0);
    BlockOMemoryPool* pool = BlockOMemoryPool::Instance(true);
    const uint64_t budget = pool->GetMemoryBudget();
    // Room for the cache and an older block, not for the reserve as well.
    BlockOMemory older;
    pool->SetMemoryBudget(pool->GetPooledBytes() + uint64_t(g.cacheBytes) + uint64_t(g.reserved));
    older.Create(uint64_t(g.reserved));
    zyn->LoadAndDecompressCache(nullptr);
    EXPECT_FALSE(older.IsAllocated()) << "purged to make room for the reserve";
    EXPECT_FALSE(zyn->IsDecompressionReserveAllocated());
    pool->SetMemoryBudget(budget);
}

TEST(ZynImageCacheTest, ACacheThePoolPurgedIsNotReadAgain) {
    lumora::test::TempFolder files;
    KindsScope scope;
    const std::string path = WriteFixture(files, "IMG.ZYR", Fixture::Family1Ljpeg);
    const Picture expected = RenderThroughInterface(path, VQ_TYPE_CAMERA_RGB16, 2);
    ASSERT_EQ(expected.status, 0u);
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
    ZynImage* zyn = Zyn(image);
    zyn->LoadAndDecompressCache(nullptr);
    ASSERT_TRUE(zyn->IsRawCacheAllocated());
    // The pool frees every block it may: the cache among them.
    {
        StBlockOMemoryPoolExceptionDisabler quiet;
        BlockOMemoryPool::Instance(true)->Flush(~uint64_t(0) >> 1);
    }
    EXPECT_FALSE(zyn->IsRawCacheAllocated());
    const Picture got = RenderThroughCore(image, LinearParams(zyn), 2, 16);
    EXPECT_TRUE(got.data == expected.data);
}

} // namespace
