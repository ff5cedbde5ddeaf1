// Rendering raw images of the newest models through their drivers: levels,
// rotations, crops, depths, one and two threads, and the failures of a
// render, after which no helper thread or second descriptor remains.
#include "ProTestSupport.h"
#include "WorkerPool.h"

#include "ImageRef.h"
#include "ImageRendering.h"
#include "NbErrorCodes.h"
#include "ProgressCB.h"
#include "RenderBuffer.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using namespace NimbalCore;

struct RenderRequest {
    int scale = 1;
    int rotation = 0;
    bool thumbnail = false;
    bool crop = false;
    NbRect cropRect;
    int depth = 16;
    int noiseMode = 0;

    RenderRequest& Scale(int s) { return scale = s, *this; }
    RenderRequest& Rotate(int r) { return rotation = r, *this; }
    RenderRequest& Thumbnail() { return thumbnail = true, *this; }
    RenderRequest& Crop(const NbRect& r) { return crop = true, cropRect = r, *this; }
    RenderRequest& Depth(int d) { return depth = d, *this; }
    RenderRequest& Noise(int mode) { return noiseMode = mode, *this; }
};
RenderRequest Req() { return RenderRequest(); }

class CancelAfter : public ProgressCB {
public:
    explicit CancelAfter(int calls) : left_(calls) {}
    bool Progress(int) override { return --left_ > 0; }

private:
    int left_;
};

// Renders as a view does: the whole area (or the crop), turned.
std::vector<uint8_t> Render(ProImage* image, const RenderRequest& r, ProgressCB* progress = nullptr) {
    ImageProcessParam params = *image->GetProcessParams();
    params.rotation = float(r.rotation);
    params.noiseReductionMode = r.noiseMode;
    if (r.crop) params.crop = r.cropRect;
    ImageRendering rendering(ImageRef(image), params);
    NbRect area;
    if (r.thumbnail) area = image->GetNativeThumbnailRect();
    else if (r.crop) area = r.cropRect;
    else area = image->GetAvailableResolutions()[r.scale];
    int64_t w = area.Width(), h = area.Height();
    if (r.rotation == 90 || r.rotation == 270) std::swap(w, h);
    const std::vector<int> modes = image->GetSupportedColorModes();
    const bool gray = std::find(modes.begin(), modes.end(), 0) == modes.end();
    RenderBuffer buffer;
    buffer.SetPixelType(gray ? PixelArray::Gray : PixelArray::RGB);
    buffer.SetBytesPerSample(r.depth / 8);
    buffer.SetBounds(NbRect(0, 0, int32_t(w - 1), int32_t(h - 1)));
    buffer.SetRowBytes(int32_t(w * (gray ? 1 : 3) * (r.depth / 8)));
    if (r.thumbnail) buffer.RenderThumbnailFrom(&rendering);
    else buffer.RenderFrom(&rendering, progress, r.scale, r.crop ? 0 : 1);
    const auto* data = static_cast<const uint8_t*>(buffer.GetData());
    return std::vector<uint8_t>(data, data + size_t(buffer.GetRowBytes()) * size_t(h));
}

class ProImageRender : public ::testing::Test {
protected:
    void SetUp() override {
        protest::Pool();
        ProImage::SetHelperMinimumSize(16);
        // A thread started and ended first, so that a sanitizer's own
        // background thread already runs when the threads are counted.
        std::thread([] {}).join();
        // The worker pool's threads live as long as the process: started
        // before the count, they are not counted as left behind.
        lumora::WorkerPool::Shared().ForEach(2, 2, [](size_t, unsigned) {});
        threads_ = protest::CountEntries("/proc/self/task");
        fds_ = protest::CountEntries("/proc/self/fd");
    }
    void TearDown() override {
        ::unsetenv("LUMORA_CPU_COUNT");
        ProImage::SetHelperMinimumSize(512);
    }
    void ExpectNothingLeft(const char* what) {
        EXPECT_EQ(protest::ThreadsSettleTo(threads_), threads_) << what;
        EXPECT_EQ(protest::CountEntries("/proc/self/fd"), fds_ + (image_ && image_->IsOpen() ? 1 : 0)) << what;
    }
    ProImage* Open(const std::string& path, int kind) {
        image_ = new ProImage(FilePathSpec(path), kind);
        ref_ = ImageRef(image_);
        EXPECT_EQ(image_->Open(), 0);
        return image_;
    }
    ProImage* OpenOnPlugIn(const std::string& path, const std::string& library) {
        auto plugIn = protest::PlugInFromFile(library);
        EXPECT_TRUE(plugIn);
        image_ = new ProImage(FilePathSpec(path), plugIn);
        ref_ = ImageRef(image_);
        EXPECT_EQ(image_->Open(), 0);
        return image_;
    }
    static std::vector<uint8_t> WithCpus(const char* count, ProImage* image, const RenderRequest& r) {
        ::setenv("LUMORA_CPU_COUNT", count, 1);
        return Render(image, r);
    }

    lumora::test::TempFolder folder_;
    ProImage* image_ = nullptr;
    ImageRef ref_;
    int threads_ = 0, fds_ = 0;
};

// Notes whether the image had a render helper while it reported progress.
class HelperWatch : public ProgressCB {
public:
    explicit HelperWatch(ProImage* image) : image_(image) {}
    bool Progress(int) override {
        sawHelper |= image_->HasRenderHelper();
        return true;
    }
    bool sawHelper = false;

private:
    ProImage* image_;
};

TEST_F(ProImageRender, FullLevelIsTheFilesSamplesWidenedTo16Bits) {
    ZproSpec spec = protest::Spec(2048, 40, 30);
    ProImage* image = Open(protest::WriteFile(folder_, "a.zyr", spec), ProImage::Wren4);
    const std::vector<uint8_t> out = Render(image, Req());
    ASSERT_EQ(out.size(), size_t(40 * 30 * 6));
    for (uint32_t y = 0; y < 30; ++y)
        for (uint32_t x = 0; x < 40; ++x)
            for (int c = 0; c < 3; ++c) {
                uint16_t v;
                std::memcpy(&v, &out[(size_t(y) * 40 + x) * 6 + c * 2], 2);
                ASSERT_EQ(v, uint16_t(ZproPatternSample(x, y, c) << 4)) << x << "," << y << "," << c;
            }
}

TEST_F(ProImageRender, OneAndTwoThreadsGiveTheSameBytes) {
    struct Case {
        const char* what;
        uint32_t height;
        bool mono;
        RenderRequest request;
    };
    const NbRect crop(5, 7, 52, 60);
    const Case cases[] = {
        {"even, 16-bit", 96, false, Req()},
        {"odd, 16-bit", 97, false, Req()},
        {"odd, 8-bit", 97, false, Req().Depth(8)},
        {"rotated 90", 97, false, Req().Rotate(90)},
        {"rotated 180", 96, false, Req().Rotate(180)},
        {"rotated 270, 8-bit", 97, false, Req().Rotate(270).Depth(8)},
        {"cropped", 97, false, Req().Crop(crop)},
        {"cropped and rotated 90", 96, false, Req().Rotate(90).Crop(crop)},
        {"noise reduction on", 97, false, Req().Noise(1)},
        {"gray", 97, true, Req()},
        {"gray, 8-bit, rotated 270", 96, true, Req().Rotate(270).Depth(8)},
        {"reduced level", 97, false, Req().Scale(2)},
        {"thumbnail", 97, false, Req().Thumbnail()},
    };
    int n = 0;
    for (const Case& c : cases) {
        ProImage* image = Open(protest::WriteFile(folder_, std::to_string(n++) + ".zyr",
                                                  protest::Spec(2049, 72, c.height, c.mono)),
                               ProImage::Wren4);
        const std::vector<uint8_t> one = WithCpus("1", image, c.request);
        ::setenv("LUMORA_CPU_COUNT", "2", 1);
        HelperWatch watch(image);
        const std::vector<uint8_t> two = Render(image, c.request, &watch);
        ASSERT_FALSE(one.empty()) << c.what;
        EXPECT_TRUE(one == two) << c.what;
        // The reduced level and the thumbnail render on one thread.
        EXPECT_EQ(watch.sawHelper, !c.request.thumbnail && c.request.scale == 1) << c.what;
        EXPECT_FALSE(image->HasRenderHelper()) << c.what;
        ExpectNothingLeft(c.what);
    }
}

TEST_F(ProImageRender, HelperStartsOnlyForLargeFullRendersOnSeveralProcessors) {
    ProImage::SetHelperMinimumSize(512);
    struct Case {
        const char* what;
        uint32_t width, height;
        const char* cpus;
        RenderRequest request;
        bool helper;
    };
    const Case cases[] = {
        {"513 x 520 on two processors", 513, 520, "2", Req(), true},
        {"513 x 520 on one processor", 513, 520, "1", Req(), false},
        {"512 wide is not large", 512, 700, "2", Req(), false},
        {"512 tall is not large", 700, 512, "2", Req(), false},
        {"the reduced level never", 1100, 1100, "2", Req().Scale(2), false},
    };
    int n = 0;
    for (const Case& c : cases) {
        ProImage* image = Open(protest::WriteFile(folder_, "h" + std::to_string(n++) + ".zyr",
                                                  protest::Spec(2048, c.width, c.height)),
                               ProImage::Wren4);
        ::setenv("LUMORA_CPU_COUNT", c.cpus, 1);
        HelperWatch watch(image);
        ASSERT_FALSE(Render(image, c.request, &watch).empty()) << c.what;
        EXPECT_EQ(watch.sawHelper, c.helper) << c.what;
        EXPECT_FALSE(image->HasRenderHelper()) << c.what;
        ExpectNothingLeft(c.what);
    }
}

TEST_F(ProImageRender, TwoThreadsUseTwoReferencesNeverOne) {
    // This driver fails when one image reference is used by two threads at
    // once.
    ProImage* image = OpenOnPlugIn(protest::WriteFile(folder_, "r.zyr", protest::Spec(2048, 64, 257)),
                                   protest::FaultFolder() + "/ZynOneRef.so");
    const std::vector<uint8_t> one = WithCpus("1", image, Req());
    std::vector<uint8_t> two;
    ASSERT_NO_THROW(two = WithCpus("2", image, Req()));
    EXPECT_TRUE(one == two);
}

TEST_F(ProImageRender, DriverFailuresBecomeRenderErrorsAndLeaveNothingBehind) {
    struct Case {
        const char* library;
        int code;
        const char* cpus;
    };
    const Case cases[] = {
        {"ZynRect102.so", NbErrAllocFailed, "1"},   {"ZynRect102.so", NbErrAllocFailed, "2"},
        {"ZynRectFail.so", NbErrRenderFailed, "1"}, {"ZynRectFail.so", NbErrRenderFailed, "2"},
    };
    int n = 0;
    for (const Case& c : cases) {
        ProImage* image = OpenOnPlugIn(protest::WriteFile(folder_, std::to_string(n++) + ".zyr",
                                                          protest::Spec(2048, 64, 97)),
                                       protest::FaultFolder() + "/" + c.library);
        ::setenv("LUMORA_CPU_COUNT", c.cpus, 1);
        try {
            Render(image, Req());
            ADD_FAILURE() << c.library << " rendered";
        } catch (const YlmErrp& e) {
            EXPECT_EQ(e.GetCode(), c.code) << c.library << " cpus " << c.cpus;
        }
        EXPECT_FALSE(image->HasRenderHelper());
        ExpectNothingLeft(c.library);
    }
}

TEST_F(ProImageRender, CancelThroughTheDriversProgressIs1711) {
    ProImage* image = OpenOnPlugIn(protest::WriteFile(folder_, "c.zyr", protest::Spec(2048, 64, 120)),
                                   protest::FaultFolder() + "/ZynSlow.so");
    for (const char* cpus : {"1", "2"}) {
        ::setenv("LUMORA_CPU_COUNT", cpus, 1);
        CancelAfter cancel(6);
        try {
            Render(image, Req(), &cancel);
            ADD_FAILURE() << "not cancelled";
        } catch (const YlmErrp& e) {
            EXPECT_EQ(e.GetCode(), NbErrRenderCancelled) << cpus;
        }
        ExpectNothingLeft(cpus);
    }
}

TEST_F(ProImageRender, ParametersThatFailDoNotCostTheImageItsReferences) {
    // A lighting index outside the seven fine-tuning triples makes applying
    // the parameters fail while the image's reference is lent to the helper
    // session; the image must get its own back.
    ProImage* image = Open(protest::WriteFile(folder_, "p.zyr", protest::Spec(2048, 64, 97)), ProImage::Wren4);
    ASSERT_TRUE(image->CanAdjustColorBalance());
    ::setenv("LUMORA_CPU_COUNT", "2", 1);
    ImageProcessParam bad = *image->GetProcessParams();
    bad.lighting = 9;
    bad.lightingIndex = 9;
    ImageRendering rendering(ImageRef(image), bad);
    RenderBuffer buffer;
    buffer.SetPixelType(PixelArray::RGB);
    buffer.SetBytesPerSample(2);
    buffer.SetBounds(NbRect(0, 0, 63, 96));
    buffer.SetRowBytes(64 * 6);
    try {
        buffer.RenderFrom(&rendering, nullptr, 1, 1);
        ADD_FAILURE() << "rendered";
    } catch (const YlmErrp& e) {
        EXPECT_EQ(e.GetCode(), NbErrInvalidValue);
    }
    ExpectNothingLeft("after the failed parameters");
    std::vector<uint8_t> out;
    ASSERT_NO_THROW(out = Render(image, Req()));
    EXPECT_FALSE(out.empty());
    image->Close();
    ASSERT_EQ(image->Open(), 0);
}

} // namespace
