// Settings operations of the base image class that the public calls reach only
// through a file: monochrome type mapping, the active area, rectangle checks
// and turns, the type lock, and the colour matrices handed to the renderer.
#include "SdkImageBase.h"
#include "SdkRenderer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>
#include <array>

using namespace lumora::vq;

namespace {

// A base image with a plain renderer and a sensor the test chooses.
class SettingsImage : public SdkImageBase {
public:
    explicit SettingsImage(bool colour = true) : SdkImageBase(nullptr, nullptr) {
        info_.isColour = colour ? 1 : 0;
        info_.outputType = colour ? VQ_TYPE_RGB8 : VQ_TYPE_GRAY8;
        fullWidth_ = 64;
        fullHeight_ = 48;
        marginLeft_ = 4;
        marginTop_ = 2;
        marginRight_ = 6;
        marginBottom_ = 8;
        savedMargins_[0] = 2;
        savedMargins_[1] = 4;
        savedMargins_[2] = 8;
        savedMargins_[3] = 6;
        outputWindow_ = {4, 2, 54, 38};
        EXPECT_EQ(CreateRenderer(), 0u);
    }
    void Lock() { typeLocked_ = true; }
    void SetMatrices(const RationalValue* first, const RationalValue* second) {
        std::memcpy(colourMatrices_[0], first, sizeof colourMatrices_[0]);
        if (second) std::memcpy(colourMatrices_[1], second, sizeof colourMatrices_[1]);
    }
    const RationalValue* RendererMatrix() const {
        return static_cast<const RationalValue*>(renderer()->Parameter(lumora::RP_COLOR_MATRICES));
    }
};

auto Tuple(const SdkRect& r) { return std::make_tuple(r.x, r.y, r.width, r.height); }

} // namespace

TEST(ImageBaseSettings, MonochromeTypeMapping) {
    SettingsImage colour(true), mono(false);
    const uint32_t expected[21] = {2, 2, 2, 3, 2, 2, 3, 3, 2, 2, 3, 3, 15, 2, 16, 15, 16, 2, 2, 2, 2};
    for (uint32_t type = 0; type <= 20; ++type) {
        EXPECT_EQ(mono.MapTypeForMonochrome(type), expected[type]) << type;
        EXPECT_EQ(colour.MapTypeForMonochrome(type), type) << type;
    }
}

TEST(ImageBaseSettings, ActiveAreaRefusesNegativeMargins) {
    SdkRect r{};
    ASSERT_EQ(SdkImageBase::ActiveArea(64, 48, 2, 4, 8, 6, &r), 0u);
    EXPECT_EQ(Tuple(r), std::make_tuple(4, 2, 54, 38));
    EXPECT_EQ(SdkImageBase::ActiveArea(64, 48, -1, 4, 8, 6, &r), VQ_ERR_BAD_FILE);
    // Negative as a 16-bit number, whatever the wider value says.
    EXPECT_EQ(SdkImageBase::ActiveArea(64, 48, 2, 0x8000, 8, 6, &r), VQ_ERR_BAD_FILE);
}

TEST(ImageBaseSettings, RectangleChecksInTheirOrder) {
    SettingsImage image;
    struct Row {
        SdkRect r;
        uint32_t status;
    } rows[] = {
        {{-1, 0, 4, 4}, VQ_ERR_RECT_NEGATIVE},        // negative wins over too small
        {{0, 0, 4, 100}, VQ_ERR_RECT_TOO_SMALL},      // too small wins over outside
        {{60, 0, 9, 9}, VQ_ERR_RECT_ORIGIN_OUTSIDE},  // origin wins over misaligned
        {{2, 1, 59, 8}, VQ_ERR_RECT_OUTSIDE},         // outside wins over misaligned
        {{0, 0, 8, 8}, 0},
        {{52, 32, 8, 8}, 0},
        {{2, 0, 8, 9}, VQ_ERR_RECT_MISALIGNED},
    };
    for (const Row& row : rows) EXPECT_EQ(image.ValidateRectangle(&row.r, 60, 40), row.status);
}

TEST(ImageBaseSettings, SensorRectanglesTurnInsideTheActiveArea) {
    SettingsImage image;  // active area 54 x 38 at (4, 2)
    // Sensor (10, 6, 20, 8): inside the area (6, 4, 20, 8), right gap 28, bottom gap 26.
    struct Row {
        float degrees;
        SdkRect output;
    } rows[] = {
        {0.0f, {6, 4, 20, 8}},
        {90.0f, {26, 6, 8, 20}},
        {180.0f, {28, 26, 20, 8}},
        {270.0f, {4, 28, 8, 20}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.degrees);
        ASSERT_EQ(image.SetRotation(row.degrees), 0u);
        SdkRect r = {10, 6, 20, 8};
        ASSERT_EQ(image.SensorRectToOutput(&r), 0u);
        EXPECT_EQ(Tuple(r), Tuple(row.output));
        ASSERT_EQ(image.OutputRectToSensor(&r), 0u);
        EXPECT_EQ(Tuple(r), std::make_tuple(10, 6, 20, 8)) << "and back";
    }
}

TEST(ImageBaseSettings, TypeLockAndForce) {
    SettingsImage image;
    image.Lock();
    for (uint32_t type : {12u, 13u, 14u}) EXPECT_EQ(image.SetImageType(type, 0), VQ_ERR_TYPE_LOCKED) << type;
    uint32_t type = 0;
    image.GetImageType(&type);
    EXPECT_EQ(type, VQ_TYPE_RGB8);
    EXPECT_EQ(image.SetImageType(13, 1), 0u);
    image.GetImageType(&type);
    EXPECT_EQ(type, 13u);
    EXPECT_EQ(*static_cast<const int32_t*>(image.renderer()->Parameter(lumora::RP_OUTPUT_TYPE)), 13);
}

TEST(ImageBaseSettings, GreyOutputOfAColourFileTakesTheGreyBlock) {
    SettingsImage image;
    RationalValue colour[9], grey[9];
    for (int i = 0; i < 9; ++i) {
        colour[i] = {i % 4 == 0 ? 64 : 0, 32};         // twice the identity
        grey[i] = {i % 3 == 1 ? 1024 : 0, 1024};      // every row takes the middle channel
    }
    // Without a grey block every row takes the luminance of the colour result,
    // never a product by a block without denominators.
    image.SetMatrices(colour, nullptr);
    ASSERT_EQ(image.SetImageType(VQ_TYPE_GRAY16, 0), 0u);
    const RationalValue* luminance = image.RendererMatrix();
    // Twice 871, 2929, 296: a colour block in 32nds is taken in 4096ths, so the
    // weights are not rounded to whole 32nds.
    const int32_t weights[3] = {1742, 5858, 592};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(luminance[i].denominator, 4096) << i;
        EXPECT_EQ(luminance[i].numerator, weights[i % 3]) << i;
    }

    image.SetMatrices(colour, grey);
    ASSERT_EQ(image.SetImageType(VQ_TYPE_GRAY8, 0), 0u);
    const RationalValue* m = image.RendererMatrix();
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(m[i].denominator, 1024) << i;  // the smaller of the two first denominators
        EXPECT_EQ(m[i].numerator, i % 3 == 1 ? 2048 : 0) << i;
    }
    ASSERT_EQ(image.SetImageType(VQ_TYPE_RGB8, 0), 0u);
    EXPECT_EQ(std::memcmp(image.RendererMatrix(), colour, sizeof colour), 0);
}

namespace {

// Notes every parameter it is told about and the request it renders.
class RecordingRenderer : public lumora::SdkRenderer {
public:
    std::vector<uint32_t> told;
    bool rendered = false;
    VqStatus ParameterChanged(uint32_t id) override {
        told.push_back(id);
        return 0;
    }
    VqStatus RenderImage(const ImageBufferRecord*, const ProgressRecord*) override {
        rendered = true;
        return VQ_ERR_CANCELLED;
    }
    template <typename T>
    T Cell(uint32_t id) const {
        T v;
        std::memcpy(&v, Parameter(id), sizeof v);
        return v;
    }
};

class RecordingImage : public SettingsImage {
public:
    RecordingImage() {
        recorder = new RecordingRenderer;
        renderer_.reset(recorder);
    }
    using SdkImageBase::SetRendererParameter;
    RecordingRenderer* recorder;
};

} // namespace

TEST(ImageBaseSettings, RenderingHandsTheRequestFirst) {
    RecordingImage image;
    VqPathRecord folder{};
    std::strcpy(folder.path, "/calibration/");
    ASSERT_EQ(image.SetProcessingDirectory(folder), 0u);
    EXPECT_TRUE(image.recorder->told.empty()) << "only sensor group 2 hands the folder over at once";
    ImageBufferRecord buffer{};
    EXPECT_EQ(image.GetImage(&buffer, nullptr), VQ_ERR_CANCELLED) << "the renderer's answer";
    EXPECT_TRUE(image.recorder->rendered);
    const std::vector<uint32_t> order = {lumora::RP_OUTPUT_TYPE, lumora::RP_OUTPUT_WINDOW,
                                         lumora::RP_PROCESSING_DIRECTORY, lumora::RP_CMS_TRANSFORM,
                                         lumora::RP_SHARPEN_ALLOWED};
    EXPECT_EQ(image.recorder->told, order);
    EXPECT_EQ(image.recorder->Cell<int32_t>(lumora::RP_OUTPUT_TYPE), int32_t(VQ_TYPE_RGB8));
    const SdkRect window = image.recorder->Cell<SdkRect>(lumora::RP_OUTPUT_WINDOW);
    EXPECT_EQ(Tuple(window), std::make_tuple(4, 2, 54, 38));
    EXPECT_STREQ(static_cast<const char*>(image.recorder->Parameter(lumora::RP_PROCESSING_DIRECTORY)),
                 "/calibration/");
    EXPECT_EQ(image.recorder->Cell<OcmsImageRecord*>(lumora::RP_CMS_TRANSFORM), image.ColourRecord());
}

TEST(ImageBaseSettings, SettingsReachTheRenderer) {
    RecordingImage image;
    ASSERT_EQ(image.SetSubSample(4), 0u);
    EXPECT_EQ(image.recorder->Cell<int16_t>(lumora::RP_SUBSAMPLE), 4);
    ASSERT_EQ(image.SetRotation(-270.0f), 0u);
    EXPECT_EQ(image.recorder->Cell<float>(lumora::RP_ROTATION), 90.0f);
    ASSERT_EQ(image.SetPadBytes(7), 0u);
    EXPECT_EQ(image.recorder->Cell<uint8_t>(lumora::RP_PAD_BYTES), 7);
    const uint16_t triple[3] = {300, 200, 100};
    ASSERT_EQ(image.SetWhiteBalance(VQ_WB_CUSTOM, triple), 0u);
    const auto balance = image.recorder->Cell<std::array<uint16_t, 3>>(lumora::RP_WHITE_BALANCE);
    EXPECT_EQ(balance, (std::array<uint16_t, 3>{300, 200, 100}));
    const std::vector<uint32_t> told = {lumora::RP_SUBSAMPLE, lumora::RP_ROTATION, lumora::RP_PAD_BYTES,
                                        lumora::RP_WHITE_BALANCE};
    EXPECT_EQ(image.recorder->told, told);
    // A refused setting tells the renderer nothing.
    image.recorder->told.clear();
    EXPECT_EQ(image.SetSubSample(5), VQ_ERR_ODD_SUBSAMPLE);
    EXPECT_EQ(image.SetRotation(100.0f), VQ_ERR_BAD_ROTATION);
    EXPECT_EQ(image.SetWhiteBalance(9, triple), VQ_ERR_BAD_WHITE_BALANCE_TYPE);
    EXPECT_TRUE(image.recorder->told.empty());
}

// A parameter is set whole: a value of any other size than its cell's is
// refused, leaves the cell as it was and tells the renderer nothing.
TEST(ImageBaseSettings, ParameterOfAnotherSizeThanItsCellIsRefused) {
    RecordingImage image;
    ASSERT_EQ(image.SetSubSample(4), 0u);
    ASSERT_EQ(image.SetWhiteBalance(VQ_WB_CUSTOM, std::array<uint16_t, 3>{300, 200, 100}.data()), 0u);
    image.recorder->told.clear();

    struct Case {
        const char* name;
        uint32_t id;
        size_t bytes;
    };
    const int64_t wide[8] = {2, 2, 2, 2, 2, 2, 2, 2};
    for (const Case& c : {Case{"subsample, 4 bytes for 2", lumora::RP_SUBSAMPLE, 4},
                          Case{"subsample, 1 byte for 2", lumora::RP_SUBSAMPLE, 1},
                          Case{"balance, one sample of three", lumora::RP_WHITE_BALANCE, 2},
                          Case{"balance, four samples for three", lumora::RP_WHITE_BALANCE, 8},
                          Case{"matrix, past its nine rationals", lumora::RP_COLOR_MATRIX, 80},
                          Case{"pad bytes, 2 for 1", lumora::RP_PAD_BYTES, 2},
                          Case{"nothing", lumora::RP_OUTPUT_TYPE, 0}}) {
        EXPECT_EQ(image.SetRendererParameter(c.id, wide, c.bytes), VQ_ERR_BAD_ARGUMENT) << c.name;
    }
    EXPECT_EQ(image.recorder->Cell<int16_t>(lumora::RP_SUBSAMPLE), 4);
    EXPECT_EQ((image.recorder->Cell<std::array<uint16_t, 3>>(lumora::RP_WHITE_BALANCE)),
              (std::array<uint16_t, 3>{300, 200, 100}));
    EXPECT_TRUE(image.recorder->told.empty());

    // The cell's own size is taken, and an unknown id is refused as before.
    const int16_t two = 2;
    EXPECT_EQ(image.SetRendererParameter(lumora::RP_SUBSAMPLE, &two, sizeof two), 0u);
    EXPECT_EQ(image.recorder->Cell<int16_t>(lumora::RP_SUBSAMPLE), 2);
    EXPECT_EQ(image.SetRendererParameter(lumora::RP_PARAMETER_COUNT, &two, sizeof two), VQ_ERR_BAD_ARGUMENT);
}
