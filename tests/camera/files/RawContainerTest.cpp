#include "RawContainer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "RawTiffReader.h"
#include "ZyrSample.h"
#include "ZyrWriter.h"

using lumora::ByteOrder;
using lumora::ByteView;
using lumora::vq::kFileCameraJpeg;
using lumora::vq::kFileRawTiff;
using lumora::vq::kFileRgbTiff;

namespace {
ByteView view(const std::vector<uint8_t>& b) { return ByteView(b.data(), b.size()); }
} // namespace

TEST(RawContainer, HeaderLengthWord) {
    for (ByteOrder order : {ByteOrder::Big, ByteOrder::Little}) {
        ZyrSampleOptions o;
        o.order = order;
        ZyrWriter w(order);
        ZyrSample::Fill(w, o);
        ZyrWriter::Layout layout;
        auto bytes = w.Build(&layout);
        uint32_t length = 0;
        ASSERT_EQ(RawContainer::HeaderLength(view(bytes), length), VQ_OK);
        EXPECT_EQ(length, layout.headerLength);
        EXPECT_EQ(layout.strips[2][0], layout.headerLength) << "sensor data starts right after the header";

        o.headerWord = ZyrWriter::HeaderLengthWord::Given;
        o.headerWordValue = 2000000;
        bytes = ZyrSample::Make(o);
        ASSERT_EQ(RawContainer::HeaderLength(view(bytes), length), VQ_OK);
        EXPECT_EQ(length, 1000000u);

        // An empty word: the header ends where the sensor data starts.
        o.headerWord = ZyrWriter::HeaderLengthWord::Zero;
        bytes = ZyrSample::Make(o);
        ASSERT_EQ(RawContainer::HeaderLength(view(bytes), length), VQ_OK);
        EXPECT_EQ(length, 0u);
        ASSERT_EQ(RawContainer::HeaderLengthFromSubIfd(view(bytes), length), VQ_OK);
        EXPECT_EQ(length, layout.headerLength);
    }
    const uint8_t notTiff[12] = {'X', 'X'};
    uint32_t length = 7;
    EXPECT_EQ(RawContainer::HeaderLength(ByteView(notTiff, sizeof notTiff), length), VQ_ERR_NOT_TIFF);
    EXPECT_EQ(length, 0u);
}

TEST(RawContainer, HeaderLengthFromSubIfdNeedsTheSensorDirectory) {
    ZyrSampleOptions o;
    ZyrWriter w(o.order);
    auto d = ZyrSample::Fill(w, o);
    w.Remove(d.main, 330);
    w.SubIfds(d.main, {d.thumbnail});
    const auto bytes = w.Build();
    uint32_t length = 0;
    EXPECT_EQ(RawContainer::HeaderLengthFromSubIfd(view(bytes), length), VQ_ERR_BAD_FILE);

    // A sensor strip offset of 0 or beyond the header cap is no header length.
    for (uint32_t offset : {0u, 1000001u, 0xFFFFFFF0u}) {
        SCOPED_TRACE(offset);
        ZyrWriter w2(o.order);
        auto d2 = ZyrSample::Fill(w2, o);
        ZyrWriter::Layout layout;
        auto b2 = w2.Build(&layout);
        RawTiffReader r;
        r.setOrder(o.order);
        RawTiffReader::Entry entry;
        uint32_t position = 0;
        ASSERT_EQ(r.FindTag(view(b2), layout.ifdOffsets[d2.raw], 273, 0, 0, entry, position), VQ_OK);
        r.PutWord32(b2.data() + position + 8, offset);
        length = 7;
        EXPECT_EQ(RawContainer::HeaderLengthFromSubIfd(view(b2), length), VQ_ERR_BAD_FILE);
        EXPECT_EQ(length, 0u);
    }
}

TEST(RawContainer, HeaderLengthFromSubIfdStaysInsideTheFile) {
    ZyrSampleOptions o;
    o.headerWord = ZyrWriter::HeaderLengthWord::Zero;
    ZyrWriter w(o.order);
    ZyrSample::Fill(w, o);
    ZyrWriter::Layout layout;
    const auto bytes = w.Build(&layout);
    uint32_t length = 0;
    // The sensor data may start at the very end of the file, not past it.
    ASSERT_EQ(RawContainer::HeaderLengthFromSubIfd(view(bytes), length, layout.headerLength), VQ_OK);
    EXPECT_EQ(length, layout.headerLength);
    length = 7;
    EXPECT_EQ(RawContainer::HeaderLengthFromSubIfd(view(bytes), length, layout.headerLength - 1), VQ_ERR_BAD_FILE);
    EXPECT_EQ(length, 0u);
    // The TIFF structure of a camera JPEG file starts inside the file.
    EXPECT_EQ(RawContainer::HeaderLengthFromSubIfd(view(bytes), length, layout.headerLength, 10), VQ_ERR_BAD_FILE);
    ASSERT_EQ(RawContainer::HeaderLengthFromSubIfd(view(bytes), length, layout.headerLength + 10, 10), VQ_OK);
    EXPECT_EQ(length, layout.headerLength);
}

TEST(RawContainer, VersionWord) {
    EXPECT_EQ(RawContainer::VersionMajor(0x02010000), 2u);
    EXPECT_EQ(RawContainer::VersionMinor(0x02010000), 1u);
    EXPECT_EQ(RawContainer::VersionMajor(0x03000000), 3u);
    EXPECT_EQ(RawContainer::MakeVersion(2, 3), 0x02030000u);
}

TEST(RawContainer, KindRecognition) {
    struct Case {
        int32_t entryKind;
        uint32_t width;
        int32_t modelId;
        int32_t expected;
    } const cases[] = {
        {kFileRawTiff, 513, 11, kFileRgbTiff},
        {kFileRawTiff, 512, 11, kFileRawTiff},
        {kFileRawTiff, 4000, 0, kFileRawTiff}, // unknown model
        {kFileCameraJpeg, 4000, 11, kFileCameraJpeg},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RawContainer::RecogniseKind(c.entryKind, c.width, c.modelId), c.expected);

    // A genuine raw file carries the header image's size in IFD0, so it stays
    // raw however large its sensor is.
    ZyrSampleOptions o;
    o.sensorWidth = 4096;
    o.sensorHeight = 8;
    const auto bytes = ZyrSample::Make(o);
    EXPECT_TRUE(RawContainer::IsTiffStart(view(bytes)));
    EXPECT_FALSE(RawContainer::IsJpegStart(view(bytes)));
    RawIfdRecord main{}, priv{};
    ASSERT_EQ(RawContainer::ReadMainAndPrivate(view(bytes), main, priv, nullptr), VQ_OK);
    EXPECT_LE(main.width, RawContainer::kRgbMinWidth);
    EXPECT_EQ(RawContainer::RecogniseKind(kFileRawTiff, main.width, 11), kFileRawTiff);
    EXPECT_EQ(priv.fileVersion, 0x02000000u);

    const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xE1};
    EXPECT_TRUE(RawContainer::IsJpegStart(ByteView(jpeg, sizeof jpeg)));
    EXPECT_FALSE(RawContainer::IsTiffStart(ByteView(jpeg, sizeof jpeg)));
}
