// The APP13 block of camera and converted JPEG files: sizes, the ResolutionInfo
// values, and exiftool reading the IPTC record and resolution back.
#include "SdkPhotoshopBlock.h"

#include <gtest/gtest.h>

#include <fstream>

#include "ShellCommand.h"
#include "TempFolder.h"
#include "ZyrCameraFile.h"

namespace {

std::vector<uint8_t> Iptc(const std::string& caption) {
    std::vector<uint8_t> v = {0x1C, 0x02, 0x78, uint8_t(caption.size() >> 8), uint8_t(caption.size())};
    v.insert(v.end(), caption.begin(), caption.end());
    return v;
}

} // namespace

TEST(SdkPhotoshopBlock, SizesAndLayout) {
    const uint32_t resolution[2] = {300, 1};
    for (uint32_t n : {0u, 100u, 101u}) {
        std::vector<uint8_t> data(n, 0x41), block;
        ASSERT_EQ(SdkBuildPhotoshopBlock(data.data(), n, resolution, 0, &block), 0u);
        const uint32_t padded = n + (n & 1);
        ASSERT_EQ(block.size(), padded + 1100u) << n;
        EXPECT_EQ(block[0], 0xFF);
        EXPECT_EQ(block[1], 0xED);
        EXPECT_EQ(uint32_t(block[2]) << 8 | block[3], block.size() - 2);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data()) + 4), "Photoshop 3.0");
        EXPECT_EQ(std::string(block.begin() + 18, block.begin() + 22), "8BIM");
        EXPECT_EQ(uint32_t(block[29]), n & 0xFF);
        // The ResolutionInfo resource follows the padded record.
        EXPECT_EQ(std::string(block.begin() + 30 + padded, block.begin() + 34 + padded), "8BIM");
        EXPECT_EQ(block[34 + padded], 0x03);
        EXPECT_EQ(block[35 + padded], 0xED);
    }
    std::vector<uint8_t> block;
    EXPECT_EQ(SdkBuildPhotoshopBlock(nullptr, 0, nullptr, 0, &block), uint32_t(VQ_ERR_BAD_HANDLE));
    EXPECT_EQ(SdkBuildResolutionResource(300, 1, nullptr), uint32_t(VQ_ERR_BAD_HANDLE));
}

TEST(SdkPhotoshopBlock, ResolutionResource) {
    struct Case {
        uint32_t value;
        int32_t unit;
        uint8_t bytes[16];
    };
    const Case cases[] = {
        {300, 1, {0x01, 0x2C, 0, 0, 0, 1, 0, 1, 0x01, 0x2C, 0, 0, 0, 1, 0, 1}},
        // 100 per centimetre is 254.0 per inch.
        {100, 2, {0x00, 0xFE, 0, 0, 0, 2, 0, 1, 0x00, 0xFE, 0, 0, 0, 2, 0, 1}},
        // 118 per centimetre: 299.72 per inch, 16.16 truncated.
        {118, 2, {0x01, 0x2B, 0xB8, 0x51, 0, 2, 0, 1, 0x01, 0x2B, 0xB8, 0x51, 0, 2, 0, 1}},
    };
    for (const Case& c : cases) {
        uint8_t out[16] = {};
        ASSERT_EQ(SdkBuildResolutionResource(c.value, c.unit, out), 0u);
        EXPECT_EQ(std::vector<uint8_t>(out, out + 16), std::vector<uint8_t>(c.bytes, c.bytes + 16)) << c.value;
    }
}

TEST(SdkPhotoshopBlock, ExiftoolReadsTheRecordAndResolution) {
    if (!lumora::test::HaveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
    lumora::test::TempFolder dir;
    std::vector<uint8_t> file = ZyrCameraFile::Compress(ZyrCameraFileOptions{});
    const uint32_t resolution[2] = {100, 2};
    const std::vector<uint8_t> iptc = Iptc("Lumora block");
    std::vector<uint8_t> block;
    ASSERT_EQ(SdkBuildPhotoshopBlock(iptc.data(), uint32_t(iptc.size()), resolution, 0, &block), 0u);
    file.insert(file.begin() + 2, block.begin(), block.end());
    const std::string path = (dir.path() / "block.jpg").string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), long(file.size()));
    const std::string out = lumora::test::RunCommand(
        "exiftool -s -s -s -IPTC:Caption-Abstract -Photoshop:XResolution -Photoshop:DisplayedUnitsX '" + path +
        "' 2>&1");
    EXPECT_EQ(out, "Lumora block\n254\ncm\n");
}
