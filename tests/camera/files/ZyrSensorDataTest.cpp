// The writer's sensor data, plain and lossless-JPEG coded, holds the same
// 12-bit samples: plain as big-endian words with the samples left-justified.
#include <gtest/gtest.h>

#include <vector>

#include "LosslessJpegDecoder.h"
#include "ZyrSample.h"
#include "ZyrWriter.h"

namespace {

std::vector<uint8_t> SensorBytes(const ZyrSampleOptions& o) {
    ZyrWriter w(o.order);
    ZyrSample::Fill(w, o);
    ZyrWriter::Layout layout;
    const std::vector<uint8_t> file = w.Build(&layout);
    const uint32_t start = layout.strips[2][0];
    return std::vector<uint8_t>(file.begin() + start, file.end());
}

TEST(ZyrSensorData, PlainAndCodedHoldTheSameSamples) {
    for (lumora::ByteOrder order : {lumora::ByteOrder::Big, lumora::ByteOrder::Little}) {
        ZyrSampleOptions o;
        o.order = order;
        o.sensorWidth = 40;
        o.sensorHeight = 10;
        const std::vector<uint8_t> plain = SensorBytes(o);
        ASSERT_EQ(plain.size(), 40u * 10 * 2);
        for (uint32_t y = 0; y < 10; ++y)
            for (uint32_t x = 0; x < 40; ++x) {
                const size_t at = (size_t(y) * 40 + x) * 2;
                EXPECT_EQ(uint16_t(plain[at] << 8 | plain[at + 1]), uint16_t(ZyrSample::SensorSample(x, y) << 4));
            }

        o.ljpegSensor = true;
        const std::vector<uint8_t> coded = SensorBytes(o);
        ASSERT_GE(coded.size(), 2u);
        EXPECT_EQ(coded[0], 0xFF);
        EXPECT_EQ(coded[1], 0xD8);
        lumora::LosslessJpegDecoder decoder;
        *decoder.parameters()[lumora::LosslessJpegDecoder::InputBytes] = int32_t(coded.size());
        std::vector<uint16_t> samples(40 * 10);
        ASSERT_EQ(decoder.Decode(coded.data(), samples.data(), samples.size() * 2, 40, 10), 0u);
        EXPECT_EQ(*decoder.parameters()[lumora::LosslessJpegDecoder::Precision], 12);
        for (uint32_t y = 0; y < 10; ++y)
            for (uint32_t x = 0; x < 40; ++x) EXPECT_EQ(samples[y * 40 + x], ZyrSample::SensorSample(x, y));
    }
}

// Family-2 files below version 3 hold the top 8 bits of the same samples, one
// byte each; their later versions keep the 16-bit words.
TEST(ZyrSensorData, Family2HoldsOneCodePerSample) {
    ZyrSampleOptions o;
    o.model = "ZYNM18";
    o.sensorWidth = 40;
    o.sensorHeight = 10;
    const std::vector<uint8_t> codes = SensorBytes(o);
    ASSERT_EQ(codes.size(), 40u * 10);
    for (uint32_t y = 0; y < 10; ++y)
        for (uint32_t x = 0; x < 40; ++x) EXPECT_EQ(codes[size_t(y) * 40 + x], ZyrSample::SensorSample(x, y) >> 4);
    o.version = 0x03000000;
    EXPECT_EQ(SensorBytes(o).size(), 40u * 10 * 2);
}

} // namespace
