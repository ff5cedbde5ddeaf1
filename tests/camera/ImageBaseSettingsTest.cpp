// Settings operations of the base image class that the public calls reach only
// through a file: monochrome type mapping, the active area, rectangle checks
// and turns, the type lock, and the colour matrices handed to the renderer.
#include "SdkImageBase.h"
#include "SdkRenderer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

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
    // Without a grey block the colour matrix stays, never a product by zeros.
    image.SetMatrices(colour, nullptr);
    ASSERT_EQ(image.SetImageType(VQ_TYPE_GRAY16, 0), 0u);
    EXPECT_EQ(std::memcmp(image.RendererMatrix(), colour, sizeof colour), 0);

    image.SetMatrices(colour, grey);
    ASSERT_EQ(image.SetImageType(VQ_TYPE_GRAY8, 0), 0u);
    const RationalValue* m = image.RendererMatrix();
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(m[i].denominator, 32) << i;  // the smaller of the two first denominators
        EXPECT_EQ(m[i].numerator, i % 3 == 1 ? 64 : 0) << i;
    }
    ASSERT_EQ(image.SetImageType(VQ_TYPE_RGB8, 0), 0u);
    EXPECT_EQ(std::memcmp(image.RendererMatrix(), colour, sizeof colour), 0);
}
