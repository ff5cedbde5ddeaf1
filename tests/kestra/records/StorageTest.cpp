// The stored form of a filter: buffers in both byte orders, the attribute
// text, the kernel block, the size bound, and buffers that must be refused.
#include "KestraTestSupport.h"

#include <ByteView.h>

#include <functional>
#include <optional>
#include <string>

using namespace kestratest;

namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v = 0;
    lumora::ByteView(b.data(), b.size()).u32(at, lumora::ByteOrder::Little, v);
    return v;
}

std::vector<uint8_t> slice(const std::vector<uint8_t>& b, size_t from, size_t count) {
    return std::vector<uint8_t>(b.begin() + long(from), b.begin() + long(from + count));
}

int32_t readInteger(PSFFilter f, int32_t id, PSFStatus expected = PSFSuccess) {
    PSFAttributeValue v{};
    EXPECT_EQ(PSFGetFilterAttribute(f, id, &v), expected) << id;
    return v.value.integer;
}

} // namespace

TEST_F(KestraTest, AFilterMadeHereStoresLittleEndianAndReloadsToTheSameBytes) {
    const PSFFilter made = make(true, 2, 3, 5);
    const std::vector<uint8_t> first = store(made);
    const uint8_t prefix[] = {0x74, 0x6C, 0x69, 0x66, 0x02, 0x00, 0x00, 0x00};
    ASSERT_GE(first.size(), 500u);
    EXPECT_EQ(slice(first, 0, 8), std::vector<uint8_t>(prefix, prefix + 8));
    EXPECT_EQ(le32(first, 20), 0x30000u);
    const uint32_t textLength = le32(first, 8);
    // Stamped text, then 52 bytes of block header, 2 x 3 x 5 samples and the
    // second table.
    EXPECT_EQ(first.size(), 500u + textLength + 52 + 2 * 3 * 5 * 2 + 2 * 3 * 4);
    EXPECT_EQ(first[500 + textLength - 1], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&first[500]), 4), "2=0\n");

    const PSFFilter again = load(first);
    EXPECT_EQ(store(again), first);
    EXPECT_EQ(readInteger(again, PSFAttrTaps), 5);
    EXPECT_EQ(readInteger(again, PSFAttrHasSecondTable), 1);
    EXPECT_EQ(PSFFreeFilter(again), PSFSuccess);
    EXPECT_EQ(PSFFreeFilter(made), PSFSuccess);
    EXPECT_EQ(PSFFreeFilter(made), PSFErrFilterUnusable);
}

TEST_F(KestraTest, ABigEndianBufferOfOurOwnWriterLoadsAndStoresLittleEndianKeepingItsWords) {
    FilterSpec spec = sharpeningSpec(3, 5, 7); // neither taps nor variants a power of two
    spec.bigEndian = true;
    spec.word3 = 3;
    spec.word4 = 4;
    spec.word6 = 6;
    spec.word7 = 7;
    spec.word8 = 0x01020304;
    spec.reservedFill = 0x5A;
    spec.tableWord6 = 66;
    spec.tableWord8 = {0xDE, 0xAD, 0xBE, 0xEF};
    spec.tableWord10 = 10;
    spec.tableWord11 = 11;
    spec.tableWord12 = 12;
    const std::vector<uint8_t> in = WriteFilterBuffer(spec);
    ASSERT_EQ(in[0], 0x66); // 66 69 6C 74 00 00 00 02
    ASSERT_EQ(in[7], 0x02);

    const PSFFilter f = load(in);
    EXPECT_EQ(readInteger(f, PSFAttrTaps), 7);
    EXPECT_EQ(readInteger(f, 30007), 66);
    const std::vector<uint8_t> out = store(f);
    ASSERT_EQ(out.size(), in.size());
    const uint32_t expectedWords[9] = {0x66696C74, 2, uint32_t(spec.text.size() + 1), 3, 4, 0x30000, 6, 7, 0x01020304};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(le32(out, size_t(i) * 4), expectedWords[i]) << "word " << i;
    EXPECT_EQ(slice(out, 36, 464), slice(in, 36, 464));          // reserved bytes
    EXPECT_EQ(slice(out, 500, out.size() - 500), slice(in, 500, in.size() - 500)); // text and kernel block
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}

TEST_F(KestraTest, AFormatVersionOneBufferLoadsWithoutItsSecondTable) {
    FilterSpec spec = sharpeningSpec();
    spec.version = 1;
    const PSFFilter f = load(spec);
    EXPECT_EQ(readInteger(f, PSFAttrFormatVersion), 1);
    EXPECT_EQ(readInteger(f, PSFAttrHasSecondTable), 0);
    const std::vector<uint8_t> out = store(f);
    // Stored again without the table the old format carried beside it.
    const std::vector<uint8_t> in = WriteFilterBuffer(spec);
    EXPECT_EQ(out.size(), in.size() - size_t(spec.levels * spec.variants * 4));
    EXPECT_EQ(out[4], 1);
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}

TEST_F(KestraTest, AttributeTextAndSizeBoundCases) {
    struct Case {
        const char* name;
        std::string text;
        std::optional<uint32_t> textLength;
        PSFStatus load;
        int32_t descriptionPresent; // 1 present, 0 absent, -1 not checked
    };
    const std::string base = filtertool::SharpeningText(2, 4, 5);
    const Case cases[] = {
        {"text length 16000", base, 16000, PSFErrFilterUnusable, -1},
        {"ten-character id", base + "1234567890=x\n", {}, PSFErrFilterUnusable, -1},
        {"nine-character id", base + "123456789=x\n30010=kept\n", {}, PSFSuccess, 1},
        {"letter in an id", base + "30a10=skipped\n30010=kept\n", {}, PSFSuccess, 1},
        {"line starting with =", base + "=skipped\n30010=kept\n", {}, PSFSuccess, 1},
        {"empty lines", base + "\n\n30010=kept\n", {}, PSFSuccess, 1},
        {"value of 1021 characters", base + "30010=" + std::string(1021, 'v') + "\n", {}, PSFErrFilterUnusable, -1},
        {"empty value deletes", base + "30010=gone\n30010=\n", {}, PSFSuccess, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FilterSpec spec = sharpeningSpec();
        spec.text = c.text;
        spec.textLength = c.textLength;
        const PSFFilter f = load(spec, c.load);
        if (c.load != PSFSuccess) {
            EXPECT_EQ(f, 0u);
            continue;
        }
        if (c.descriptionPresent >= 0) {
            PSFAttributeValue v{};
            EXPECT_EQ(PSFGetFilterAttribute(f, PSFAttrDescription, &v),
                      c.descriptionPresent ? PSFSuccess : PSFErrAttributeNotFound);
            if (c.descriptionPresent) { EXPECT_STREQ(v.value.text, "kept"); }
        }
        EXPECT_EQ(readInteger(f, PSFAttrLevels), 2); // the other lines still load
        EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
    }

    // A text without a single attribute line stores as it was read, and
    // loads again.
    FilterSpec lineless = sharpeningSpec();
    lineless.text = "3\n=x\n";
    const PSFFilter noLines = load(lineless);
    const std::vector<uint8_t> stored = store(noLines);
    EXPECT_EQ(le32(stored, 8), 1u);
    const PSFFilter reloaded = load(stored);
    EXPECT_EQ(store(reloaded), stored);
    EXPECT_EQ(PSFFreeFilter(reloaded), PSFSuccess);
    EXPECT_EQ(PSFFreeFilter(noLines), PSFSuccess);

    // A text of length 0 loads, but a filter without attributes cannot be stored.
    FilterSpec bare = sharpeningSpec();
    bare.text.clear();
    bare.textNul = false;
    const PSFFilter noText = load(bare);
    std::vector<uint8_t> out(8192);
    uint32_t count = 0;
    EXPECT_EQ(PSFStoreFilterToBuffer(noText, out.data(), uint32_t(out.size()), &count), 148);
    EXPECT_EQ(PSFFreeFilter(noText), PSFSuccess);

    // The size bound: one byte short answers the bound, the bound itself
    // stores fewer bytes than it.
    const PSFFilter f = load(sharpeningSpec());
    uint32_t bound = 0;
    ASSERT_EQ(PSFGetBufferSize(f, &bound), PSFSuccess);
    out.assign(bound, 0xEE);
    EXPECT_EQ(PSFStoreFilterToBuffer(f, out.data(), bound - 1, &count), PSFErrBufferSize);
    EXPECT_EQ(count, bound);
    EXPECT_EQ(out[0], 0xEE); // nothing written
    EXPECT_EQ(PSFStoreFilterToBuffer(f, out.data(), bound, &count), PSFSuccess);
    EXPECT_LT(count, bound);
    EXPECT_EQ(count, WriteFilterBuffer(sharpeningSpec()).size());
    EXPECT_EQ(PSFStoreFilterToBuffer(f, nullptr, 0, &count), PSFErrBufferSize); // asks for the size
    EXPECT_EQ(count, bound);
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}

TEST_F(KestraTest, MalformedAndHostileBuffersAreRefusedWithoutLeavingAnything) {
    struct Case {
        const char* name;
        std::function<void(FilterSpec&)> change;
        size_t cut = 0; // bytes taken off the end
    };
    const Case cases[] = {
        {"bad magic", [](FilterSpec& s) { s.magic = 0x12345678; }},
        {"kernel flag 0", [](FilterSpec& s) { s.kernelFlag = 0; }},
        {"no kernel block", [](FilterSpec& s) { s.kernelBlock = false; }},
        {"block word not 48", [](FilterSpec& s) { s.blockWord = 47; }},
        {"taps 0", [](FilterSpec& s) { s.storedTaps = 0; }},
        {"variants 0", [](FilterSpec& s) { s.storedVariants = 0; }},
        {"levels 0", [](FilterSpec& s) { s.storedLevels = 0; }},
        {"negative taps", [](FilterSpec& s) { s.storedTaps = 0xFFFFFFFBu; }},
        {"huge taps", [](FilterSpec& s) { s.storedTaps = 0x7FFFFFFFu; }},
        {"huge padded storage", [](FilterSpec& s) { s.storedTaps = 1u << 16; s.storedVariants = 1u << 16; }},
        {"bytes per sample 1", [](FilterSpec& s) { s.bytesPerSample = 1; }},
        {"bytes per sample 4", [](FilterSpec& s) { s.bytesPerSample = 4; }},
        {"fraction bits 0", [](FilterSpec& s) { s.fractionBits = 0; }},
        {"fraction bits 16", [](FilterSpec& s) { s.fractionBits = 16; }},
        {"fraction bits 40", [](FilterSpec& s) { s.fractionBits = 40; }},
        {"one sample missing", [](FilterSpec& s) { s.secondFlag = 0; }, 1},
        {"second table short", [](FilterSpec&) {}, 2},
        {"text levels 0", [](FilterSpec& s) { s.text = filtertool::SharpeningText(2, 4, 5) + "30004=0\n"; }},
        {"text levels negative", [](FilterSpec& s) { s.text = filtertool::SharpeningText(2, 4, 5) + "30004=-1\n"; }},
        {"text levels beyond the block", [](FilterSpec& s) { s.text = filtertool::SharpeningText(3, 4, 5); }},
        {"text longer than the buffer", [](FilterSpec& s) { s.textLength = 4000; }},
        {"header cut short", [](FilterSpec& s) { s.kernelBlock = false; s.text.clear(); s.textNul = false; }, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FilterSpec spec = sharpeningSpec();
        c.change(spec);
        std::vector<uint8_t> bytes = WriteFilterBuffer(spec);
        bytes.resize(bytes.size() - c.cut);
        const uint64_t before = lumora::MovableMemory::liveBlocks();
        EXPECT_EQ(load(bytes, PSFErrFilterUnusable), 0u);
        EXPECT_EQ(lumora::MovableMemory::liveBlocks(), before);
    }
    // A size smaller than the bytes: the library reads no further than told.
    const std::vector<uint8_t> good = WriteFilterBuffer(sharpeningSpec());
    PSFFilter f = 0;
    EXPECT_EQ(PSFLoadFilterFromBuffer(caller_, good.data(), uint32_t(good.size() - 1), &f), PSFErrFilterUnusable);
    EXPECT_EQ(PSFLoadFilterFromBuffer(caller_, nullptr, 100, &f), PSFErrFilterUnusable);
    EXPECT_EQ(PSFLoadFilterFromBuffer(0, good.data(), uint32_t(good.size()), &f), PSFErrBadCaller);
}

TEST_F(KestraTest, AFilterHoldingAttributesOnlyIsNotStored) {
    const PSFFilter f = make(false);
    uint32_t bound = 0;
    EXPECT_EQ(PSFGetBufferSize(f, &bound), PSFSuccess);
    EXPECT_GT(bound, 500u);
    std::vector<uint8_t> out(bound, 0xEE);
    uint32_t count = 99;
    EXPECT_EQ(PSFStoreFilterToBuffer(f, out.data(), bound, &count), PSFErrFilterNotInitialized);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(out, std::vector<uint8_t>(bound, 0xEE));
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}

TEST_F(KestraTest, AFiveTapSharpeningFilterOfSixtyFourVariantsHasTheSizesOfTheShippedOne) {
    FilterSpec spec = sharpeningSpec(4, 64, 5);
    spec.text = filtertool::AttributeLines({{2, "0"}, {30000, "0"}, {30004, "4"}, {30003, "64"}, {30002, "5"},
                                            {30010, "5-point USM filter"}});
    spec.text += "15=" + std::string(188 - 1 - spec.text.size() - 4, 'c') + "\n"; // 188 bytes with the NUL
    const std::vector<uint8_t> in = WriteFilterBuffer(spec);
    EXPECT_EQ(in.size(), 4324u); // 500 + 188 + 52 + 2560 + 1024
    const PSFFilter f = load(in);
    const std::vector<uint8_t> out = store(f);
    EXPECT_EQ(out, in);
    EXPECT_EQ(le32(out, 8), 188u);
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}
