// The camera's own JPEG quantisation tables of the older raw files, read
// from table records written into fixture files. The interface's word that
// lets a file use its own tables is 1 in every file it opens; this program
// stands in front of the interface's VqGetHidden (the dynamic linker finds
// the program's definition first) to answer that word, or an offset, as a
// file could.
#include "ZynTestSupport.h"

#include "ImageWerks.h"
#include "JpegQualityPreset.h"
#include "ZynImage.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

int32_t gTablesWord = -1;   // >= 0: the answer of hidden property 19
bool gZeroOffset = false;   // the tag lookup answers an offset of 0

} // namespace

extern "C" VQ_API VqStatus VqGetHidden(ImageInfoRecord* record, uint32_t id, void* out) {
    using Real = VqStatus (*)(ImageInfoRecord*, uint32_t, void*);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "VqGetHidden"));
    if (id == 19 && gTablesWord >= 0 && out) {
        std::memcpy(out, &gTablesWord, sizeof gTablesWord);
        return 0;
    }
    const VqStatus status = real(record, id, out);
    if (id == 10 && gZeroOffset && status == 0 && out) static_cast<uint32_t*>(out)[2] = 0;
    return status;
}

namespace {

using namespace NimbalCore;
using namespace zyntest;
using factorytest::KindsScope;

// The full-size record of quality code 1.
constexpr uint16_t kFullSizeQuality1 = 3138;

struct Hooks {
    Hooks(int32_t word, bool zeroOffset) {
        gTablesWord = word;
        gZeroOffset = zeroOffset;
    }
    ~Hooks() {
        gTablesWord = -1;
        gZeroOffset = false;
    }
};

// A record of n bytes: byte 1 the quality, then i + 1 at byte 2 + i.
std::vector<uint8_t> Record(size_t n) {
    std::vector<uint8_t> r(n);
    for (size_t i = 0; i < n; ++i) r[i] = uint8_t(i == 1 ? 90 : i < 2 ? 7 : i - 1);
    return r;
}

std::string WriteWithRecord(const lumora::test::TempFolder& folder, const std::string& name, uint16_t tag,
                            size_t bytes) {
    return WriteRaw(folder, name, FixtureOptions(Fixture::Family1), [&](ZyrWriter& w, const ZyrSample::Ifds& ifds) {
        w.Bytes(ifds.privateIfd, tag, 7, Record(bytes));
    });
}

struct Answer {
    bool found = false;
    int quality = -1;
    int table[64] = {};
};

Answer Ask(const std::string& path, bool chroma, int rowCode, int columnCode) {
    Answer a;
    ImageRef image;
    EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
    if (!image.Get()) return a;
    a.found = image->GetCameraJPEGQuantizationTables(chroma, rowCode, columnCode, a.table, &a.quality);
    return a;
}

TEST(ZynQuantTablesTest, WholeRecordsServeLuminanceAndChrominance) {
    lumora::test::TempFolder folder;
    KindsScope scope;
    Hooks hooks(0, false);
    const struct {
        size_t bytes;
        bool chroma;
        int firstValue;  // the record byte the table starts at, less one
    } cases[] = {
        {66, false, 1}, {66, true, 1}, {130, false, 1}, {130, true, 65},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytes << " " << c.chroma);
        const std::string path = WriteWithRecord(folder, "Q" + std::to_string(c.bytes) + ".ZYR", kFullSizeQuality1, c.bytes);
        const Answer a = Ask(path, c.chroma, 0, 1);
        ASSERT_TRUE(a.found);
        EXPECT_EQ(a.quality, 90);
        for (int i = 0; i < 64; ++i) ASSERT_EQ(a.table[i], c.firstValue + i) << i;
        // Another preset's record is not in the file.
        EXPECT_FALSE(Ask(path, c.chroma, 0, 2).found);
    }
}

TEST(ZynQuantTablesTest, RecordsThatCannotHoldATableAnswerFalse) {
    lumora::test::TempFolder folder;
    KindsScope scope;
    const struct {
        const char* what;
        size_t bytes;
        int32_t word;
        bool zeroOffset;
    } cases[] = {
        {"empty", 0, 0, false},
        {"ten bytes", 10, 0, false},
        {"one byte short of the luminance table", 65, 0, false},
        {"longer than a record", 131, 0, false},
        {"at offset 0", 130, 0, true},
        {"the file does not use its tables", 130, 1, false},
        {"the interface's own word", 130, -1, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = WriteWithRecord(folder, "F" + std::to_string(n++) + ".ZYR", kFullSizeQuality1, c.bytes);
        Hooks hooks(c.word, c.zeroOffset);
        Answer a;
        for (int i = 0; i < 64; ++i) a.table[i] = -5;
        ImageRef image;
        ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
        EXPECT_FALSE(image->GetCameraJPEGQuantizationTables(true, 0, 1, a.table, &a.quality));
        EXPECT_EQ(a.table[0], -5);
        // The export then takes the presets.
        int expected[64], quality = 0, expectedQuality = 0;
        GetJpegQuantTable(23, true, 0, 1, expected, &expectedQuality);
        EXPECT_TRUE(image->GetJPEGQuantizationTables(true, 0, 1, a.table, &quality));
        EXPECT_EQ(quality, expectedQuality);
        EXPECT_TRUE(std::equal(expected, expected + 64, a.table));
    }
}

} // namespace
