// The IPTC record file: written, read back, checked by exiftool, and the
// failures that must leave a usable record behind.
#include "IPTCNAARecord2.h"
#include "ShellCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace NimbalCore;
using lumora::test::RunCommand;
namespace fs = std::filesystem;

namespace {

class IPTCRecordFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string t = (fs::temp_directory_path() / "lumora-ipt-XXXXXX").string();
        ASSERT_NE(mkdtemp(t.data()), nullptr);
        dir_ = t;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    fs::path dir_;
};

bool Add(IPTCNAARecord2& r, int index, const std::string& value) {
    return r.AddDataset(index, reinterpret_cast<const uint8_t*>(value.data()), uint32_t(value.size()));
}

std::vector<std::string> Walk(IPTCNAARecord2& r) {
    std::vector<std::string> out;
    int index;
    const uint8_t* data;
    uint16_t length;
    for (bool more = r.GetFirstDataset(&index, &data, &length); more; more = r.GetNextDataset(&index, &data, &length))
        out.push_back(std::to_string(index) + "=" + std::string(reinterpret_cast<const char*>(data), length));
    return out;
}

bool IsResetRecord(IPTCNAARecord2& r) { return r.IsEmpty() && r.HasValidHeader() && r.GetLength() == 7; }

// A record that is 64 KiB of datasets: version, then captions, then padding
// keywords to the exact size.
std::vector<uint8_t> DatasetsOfSize(size_t total) {
    std::vector<uint8_t> b = {0x1C, 2, 0, 0, 2, 0, 3};
    while (b.size() + 5 + 2000 <= total - 5) {
        b.insert(b.end(), {0x1C, 2, 120, 2000 >> 8, 2000 & 0xFF});
        b.insert(b.end(), 2000, 'c');
    }
    const size_t rest = total - b.size() - 5;   // one last caption of the remaining length
    b.insert(b.end(), {0x1C, 2, 120, uint8_t(rest >> 8), uint8_t(rest & 0xFF)});
    b.insert(b.end(), rest, 'z');
    return b;
}

} // namespace

TEST_F(IPTCRecordFileTest, WrittenFileReadsBackToTheSameDatasets) {
    IPTCNAARecord2 r;
    r.Reset();
    Add(r, 8, "sea");
    Add(r, 8, "sun");
    Add(r, 27, "Oslo");
    Add(r, 36, "(c) Someone");
    ASSERT_TRUE(r.WriteToFile(Path("a.ipt")));
    EXPECT_EQ(fs::file_size(Path("a.ipt")), r.GetLength());
    IPTCNAARecord2 back;
    ASSERT_TRUE(back.ReadFromFile(Path("a.ipt")));
    EXPECT_EQ(Walk(back), Walk(r));
    EXPECT_TRUE(back.IsEqual(r));
}

TEST_F(IPTCRecordFileTest, FileSizeLimitAndWholeHandOn) {
    const auto bytes = DatasetsOfSize(65536);
    ASSERT_EQ(bytes.size(), 65536u);
    WriteBytes("big.ipt", bytes);
    IPTCNAARecord2 r;
    ASSERT_TRUE(r.ReadFromFile(Path("big.ipt")));
    EXPECT_EQ(r.GetLength(), 65536u);
    const uint8_t* start;
    uint32_t size;
    ASSERT_TRUE(r.GetBuffer(&start, &size));
    EXPECT_EQ(size, 65537u);
    EXPECT_EQ(std::vector<uint8_t>(start, start + 65536), bytes);
    IPTCNAARecord2 copy;
    copy = r;
    EXPECT_EQ(copy.GetLength(), 65536u);
    EXPECT_EQ(Walk(copy), Walk(r));

    auto tooBig = bytes;
    tooBig.push_back(0);
    WriteBytes("too-big.ipt", tooBig);
    EXPECT_FALSE(r.ReadFromFile(Path("too-big.ipt")));
    EXPECT_TRUE(IsResetRecord(r));
}

TEST_F(IPTCRecordFileTest, RecordGrownTo64KiBCopiesWhole) {
    IPTCNAARecord2 r;
    r.Reset();
    const std::string caption(2000, 'x');
    while (r.GetLength() < 40000) ASSERT_TRUE(Add(r, 38, caption));
    const uint8_t* start;
    uint32_t size;
    r.GetBuffer(&start, &size);
    EXPECT_EQ(size, 65536u);
    IPTCNAARecord2 copy;
    copy = r;
    EXPECT_EQ(copy.GetLength(), r.GetLength());
    EXPECT_EQ(Walk(copy).size(), Walk(r).size());
}

TEST_F(IPTCRecordFileTest, FailedReadsLeaveAResetRecord) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"version 4", {0x1C, 2, 0, 0, 2, 0, 4}},
        {"no header", {0x1C, 2, 5, 0, 1, 'a'}},
        {"empty file", {}},
        {"cut dataset", {0x1C, 2, 0, 0, 2, 0, 3, 0x1C, 2, 5, 0, 9, 'a'}},
        {"ends in 1C 02", {0x1C, 2, 0, 0, 2, 0, 3, 0x1C, 2}},
        {"too long for its dataset", {0x1C, 2, 0, 0, 2, 0, 3, 0x1C, 2, 10, 0, 2, '1', '2'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes("bad.ipt", c.bytes);
        IPTCNAARecord2 r;
        r.Reset();
        Add(r, 8, "kept?");
        EXPECT_FALSE(r.ReadFromFile(Path("bad.ipt")));
        EXPECT_TRUE(IsResetRecord(r));
    }
    IPTCNAARecord2 r;
    EXPECT_FALSE(r.ReadFromFile(Path("missing.ipt")));
    EXPECT_TRUE(IsResetRecord(r));
    EXPECT_FALSE(r.WriteToFile(Path("no-such-folder/x.ipt")));
}

TEST_F(IPTCRecordFileTest, ExiftoolEmbedsAndExtractsOurRecordFiles) {
    if (RunCommand("command -v exiftool").empty() || RunCommand("command -v raw2tiff").empty()) GTEST_SKIP() << "exiftool/raw2tiff missing";
    IPTCNAARecord2 r;
    r.Reset();
    ASSERT_TRUE(Add(r, 1, "Harbour"));
    Add(r, 8, "sea");
    Add(r, 8, "boats");
    Add(r, 27, "Bergen");
    Add(r, 36, "(c) Someone");
    ASSERT_TRUE(r.WriteToFile(Path("rec.ipt")));
    WriteBytes("pixels.raw", std::vector<uint8_t>(8 * 8, 0x80));
    RunCommand("raw2tiff -w 8 -l 8 -b 1 " + Path("pixels.raw") + " " + Path("t.tif") + " 2>&1");
    RunCommand("exiftool -q -overwrite_original \"-IPTC-NAA<=" + Path("rec.ipt") + "\" " + Path("t.tif") + " 2>&1");
    const std::string read = RunCommand("exiftool -s -IPTC:all " + Path("t.tif"));
    EXPECT_NE(read.find("ObjectName                      : Harbour"), std::string::npos) << read;
    EXPECT_NE(read.find("Keywords                        : sea, boats"), std::string::npos) << read;
    EXPECT_NE(read.find("City                            : Bergen"), std::string::npos) << read;
    EXPECT_NE(read.find("CopyrightNotice                 : (c) Someone"), std::string::npos) << read;

    // The other way: what exiftool writes, cut out as a record file.
    RunCommand("exiftool -q -overwrite_original -IPTC:Keywords=alpha -IPTC:Keywords=beta -IPTC:Headline=Storm " +
        Path("t.tif") + " 2>&1");
    RunCommand("exiftool -b -IPTC-NAA " + Path("t.tif") + " > " + Path("cut.ipt"));
    IPTCNAARecord2 cut;
    ASSERT_TRUE(cut.ReadFromFile(Path("cut.ipt")));
    const auto walked = Walk(cut);
    for (const char* expected : {"1=Harbour", "27=Bergen", "8=alpha", "8=beta", "33=Storm"})
        EXPECT_NE(std::find(walked.begin(), walked.end(), expected), walked.end()) << expected;
}
