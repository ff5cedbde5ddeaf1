// The renderer bound to the real sharpen library by name, as the image pool
// binds it: a sharpened render must differ from an unsharpened one, must not
// depend on what its reused working blocks held before, and the library must
// come and go cleanly.
#include "FakeImage.h"
#include "ImagePool.h"
#include "RenderBuffer.h"
#include "StripWorkingBlocks.h"
#include "YlmErrp.h"
#include "VrelSharpenBinding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace NimbalCore {
namespace {

using coretest::FakeImage;

std::vector<uint8_t> Render(FakeImage& image, const ImageProcessParam& params) {
    RenderBuffer buffer;
    buffer.SetPixelType(PixelArray::RGB);
    buffer.SetBytesPerSample(1);
    buffer.SetBounds(NbRect(0, 0, 63, 119));
    buffer.SetRowBytes(64 * 3);
    buffer.Create(uint64_t(buffer.GetRowBytes()) * 120);
    std::memset(buffer.GetData(), 0, size_t(buffer.GetSize()));
    try {
        image.RenderKind(params, buffer, false, nullptr, 0);
    } catch (const YlmErrp& e) {
        ADD_FAILURE() << "the render threw " << e.GetCode();
    }
    const auto* data = static_cast<const uint8_t*>(buffer.GetData());
    return std::vector<uint8_t>(data, data + buffer.GetSize());
}

TEST(PooledSharpenRender, TheRealLibrarySharpensTheRender) {
    // The pool opens the library through the installed binder when it is
    // created and closes it when it is destroyed.
    ImagePool::DeleteInstance();
    VrelSharpenProcs::SetBinding(&LoadVrelSharpenLib, &UnloadVrelSharpenLib);
    ASSERT_NE(ImagePool::Instance(), nullptr);
    ASSERT_NE(VrelSharpenProcs::library, nullptr);
    ASSERT_NE(VrelSharpenProcs::table.module, nullptr);
    {
        auto* image = new FakeImage("/r/sharp.tif", 64, 120);
        ImageRef hold(image);
        image->FillPattern();
        image->resolutionDivisor_ = 1;
        ImageProcessParam plain;
        plain.sharpenAmount = 0;
        ImageProcessParam sharp;
        sharp.sharpenAmount = 20;
        sharp.sharpenRadius = 20;
        const std::vector<uint8_t> unsharpened = Render(*image, plain);
        const std::vector<uint8_t> sharpened = Render(*image, sharp);
        EXPECT_NE(unsharpened, sharpened);

        // The working blocks are kept from render to render: whatever they
        // held before, the same picture comes out.
        for (int junk : {0x00, 0xFF, 0x5A}) {
            SCOPED_TRACE(junk);
            StripWorkingBlocks::Release();
            {
                std::vector<std::unique_ptr<StripWorkingBlocks::Lease>> dirty;
                for (size_t i = 0; i < StripWorkingBlocks::kMaxKeptBlocks; ++i) {
                    dirty.push_back(std::make_unique<StripWorkingBlocks::Lease>(1 << 20));
                    std::memset(dirty.back()->GetData(), junk, size_t(dirty.back()->GetSize()));
                }
            }
            ASSERT_EQ(StripWorkingBlocks::GetKeptBlockCount(), StripWorkingBlocks::kMaxKeptBlocks);
            EXPECT_EQ(Render(*image, sharp), sharpened);
            EXPECT_EQ(Render(*image, plain), unsharpened);
        }
    }
    EXPECT_NO_THROW(ImagePool::DeleteInstance());
    EXPECT_EQ(VrelSharpenProcs::library, nullptr);
    EXPECT_EQ(VrelSharpenProcs::table.module, nullptr);
    VrelSharpenProcs::SetBinding(nullptr, nullptr);
}

} // namespace
} // namespace NimbalCore
