// The white-balance file a version-3 image writes: its layout with every
// listed tag, the current triple, the refusals, names that exist, files from
// either byte order, and what tiffdump and exiftool make of it.
#include "RawImageFixture.h"

#include <filesystem>
#include <fstream>

#include "ByteView.h"
#include "RawImageV3.h"
#include "ShellCommand.h"
#include "TestFiles.h"

using namespace rawimagetest;
using lumora::ByteOrder;
using lumora::ByteView;
using lumora::test::HaveTool;
using lumora::test::RunCommand;

namespace {

class WhiteBalanceFileTest : public RawImageTest {
protected:
    static ZyrSampleOptions V3(ByteOrder order = ByteOrder::Big) {
        ZyrSampleOptions o = Options("ZYNM11");
        o.version = 0x03000000;
        o.order = order;
        return o;
    }
    // The tags the raw file must hold for the file's full layout.
    static void AllTags(ZyrWriter& w, const ZyrSample::Ifds& d) {
        w.Ascii(d.main, 315, "Lumora tests");
        for (uint16_t first : {2000, 2100, 2110})
            for (uint16_t k = 0; k < 5; ++k)
                w.Rationals(d.privateIfd, uint16_t(first + k),
                            first == 2000 ? PresetMatrix(k) : std::vector<std::pair<uint32_t, uint32_t>>{
                                                                  {k + 1u, 1}, {2, 1}, {3, 1}});
    }
    uint32_t Write(const std::string& name, const char* text) {
        VqPathRecord p{};
        path_ = (dir_.path() / name).string();
        std::strncpy(p.path, path_.c_str(), sizeof p.path - 1);
        return VqWriteWhiteBalanceFile(&info_, &p, const_cast<char*>(text));
    }
    std::vector<uint8_t> Written() const { return lumora::test::ReadFileBytes(path_); }
    static uint16_t Be16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] << 8 | b[at + 1]); }
    static uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
        return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
    }
    std::string path_;
};

TEST_F(WhiteBalanceFileTest, AllListedTagsGiveTheFullLayoutWithTheCurrentTriple) {
    ASSERT_EQ(Open(V3(), AllTags), 0u);
    ASSERT_EQ(SetBalance(1, 0, 1, 300, 400, 500), 0u);
    ASSERT_EQ(Write("BAL.WB", ""), 0u);
    const std::vector<uint8_t> b = Written();
    ASSERT_GT(b.size(), 566u);
    EXPECT_EQ(Be32(b, 4), 8u);
    EXPECT_EQ(Be16(b, 8), 8u);
    const uint16_t main[] = {270, 271, 272, 305, 306, 315, 33405, 33424};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Be16(b, 10 + 12 * size_t(i)), main[i]) << i;
    // An empty description: count 0 and nothing in its value field.
    EXPECT_EQ(Be32(b, 10 + 4), 0u);
    EXPECT_EQ(Be32(b, 10 + 8), 0u);
    EXPECT_EQ(Be32(b, 10 + 7 * 12 + 8), 110u);
    EXPECT_EQ(Be32(b, 106), 0u);
    EXPECT_EQ(Be16(b, 110), 37u);
    std::vector<uint16_t> tags;
    for (int i = 0; i < 37; ++i) tags.push_back(Be16(b, 112 + 12 * size_t(i)));
    EXPECT_EQ(tags[0], 1001);
    EXPECT_EQ(tags[1], 1036);
    EXPECT_EQ(tags[2], 2000);
    EXPECT_EQ(tags[36], 2204);
    EXPECT_EQ(Be32(b, 556), 0u);
    // The private values start one byte after the main directory's.
    const uint32_t firstPrivate = Be32(b, 112 + 8);
    const uint32_t triple = Be32(b, 112 + 12 + 8);
    EXPECT_GE(firstPrivate, 561u);
    EXPECT_EQ((std::vector<uint16_t>{Be16(b, triple), Be16(b, triple + 2), Be16(b, triple + 4)}),
              (std::vector<uint16_t>{300, 400, 500}));
}

TEST_F(WhiteBalanceFileTest, OutsideToolsReadIt) {
    if (!HaveTool("tiffdump") || !HaveTool("exiftool")) GTEST_SKIP() << "tiffdump or exiftool missing";
    ASSERT_EQ(Open(V3(ByteOrder::Little), AllTags), 0u);
    ASSERT_EQ(SetBalance(1, 0, 1, 300, 400, 500), 0u);
    ASSERT_EQ(Write("BAL.WB", "a balance"), 0u);
    const std::string dump = RunCommand("tiffdump '" + path_ + "' 2>&1");
    EXPECT_NE(dump.find("Magic: 0x4d4d <big-endian>"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Directory 0: offset 8"), std::string::npos) << dump;
    EXPECT_NE(dump.find("ImageDescription (270) ASCII (2) 9<a balance>"), std::string::npos) << dump;
    // The private directory, which tiffdump does not follow on its own.
    const std::string priv = RunCommand("tiffdump -o 110 '" + path_ + "' 2>&1");
    EXPECT_NE(priv.find("1036 (0x40c) SHORT (3) 3<300 400 500>"), std::string::npos) << priv;
    // The little-endian raw file's rationals come out big-endian.
    EXPECT_NE(priv.find("2200 (0x898) RATIONAL (5) 1<1>"), std::string::npos) << priv;
    const std::string exif = RunCommand("exiftool -validate -warning -a '" + path_ + "' 2>&1");
    EXPECT_EQ(exif.find("Error"), std::string::npos) << exif;
    EXPECT_NE(RunCommand("exiftool -s -s -s -Model '" + path_ + "' 2>&1").find("ZYNM11"), std::string::npos);
}

TEST_F(WhiteBalanceFileTest, RefusalsFollowTheBalanceAndTheCameraPreset) {
    struct Row {
        const char* what;
        uint16_t cameraPreset;
        int32_t preset;
        int32_t kind;
        uint32_t status;
    };
    const Row rows[] = {
        {"camera 4, preset 4", 4, 4, 0, 0},
        {"camera 4, preset 2", 4, 2, 0, VQ_ERR_WB_FILE_REFUSED_MODE4},
        {"camera 1, preset 1", 1, 1, 0, VQ_ERR_WB_FILE_REFUSED},
        {"custom triple", 1, 2, 1, 0},
    };
    for (const Row& r : rows) {
        ZyrSampleOptions o = V3();
        o.cameraPreset = r.cameraPreset;
        ASSERT_EQ(Open(o), 0u) << r.what;
        ASSERT_EQ(SetBalance(1, r.preset, r.kind, 100, 100, 100), 0u) << r.what;
        EXPECT_EQ(info_.whiteBalanceFileStatus, int32_t(r.status)) << r.what;
        const std::string name = "R" + std::to_string(&r - rows) + ".WB";
        EXPECT_EQ(Write(name, nullptr), r.status) << r.what;
        EXPECT_EQ(std::filesystem::exists(path_), r.status == 0) << r.what;
    }
}

TEST_F(WhiteBalanceFileTest, NamesAndExistingFiles) {
    ASSERT_EQ(Open(V3()), 0u);
    ASSERT_EQ(SetBalance(1, 0, 1, 300, 400, 500), 0u);
    EXPECT_EQ(Write("ABCDEFGH.WB", nullptr), 0u);
    EXPECT_EQ(Write("ABCDEFGHI.WB", nullptr), VQ_ERR_FILE_NAME_TOO_LONG);
    EXPECT_EQ(Write("BALANCE.TIF", nullptr), VQ_ERR_VALUE_OUT_OF_RANGE);
    EXPECT_FALSE(std::filesystem::exists(path_));
    std::ofstream(dir_.path() / "OLD.WB") << "old";
    EXPECT_EQ(Write("OLD.WB", nullptr), 80u);
    std::string kept;
    std::ifstream(path_) >> kept;
    EXPECT_EQ(kept, "old");
}

TEST_F(WhiteBalanceFileTest, MonochromeFilesWriteNone) {
    ZyrSampleOptions o = V3();
    o.colour = false;
    ASSERT_EQ(Open(o), 0u);
    EXPECT_EQ(Write("MONO.WB", nullptr), VQ_ERR_WB_FILE_NOT_ALLOWED);
    VqPathRecord p{};
    std::strncpy(p.path, path_.c_str(), sizeof p.path - 1);
    EXPECT_EQ(image_->WriteWhiteBalanceFile(p, nullptr), VQ_ERR_WB_FILE_MONO);
    EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(WhiteBalanceFileTest, MissingTagsAreLeftOutAndCounted) {
    // The sample has no Artist and no 2000..2004, 2100..2114: 7 and 22 entries.
    ASSERT_EQ(Open(V3()), 0u);
    ASSERT_EQ(SetBalance(1, 0, 1, 300, 400, 500), 0u);
    ASSERT_EQ(Write("SOME.WB", nullptr), 0u);
    const std::vector<uint8_t> b = Written();
    EXPECT_EQ(Be16(b, 8), 7u);
    const uint32_t privateAt = Be32(b, 10 + 6 * 12 + 8);
    EXPECT_EQ(privateAt, 10u + 7 * 12 + 4);
    EXPECT_EQ(Be16(b, privateAt), 22u);
    if (HaveTool("tiffdump")) {
        const std::string dump = RunCommand("tiffdump '" + path_ + "' 2>&1");
        EXPECT_EQ(dump.find("rror"), std::string::npos) << dump;
    }
}

} // namespace
