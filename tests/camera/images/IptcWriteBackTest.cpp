// IPTC blocks written back into raw files of the oldest models and of family 1:
// in place when they fit, at the end of the file when they do not, with the
// directory entry kept, taken over or appended. A file that grows is replaced
// whole; a refused write leaves it byte for byte as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "RawImageFixture.h"
#include "ShellCommand.h"
#include "TestFiles.h"
#include "ZyrOldestSample.h"

namespace {

namespace fs = std::filesystem;

using lumora::test::ReadFileBytes;
using lumora::test::RunCommand;

// One IPTC caption record (2:120) of the given text, padded to a multiple of 4.
std::vector<uint8_t> Caption(const std::string& text) {
    std::vector<uint8_t> b((5 + text.size() + 3) & ~size_t(3), 0);
    const uint8_t head[5] = {0x1C, 2, 120, uint8_t(text.size() >> 8), uint8_t(text.size())};
    std::copy(std::begin(head), std::end(head), b.begin());
    std::copy(text.begin(), text.end(), b.begin() + 5);
    return b;
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

class IptcWriteBackTest : public rawimagetest::RawImageTest {
protected:
    std::string Path() const { return (dir_.path() / ("raw" + std::to_string(files_) + ".zyr")).string(); }
    uint32_t SetIptc(const std::vector<uint8_t>& block) {
        VqIptcRecord r{uint32_t(block.size()), block.data(), 0};
        return VqSetExtension(&info_, VQ_EXT_IPTC, &r, 0, 0, 0, 0);
    }
    std::vector<uint8_t> GetIptc() {
        VqIptcRecord r{};
        if (VqGetExtension(&info_, VQ_EXT_IPTC, &r) != 0 || r.length == 0) return {};
        const uint8_t* p = static_cast<const uint8_t*>(r.data);
        return std::vector<uint8_t>(p, p + r.length);
    }
    // Reopens the file as it now is.
    void Reopen() {
        const std::string path = Path();
        Close();
        std::memset(&info_, 0, sizeof info_);
        ASSERT_EQ(VqOpenImageFile(path.c_str(), &info_), 0u);
        open_ = true;
    }
    // No stray temporary beside the file.
    size_t FilesInFolder() const {
        size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_.path())) ++n;
        return n;
    }
};

// Where the block goes and what happens to its entry, for the oldest models'
// layouts; every byte of the old file outside the directory area and the old
// block stays, and outside tools read the new caption.
TEST_F(IptcWriteBackTest, OldestModelBlockThatDoesNotFitGrowsTheFile) {
    struct Case {
        const char* what;
        bool classicHead;
        bool iptc;
    } cases[] = {
        {"no block: the entry is appended to IFD0", true, false},
        {"a longer block in a classic head moves to the end", true, true},
        {"a longer block between other values moves to the end", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZyrOldestOptions o;
        o.classicHead = c.classicHead;
        o.iptc = c.iptc;
        o.resolution = true;
        const std::vector<uint8_t> before = ZyrOldestSample::Make(o);
        ASSERT_EQ(OpenBytes(before), 0u);
        EXPECT_EQ(GetIptc().size(), c.iptc ? 64u : 0u);
        const std::vector<uint8_t> block = Caption(std::string(90, 'w') + " grown");
        ASSERT_EQ(SetIptc(block), 0u);
        const std::vector<uint8_t> after = ReadFileBytes(Path());
        ASSERT_GT(after.size(), before.size());
        // Changed bytes of the old file: only IFD0's area (the entry) and the
        // old block's own bytes (cleared).
        size_t changedOutside = 0;
        for (size_t i = 0; i < before.size(); ++i) {
            if (after[i] == before[i]) continue;
            if (i >= 768 && i < 1024) continue;
            if (c.iptc && before[i] != 0 && after[i] == 0) continue;
            ++changedOutside;
        }
        EXPECT_EQ(changedOutside, 0u);
        EXPECT_EQ(FilesInFolder(), size_t(files_));
        const std::string exif = RunCommand("exiftool -s -s -s -IPTC:Caption-Abstract '" + Path() + "' 2>&1");
        EXPECT_NE(exif.find("wwww grown"), std::string::npos) << exif;
        const std::string dump = RunCommand("tiffdump '" + Path() + "' 2>&1");
        EXPECT_NE(dump.find("33723"), std::string::npos) << dump;
        if (c.classicHead) {
            // The head's own resolution now points at 72/1 in its last bytes.
            const std::string res = RunCommand("exiftool -s -s -s -IFD0:XResolution '" + Path() + "' 2>&1");
            EXPECT_NE(res.find("72"), std::string::npos) << res;
        }
        Reopen();
        EXPECT_EQ(GetIptc(), block);
        // The same block again writes nothing.
        ASSERT_EQ(SetIptc(block), 0u);
        EXPECT_EQ(ReadFileBytes(Path()), after);
    }
}

// Nowhere to put the entry: refused before the first byte, and the image keeps
// the block it had.
TEST_F(IptcWriteBackTest, OldestModelWithoutRoomForTheEntryRefuses) {
    ZyrOldestOptions full;
    full.classicHead = true;
    const uint16_t entries = Le16(ZyrOldestSample::Make(full), 768);
    ASSERT_LT(entries, 20u);
    full.fillerEntries = 20u - entries;
    ZyrOldestOptions packed;  // the directory's values follow its entries
    struct Case {
        const char* what;
        ZyrOldestOptions options;
    } cases[] = {{"twenty entries: a 21st would cover the resolution rational", full},
                 {"values right after the entries", packed}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> before = ZyrOldestSample::Make(c.options);
        ASSERT_EQ(OpenBytes(before), 0u);
        EXPECT_EQ(SetIptc(Caption("no room")), VQ_ERR_TOO_MANY_ENTRIES);
        EXPECT_EQ(ReadFileBytes(Path()), before);
        EXPECT_TRUE(GetIptc().empty());
        EXPECT_EQ(FilesInFolder(), size_t(files_));
    }
}

// A new resolution that the file has no place for is refused when the IPTC
// block that brought it along is written; the block itself is in the file, and
// the image answers the block the file now holds.
TEST_F(IptcWriteBackTest, BlockWrittenWhileTheResolutionIsRefusedIsKept) {
    ZyrOldestOptions o;
    o.iptc = true;
    ASSERT_EQ(OpenBytes(ZyrOldestSample::Make(o)), 0u);
    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_RESOLUTION, reinterpret_cast<void*>(uintptr_t(240)), 1, 0, 0, 0), 0u);
    const std::vector<uint8_t> block = Caption("kept");
    EXPECT_EQ(SetIptc(block), VQ_ERR_RESOLUTION_NOT_SAVED);
    EXPECT_EQ(GetIptc(), block);
    const std::vector<uint8_t> written = ReadFileBytes(Path());
    // The same block again writes nothing; the resolution waits for the next save.
    EXPECT_EQ(SetIptc(block), 0u);
    EXPECT_EQ(ReadFileBytes(Path()), written);
    EXPECT_EQ(VqSaveProcessParameters(&info_), VQ_ERR_RESOLUTION_NOT_SAVED);
    Reopen();
    EXPECT_EQ(GetIptc(), block);
}

// A family-1 file: the open reads its IPTC block and the raw directory's
// resolution; description, IPTC and resolution written back are read by outside
// tools, and the sensor data stays byte for byte.
TEST_F(IptcWriteBackTest, FamilyOneWriteBackReadByOutsideTools) {
    ZyrSampleOptions o = Options();
    o.iptc = true;
    ZyrWriter::IfdId rawIfd = 0;
    const std::vector<uint8_t> before = Build(o, [&rawIfd](ZyrWriter& w, const ZyrSample::Ifds& d) {
        rawIfd = d.raw;
        rawimagetest::Replace(w, d.raw, 282, [&] { w.Rationals(d.raw, 282, {{120000, 1000}}); });
        rawimagetest::Replace(w, d.raw, 296, [&] { w.Shorts(d.raw, 296, {3}); });
    });
    const ZyrWriter::Layout layout = layout_;
    ASSERT_EQ(OpenBytes(before), 0u);
    const std::vector<uint8_t> stored = GetIptc();
    ASSERT_EQ(stored.size(), 64u);
    EXPECT_EQ(stored[5], 'c');
    int32_t resolution[3] = {};
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_RESOLUTION, resolution), 0u);
    EXPECT_EQ(resolution[0], 120);
    EXPECT_EQ(resolution[1], 2);
    EXPECT_EQ(resolution[2], 2);

    const std::string text = "Family one";
    ASSERT_EQ(VqSetImageDescription(&info_, uint32_t(text.size() + 1), text.c_str()), 0u);
    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_RESOLUTION, reinterpret_cast<void*>(uintptr_t(254)), 1, 0, 0, 0), 0u);
    // A shorter block is written over the old one; a longer one moves to the end.
    ASSERT_EQ(SetIptc(Caption("short one")), 0u);
    EXPECT_EQ(ReadFileBytes(Path()).size(), before.size());
    const std::vector<uint8_t> block = Caption(std::string(100, 'f') + " family one");
    ASSERT_EQ(SetIptc(block), 0u);
    ASSERT_EQ(VqSaveProcessParameters(&info_), 0u);

    const std::vector<uint8_t> after = ReadFileBytes(Path());
    ASSERT_GT(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        if (after[i] != before[i]) {
            ASSERT_LT(i, layout.headerLength) << "changed past the head at " << i;
        }
    }
    const uint32_t sensorAt = layout.strips[size_t(rawIfd)][0];
    EXPECT_TRUE(std::equal(before.begin() + sensorAt, before.end(), after.begin() + sensorAt));

    const std::string exif = RunCommand("exiftool -a -G1 -s -IPTC:Caption-Abstract -IFD0:ImageDescription "
                                     "-XResolution -ResolutionUnit '" + Path() + "' 2>&1");
    EXPECT_NE(exif.find("ffff family one"), std::string::npos) << exif;
    EXPECT_NE(exif.find("Family one"), std::string::npos) << exif;
    EXPECT_NE(exif.find("254"), std::string::npos) << exif;
    const std::string dump = RunCommand("tiffdump '" + Path() + "' 2>&1");
    EXPECT_NE(dump.find("33723"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Family one"), std::string::npos) << dump;

    Reopen();
    EXPECT_EQ(GetIptc(), block);
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_RESOLUTION, resolution), 0u);
    EXPECT_EQ(resolution[0], 254);
    EXPECT_EQ(resolution[1], 1);
    EXPECT_EQ(resolution[2], 2);
}

// A family-1 file without an IPTC entry: its SensingMethod entry is taken over
// for the block; without one, no entry can be made and nothing is written.
TEST_F(IptcWriteBackTest, FamilyOneWithoutAnEntry) {
    // The entry is written in the file's own byte order.
    for (lumora::ByteOrder order : {lumora::ByteOrder::Big, lumora::ByteOrder::Little}) {
        SCOPED_TRACE(order == lumora::ByteOrder::Big ? "big-endian" : "little-endian");
        ZyrSampleOptions spare = Options();
        spare.order = order;
        spare.sensingMethod = true;
        ASSERT_EQ(OpenBytes(Build(spare)), 0u);
        const std::vector<uint8_t> block = Caption("taken over");
        ASSERT_EQ(SetIptc(block), 0u);
        const std::string exif = RunCommand("exiftool -s -IPTC:Caption-Abstract -SensingMethod '" + Path() + "' 2>&1");
        EXPECT_NE(exif.find("taken over"), std::string::npos) << exif;
        EXPECT_EQ(exif.find("SensingMethod"), std::string::npos) << exif;
        Reopen();
        EXPECT_EQ(GetIptc(), block);

        ZyrSampleOptions none = Options();
        none.order = order;
        const std::vector<uint8_t> plain = Build(none);
        ASSERT_EQ(OpenBytes(plain), 0u);
        EXPECT_EQ(SetIptc(block), VQ_ERR_TOO_MANY_ENTRIES);
        EXPECT_EQ(ReadFileBytes(Path()), plain);
        EXPECT_TRUE(GetIptc().empty());
    }
}

// The layout record of hidden property 16 and the file size the camera lists.
TEST_F(IptcWriteBackTest, LayoutRecordOfTheOldestModels) {
    ZyrOldestOptions o;
    const std::vector<uint8_t> bytes = ZyrOldestSample::Make(o);
    ASSERT_EQ(OpenBytes(bytes), 0u);
    VqLayoutRecord r;
    std::memset(&r, 0xEE, sizeof r);
    ASSERT_EQ(VqGetHidden(&info_, 16, &r), 0u);
    EXPECT_EQ(r.fileSize, bytes.size());
    EXPECT_EQ(r.width, o.sensorWidth);
    EXPECT_EQ(r.height, o.sensorHeight);
    EXPECT_EQ(r.bytesPerSample, 1u);
    // The sensor codes lie at the data offset.
    ASSERT_LT(uint64_t(r.dataOffset) + o.sensorWidth, bytes.size());
    EXPECT_EQ(bytes[r.dataOffset], o.sensorCode);
    EXPECT_NE(r.thumbnail, nullptr);
    EXPECT_EQ(r.reserved, 0u);
    EXPECT_EQ(r.cache, nullptr);
}

} // namespace
