// Finished images with the colour engine running: the source colour space
// comes from the embedded profile, else from the private directory's colour
// codes, else the default sRGB; renders into another working space pass
// through the engine's transform from that space, renders into the image's
// own space (or the default) give the stored samples.
#include "FinishedJPEGImage.h"
#include "FinishedTIFFImage.h"
#include "FinishedTiffWriter.h"
#include "JpegFixture.h"

#include "ColorEngine.h"
#include "ColorServices.h"
#include "ExportImageArray.h"
#include "StaticProfileTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace NimbalCore;
namespace fs = std::filesystem;

namespace {

class FinishedImageColor : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("LUMORA_SYSTEM_DIR", LUMORA_TEST_SYSTEM_DIR, 1);
        engine_ = ColorEngine::Instance(0, 1);
        ASSERT_EQ(engine_->GetStartupStatus(), 0);
        dir_ = fs::temp_directory_path() / ("kinds-color-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        srgb_ = StaticProfileTable::Description("ORVEX_sRGB.icm");
        prophoto_ = StaticProfileTable::Description("ProPhotoRGB.icm");
        zynrgb_ = StaticProfileTable::Description("ZynRGB.icm");
        ASSERT_FALSE(srgb_.empty());
        ASSERT_NE(srgb_, prophoto_);
    }
    void TearDown() override {
        fs::remove_all(dir_);
        ColorEngine::DeleteInstance();
        StaticProfileTable::Clear();
        ::unsetenv("LUMORA_SYSTEM_DIR");
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // The samples of a picture put through the engine's transform of a
    // chain from one space (or profile) into another.
    std::vector<uint8_t> Converted(const std::vector<uint8_t>& in, int columns, int rows, int bytes,
                                   const std::string& from, YlmRefPtr<ColorSpaceDesc> profile, const std::string& to) {
        const std::vector<ProfileChainEntry> chain = {{from, 1, profile}, {to, 2, YlmRefPtr<ColorSpaceDesc>()}};
        YlmRefPtr<ColorTransform> transform = engine_->GetTransform(chain, bytes == 1 ? 1 : 5);
        EXPECT_TRUE(transform.Get());
        std::vector<uint8_t> source(in), out(in.size());
        auto layout = [&](std::vector<uint8_t>& v) {
            PixelLayout l{};
            l.sampleType = bytes == 1 ? PixelSample8 : PixelSample16;
            l.columns = columns;
            l.rows = rows;
            l.columnOffset = 3 * bytes;
            l.rowOffset = columns * 3 * bytes;
            l.channels = 3;
            for (int c = 0; c < 3; ++c) l.base[c] = v.data() + c * bytes;
            return l;
        };
        if (transform.Get()) transform->Evaluate(layout(source), layout(out));
        return out;
    }

    ColorEngine* engine_ = nullptr;
    fs::path dir_;
    std::string srgb_, prophoto_, zynrgb_;
};

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> Render(Image& image, const ImageProcessParam& params, int bytes, bool thumbnail = false) {
    const NbRect r = thumbnail ? image.GetNativeThumbnailRect() : image.GetNativeImageRect();
    ExportImageArray array;
    array.SetPixelType(PixelArray::RGB);
    array.SetBytesPerSample(bytes);
    array.SetBounds(NbRect(0, 0, r.Width() - 1, r.Height() - 1));
    array.SetRowBytes(int32_t(r.Width() * 3 * bytes));
    array.Create(uint64_t(r.Height()) * uint64_t(array.GetRowBytes()));
    if (thumbnail)
        image.RenderThumbnail(params, array);
    else
        image.RenderImage(params, array, false, nullptr, 1);
    const uint8_t* p = static_cast<const uint8_t*>(array.GetData());
    return std::vector<uint8_t>(p, p + size_t(r.Height()) * size_t(array.GetRowBytes()));
}

// Stored 16-bit big-endian samples as host-order bytes.
std::vector<uint8_t> HostOrder16(const std::vector<uint8_t>& big) {
    std::vector<uint8_t> out(big.size());
    for (size_t i = 0; i + 1 < big.size(); i += 2) {
        const uint16_t v = uint16_t(big[i] << 8 | big[i + 1]);
        std::memcpy(&out[i], &v, 2);
    }
    return out;
}

TEST_F(FinishedImageColor, SourceSpaceFromProfileColourCodesOrDefault) {
    const std::vector<uint8_t> icc =
        ReadAll(std::string(LUMORA_TEST_SYSTEM_DIR) + "/spool/drivers/color/ProPhotoRGB.icm");
    ASSERT_GT(icc.size(), 128u);
    struct Case {
        const char* name;
        std::vector<uint8_t> icc;
        bool withPrivate;
        uint32_t code;
        std::string expected;
    } cases[] = {
        {"plain", {}, false, 3, srgb_},
        {"code 0", {}, true, 0, zynrgb_},
        {"code 2", {}, true, 2, prophoto_},
        {"code 3", {}, true, 3, srgb_},
        {"unknown code", {}, true, 9, srgb_},
        {"profile wins over the code", icc, true, 0, prophoto_},
        // Bytes that are no profile leave the default space; the file opens.
        {"broken profile", std::vector<uint8_t>(200, 0x41), false, 3, srgb_},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FinishedTiffSpec spec;
        spec.icc = c.icc;
        spec.withPrivate = c.withPrivate;
        spec.colorCode = c.code;
        const std::string path = Path("s.tif");
        FinishedTiffWriter::Write(path, spec);
        FinishedTIFFImage image{FilePathSpec(path)};
        ASSERT_EQ(image.Open(), 0);
        EXPECT_EQ(image.GetSourceColorSpaceName(), c.expected);
        EXPECT_EQ(bool(image.GetSourceColorSpaceDesc().Get()), !c.expected.empty());
    }
}

TEST_F(FinishedImageColor, TiffRendersThroughTheEngineIntoAnotherSpace) {
    const std::vector<uint8_t> icc =
        ReadAll(std::string(LUMORA_TEST_SYSTEM_DIR) + "/spool/drivers/color/ProPhotoRGB.icm");
    for (uint32_t bits : {8u, 16u}) {
        for (bool tagged : {false, true}) {
            SCOPED_TRACE(std::to_string(bits) + (tagged ? " bits, ProPhoto profile" : " bits, untagged"));
            FinishedTiffSpec spec;
            spec.width = 37, spec.height = 11, spec.bits = bits;
            if (tagged) spec.icc = icc;
            const std::string path = Path("t.tif");
            FinishedTiffWriter::Write(path, spec);
            FinishedTIFFImage image{FilePathSpec(path)};
            ASSERT_EQ(image.Open(), 0);
            const int bytes = int(bits / 8);
            const std::vector<uint8_t> stored = bytes == 2 ? HostOrder16(spec.pixels) : spec.pixels;
            const std::string own = image.GetSourceColorSpaceName();

            // No working space, the image's own space, or the default sRGB:
            // the stored samples (the default counts as no conversion, even
            // for a file with a profile of its own).
            ImageProcessParam params;
            for (const std::string& space : {std::string(), own, srgb_}) {
                params.workingSpaceName = space;
                EXPECT_EQ(Render(image, params, bytes), stored) << space;
            }
            // Another space: the engine's transform from the image's space.
            params.workingSpaceName = tagged ? zynrgb_ : prophoto_;
            const std::vector<uint8_t> expected =
                Converted(stored, 37, 11, bytes, own, image.GetSourceColorSpaceDesc(), params.workingSpaceName);
            const std::vector<uint8_t> rendered = Render(image, params, bytes);
            EXPECT_EQ(rendered, expected);
            EXPECT_NE(rendered, stored);
            // The output mode that names the default output profile: sRGB.
            params.outputSpaceMode = 1;
            EXPECT_EQ(Render(image, params, bytes), stored);
        }
    }
}

TEST_F(FinishedImageColor, TiffThumbnailIsConvertedLikeTheImage) {
    FinishedTiffSpec spec;
    spec.thumbWidth = 9, spec.thumbHeight = 5;
    const std::string path = Path("th.tif");
    FinishedTiffWriter::Write(path, spec);
    FinishedTIFFImage image{FilePathSpec(path)};
    ASSERT_EQ(image.Open(), 0);
    ImageProcessParam params;
    EXPECT_EQ(Render(image, params, 1, true), spec.thumbPixels);
    params.workingSpaceName = prophoto_;
    EXPECT_EQ(Render(image, params, 1, true),
              Converted(spec.thumbPixels, 9, 5, 1, srgb_, YlmRefPtr<ColorSpaceDesc>(), prophoto_));
}

TEST_F(FinishedImageColor, JpegImageAndThumbnailRenderThroughTheEngine) {
    const std::string path = Path("c.jpg");
    JpegFixture::WriteFile(path, JpegFixture::Encode(JpegFixture::Pattern(64, 48, 3, 7), 90));
    FinishedJPEGImage image{FilePathSpec(path)};
    ASSERT_EQ(image.Open(), 0);
    ASSERT_EQ(image.GetSourceColorSpaceName(), srgb_);
    ImageProcessParam params;
    const std::vector<uint8_t> stored = Render(image, params, 1);
    const std::vector<uint8_t> storedThumbnail = Render(image, params, 1, true);
    params.workingSpaceName = prophoto_;
    EXPECT_EQ(Render(image, params, 1), Converted(stored, 64, 48, 1, srgb_, YlmRefPtr<ColorSpaceDesc>(), prophoto_));
    // The thumbnail is built once from the stored pixels and converted as
    // it is copied out, never twice.
    const NbRect t = image.GetNativeThumbnailRect();
    EXPECT_EQ(Render(image, params, 1, true), Converted(storedThumbnail, int(t.Width()), int(t.Height()), 1, srgb_,
                                                        YlmRefPtr<ColorSpaceDesc>(), prophoto_));
}

} // namespace
