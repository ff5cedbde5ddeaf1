#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "OutputStage.h"
#include "VqOutputTypes.h"

using namespace lumora;

namespace {

using Bytes = std::vector<uint8_t>;

// Bytes per sample and channels of a type, as the renderer gives them.
void formatOf(uint32_t type, int32_t& b, int32_t& c) {
    switch (type) {
    case 0: case 2: case 15: b = 1; c = 1; break;
    case 3: case 16: b = 2; c = 1; break;
    case 4: case 8: case 12: case 19: b = 1; c = 3; break;
    case 5: case 9: case 17: b = 1; c = 4; break;
    case 6: case 10: case 13: case 14: case 20: b = 2; c = 3; break;
    default: b = 2; c = 4; break;
    }
}

Bytes packOne(uint32_t type, std::vector<uint16_t> p0, std::vector<uint16_t> p1,
              std::vector<uint16_t> p2, int32_t w, int32_t h, int32_t pad, float rotation = 0,
              int32_t bytesOverride = 0, const std::vector<uint16_t>* p3 = nullptr) {
    OutputStage out;
    int32_t b, c;
    formatOf(type, b, c);
    if (bytesOverride) b = bytesOverride;
    out.Init(type, rotation, 0, 0, pad, w, h, b, c);
    const size_t outRows = (rotation == 90 || rotation == 270) ? size_t(w) : size_t(h);
    const size_t outCols = (rotation == 90 || rotation == 270) ? size_t(h) : size_t(w);
    Bytes dst(outRows * (outCols * b * c + pad), 0xEE);
    EXPECT_EQ(out.Pack(p0.data(), p1.data(), p2.data(), p3 ? p3->data() : nullptr, dst.data()), VQ_OK);
    return dst;
}

} // namespace

TEST(OutputStagePackers, PixelLayoutsOfTheTypes) {
    const std::vector<uint16_t> r = {0x1234, 0xFFFF}, g = {0x5678, 0}, b = {0x9ABC, 0x00FF};
    EXPECT_EQ(packOne(VQ_TYPE_RGB8, r, g, b, 2, 1, 2),
              (Bytes{0x12, 0x56, 0x9A, 0xFF, 0x00, 0x00, 0xEE, 0xEE}));
    EXPECT_EQ(packOne(VQ_TYPE_BGR8, r, g, b, 1, 1, 0), (Bytes{0x9A, 0x56, 0x12}));
    EXPECT_EQ(packOne(VQ_TYPE_BGRX8, r, g, b, 1, 1, 0), (Bytes{0x9A, 0x56, 0x12, 0x00}));
    EXPECT_EQ(packOne(VQ_TYPE_XRGB8, r, g, b, 1, 1, 0), (Bytes{0x00, 0x12, 0x56, 0x9A}));
    EXPECT_EQ(packOne(VQ_TYPE_CAMERA_RGB8, r, g, b, 1, 1, 0), (Bytes{0x12, 0x56, 0x9A}));
    EXPECT_EQ(packOne(VQ_TYPE_RGB16, r, g, b, 1, 1, 0), (Bytes{0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A}));
    EXPECT_EQ(packOne(VQ_TYPE_LAB16, r, g, b, 1, 1, 0), (Bytes{0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A}));
    EXPECT_EQ(packOne(VQ_TYPE_XRGB16, r, g, b, 1, 1, 0),
              (Bytes{0, 0, 0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A}));
    EXPECT_EQ(packOne(VQ_TYPE_BGR16, r, g, b, 1, 1, 0), (Bytes{0xBC, 0x9A, 0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(packOne(VQ_TYPE_BGRX16, r, g, b, 1, 1, 0),
              (Bytes{0xBC, 0x9A, 0x78, 0x56, 0x34, 0x12, 0, 0}));
    EXPECT_EQ(packOne(VQ_TYPE_CAMERA_RGB12, r, g, b, 1, 1, 0),
              (Bytes{0x23, 0x01, 0x67, 0x05, 0xAB, 0x09}));
    EXPECT_EQ(packOne(VQ_TYPE_GRAY8, r, g, b, 2, 1, 1), (Bytes{0x12, 0xFF, 0xEE}));
    EXPECT_EQ(packOne(VQ_TYPE_MONO16, r, g, b, 2, 1, 0), (Bytes{0x34, 0x12, 0xFF, 0xFF}));
    EXPECT_EQ(packOne(VQ_TYPE_RAW, r, g, b, 2, 1, 0, 0, 2), (Bytes{0x34, 0x12, 0xFF, 0xFF}));
    EXPECT_EQ(packOne(VQ_TYPE_RAW, r, g, b, 2, 1, 0, 0, 1), (Bytes{0x12, 0xFF}));
    const std::vector<uint16_t> k = {0xABCD, 0x0102};
    EXPECT_EQ(packOne(VQ_TYPE_CMYK8, r, g, b, 1, 1, 0, 0, 0, &k), (Bytes{0x12, 0x56, 0x9A, 0xAB}));
    EXPECT_EQ(packOne(VQ_TYPE_CMYK16, r, g, b, 1, 1, 0, 0, 0, &k),
              (Bytes{0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A, 0xCD, 0xAB}));
}

TEST(OutputStagePackers, LabBytesRoundTowardZero) {
    const std::vector<uint16_t> l = {0xFF00, 0x0100, 0, 0}, a = {0x8000, 0x7FFF, 0x7F00, 0xFFFF},
                                b = {0x7F00, 0x8000, 0x0000, 0x80FF};
    EXPECT_EQ(packOne(VQ_TYPE_LAB8, l, a, b, 4, 1, 0),
              (Bytes{0xFF, 0x00, 0xFF, 0x01, 0x00, 0x00, 0x00, 0xFF, 0x80, 0x00, 0x7F, 0x00}));
}

TEST(OutputStageRotation, TurnsSmallStrips) {
    // Strip rows P Q R / S T U as grey samples.
    const std::vector<uint16_t> g = {0x0100, 0x0200, 0x0300, 0x0400, 0x0500, 0x0600};
    EXPECT_EQ(packOne(VQ_TYPE_GRAY8, g, g, g, 3, 2, 0, 90), (Bytes{4, 1, 5, 2, 6, 3}));
    EXPECT_EQ(packOne(VQ_TYPE_GRAY8, g, g, g, 3, 2, 0, 270), (Bytes{3, 6, 2, 5, 1, 4}));
    EXPECT_EQ(packOne(VQ_TYPE_GRAY8, g, g, g, 3, 2, 0, 180), (Bytes{6, 5, 4, 3, 2, 1}));
    // Pad bytes follow every output row and are left alone.
    EXPECT_EQ(packOne(VQ_TYPE_GRAY8, g, g, g, 3, 2, 1, 90),
              (Bytes{4, 1, 0xEE, 5, 2, 0xEE, 6, 3, 0xEE}));
    EXPECT_EQ(packOne(VQ_TYPE_GRAY8, g, g, g, 3, 2, 1, 180), (Bytes{6, 5, 4, 0xEE, 3, 2, 1, 0xEE}));
    EXPECT_EQ(packOne(VQ_TYPE_GRAY8, g, g, g, 3, 2, 1, 270),
              (Bytes{3, 6, 0xEE, 2, 5, 0xEE, 1, 4, 0xEE}));
}

TEST(OutputStageRotation, RefusesOtherAngles) {
    OutputStage out;
    out.Init(VQ_TYPE_RGB8, 45, 0, 0, 0, 1, 1, 1, 3);
    uint16_t s = 0;
    uint8_t d[3];
    EXPECT_EQ(out.Pack(&s, &s, &s, nullptr, d), VQ_ERR_BAD_ROTATION);
    out.rotation = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(out.Pack(&s, &s, &s, nullptr, d), VQ_ERR_BAD_ROTATION);
    EXPECT_EQ(out.PadTotal(), 0u);
    out.Init(VQ_TYPE_RGB8, 90, 0, 0, 3, 4, 2, 1, 3);
    EXPECT_EQ(out.PadTotal(), 12u);
    out.rotation = 180;
    EXPECT_EQ(out.PadTotal(), 6u);
}

TEST(OutputStagePackers, MissingPackersAndPlanes) {
    uint16_t s = 0;
    uint8_t d[8];
    for (uint32_t type : {1u, 21u}) {
        OutputStage out;
        out.Init(type, 0, 0, 0, 0, 1, 1, 1, 3);
        EXPECT_EQ(out.Pack(&s, &s, &s, nullptr, d), VQ_ERR_NULL_PLANES) << type;
    }
    // A four-plane type keeps the three-sample packer already installed.
    OutputStage out;
    out.Init(VQ_TYPE_RGB8, 0, 0, 0, 0, 1, 1, 1, 3);
    out.Init(VQ_TYPE_CMYK8, 0, 0, 0, 0, 1, 1, 1, 4);
    EXPECT_EQ(out.packer3, &OutputStage::PackRgb8);
    EXPECT_EQ(out.packer4, &OutputStage::PackCmyk8);
    // Four planes asked of a stage that has no four-sample packer.
    OutputStage three;
    three.Init(VQ_TYPE_RGB8, 0, 0, 0, 0, 1, 1, 1, 3);
    EXPECT_EQ(three.Pack(&s, &s, &s, &s, d), VQ_ERR_NULL_PLANES);
    EXPECT_EQ(three.Pack(&s, nullptr, &s, nullptr, d), VQ_ERR_NULL_PLANES);
}

TEST(OutputStagePackers, StripKernelsMatchThePerPixelPackers) {
    std::mt19937 rng(7);
    const int32_t h = 5, left = 3, right = 2;
    // Widths around the vector widths (8 and 16 pixels) and their tails.
    for (int32_t w : {1, 7, 8, 9, 13, 16, 17, 33, 40}) {
        const size_t stride = size_t(left + w + right);
        std::vector<uint16_t> planes[4];
        for (auto& p : planes) {
            p.resize(stride * h);
            for (auto& v : p) v = uint16_t(rng());
        }
        for (uint32_t type = 0; type <= 21; ++type) {
            for (float rotation : {0.0f, 90.0f, 180.0f, 270.0f}) {
                for (int32_t pad : {0, 3}) {
                    int32_t b, c;
                    formatOf(type, b, c);
                    OutputStage out;
                    out.Init(type, rotation, left, right, pad, w, h, b, c);
                    const size_t bytes = size_t(w) * h * b * c + size_t(std::max(w, h)) * pad;
                    Bytes fast(bytes, 0xA5), slow(bytes, 0xA5);
                    const uint16_t* p3 = (type == 17 || type == 18) ? planes[3].data() : nullptr;
                    const VqStatus sf = out.Pack(planes[0].data(), planes[1].data(), planes[2].data(), p3, fast.data());
                    const VqStatus ss = out.PackReference(planes[0].data(), planes[1].data(), planes[2].data(), p3, slow.data());
                    EXPECT_EQ(sf, ss) << type << " " << rotation;
                    EXPECT_EQ(fast, slow) << "type " << type << " rotation " << rotation << " pad " << pad << " width " << w;
                }
            }
        }
    }
}

TEST(OutputStagePackers, SignedPlanesPackTheirBits) {
    const std::vector<int16_t> r = {-1, 0x1234}, g = {0x0100, 0x7FFF}, b = {int16_t(0x8000), 0};
    OutputStage out;
    out.Init(VQ_TYPE_RGB8, 0, 0, 0, 0, 2, 1, 1, 3);
    Bytes dst(6);
    ASSERT_EQ(out.Pack(r.data(), g.data(), b.data(), nullptr, dst.data()), VQ_OK);
    EXPECT_EQ(dst, (Bytes{0xFF, 0x01, 0x80, 0x12, 0x7F, 0x00}));
}
