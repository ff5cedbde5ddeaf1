// Renders of version-3 files through the public interface: every output type,
// strips against whole renders, plain against lossless-JPEG sensor data, a
// listed bad column, and the chroma filter on neutral and busy pictures.
#include "RawImageFixture.h"

#include <algorithm>
#include <cstdlib>

#include "RawImageV3.h"
#include "VqOutputTypes.h"

using namespace rawimagetest;

namespace {

class RawImageV3RenderTest : public RawImageTest {
protected:
    static ZyrSampleOptions V3(const std::string& model = "ZYNM11") {
        ZyrSampleOptions o = Options(model);
        o.version = 0x03000000;
        o.sensorWidth = 200;
        o.sensorHeight = 136;
        return o;
    }
    uint32_t SetChroma(uint32_t level) {
        return VqSetExtension(&info_, VQ_EXT_CHROMA_FILTER, reinterpret_cast<void*>(uintptr_t(level)), 0, 0, 0, 0);
    }
    uint32_t SetSharpening(uint32_t mode, uint32_t level) {
        return VqSetExtension(&info_, VQ_EXT_SHARPENING, reinterpret_cast<void*>(uintptr_t(mode)), level, 0, 0, 0);
    }
};

TEST_F(RawImageV3RenderTest, EveryTypeRendersTheSameWholeOrInStrips) {
    for (bool colour : {true, false}) {
        ZyrSampleOptions o = V3();
        o.colour = colour;
        o.rowOffsets = o.columnOffsets = true;
        o.gainMap = true;
        ASSERT_EQ(Open(o), 0u);
        // Both filters with their margins.
        ASSERT_EQ(SetSharpening(1, 50), 0u);
        if (colour) {
            ASSERT_EQ(SetChroma(100), 0u);
        }
        int rendered = 0;
        for (uint32_t type = VQ_TYPE_RAW; type <= VQ_TYPE_LAST; ++type) {
            if (VqSetImageType(&info_, type) != 0) continue;
            for (float rotation : {0.0f, 90.0f, 180.0f, 270.0f}) {
                ASSERT_EQ(VqSetRotateType(&info_, rotation), 0u);
                std::vector<uint8_t> whole, strips;
                ASSERT_EQ(RenderInStrips(whole), 0u) << "type " << type << " rotation " << rotation;
                ASSERT_EQ(whole.size(), OutputBytes()) << "type " << type;
                ASSERT_EQ(RenderInStrips(strips, OutputBytes() / 5 + 1), 0u) << "type " << type << " rotation " << rotation;
                EXPECT_TRUE(strips == whole) << (colour ? "colour" : "grey") << " type " << type << " rotation "
                                             << rotation;
            }
            ++rendered;
        }
        // Colour files take 14 types, grey ones 4.
        EXPECT_EQ(rendered, colour ? 14 : 4);
        ASSERT_EQ(VqSetRotateType(&info_, 0.0f), 0u);
        // Subsampled renders neither conceal nor filter chroma, and still render.
        ASSERT_EQ(VqSetImageType(&info_, colour ? VQ_TYPE_RGB8 : VQ_TYPE_GRAY8), 0u);
        ASSERT_EQ(VqSetSubSample(&info_, 2), 0u);
        std::vector<uint8_t> half;
        EXPECT_EQ(RenderInStrips(half), 0u);
        EXPECT_EQ(half.size(), OutputBytes());
    }
}

// A caller's buffer far larger than the picture takes the picture in one strip,
// as a buffer of the picture's own size does, at every subsample.
TEST_F(RawImageV3RenderTest, ABufferLargerThanThePictureRendersIt) {
    ASSERT_EQ(Open(V3()), 0u);
    ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_RGB8), 0u);
    for (int16_t subsample : {int16_t(1), int16_t(2), int16_t(4)}) {
        ASSERT_EQ(VqSetSubSample(&info_, subsample), 0u);
        std::vector<uint8_t> exact;
        ASSERT_EQ(RenderInStrips(exact), 0u) << subsample;
        // 16 MiB: more rows than a strip can have at any of these subsamples.
        std::vector<uint8_t> large(size_t(16) << 20, 0xAB);
        ImageBufferRecord record{large.data(), uint32_t(large.size()), 0, nullptr};
        ASSERT_EQ(VqGetImage(&info_, &record, nullptr), 0u) << subsample;
        EXPECT_TRUE(std::equal(exact.begin(), exact.end(), large.begin())) << subsample;
    }
}

TEST_F(RawImageV3RenderTest, PlainAndLosslessJpegSensorDataRenderAlike) {
    std::vector<std::vector<uint8_t>> renders[2];
    for (bool ljpeg : {false, true}) {
        ZyrSampleOptions o = V3();
        o.ljpegSensor = ljpeg;
        o.badColumns = {40};
        ASSERT_EQ(Open(o), 0u);
        ASSERT_EQ(SetChroma(100), 0u);
        for (uint32_t type = VQ_TYPE_RAW; type <= VQ_TYPE_LAST; ++type) {
            if (VqSetImageType(&info_, type) != 0) continue;
            std::vector<uint8_t> out;
            ASSERT_EQ(RenderInStrips(out), 0u) << type;
            renders[ljpeg].push_back(std::move(out));
        }
    }
    ASSERT_EQ(renders[0].size(), renders[1].size());
    for (size_t i = 0; i < renders[0].size(); ++i) EXPECT_TRUE(renders[0][i] == renders[1][i]) << i;
}

TEST_F(RawImageV3RenderTest, AListedColumnTheCameraZeroedIsConcealed) {
    // Sensor samples are (37 x + 101 y) mod 4096: a plane wherever the 5 x 5
    // neighbourhood does not wrap.
    const uint32_t column = 50;
    auto wraps = [](uint32_t x, uint32_t y) {
        return (37 * (x - 2) + 101 * (y - 2)) / 4096 != (37 * (x + 2) + 101 * (y + 2)) / 4096;
    };
    for (uint16_t level : {uint16_t(3), uint16_t(0)}) {
        ZyrSampleOptions o = V3();
        o.badColumns = {uint16_t(column)};
        o.badColumnLevel = level;
        ASSERT_EQ(Open(o), 0u);
        ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_RAW), 0u);
        std::vector<uint8_t> out;
        ASSERT_EQ(RenderInStrips(out), 0u);
        const ImageGeometry& g = info_.geometry;
        ASSERT_EQ(g.outputWidth, int32_t(o.sensorWidth));
        auto at = [&](uint32_t x, uint32_t y) {
            uint16_t v;
            std::memcpy(&v, out.data() + (size_t(y) * size_t(g.outputWidth) + x) * 2, 2);
            return int32_t(v);
        };
        ASSERT_EQ(at(10, 10), ZyrSample::SensorSample(10, 10));
        int checked = 0;
        for (uint32_t y = 3; y + 3 < o.sensorHeight; ++y) {
            if (wraps(column, y)) continue;
            if (level == 0) {
                EXPECT_EQ(at(column, y), 0) << y;
            } else {
                // Within 2 of the value the column would have had.
                EXPECT_LE(std::abs(at(column, y) - int32_t(ZyrSample::SensorSample(column, y))), 2) << y;
            }
            ++checked;
        }
        EXPECT_GT(checked, 60);
    }
}

TEST_F(RawImageV3RenderTest, TheChromaFilterLeavesANeutralPictureAndCleansABusyOne) {
    for (bool neutral : {true, false}) {
        ZyrSampleOptions o = V3();
        if (neutral) {
            // One grey over the whole sensor: 16-bit big-endian words holding
            // 12-bit samples left-justified.
            for (uint32_t i = 0; i < o.sensorWidth * o.sensorHeight; ++i) {
                o.codedSensorData.push_back(uint8_t((1800 << 4) >> 8));
                o.codedSensorData.push_back(uint8_t(1800 << 4));
            }
        }
        ASSERT_EQ(Open(o), 0u);
        ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_RGB16), 0u);
        std::vector<uint8_t> off, on;
        ASSERT_EQ(SetChroma(0), 0u);
        ASSERT_EQ(RenderInStrips(off), 0u);
        ASSERT_EQ(SetChroma(100), 0u);
        ASSERT_EQ(RenderInStrips(on), 0u);
        ASSERT_EQ(off.size(), on.size());
        if (!neutral) {
            EXPECT_FALSE(on == off);
            continue;
        }
        // The filter reads ten samples beyond the picture, where the strips are
        // filled with zeros: only the corners, where that fill meets the
        // picture from two sides, may move.
        const ImageGeometry& g = info_.geometry;
        int moved = 0;
        for (int32_t y = 0; y < g.outputHeight; ++y)
            for (int32_t x = 0; x < g.outputWidth; ++x) {
                const size_t i = (size_t(y) * size_t(g.outputWidth) + size_t(x)) * 6;
                if (std::memcmp(on.data() + i, off.data() + i, 6) == 0) continue;
                ++moved;
                const bool corner = (x < 2 || x >= g.outputWidth - 2) && (y < 2 || y >= g.outputHeight - 2);
                EXPECT_TRUE(corner) << x << ", " << y;
            }
        EXPECT_LE(moved, 16);
    }
}

TEST_F(RawImageV3RenderTest, BalanceSamplesAndThumbnailsOfAFlatPicture) {
    ZyrSampleOptions o = V3();
    for (uint32_t i = 0; i < o.sensorWidth * o.sensorHeight; ++i) {
        o.codedSensorData.push_back(uint8_t((1800 << 4) >> 8));
        o.codedSensorData.push_back(uint8_t(1800 << 4));
    }
    for (bool offsets : {false, true}) {
        o.rowOffsets = o.columnOffsets = offsets;
        ASSERT_EQ(Open(o), 0u);
        // The sample sees the sensor values the picture is rendered from.
        const SdkRect area{20, 20, 16, 16};
        uint16_t rgb[3] = {};
        ASSERT_EQ(VqCalculateWhiteBalance(&info_, &area, rgb), 0u) << offsets;
        if (!offsets) {
            EXPECT_EQ((std::vector<uint16_t>{rgb[0], rgb[1], rgb[2]}), (std::vector<uint16_t>{1800, 1800, 1800}));
        } else {
            for (uint16_t v : rgb) EXPECT_NEAR(v, 1800, 12);
        }
        std::vector<uint8_t> thumb(size_t(info_.geometry.fullBytes), 0);
        EXPECT_EQ(VqGetThumbnail(&info_, thumb.data()), 0u);
    }
}

} // namespace
