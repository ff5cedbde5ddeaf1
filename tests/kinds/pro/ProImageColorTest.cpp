// Raw images of the newest models with the colour engine running: renders
// pass through the transform of the image's profile chain into the named
// working space, and the look in force is stored with the file as a profile
// that a later opening takes back as the camera look.
#include "ProTestSupport.h"

#include "ColorEngine.h"
#include "ColorProfile.h"
#include "ColorServices.h"
#include "ExportImage.h"
#include "ExportImageArray.h"
#include "FinishedJPEGImage.h"
#include "FinishedTIFFImage.h"
#include "ImageRef.h"
#include "ImageRendering.h"
#include "RenderBuffer.h"
#include "StaticProfileTable.h"
#include "ZproContainer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

using namespace NimbalCore;

// The engine over the build's installed profiles, torn down afterwards so
// the other raw-image tests keep running without one.
class ProImageColor : public ::testing::Test {
protected:
    void SetUp() override {
        protest::Pool();
        ::setenv("LUMORA_SYSTEM_DIR", LUMORA_TEST_SYSTEM_DIR, 1);
        engine_ = ColorEngine::Instance(0, 1);
        ASSERT_EQ(engine_->GetStartupStatus(), 0);
    }
    void TearDown() override {
        ColorEngine::DeleteInstance();
        StaticProfileTable::Clear();
        ::unsetenv("LUMORA_SYSTEM_DIR");
    }

    ImageRef Open(const std::string& path, ProImage*& image) {
        image = new ProImage(FilePathSpec(path), ProImage::Plover);
        ImageRef ref(image);
        EXPECT_EQ(image->Open(), 0);
        return ref;
    }

    ColorEngine* engine_ = nullptr;
    lumora::test::TempFolder folder_;
};

std::vector<uint16_t> Render16(ProImage* image, const ImageProcessParam& params) {
    ImageRendering rendering(ImageRef(image), params);
    const NbRect area = image->GetNativeImageRect();
    RenderBuffer buffer;
    buffer.SetPixelType(PixelArray::RGB);
    buffer.SetBytesPerSample(2);
    buffer.SetBounds(NbRect(0, 0, area.Width() - 1, area.Height() - 1));
    buffer.SetRowBytes(int32_t(area.Width() * 6));
    buffer.RenderFrom(&rendering, nullptr, 1, 1);
    std::vector<uint16_t> out(size_t(area.Width()) * size_t(area.Height()) * 3);
    std::memcpy(out.data(), buffer.GetData(), out.size() * 2);
    return out;
}

// The chain of a daylight Plover file applied by the engine itself to the
// driver's 12-bit pixels.
std::vector<uint16_t> Expected(ColorEngine* engine, const std::vector<uint16_t>& driver12, int columns, int rows,
                               const std::string& look, const std::string& space) {
    const std::vector<ProfileChainEntry> chain = {
        {StaticProfileTable::Description("ZynPloverDaylightSource.icm"), 1, YlmRefPtr<ColorSpaceDesc>()},
        {StaticProfileTable::Description("ERIMM_PCS3.icm"), 2, YlmRefPtr<ColorSpaceDesc>()},
        {look, 1, engine->FindProfileOrAlias(look)},
        {space, 2, YlmRefPtr<ColorSpaceDesc>()},
    };
    YlmRefPtr<ColorTransform> transform = engine->GetTransform(chain, 5);
    std::vector<uint16_t> in = driver12, out(driver12.size());
    auto layout = [&](std::vector<uint16_t>& v, int32_t type) {
        PixelLayout l{};
        l.sampleType = type;
        l.columns = columns;
        l.rows = rows;
        l.columnOffset = 6;
        l.rowOffset = columns * 6;
        l.channels = 3;
        for (int c = 0; c < 3; ++c) l.base[c] = v.data() + c;
        return l;
    };
    transform->Evaluate(layout(in, PixelSample12in16), layout(out, PixelSample16));
    return out;
}

TEST_F(ProImageColor, RenderIntoANamedSpaceIsTheChainsTransformOfTheDriversPixels) {
    const std::string path = protest::WriteFile(folder_, "c.zyr", protest::Spec(16384, 40, 30));
    ProImage* image = nullptr;
    ImageRef ref = Open(path, image);
    ImageProcessParam params = *image->GetProcessParams();
    ASSERT_EQ(params.lightingIndex, 0);

    // The driver's pixels as delivered: a render with the engine out of the
    // way copies them (12-bit values moved to the top of 16 bits).
    ColorServices* services = ColorServices::Get();
    ColorServices::Install(nullptr);
    std::vector<uint16_t> plain = Render16(image, params);
    ColorServices::Install(services);
    for (uint16_t& v : plain) v = uint16_t(v >> 4);

    const std::string srgb = StaticProfileTable::Description("ORVEX_sRGB.icm");
    const std::string own = image->GetSourceColorSpaceName();
    ASSERT_FALSE(srgb.empty());
    ASSERT_EQ(own, StaticProfileTable::Description("ZynRGB.icm"));
    for (const std::string& space : {own, srgb}) {
        SCOPED_TRACE(space);
        params.workingSpaceName = space;
        const std::vector<uint16_t> rendered = Render16(image, params);
        const std::vector<uint16_t> expected = Expected(engine_, plain, 40, 30, params.lookName, space);
        EXPECT_EQ(rendered, expected);
        std::vector<uint16_t> copy(plain);
        for (uint16_t& v : copy) v = uint16_t(v << 4);
        EXPECT_NE(rendered, copy);
    }
    params.workingSpaceName = own;
    const std::vector<uint16_t> inOwn = Render16(image, params);
    params.workingSpaceName = srgb;
    EXPECT_NE(Render16(image, params), inOwn);
}

TEST_F(ProImageColor, TheToneCurveModelsAndMonochromeFilesRender) {
    // A tone-curve model adds its device link; a monochrome file has no
    // lighting source. Both must combine into a transform.
    for (const auto& spec : {protest::Spec(2048, 32, 20), protest::Spec(2049, 32, 20, true)}) {
        const std::string path = protest::WriteFile(folder_, "m" + std::to_string(spec.modelCode) + ".zyr", spec);
        auto* image = new ProImage(FilePathSpec(path), ProImage::Wren4);
        ImageRef ref(image);
        ASSERT_EQ(image->Open(), 0);
        ImageProcessParam params = *image->GetProcessParams();
        params.workingSpaceName = StaticProfileTable::Description("ORVEX_sRGB.icm");
        YlmRefPtr<ColorTransform> t;
        EXPECT_NO_THROW(t = image->BuildColorTransform(params, 5, 1)) << spec.modelCode;
        EXPECT_TRUE(t) << spec.modelCode;
    }
}

TEST_F(ProImageColor, TheLookInForceIsStoredAsItsProfileAndReadBackAsTheCameraLook) {
    const std::string path = protest::WriteFile(folder_, "look.zyr", protest::Spec(16384, 24, 16));
    const std::string portrait = StaticProfileTable::Description("ZynPortraitLook.icm");
    {
        ProImage* image = nullptr;
        ImageRef ref = Open(path, image);
        ImageProcessParam params = *image->GetProcessParams();
        params.lookName = portrait;
        image->SetProcessParams(params);
        image->WriteAllMetaDataToFile();
    }
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    zyn::ZproHeader header;
    ASSERT_TRUE(zyn::ParseZproHeader(lumora::ByteView(bytes.data(), bytes.size()), bytes.size(), header));
    std::map<int32_t, zyn::ZproAttribute> attributes;
    ASSERT_TRUE(zyn::ParseZproAttributes(
        lumora::ByteView(bytes.data() + header.tableOffset, bytes.size() - header.tableOffset),
        header.attributeCount, attributes));
    ASSERT_EQ(attributes.count(1903), 1u);
    const zyn::ZproAttribute& stored = attributes[1903];
    EXPECT_EQ(stored.type, 5);
    YlmRefPtr<ColorSpaceDesc> profile = engine_->FindProfile(portrait);
    ASSERT_TRUE(profile);
    EXPECT_EQ(stored.bytes, profile->GetICCData());
    EXPECT_EQ(stored.count, int32_t(stored.bytes.size()));

    // A new opening takes the stored look as its camera look.
    ProImage* image = nullptr;
    ImageRef ref = Open(path, image);
    EXPECT_EQ(image->GetProcessParams()->lookName, portrait);
}

TEST_F(ProImageColor, AStoredLookThatIsNoProfileLeavesTheImageWithoutCameraLook) {
    ZproSpec spec = protest::Spec(16384, 24, 16);
    spec.Set(1903, ZproValue::Block({'n', 'o', 't', ' ', 'I', 'C', 'C', 0}));
    const std::string path = protest::WriteFile(folder_, "bad.zyr", spec);
    ProImage* image = nullptr;
    ImageRef ref = Open(path, image);
    const std::string look = image->GetProcessParams()->lookName;
    EXPECT_FALSE(look.empty());
    EXPECT_TRUE(engine_->FindProfile(look)) << look;
}

} // namespace

namespace {

using namespace NimbalCore;

TEST_F(ProImageColor, ExportsThroughTheExporterItMakes) {
    const std::string path = protest::WriteFile(folder_, "e.zyr", protest::Spec(16384, 40, 30));
    ProImage* image = nullptr;
    ImageRef ref = Open(path, image);
    ImageProcessParam params = *image->GetProcessParams();
    params.workingSpaceName = StaticProfileTable::Description("ORVEX_sRGB.icm");
    ImageRendering rendering(ref, params);
    ExportImageArray array;
    const FilePathSpec target(folder_.file("e.tif"));
    std::unique_ptr<ExportImage> exporter(image->CreateExportImage(0, &rendering, target, &array, 0));
    ASSERT_TRUE(exporter);
    ASSERT_NO_THROW(exporter->SaveFile());
    auto* tiff = new FinishedTIFFImage(target);
    ImageRef exported(tiff);
    ASSERT_EQ(tiff->Open(), 0);
    EXPECT_EQ(tiff->GetNativeImageRect(), NbRect(0, 0, 39, 29));
    EXPECT_EQ(tiff->GetSamplesPerPixel(), 3);

    const FilePathSpec jpegTarget(folder_.file("e.jpg"));
    std::unique_ptr<ExportImage> jpegExporter(image->CreateExportImage(1, &rendering, jpegTarget, &array, 0));
    ASSERT_TRUE(jpegExporter);
    ASSERT_NO_THROW(jpegExporter->SaveFile());
    auto* jpeg = new FinishedJPEGImage(jpegTarget);
    ImageRef exportedJpeg(jpeg);
    ASSERT_EQ(jpeg->Open(), 0);
    EXPECT_EQ(jpeg->GetNativeImageRect(), NbRect(0, 0, 39, 29));
}

} // namespace
