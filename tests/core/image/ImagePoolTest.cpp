// The pool of open images with the fake kind and a fake clock: sharing,
// the open-image limit, sounds, renaming, releases, threads and teardown.
#include "CoreTestSupport.h"
#include "FakeColorServices.h"
#include "FakeImage.h"
#include "Folder.h"
#include "ImagePool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::FakeImage;

namespace {

class ImagePoolTest : public ::testing::Test {
protected:
    void SetUp() override { FakeImage::clock = 0; }
    void TearDown() override {
        held.clear();
        ImagePool::DeleteInstance();
        FakeImage::clock = 0;
    }

    // An image that the test holds, opened at the given time and then
    // pooled, as the image factory does.
    FakeImage* AddOpen(const std::string& path, time_t openedAt, bool closable = true) {
        auto* image = new FakeImage(path);
        held.emplace_back(image);
        image->SetClosable(closable);
        FakeImage::clock = openedAt;
        image->Open();
        ImagePool::Instance()->AddImage(held.back());
        return image;
    }
    static std::string Name(int i) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "/pool/%03d.tif", i);
        return buffer;
    }

    std::vector<ImageRef> held;
};

struct Sounds : FakeImage {
    using FakeImage::FakeImage;
    std::string accepts;
    bool AddSound(const FilePathSpec& sound) override {
        return sound.GetPath().find(accepts) == 0 && Image::AddSound(sound);
    }
};

} // namespace

TEST_F(ImagePoolTest, OpenLimitCases) {
    struct Case {
        const char* what;
        int closable;      // of the first 50, how many are closable
        bool sameSecond;   // the first 50 opened in one second
        int openAfter;     // open images after the 51st
        std::vector<int> closedFirst; // indexes expected closed
    } cases[] = {
        {"50 then one more", 50, false, 46, {0, 1, 2, 3, 4}},
        {"only three closable", 3, false, 48, {0, 1, 2}},
        {"same second: path order", 50, true, 46, {0, 1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<FakeImage*> images;
        for (int i = 0; i < 50; ++i) {
            // Opened newest first in path order, so only the clock or (in
            // one second) the path order can make the first ones oldest.
            const time_t t = c.sameSecond ? 1000 : 1000 + i;
            images.push_back(AddOpen(Name(i), t, i < c.closable));
        }
        EXPECT_EQ(ImagePool::Instance()->GetOpenCount(), 50);
        for (FakeImage* image : images) EXPECT_EQ(image->closes, 0);
        AddOpen(Name(50), 5000);
        EXPECT_EQ(ImagePool::Instance()->GetOpenCount(), c.openAfter);
        for (int i : c.closedFirst) EXPECT_EQ(images[i]->closes, 1) << i;
        EXPECT_TRUE(images[50 - 1]->IsOpen());
        // Closing leaves them pooled.
        EXPECT_TRUE(ImagePool::Instance()->Contains(FilePathSpec(Name(0))));
        if (c.closable == 3) {
            // The next opening tries again and finds nothing to close.
            AddOpen(Name(51), 6000);
            EXPECT_EQ(ImagePool::Instance()->GetOpenCount(), 49);
        }
        held.clear();
        ImagePool::DeleteInstance();
    }
}

TEST_F(ImagePoolTest, LookupAddRemoveAndRename) {
    ImagePool* pool = ImagePool::Instance();
    ImageRef out(new FakeImage("/elsewhere/x.tif"));
    EXPECT_FALSE(pool->Lookup(FilePathSpec("/pool/none.tif"), out));
    EXPECT_FALSE(out);

    auto* image = new FakeImage("/pool/A.tif");
    held.emplace_back(image);
    pool->AddImage(held.back());
    EXPECT_EQ(CodeOf([&] { pool->AddImage(ImageRef(new FakeImage("/POOL/a.tif"))); }), NbErrAddImageFailed);
    EXPECT_TRUE(pool->Lookup(FilePathSpec("/pool/a.TIF"), out));
    EXPECT_EQ(out.Get(), image);
    EXPECT_EQ(image->GetReferenceCount(), 3);
    pool->Remove(FilePathSpec("/pool/unknown.tif"));
    EXPECT_EQ(pool->GetImageCount(), 1u);

    // A rename keeps the image pooled under its new path.
    pool->ImageRenamed(FilePathSpec("/pool/A.tif"), FilePathSpec("/pool/B.tif"));
    EXPECT_TRUE(pool->Contains(FilePathSpec("/pool/A.tif"))); // the image still reports its old path
}

TEST_F(ImagePoolTest, RenamingAFileReKeysItsImage) {
    char folder[] = "/tmp/lumora-pool-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string from = std::string(folder) + "/a.tif", to = std::string(folder) + "/b.tif";
    coretest::WriteAll(from, "x");
    held.emplace_back(new FakeImage(from));
    ImagePool::Instance()->AddImage(held.back());
    held.back()->Rename(FilePathSpec(to));
    EXPECT_TRUE(ImagePool::Instance()->Contains(FilePathSpec(to)));
    EXPECT_FALSE(ImagePool::Instance()->Contains(FilePathSpec(from)));
    std::remove(to.c_str());
    rmdir(folder);
}

TEST_F(ImagePoolTest, AnImageLeavesThePoolWhenItsLastOutsideHolderLetsGo) {
    const int before = FakeImage::deleted;
    ImagePool* pool = ImagePool::Instance();
    {
        ImageRef image(new FakeImage("/pool/1.tif"));
        pool->AddImage(image);
        EXPECT_EQ(image->GetReferenceCount(), 2);
        ImageRef second = image;
    }
    EXPECT_FALSE(pool->Contains(FilePathSpec("/pool/1.tif")));
    EXPECT_EQ(FakeImage::deleted, before + 1);
}

TEST_F(ImagePoolTest, AnotherImageOfTheSamePathDoesNotEvictThePooledOne) {
    ImagePool* pool = ImagePool::Instance();
    held.emplace_back(new FakeImage("/pool/1.tif"));
    pool->AddImage(held.back());
    {
        ImageRef stranger(new FakeImage("/pool/1.tif"));
        ImageRef second = stranger;
    }
    EXPECT_TRUE(pool->Contains(FilePathSpec("/pool/1.tif")));
}

TEST_F(ImagePoolTest, SoundsGoToTheFirstImageThatTakesThem) {
    ImagePool* pool = ImagePool::Instance();
    auto* a = new Sounds("/pool/a.tif");
    auto* b = new Sounds("/pool/b.tif");
    a->accepts = "/pool/a";
    b->accepts = "/pool/b";
    held.emplace_back(a);
    held.emplace_back(b);
    pool->AddImage(held[0]);
    pool->AddImage(held[1]);
    EXPECT_TRUE(pool->OfferSound(FilePathSpec("/pool/b.wav")));
    EXPECT_EQ(b->GetSoundCount(), 1);
    EXPECT_FALSE(pool->OfferSound(FilePathSpec("/pool/c.wav")));
    EXPECT_TRUE(pool->WithdrawSound(FilePathSpec("/pool/b.wav")));
    EXPECT_EQ(b->GetSoundCount(), 0);
    EXPECT_FALSE(pool->WithdrawSound(FilePathSpec("/pool/b.wav")));
}

TEST_F(ImagePoolTest, StartupStatusesOfMissingAndFailingComponents) {
    ImagePool::SetComponent(ImagePool::Wren3Driver, [] { return 0; }, nullptr);
    ImagePool::SetComponent(ImagePool::Wren4Driver, []() -> int { YLM_THROW("Test", 1733); }, nullptr);
    static int closes = 0;
    ImagePool::SetComponent(ImagePool::PloverDriver, [] { return 0; }, [] { ++closes; });
    coretest::ScopedFakeColor color;
    ImagePool* pool = ImagePool::Instance();
    EXPECT_EQ(pool->cameraInterfaceStatus, NbErrNotImplemented);
    EXPECT_EQ(pool->wren3DriverStatus, 0);
    EXPECT_EQ(pool->wren4DriverStatus, 1733);
    // Nothing binds the sharpen library or the scale plug-in yet: images
    // render unsharpened and exports cannot be resized.
    EXPECT_EQ(pool->sharpenLibraryStatus, NbErrSharpenLibraryFailed);
    EXPECT_EQ(pool->scalePlugInStatus, NbErrScalerNotLoaded);
    ImagePool::DeleteInstance();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(color.services.engineDeletes, 1);
    for (int c = 0; c < ImagePool::ComponentCount; ++c)
        ImagePool::SetComponent(ImagePool::Component(c), nullptr, nullptr);
}

TEST_F(ImagePoolTest, TeardownWithAnImageStillHeldOutside) {
    const int before = FakeImage::deleted;
    ImageRef outside(new FakeImage("/pool/kept.tif"));
    ImagePool::Instance()->AddImage(outside);
    outside->Open();
    ImagePool::DeleteInstance();
    EXPECT_EQ(ImagePool::Live(), nullptr);
    EXPECT_EQ(outside->GetReferenceCount(), 1);
    outside.Reset(); // no pool: simply the last reference
    EXPECT_EQ(FakeImage::deleted, before + 1);
}

TEST_F(ImagePoolTest, ReleasingWhileAnotherThreadEvictsDoesNotDeadlock) {
    ImagePool* pool = ImagePool::Instance();
    for (int i = 0; i < 45; ++i) AddOpen(Name(i), 1000 + i);
    std::atomic<bool> done{false};
    // A folder watcher: pools images and lets them go again.
    std::thread watcher([&] {
        for (int round = 0; round < 10000; ++round) {
            ImageRef image(new FakeImage("/watch/" + std::to_string(round % 7) + ".tif"));
            try {
                pool->AddImage(image);
            } catch (const YlmErrp&) {
            }
            ImageRef again;
            pool->Lookup(image->GetFilePathSpec(), again);
        }
        done = true;
    });
    // The UI: opens pooled images past the limit, which evicts.
    int round = 0;
    while (!done) {
        FakeImage* image = static_cast<FakeImage*>(held[round % held.size()].Get());
        if (!image->IsOpen()) image->Open();
        for (int i = 0; i < 8; ++i) {
            ImageRef extra(new FakeImage("/ui/" + std::to_string(i) + ".tif"));
            try {
                pool->AddImage(extra);
            } catch (const YlmErrp&) {
            }
            extra->Open();
        }
        ++round;
    }
    watcher.join();
    EXPECT_LE(pool->GetOpenCount(), 51);
}

namespace {

// Threads that ask for the pool first, all at once, get the one pool.
TEST_F(ImagePoolTest, ThreadsAskingFirstShareOnePool) {
    for (int round = 0; round < 20; ++round) {
        ImagePool::DeleteInstance();
        std::atomic<int> ready{0};
        std::vector<ImagePool*> seen(4, nullptr);
        std::vector<std::thread> threads;
        for (size_t t = 0; t < seen.size(); ++t)
            threads.emplace_back([&, t] {
                ++ready;
                while (ready.load() < int(seen.size())) std::this_thread::yield();
                seen[t] = ImagePool::Instance();
            });
        for (std::thread& t : threads) t.join();
        for (ImagePool* pool : seen) EXPECT_EQ(pool, ImagePool::Live());
    }
}

} // namespace
