// VqConvertToJPEG: sizes, contents checked by djpeg and exiftool, the image's
// settings put back, and files left alone or removed on failure.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <cstring>
#include <map>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <iterator>

#include "JpegConverter.h"
#include "JpegQuantTables.h"
#include "RawImageFixture.h"
#include "ShellCommand.h"
#include "TestFiles.h"
#include "ZyrCameraFile.h"

using namespace lumora::vq;
using namespace rawimagetest;

namespace {

class JpegConversion : public RawImageTest {
protected:
    std::vector<uint8_t> strip_ = std::vector<uint8_t>(64 * 1024);

    uint32_t Convert(const std::string& path, int32_t size, int32_t quality, int32_t overwrite = 0,
                     uint32_t bufferBytes = 0, ProgressRecord* progress = nullptr) {
        VqPathRecord p{};
        std::snprintf(p.path, sizeof p.path, "%s", path.c_str());
        ImageBufferRecord buffer{};
        buffer.buffer = strip_.data();
        buffer.bufferBytes = bufferBytes ? bufferBytes : uint32_t(strip_.size());
        JpegOptionsRecord options{size, quality, 0, 1, overwrite};
        return VqConvertToJPEG(&info_, &p, &buffer, progress, &options);
    }
    std::string Out(const std::string& name) const { return (dir_.path() / name).string(); }
    static std::vector<uint8_t> Bytes(const std::string& path) { return lumora::test::ReadFileBytes(path); }
    static std::string Tool(const std::string& command) { return lumora::test::RunCommand(command + " 2>&1"); }
};

} // namespace

TEST_F(JpegConversion, EachSizeGivesItsDimensionsAndTheImageIsPutBack) {
    if (!lumora::test::HaveTool("djpeg")) GTEST_SKIP() << "djpeg is not installed";
    ZyrSampleOptions o = Options();
    o.sensorWidth = 304; // active 300 x 200 inside margins of 2
    o.sensorHeight = 204;
    ASSERT_EQ(Open(o), 0u);
    ASSERT_EQ(VqSetSubSample(&info_, 2), 0u);
    ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_RGB16), 0u);
    ASSERT_EQ(VqSetImagePadBytes(&info_, 3), 0u);
    ASSERT_EQ(VqSetSubSample(&info_, 1), 0u);
    struct Case {
        int32_t size;
        const char* dims;
    };
    for (const Case& c : {Case{0, "300 200"}, Case{1, "200 132"}, Case{2, "150 100"}}) {
        const std::string path = Out("size" + std::to_string(c.size) + ".jpg");
        ASSERT_EQ(Convert(path, c.size, 1), 0u) << c.size;
        const std::string header = Tool("djpeg -pnm '" + path + "' | head -c 20");
        EXPECT_EQ(header.substr(0, 3), "P6\n") << c.size;
        EXPECT_NE(header.find(std::string(c.dims) + "\n"), std::string::npos) << header;
        const std::vector<uint8_t> bytes = Bytes(path);
        ASSERT_GT(bytes.size(), 20u);
        // SOI, then the JFIF APP0 segment.
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4), (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0}));
        uint32_t type = 0;
        int16_t subsample = 0;
        uint8_t pad = 0;
        ASSERT_EQ(VqGetImageType(&info_, &type), 0u);
        ASSERT_EQ(VqGetSubSample(&info_, &subsample), 0u);
        ASSERT_EQ(VqGetImagePadBytes(&info_, &pad), 0u);
        EXPECT_EQ(type, uint32_t(VQ_TYPE_RGB16));
        EXPECT_EQ(subsample, 1);
        EXPECT_EQ(pad, 3);
    }
    // Grey output gives a one-component file.
    ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_GRAY8), 0u);
    ASSERT_EQ(Convert(Out("grey.jpg"), 0, 0), 0u);
    EXPECT_EQ(Tool("djpeg -pnm '" + Out("grey.jpg") + "' | head -c 2"), "P5");
}

TEST_F(JpegConversion, FullSizePixelsFollowTheRendering) {
    if (!lumora::test::HaveTool("djpeg")) GTEST_SKIP() << "djpeg is not installed";
    ASSERT_EQ(Open(Options()), 0u);
    ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_RGB8), 0u);
    std::vector<uint8_t> rendered(size_t(info_.geometry.outputBytes));
    ImageBufferRecord rec{};
    rec.buffer = rendered.data();
    rec.bufferBytes = uint32_t(rendered.size());
    ASSERT_EQ(VqGetImage(&info_, &rec, nullptr), 0u);
    // Small strips: many callbacks, the same file.
    ASSERT_EQ(Convert(Out("small.jpg"), 0, 0, 0, 60 * 3 * 24), 0u);
    ASSERT_EQ(Convert(Out("large.jpg"), 0, 0), 0u);
    EXPECT_EQ(Bytes(Out("small.jpg")), Bytes(Out("large.jpg")));
    const std::string pnm = Tool("djpeg -pnm '" + Out("large.jpg") + "'");
    const std::vector<uint8_t> decoded(pnm.end() - long(rendered.size()), pnm.end());
    int far = 0;
    for (size_t i = 0; i < rendered.size(); ++i) far += std::abs(int(decoded[i]) - int(rendered[i])) > 24;
    EXPECT_LT(far, int(rendered.size() / 50)) << "the finest quality keeps the picture";
}

TEST_F(JpegConversion, CameraJpegWithIptcCarriesItsRecordAndDensity) {
    if (!lumora::test::HaveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
    ZyrCameraFileOptions o;
    o.iptc = {0x1C, 0x02, 0x78, 0x00, 0x07, 'C', 'a', 'p', 't', 'i', 'o', 'n'};
    ASSERT_EQ(OpenBytes(ZyrCameraFile::Make(o)), 0u);
    // Camera JPEG files convert only when the caller allows it.
    EXPECT_EQ(Convert(Out("refused.jpg"), 0, 0), uint32_t(VQ_ERR_JPEG_FROM_JPEG_FILE));
    EXPECT_FALSE(std::ifstream(Out("refused.jpg")).good());
    ASSERT_EQ(VqSetHidden(&info_, 17, reinterpret_cast<void*>(uintptr_t(1))), 0u);
    ASSERT_EQ(Convert(Out("iptc.jpg"), 2, 2), 0u);
    EXPECT_EQ(Tool("exiftool -s -s -s -IPTC:Caption-Abstract -JFIF:XResolution -JFIF:ResolutionUnit '" +
                   Out("iptc.jpg") + "'"),
              "Caption\n300\ninches\n");
}

TEST_F(JpegConversion, RefusalsLeaveFilesAndImageAsTheyWere) {
    ASSERT_EQ(Open(Options()), 0u);
    const std::string existing = Out("existing.jpg");
    std::ofstream(existing, std::ios::binary) << "keep me";
    EXPECT_NE(Convert(existing, 0, 0, 0), 0u);
    EXPECT_EQ(Bytes(existing), (std::vector<uint8_t>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
    // A replacing conversion that fails (the rendering is stopped) keeps the
    // file it was to replace and leaves nothing beside it.
    ProgressRecord stop{[](int32_t, int32_t, int32_t, int32_t) -> int32_t { return 0; }, 0};
    EXPECT_EQ(Convert(existing, 0, 0, 1, 0, &stop), uint32_t(VQ_ERR_CANCELLED));
    EXPECT_EQ(Bytes(existing), (std::vector<uint8_t>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1 + files_);
    EXPECT_EQ(Convert(existing, 0, 0, 1), 0u);
    EXPECT_NE(Bytes(existing).size(), 7u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1 + files_);

    uint32_t before = 0;
    ASSERT_EQ(VqGetImageType(&info_, &before), 0u);
    for (auto [size, quality] : {std::pair{3, 0}, std::pair{0, 3}, std::pair{-1, 0}}) {
        EXPECT_EQ(Convert(Out("bad.jpg"), size, quality), uint32_t(VQ_ERR_JPEG_BAD_QUALITY));
        EXPECT_FALSE(std::ifstream(Out("bad.jpg")).good());
    }
    // A strip buffer that cannot hold one scaling group and the two spare rows.
    EXPECT_EQ(Convert(Out("small.jpg"), 1, 0, 0, 60 * 3 * 4), uint32_t(VQ_ERR_JPEG_BUFFER_TOO_SMALL));
    EXPECT_FALSE(std::ifstream(Out("small.jpg")).good());
    uint32_t after = 0;
    ASSERT_EQ(VqGetImageType(&info_, &after), 0u);
    EXPECT_EQ(after, before);
    JpegOptionsRecord options{};
    ImageBufferRecord buffer{};
    VqPathRecord path{};
    EXPECT_EQ(VqConvertToJPEG(nullptr, &path, &buffer, nullptr, &options), uint32_t(VQ_ERR_NULL_IMAGE_RECORD));
    EXPECT_EQ(VqConvertToJPEG(&info_, &path, &buffer, nullptr, nullptr), uint32_t(VQ_ERR_BAD_HANDLE));
}

// The scaling arithmetic on a 3 x 3 (two thirds) and a 2 x 2 (half) group,
// worked out by hand, truncating.
TEST(JpegConverterScaling, GroupsBecomeTheirMeans) {
    // Colour, one component shown per pixel value; all three components alike
    // except the blue, which is the value + 1.
    const uint8_t grid[9] = {10, 20, 31, 40, 50, 61, 70, 81, 90};
    std::vector<uint8_t> in;
    for (uint8_t v : grid) in.insert(in.end(), {v, v, uint8_t(v + 1)});
    std::vector<uint8_t> out(12);
    JpegConverter::ScaleTwoThirds(in.data(), out.data(), 3, 3, 3);
    // top-left (0,0); top-right mean of (0,1),(0,2); bottom-left mean of (1,0),(2,0);
    // bottom-right mean of (1,1),(1,2),(2,1),(2,2).
    EXPECT_EQ(out, (std::vector<uint8_t>{10, 10, 11, 25, 25, 26, 55, 55, 56, 70, 70, 71}));

    std::vector<uint8_t> grey(4);
    JpegConverter::ScaleTwoThirds(grid, grey.data(), 3, 3, 1);
    // top row (0,0), (0,1); bottom row means of (1,0),(2,0) and (1,1),(2,1).
    EXPECT_EQ(grey, (std::vector<uint8_t>{10, 20, 55, 65}));

    const uint8_t block[4 * 3] = {10, 0, 255, 21, 0, 255, 30, 1, 255, 41, 2, 254};
    std::vector<uint8_t> half(3);
    JpegConverter::ScaleHalf(block, half.data(), 2, 2, 3);
    EXPECT_EQ(half, (std::vector<uint8_t>{25, 0, 254}));
    const uint8_t greyBlock[4] = {10, 99, 31, 0};
    std::vector<uint8_t> halfGrey(1);
    JpegConverter::ScaleHalf(greyBlock, halfGrey.data(), 2, 2, 1);
    EXPECT_EQ(halfGrey, (std::vector<uint8_t>{20})); // mean of (0,0) and (1,0)
}

namespace {

// The quantisation tables of a JPEG file in natural order, as djpeg reports
// them: table number, then its 64 values.
std::map<int, std::vector<int>> DjpegTables(const std::string& path) {
    std::istringstream in(lumora::test::RunCommand("djpeg -verbose -verbose '" + path + "' 2>&1 >/dev/null"));
    std::map<int, std::vector<int>> tables;
    std::string line;
    int current = -1;
    while (std::getline(in, line)) {
        const size_t at = line.find("Define Quantization Table ");
        if (at != std::string::npos) {
            current = std::atoi(line.c_str() + at + 26);
            continue;
        }
        std::istringstream row(line);
        int v = 0;
        std::vector<int> values;
        while (row >> v) values.push_back(v);
        if (current >= 0 && values.size() == 8 && line.find_first_not_of(" 0123456789") == std::string::npos)
            tables[current].insert(tables[current].end(), values.begin(), values.end());
        else if (!values.empty() || line.find_first_not_of(' ') != std::string::npos)
            current = -1;
    }
    return tables;
}

std::vector<int> FirstRow(const std::vector<int>& table) {
    return table.size() >= 8 ? std::vector<int>(table.begin(), table.begin() + 8) : std::vector<int>{};
}

} // namespace

// The built-in tables by model, size and quality, as the written file carries
// them; the newer models' coarsest full-size entry is the common "quality 50".
TEST_F(JpegConversion, QuantisationTablesFollowTheModel) {
    if (!lumora::test::HaveTool("djpeg") || !lumora::test::HaveTool("cjpeg")) GTEST_SKIP() << "no djpeg or cjpeg";
    struct Case {
        const char* model;
        int32_t size, quality;
        std::vector<int> firstRow; // of table 0
        bool oneTable;             // table 1 equals table 0
    };
    const Case cases[] = {
        {"ZYNM02", 0, 0, {6, 6, 6, 6, 7, 9, 11, 14}, true},
        {"ZYNM11", 0, 0, {3, 3, 3, 3, 4, 3, 3, 3}, false},
        {"ZYNM11", 0, 2, {16, 11, 10, 16, 24, 40, 51, 61}, false},
        {"ZYNM18", 1, 1, {}, true},
    };
    for (const Case& c : cases) {
        ZyrCameraFileOptions o;
        o.model = c.model;
        ASSERT_EQ(OpenBytes(ZyrCameraFile::Make(o)), 0u) << c.model;
        ASSERT_EQ(VqSetHidden(&info_, 17, reinterpret_cast<void*>(uintptr_t(1))), 0u);
        const std::string out = Out(std::string(c.model) + "-" + std::to_string(c.size) + std::to_string(c.quality) +
                                    ".jpg");
        ASSERT_EQ(Convert(out, c.size, c.quality), 0u) << c.model;
        const auto tables = DjpegTables(out);
        ASSERT_EQ(tables.size(), 2u) << c.model;
        ASSERT_EQ(tables.at(0).size(), 64u);
        if (!c.firstRow.empty()) {
            EXPECT_EQ(FirstRow(tables.at(0)), c.firstRow) << c.model;
        }
        EXPECT_EQ(tables.at(0) == tables.at(1), c.oneTable) << c.model;
    }
    // The coarsest full-size entry of the newer models is what cjpeg writes
    // for "-quality 50".
    const std::string ppm = Out("same.ppm"), reference = Out("reference.jpg");
    {
        std::ofstream(ppm, std::ios::binary) << "P6\n16 16\n255\n" << std::string(16 * 16 * 3, char(90));
    }
    lumora::test::RunCommand("cjpeg -quality 50 -outfile '" + reference + "' '" + ppm + "'");
    EXPECT_EQ(DjpegTables(reference), DjpegTables(Out("ZYNM11-02.jpg")));
}

// Each size's qualities get coarser from 0 to 2 once the quality number's
// scaling is applied, in every set; one-table sets use a table for both.
TEST(JpegQuantTables, QualityZeroIsTheFinestOfEverySize) {
    for (int32_t model : {2, 18, 11}) {
        for (int32_t size = 0; size < 3; ++size) {
            long previous = -1;
            for (int32_t quality = 0; quality < 3; ++quality) {
                const JpegQuantTables t = JpegQuantTables::BuiltIn(model, size, quality);
                const int scale = jpeg_quality_scaling(t.qualityNumber);
                long sum = 0;
                for (uint32_t i = 0; i < JpegQuantTables::kTableBytes; ++i)
                    sum += std::clamp((long(t.luminance[i]) * scale + 50) / 100, 1L, 255L) +
                           std::clamp((long(t.chrominance[i]) * scale + 50) / 100, 1L, 255L);
                EXPECT_GT(sum, previous) << model << " " << size << " " << quality;
                previous = sum;
                if (model != 11) {
                    EXPECT_EQ(std::memcmp(t.luminance, t.chrominance, JpegQuantTables::kTableBytes), 0) << model;
                }
            }
        }
    }
    // The camera's records by size and quality.
    EXPECT_EQ(JpegQuantTables::CameraTag(0, 0), 3135);
    EXPECT_EQ(JpegQuantTables::CameraTag(1, 1), 3137);
    EXPECT_EQ(JpegQuantTables::CameraTag(2, 2), 3139);
}

// A camera's record is used only when it holds at least the luminance table
// and is not longer than a record is; without the chrominance table the
// luminance table serves both.
TEST(JpegQuantTables, CameraRecordsOfEachLength) {
    std::vector<uint8_t> record(140);
    for (size_t i = 0; i < record.size(); ++i) record[i] = uint8_t(i);
    struct Case {
        uint32_t length;
        bool used;
        uint8_t chrominanceFirst;
    };
    const Case cases[] = {{0, false, 0}, {65, false, 0}, {66, true, 2}, {129, true, 2}, {130, true, 66},
                          {131, false, 0}};
    for (const Case& c : cases) {
        JpegQuantTables t{};
        EXPECT_EQ(JpegQuantTables::FromCameraRecord(record.data(), c.length, &t), c.used) << c.length;
        if (!c.used) continue;
        EXPECT_EQ(t.qualityNumber, 1) << c.length;
        EXPECT_EQ(t.luminance[0], 2) << c.length;
        EXPECT_EQ(t.luminance[63], 65) << c.length;
        EXPECT_EQ(t.chrominance[0], c.chrominanceFirst) << c.length;
    }
}

// The converted file takes the date and time of the image's file unless the
// caller keeps the time of writing.
TEST_F(JpegConversion, TheFileTakesTheDateOfTheImagesFile) {
    if (!lumora::test::HaveTool("djpeg")) GTEST_SKIP() << "djpeg is not installed";
    const std::vector<uint8_t> bytes = Build(Options());
    const std::string source = Out("dated.zyr");
    std::ofstream(source, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    // 2021-06-01 12:34:56 UTC, a whole number of two-second steps.
    const std::time_t stamp = 1622550896;
    const timespec times[2] = {{stamp, 0}, {stamp, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    Close();
    ASSERT_EQ(VqOpenImageFile(source.c_str(), &info_), 0u);
    open_ = true;
    for (int32_t keep : {0, 1}) {
        const std::string out = Out("dated" + std::to_string(keep) + ".jpg");
        VqPathRecord p{};
        std::snprintf(p.path, sizeof p.path, "%s", out.c_str());
        ImageBufferRecord buffer{};
        buffer.buffer = strip_.data();
        buffer.bufferBytes = uint32_t(strip_.size());
        JpegOptionsRecord options{0, 0, 0, keep, 0};
        ASSERT_EQ(VqConvertToJPEG(&info_, &p, &buffer, nullptr, &options), 0u) << keep;
        struct stat st {};
        ASSERT_EQ(::stat(out.c_str(), &st), 0);
        if (keep) EXPECT_GT(st.st_mtime, stamp + 86400) << "the time of writing";
        else EXPECT_EQ(st.st_mtime, stamp);
    }
}
