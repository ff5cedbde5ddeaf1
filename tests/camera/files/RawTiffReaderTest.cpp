#include "RawTiffReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "RawContainer.h"
#include "RawFixtures.h"
#include "ZyrSample.h"
#include "ZyrWriter.h"

using lumora::ByteOrder;
using lumora::ByteView;

namespace {

ByteView view(const std::vector<uint8_t>& b) { return ByteView(b.data(), b.size()); }

class BothOrders : public ::testing::TestWithParam<ByteOrder> {};

struct Parsed {
    VqStatus status = VQ_OK;
    RawIfdRecord main{};
    RawIfdRecord priv{};
};

Parsed parseHead(const std::vector<uint8_t>& bytes, LookTable* looks = nullptr) {
    Parsed p;
    p.status = RawContainer::ReadMainAndPrivate(view(bytes), p.main, p.priv, looks);
    return p;
}

} // namespace

TEST_P(BothOrders, SampleDirectoriesReadAsWritten) {
    ZyrSampleOptions o;
    o.order = GetParam();
    o.version = 0x02010000;
    ZyrWriter w(o.order);
    ZyrSample::Fill(w, o);
    ZyrWriter::Layout layout;
    const auto bytes = w.Build(&layout);

    RawTiffReader r;
    uint32_t first = 0;
    ASSERT_EQ(r.ReadHeader(view(bytes), first), VQ_OK);
    EXPECT_EQ(first, layout.ifdOffsets[0]);
    EXPECT_EQ(r.bigEndian(), o.order == ByteOrder::Big);

    RawIfdRecord rec;
    ASSERT_EQ(r.ReadIfd(view(bytes), first, rec, nullptr, nullptr, true), VQ_OK);
    EXPECT_EQ(rec.width, 32u);
    EXPECT_EQ(rec.height, 24u);
    EXPECT_EQ(rec.samplesPerPixel, 3);
    EXPECT_EQ(rec.bitsPerSampleCount, 3u);
    EXPECT_EQ(rec.bitsPerSample[2], 8);
    EXPECT_STREQ(rec.model, "ZYNM11");
    EXPECT_EQ(rec.modelCount, 16u) << "the model text is the first 16 bytes of the field";
    EXPECT_STREQ(rec.description, "1 Lumora synthetic raw file");
    EXPECT_EQ(rec.descriptionCount, 28u);
    EXPECT_STREQ(rec.dateTime, "2024:05:17 10:30:00");
    EXPECT_EQ(rec.subIfdCount, 2u);
    EXPECT_EQ(rec.subIfds[0], layout.ifdOffsets[1]);
    EXPECT_EQ(rec.subIfds[1], layout.ifdOffsets[2]);
    EXPECT_EQ(rec.privateIfd, layout.ifdOffsets[3]);
    EXPECT_EQ(rec.exposureTime[0], 1);
    EXPECT_EQ(rec.exposureTime[1], 125);
    EXPECT_FLOAT_EQ(rec.fNumber, 8.0f);
    EXPECT_FLOAT_EQ(rec.exposureIndex, 100.0f);
    EXPECT_EQ(rec.exposureProgram, 2);
    EXPECT_EQ(rec.meteringMode, -9999) << "absent camera values keep their marker";
    EXPECT_FLOAT_EQ(rec.focalLength, -9999.0f);
    EXPECT_EQ(rec.outOfOrder, 0);

    ResolutionRecord res;
    ASSERT_EQ(r.ReadIfd(view(bytes), rec.subIfds[1], rec, &res, nullptr, true), VQ_OK);
    EXPECT_EQ(rec.width, 64u);
    EXPECT_EQ(rec.stripOffsets[0], layout.strips[2][0]);
    EXPECT_EQ(rec.stripByteCounts[0], 64u * 48 * 2);
    EXPECT_EQ(rec.grayResponseCurve.count, 4096u);
    EXPECT_EQ(res.xNumerator, 300u);
    EXPECT_EQ(res.xDenominator, 1u);
    EXPECT_EQ(res.unit, 2);
    EXPECT_EQ(res.unitPresent, 1u);
    EXPECT_EQ(rec.meteringMode, -9999) << "the record starts afresh for every directory";

    ASSERT_EQ(r.ReadIfd(view(bytes), layout.ifdOffsets[3], rec, nullptr, nullptr, true), VQ_OK);
    EXPECT_EQ(rec.fileVersion, 0x02010000u);
    EXPECT_EQ(rec.activeWidth, 60u);
    EXPECT_EQ(rec.leftMargin, 2u);
    EXPECT_EQ(rec.cameraText.count, 24u);
    ASSERT_TRUE(view(bytes).contains(rec.cameraText.offset, rec.cameraText.count));
    EXPECT_EQ(std::memcmp(bytes.data() + rec.cameraText.offset, "Lumora synthetic camera", 24), 0);
    EXPECT_EQ(rec.presetMatrices[4][0], 1u);
    EXPECT_EQ(rec.presetMatrices[4][1], 1u);
    EXPECT_EQ(rec.presetMatrices[4][3], 1u);
    EXPECT_EQ(rec.balanceTriples[2][5], 1u);
    EXPECT_EQ(rec.greyTestValue, 1);
    EXPECT_EQ(rec.greyTestRatio[0], 1u);
    EXPECT_EQ(rec.greyTestRatio[1], 2u);
    EXPECT_EQ(rec.storedSettings.count, 58u);
}

TEST_P(BothOrders, ShortOfCountOneIsTheSameNumberInEitherOrder) {
    ZyrWriter w(GetParam());
    auto d = w.AddIfd();
    w.Shorts(d, 259, {0x1234});
    w.Shorts(d, 277, {3});
    w.Shorts(d, 258, {12, 14}); // two SHORTs sit in the value field
    rawfixtures::fill(w, d, 9, 3);
    const auto bytes = w.Build();
    RawTiffReader r;
    uint32_t first = 0;
    ASSERT_EQ(r.ReadHeader(view(bytes), first), VQ_OK);
    RawIfdRecord rec;
    ASSERT_EQ(r.ReadIfd(view(bytes), first, rec, nullptr, nullptr, false), VQ_OK);
    EXPECT_EQ(rec.compression, 0x1234);
    EXPECT_EQ(rec.samplesPerPixel, 3);
    EXPECT_EQ(rec.bitsPerSampleCount, 2u);
    EXPECT_EQ(rec.bitsPerSample[0], 12);
    EXPECT_EQ(rec.bitsPerSample[1], 14);
}

INSTANTIATE_TEST_SUITE_P(RawTiffReader, BothOrders, ::testing::Values(ByteOrder::Big, ByteOrder::Little),
                         [](const auto& info) { return info.param == ByteOrder::Big ? "MM" : "II"; });

// ---------------------------------------------------------------------------
// Malformed heads: each gives its status and never reads outside the buffer
// (run under ASan to see the latter).

namespace {

struct BadHead {
    const char* name;
    std::vector<uint8_t> bytes;
    VqStatus expected;
};

std::vector<uint8_t> sampleWith(ByteOrder order, void (*tweak)(ZyrWriter&, const ZyrSample::Ifds&)) {
    ZyrSampleOptions o;
    o.order = order;
    ZyrWriter w(order);
    auto d = ZyrSample::Fill(w, o);
    tweak(w, d);
    return w.Build();
}

std::vector<BadHead> badHeads(ByteOrder order) {
    using W = ZyrWriter;
    using D = ZyrSample::Ifds;
    std::vector<BadHead> cases;
    ZyrSampleOptions so;
    so.order = order;
    const auto sample = ZyrSample::Make(so);
    cases.push_back({"empty", {}, VQ_ERR_NOT_TIFF});
    cases.push_back({"not a TIFF magic", {'I', 'I', 43, 0, 8, 0, 0, 0}, VQ_ERR_NOT_TIFF});
    cases.push_back({"magic without a directory offset", {'M', 'M', 0, 42, 0}, VQ_ERR_READ_PAST_BUFFER});
    cases.push_back({"first directory offset 0", {'M', 'M', 0, 42, 0, 0, 0, 0, 0, 0, 0, 0}, VQ_ERR_NOT_TIFF});
    cases.push_back({"first directory past the end", {'I', 'I', 42, 0, 0xF0, 0xFF, 0xFF, 0xFF}, VQ_ERR_READ_PAST_BUFFER});
    cases.push_back({"truncated inside IFD0", std::vector<uint8_t>(sample.begin(), sample.begin() + 100),
                     VQ_ERR_READ_PAST_BUFFER});
    {
        // IFD0's entries end exactly at the buffer's end; its link is missing.
        auto b = rawfixtures::minimal(order, 9);
        RawTiffReader r;
        uint32_t first = 0;
        r.ReadHeader(view(b), first);
        b.resize(first + 2 + 12 * 9);
        cases.push_back({"next link past the end", b, VQ_ERR_READ_PAST_BUFFER});
    }
    cases.push_back({"8 entries", rawfixtures::minimal(order, 8), VQ_ERR_BAD_FILE});
    cases.push_back({"513 entries", rawfixtures::minimal(order, 513), VQ_ERR_BAD_FILE});
    cases.push_back({"missing private directory", rawfixtures::minimal(order, 9, false), VQ_ERR_BAD_FILE});
    cases.push_back({"private directory past the end", sampleWith(order, [](W& w, const D& d) {
                         w.Remove(d.main, 33424);
                         w.RawEntry(d.main, 33424, 4, 1, 0x7FFFFFF0);
                     }), VQ_ERR_READ_PAST_BUFFER});
    cases.push_back({"text offset that wraps in 32 bits", sampleWith(order, [](W& w, const D& d) {
                         w.Remove(d.main, 270);
                         w.RawEntry(d.main, 270, 2, 0x40, 0xFFFFFFF0);
                     }), VQ_ERR_READ_PAST_BUFFER});
    cases.push_back({"SHORT array offset that wraps", sampleWith(order, [](W& w, const D& d) {
                         w.Remove(d.main, 258);
                         w.RawEntry(d.main, 258, 3, 3, 0xFFFFFFFE);
                     }), VQ_ERR_READ_PAST_BUFFER});
    cases.push_back({"LONG array offset that wraps", sampleWith(order, [](W& w, const D& d) {
                         w.RawEntry(d.main, 330, 4, 5, 0xFFFFFFFC);
                     }), VQ_ERR_READ_PAST_BUFFER});
    cases.push_back({"rational offset that wraps", sampleWith(order, [](W& w, const D& d) {
                         w.Remove(d.main, 33434);
                         w.RawEntry(d.main, 33434, 5, 1, 0xFFFFFFFC);
                     }), VQ_ERR_READ_PAST_BUFFER});
    cases.push_back({"matrix offset that wraps", sampleWith(order, [](W& w, const D& d) {
                         w.Remove(d.privateIfd, 2300);
                         w.RawEntry(d.privateIfd, 2300, 5, 9, 0xFFFFFFC0);
                     }), VQ_ERR_READ_PAST_BUFFER});
    cases.push_back({"camera text past the end", sampleWith(order, [](W& w, const D& d) {
                         w.Remove(d.privateIfd, 1001);
                         w.RawEntry(d.privateIfd, 1001, 2, 0x1000, 0xFFFFF000);
                     }), VQ_ERR_READ_PAST_BUFFER});
    cases.push_back({"look curve larger than the buffer", sampleWith(order, [](W& w, const D& d) {
                         w.RawEntry(d.privateIfd, 3612, 3, 0x80000000u, 16);
                     }), VQ_ERR_READ_PAST_BUFFER});
    cases.push_back({"look names past the end", sampleWith(order, [](W& w, const D& d) {
                         w.RawEntry(d.privateIfd, 3660, 7, 0xFFFFFFFFu, 16);
                     }), VQ_ERR_READ_PAST_BUFFER});
    cases.push_back({"look matrix past the end", sampleWith(order, [](W& w, const D& d) {
                         w.RawEntry(d.privateIfd, 3671, 5, 9, 0xFFFFFFFFu);
                     }), VQ_ERR_READ_PAST_BUFFER});
    cases.push_back({"zero denominator in a matrix", sampleWith(order, [](W& w, const D& d) {
                         w.Remove(d.privateIfd, 2300);
                         w.Rationals(d.privateIfd, 2300,
                                     {{1, 1}, {0, 1}, {0, 0}, {0, 1}, {1, 1}, {0, 1}, {0, 1}, {0, 1}, {1, 1}});
                     }), VQ_ERR_BAD_NUMBER});
    cases.push_back({"model of file version 4", sampleWith(order, [](W& w, const D& d) {
                         w.Remove(d.main, 272);
                         w.Bytes(d.main, 272, 2, ZyrSample::ModelField("ZYNM11", 4));
                     }), VQ_ERR_FILE_VERSION_TOO_NEW});
    return cases;
}

} // namespace

TEST(RawTiffReader, MalformedHeadsGiveTheirStatus) {
    for (ByteOrder order : {ByteOrder::Big, ByteOrder::Little}) {
        for (const auto& c : badHeads(order)) {
            SCOPED_TRACE(std::string(c.name) + (order == ByteOrder::Big ? " (MM)" : " (II)"));
            // An exact-size copy so that ASan sees any read past the end.
            std::vector<uint8_t> exact(c.bytes);
            exact.shrink_to_fit();
            LookTable looks;
            EXPECT_EQ(parseHead(exact, &looks).status, c.expected);
        }
    }
}

TEST(RawTiffReader, EntryCountLimitsAreInclusive) {
    for (int n : {9, 512}) {
        SCOPED_TRACE(n);
        const auto bytes = rawfixtures::minimal(ByteOrder::Big, n);
        auto p = parseHead(bytes);
        EXPECT_EQ(p.status, VQ_OK);
        EXPECT_EQ(p.main.entryCount, n);
    }
}

TEST(RawTiffReader, NextLinkCheckIsOptional) {
    ZyrWriter w(ByteOrder::Little);
    auto d = w.AddIfd();
    rawfixtures::fill(w, d, 9, 0);
    auto bytes = w.Build();
    // Point the link of the only directory far away.
    const uint32_t link = 12 + 2 + 12 * 9;
    const uint32_t far = 2000000;
    std::memcpy(bytes.data() + link, &far, 4); // little-endian host and file
    RawTiffReader r;
    RawIfdRecord rec;
    EXPECT_EQ(r.ReadIfd(view(bytes), 12, rec, nullptr, nullptr, true), VQ_ERR_BAD_FILE);
    EXPECT_EQ(r.ReadIfd(view(bytes), 12, rec, nullptr, nullptr, false), VQ_OK);
    EXPECT_EQ(rec.nextIfd, far);
}

TEST(RawTiffReader, ModelFileVersionMarker) {
    struct Case {
        std::vector<uint8_t> field;
        VqStatus expected;
    };
    auto lower = [](int version) {
        auto f = ZyrSample::ModelField("ZYNM11", -1);
        const std::string marker = "file version " + std::to_string(version);
        std::memcpy(f.data() + 16, marker.data(), marker.size());
        return f;
    };
    std::vector<uint8_t> shortField(20, 0);
    std::memcpy(shortField.data(), "ZYNM11", 6);
    std::memcpy(shortField.data() + 16, "FILE", 4);
    const Case cases[] = {
        {lower(4), VQ_ERR_FILE_VERSION_TOO_NEW},
        {lower(3), VQ_OK},
        {ZyrSample::ModelField("ZYNM11", 12), VQ_ERR_FILE_VERSION_TOO_NEW},
        {ZyrSample::ModelField("ZYNM11", 0), VQ_OK},
        {ZyrSample::ModelField("ZYNM11", -1), VQ_OK},
        {shortField, VQ_OK},
    };
    for (const auto& c : cases) {
        ZyrWriter w(ByteOrder::Big);
        auto d = w.AddIfd();
        w.Bytes(d, 272, 2, c.field);
        rawfixtures::fill(w, d, 9, 1);
        const auto bytes = w.Build();
        RawTiffReader r;
    r.setOrder(ByteOrder::Big);
        r.setOrder(ByteOrder::Big);
        RawIfdRecord rec;
        EXPECT_EQ(r.ReadIfd(view(bytes), 12, rec, nullptr, nullptr, false), c.expected);
        EXPECT_STREQ(rec.model, "ZYNM11");
    }
    // A model field whose second half would lie past the loaded bytes is not looked at.
    constexpr uint32_t valueAt = 1000;
    ZyrWriter w(ByteOrder::Big);
    auto d = w.AddIfd();
    rawfixtures::fill(w, d, 9, 1);
    w.RawEntry(d, 272, 2, 32, valueAt);
    auto head = w.Build();
    ASSERT_LT(head.size(), valueAt);
    head.resize(valueAt, 0);
    const uint8_t partial[18] = {'Z', 'Y', 'N', 'M', '1', '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'F', 'I'};
    head.insert(head.end(), partial, partial + sizeof partial);
    head.shrink_to_fit();
    RawTiffReader r;
    r.setOrder(ByteOrder::Big);
    RawIfdRecord rec;
    EXPECT_EQ(r.ReadIfd(view(head), 12, rec, nullptr, nullptr, false), VQ_OK);
    EXPECT_STREQ(rec.model, "ZYNM11");
}

TEST(RawTiffReader, TypedValuesFollowTheirRules) {
    ZyrWriter w(ByteOrder::Big);
    w.SetSorted(false);
    auto d = w.AddIfd();
    w.Ascii(d, 315, std::string(39, 'A'));         // Artist: 40 bytes, 32 kept
    w.Ascii(d, 33405, "ZYN");                        // short text from the value field
    w.Rationals(d, 33437, {{56, 10}, {1, 1}, {2, 1}}); // FNumber of count 3: one value
    w.Rationals(d, 33434, {{5, 0}});                 // zero denominator
    w.Longs(d, 37393, {7});
    w.Shorts(d, 1036, {10, 20, 30, 40});             // exactly three values
    w.Shorts(d, 2350, {5}, 8);                       // presence only for a non-SHORT
    w.Longs(d, 3125, {9});
    w.Shorts(d, 259, {1}, 8);                        // wrong type: skipped
    const auto bytes = w.Build();
    RawTiffReader r;
    r.setOrder(ByteOrder::Big);
    RawIfdRecord rec;
    EXPECT_EQ(r.ReadIfd(view(bytes), 12, rec, nullptr, nullptr, false), VQ_ERR_BAD_NUMBER);
    EXPECT_EQ(std::string(rec.artist), std::string(32, 'A'));
    EXPECT_EQ(rec.model2Count, 4u);
    EXPECT_STREQ(rec.model2, "ZYN");
    EXPECT_FLOAT_EQ(rec.fNumber, 5.6f);
    EXPECT_EQ(rec.exposureTime[0], 0);
    EXPECT_EQ(rec.exposureTime[1], 1);
    // Tags after the failing one are not applied.
    EXPECT_EQ(rec.imageNumber, 0u);
    EXPECT_EQ(rec.compression, 0);

    // Without the bad rational the rest reads.
    ZyrWriter w2(ByteOrder::Big);
    auto d2 = w2.AddIfd();
    w2.Longs(d2, 37393, {7});
    w2.Shorts(d2, 1036, {10, 20, 30, 40});
    w2.Shorts(d2, 2350, {5}, 8);
    w2.Longs(d2, 3125, {9});
    w2.Shorts(d2, 259, {1}, 8);
    w2.RawEntry(d2, 1001, 7, 0x1000, 0xFFFFF000);  // camera text must be ASCII: skipped
    rawfixtures::fill(w2, d2, 9, 6);
    const auto b2 = w2.Build();
    ASSERT_EQ(r.ReadIfd(view(b2), 12, rec, nullptr, nullptr, false), VQ_OK);
    EXPECT_EQ(rec.imageNumber, 7u);
    EXPECT_EQ(rec.cameraWhiteBalance[2], 30);
    EXPECT_EQ(rec.sharpenSelectPresent, 1u);
    EXPECT_EQ(rec.sharpenSelect, 0);
    EXPECT_EQ(rec.curveFlag, 1u);
    EXPECT_EQ(rec.compression, 0);
    EXPECT_EQ(rec.cameraText.count, 0u);
}

TEST(RawTiffReader, LaterEntriesWinAndDisorderIsNoted) {
    ZyrWriter w(ByteOrder::Little);
    w.SetSorted(false);
    auto d = w.AddIfd();
    w.Shorts(d, 2341, {1, 2, 3});
    w.Shorts(d, 3610, {4, 5, 6, 7});
    rawfixtures::fill(w, d, 9, 2);
    w.Longs(d, 256, {100});
    w.Longs(d, 256, {200});
    const auto bytes = w.Build();
    RawTiffReader r;
    RawIfdRecord rec;
    ASSERT_EQ(r.ReadIfd(view(bytes), 12, rec, nullptr, nullptr, false), VQ_OK);
    EXPECT_EQ(rec.width, 200u);
    EXPECT_EQ(rec.toneCurve1.count, 4u);
    EXPECT_EQ(rec.outOfOrder, 1);
}

TEST(RawTiffReader, LookDataGoesToTheLookTable) {
    ZyrSampleOptions o;
    o.order = ByteOrder::Little;
    ZyrWriter w(o.order);
    auto d = ZyrSample::Fill(w, o);
    w.Shorts(d.privateIfd, 3610, {0, 100, 4095});
    w.Shorts(d.privateIfd, 3612, {0, 50});
    w.Shorts(d.privateIfd, 3612, {0, 60, 4095}); // set twice: the later one stays
    w.Rationals(d.privateIfd, 3670,
                {{2, 1}, {0, 1}, {0, 1}, {0, 1}, {2, 1}, {0, 1}, {0, 1}, {0, 1}, {2, 1}});
    const char names[] = "Neutral\0Vivid\0Soft";
    w.Bytes(d.privateIfd, 3660, 7, std::vector<uint8_t>(names, names + sizeof names));
    const auto bytes = w.Build();

    LookTable looks;
    auto p = parseHead(bytes, &looks);
    ASSERT_EQ(p.status, VQ_OK);
    uint32_t count = 0;
    const uint16_t* values = nullptr;
    ASSERT_EQ(looks.GetCurve(2, count, values), VQ_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(values[1], 60);
    ASSERT_EQ(looks.GetCurve(0, count, values), VQ_OK);
    EXPECT_EQ(values[2], 4095);
    EXPECT_EQ(p.priv.toneCurve1.count, 3u);
    LookTable::Matrix m{};
    ASSERT_EQ(looks.GetMatrix(0, m), VQ_OK);
    EXPECT_EQ(m[0], 2u);
    EXPECT_EQ(looks.CountLooks(true, true), 1);
    EXPECT_EQ(looks.CountLooks(true, false), 2);
    LookTable::NameRecord name;
    name.look = 2;
    ASSERT_EQ(looks.GetName(name, true, false), VQ_OK);
    EXPECT_STREQ(name.name, "Soft");
    EXPECT_EQ(name.usable, 1u);

    // Without a look table the same directory reads and only 3610/3611 are kept.
    auto plain = parseHead(bytes);
    EXPECT_EQ(plain.status, VQ_OK);
    EXPECT_EQ(plain.priv.toneCurve1.count, 3u);
}

TEST(RawTiffReader, FindTagWalksLinksPrivateAndSubIfds) {
    ZyrSampleOptions o;
    ZyrWriter w(o.order);
    auto d = ZyrSample::Fill(w, o);
    ZyrWriter::Layout layout;
    const auto bytes = w.Build(&layout);
    RawTiffReader r;
    uint32_t first = 0;
    ASSERT_EQ(r.ReadHeader(view(bytes), first), VQ_OK);
    RawTiffReader::Entry e;
    uint32_t pos = 0;

    ASSERT_EQ(r.FindTag(view(bytes), first, 272, 0, 0, e, pos), VQ_OK);
    EXPECT_EQ(e.type, 2);
    EXPECT_EQ(e.count, 32u);
    EXPECT_GT(pos, first);

    // Private tags sit in the second directory visited.
    EXPECT_EQ(r.FindTag(view(bytes), first, 3502, 0, 0, e, pos), VQ_ERR_VALUE_ABSENT);
    ASSERT_EQ(r.FindTag(view(bytes), first, 3502, 0, 4, e, pos), VQ_OK);
    EXPECT_EQ(e.value, o.version);
    EXPECT_GT(pos, layout.ifdOffsets[d.privateIfd]);

    // ImageWidth occurs in IFD0 (index 0), then the SubIFDs (index 2 and 3).
    ASSERT_EQ(r.FindTag(view(bytes), first, 256, 1, 4, e, pos), VQ_OK);
    EXPECT_EQ(e.value, 32u) << "the header image directory";
    ASSERT_EQ(r.FindTag(view(bytes), first, 256, 3, 4, e, pos), VQ_OK);
    EXPECT_EQ(e.value, 64u) << "the sensor data directory";
    EXPECT_EQ(r.FindTag(view(bytes), first, 256, 4, 10, e, pos), VQ_ERR_VALUE_ABSENT);
    EXPECT_EQ(r.FindTag(view(bytes), uint32_t(bytes.size()), 256, 0, 1, e, pos), VQ_ERR_FILE_NO_MEMORY);

    // A directory linked to itself ends the walk rather than looping for ever.
    ZyrWriter loop(ByteOrder::Big);
    auto l = loop.AddIfd();
    rawfixtures::fill(loop, l, 9, 0);
    loop.NextIfd(l, l);
    const auto lb = loop.Build();
    EXPECT_EQ(r.FindTag(view(lb), 12, 999, 0, 0xFFFFFFFFu, e, pos), VQ_ERR_VALUE_ABSENT);
}

TEST(RawTiffReader, SortEntriesOrdersDropsDuplicatesAndKeepsTheLink) {
    ZyrWriter w(ByteOrder::Big);
    w.SetSorted(false);
    auto d = w.AddIfd();
    auto thumb = w.AddIfd();
    w.Longs(d, 33723, {1});
    w.Longs(d, 256, {10});
    w.Longs(d, 256, {11});
    w.Longs(d, 257, {20});
    rawfixtures::fill(w, thumb, 9, 0);
    w.NextIfd(d, thumb);
    ZyrWriter::Layout layout;
    auto bytes = w.Build(&layout);
    uint8_t* dir = bytes.data() + 12;
    RawTiffReader r;
    r.setOrder(ByteOrder::Big);
    bool changed = false;
    uint16_t count = 4;
    uint32_t pos = 0;
    ASSERT_EQ(r.SortEntries(dir, 2 + 12 * 4 + 4, changed, count, 33723, pos), VQ_OK);
    EXPECT_TRUE(changed);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(pos, 2u + 12 * 2);
    RawTiffReader check;
    check.setOrder(ByteOrder::Big);
    // The sorted directory still leads to the next one.
    RawTiffReader::Entry e;
    uint32_t at = 0;
    ASSERT_EQ(check.FindTag(view(bytes), 12, 50000, 1, 1, e, at), VQ_OK);
    EXPECT_EQ(check.FindTag(view(bytes), 12, 256, 0, 0, e, at), VQ_OK);
    EXPECT_EQ(e.value, 10u) << "the first of equal tags stays";
    EXPECT_EQ(bytes[12 + 2 + 12 * 3 + 4], 0) << "the freed tail is zeroed";

    // Already in order: nothing changes.
    ASSERT_EQ(r.SortEntries(dir, 2 + 12 * 3 + 4, changed, count, 256, pos), VQ_OK);
    EXPECT_FALSE(changed);
    EXPECT_EQ(pos, 2u);
    // A count that runs past the bytes given is refused.
    uint16_t tooMany = 200;
    EXPECT_EQ(r.SortEntries(dir, 2 + 12 * 3 + 4, changed, tooMany, 256, pos), VQ_ERR_READ_PAST_BUFFER);
}

TEST(RawTiffReader, ReplaceDescriptionEndsWhereTheOldTextEnds) {
    ZyrWriter w(ByteOrder::Little);
    auto d = w.AddIfd();
    w.AsciiField(d, 270, "old description", 20);
    rawfixtures::fill(w, d, 9, 1);
    auto bytes = w.Build();
    RawTiffReader r;
    uint32_t first = 0;
    ASSERT_EQ(r.ReadHeader(view(bytes), first), VQ_OK);
    RawIfdRecord rec;
    ASSERT_EQ(r.ReadIfd(view(bytes), first, rec, nullptr, nullptr, false), VQ_OK);
    uint32_t oldCount = 0;
    ASSERT_EQ(r.ReplaceDescription(bytes.data(), bytes.size(), first, oldCount, "NEW", 3), VQ_OK);
    EXPECT_EQ(oldCount, 20u);
    EXPECT_EQ(std::memcmp(bytes.data() + rec.descriptionOffset + 17, "NEW", 3), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + rec.descriptionOffset, "old description", 15), 0);
    EXPECT_EQ(r.ReplaceDescription(bytes.data(), bytes.size(), first, oldCount, std::string(21, 'x').c_str(), 21),
              VQ_ERR_DESCRIPTION_TOO_LONG);

    ZyrWriter none(ByteOrder::Little);
    auto n = none.AddIfd();
    rawfixtures::fill(none, n, 9, 0);
    auto nb = none.Build();
    EXPECT_EQ(r.ReplaceDescription(nb.data(), nb.size(), 12, oldCount, "x", 1), VQ_ERR_TAG_NOT_FOUND);
}
