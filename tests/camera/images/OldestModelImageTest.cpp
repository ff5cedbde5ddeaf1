// Files of the oldest models (family 0): opened through the public calls, set
// up from their stored settings block and rendered by the base renderer's own
// pipeline.
#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ImageClassFactory.h"
#include "SdkImageBase.h"
#include "SdkRenderer.h"
#include "ShellCommand.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "Vq.h"
#include "ZyrOldestSample.h"

namespace {

using lumora::vq::SdkImageBase;

SdkImageBase* gImage = nullptr;

SdkImageBase* Capture(lumora::vq::ImageClass cls, const CameraRecord* record, lumora::vq::DriverSettings* settings,
                      VqStatus* status) {
    using lumora::vq::ImageClassFactory;
    ImageClassFactory::SetCreator(nullptr);
    SdkImageBase* image = ImageClassFactory::Create(cls, record, settings, status);
    ImageClassFactory::SetCreator(Capture);
    gImage = image;
    return image;
}

class OldestModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("LUMORA_SYSTEM_DIR", dir_.path().c_str(), 1);
        SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
        const uint32_t opened = VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE);
        ASSERT_TRUE(opened == 0 || opened == VQ_ERR_DEFAULTS_KEPT) << std::hex << opened;
        lumora::vq::ImageClassFactory::SetCreator(Capture);
    }
    void TearDown() override {
        Close();
        lumora::vq::ImageClassFactory::SetCreator(nullptr);
        while (VqCloseDriver() == 0) {
        }
        ::unsetenv("LUMORA_SYSTEM_DIR");
    }
    uint32_t Open(const ZyrOldestOptions& o) {
        Close();
        path_ = (dir_.path() / ("old" + std::to_string(++files_) + ".zyr")).string();
        const std::vector<uint8_t> bytes = ZyrOldestSample::Make(o);
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        std::memset(&info_, 0, sizeof info_);
        gImage = nullptr;
        const uint32_t status = VqOpenImageFile(path_.c_str(), &info_);
        open_ = status == 0;
        return status;
    }
    void Close() {
        if (open_) VqCloseImage(&info_);
        open_ = false;
    }
    lumora::SdkRenderer* Renderer() const { return gImage ? gImage->renderer() : nullptr; }
    template <typename T>
    T Param(uint32_t id) const {
        T value;
        std::memcpy(&value, Renderer()->Parameter(id), sizeof value);
        return value;
    }
    // Renders the whole output window in one strip.
    uint32_t Render(uint32_t type, std::vector<uint8_t>& out, int16_t subsample = 1) {
        if (uint32_t s = VqSetImageType(&info_, type)) return s;
        if (uint32_t s = VqSetSubSample(&info_, subsample)) return s;
        SdkRect window{};
        VqGetOutputWindow(&info_, &window);
        out.assign(size_t(window.width) * size_t(window.height) * 8 + 64, 0xEE);
        ImageBufferRecord buffer{};
        buffer.buffer = out.data();
        buffer.bufferBytes = uint32_t(out.size());
        return VqGetImage(&info_, &buffer, nullptr);
    }

    lumora::test::TempFolder dir_;
    ImageInfoRecord info_{};
    std::string path_;
    bool open_ = false;
    int files_ = 0;
};

TEST_F(OldestModelTest, OpensWithTheRendererParametersOfItsFile) {
    ZyrOldestOptions o;
    o.unpackOffset = 12;
    ASSERT_EQ(Open(o), 0u);
    ASSERT_NE(gImage, nullptr);
    EXPECT_EQ(info_.modelFamily, 0);
    EXPECT_EQ(info_.isColour, 1);
    EXPECT_EQ(info_.imageIndex, 123);
    EXPECT_EQ(Param<int32_t>(lumora::RP_SENSOR_GROUP), 0);
    EXPECT_EQ(Param<int32_t>(lumora::RP_RAW_WIDTH), 1280);
    EXPECT_EQ(Param<int32_t>(lumora::RP_RAW_HEIGHT), 1024);
    EXPECT_EQ(Param<uint16_t>(lumora::RP_UNPACK_OFFSET), 12);
    EXPECT_EQ(Param<int32_t>(lumora::RP_UNPACK_TABLE_SIZE), 256);
    EXPECT_EQ(Param<int32_t>(lumora::RP_TONE_CURVE_SIZE), 32768);
    EXPECT_EQ(Param<int32_t>(lumora::RP_OUTPUT_CURVE_SIZE), 4096);
    // Unit-gain shading records.
    const auto poly = Param<std::array<int32_t, 5>>(lumora::RP_SHADING_POLY_1);
    EXPECT_EQ(poly[4], 0x100000);
    EXPECT_NE(Renderer()->UnpackStage(), nullptr);
    EXPECT_NE(Renderer()->Shading(), nullptr);
    EXPECT_TRUE(info_.flags & VQ_IMAGE_RAW_CLASS);
}

TEST_F(OldestModelTest, RendersEveryOutputTypeOfItsRenderer) {
    ZyrOldestOptions o;
    ASSERT_EQ(Open(o), 0u);
    struct Row {
        uint32_t type;
        VqStatus status;
    };
    const Row rows[] = {
        {VQ_TYPE_RAW, 0},          {VQ_TYPE_GRAY8, 0},        {VQ_TYPE_GRAY16, 0},       {VQ_TYPE_RGB8, 0},
        {VQ_TYPE_XRGB8, 0},        {VQ_TYPE_RGB16, 0},        {VQ_TYPE_XRGB16, 0},       {VQ_TYPE_BGR8, 0},
        {VQ_TYPE_BGRX8, 0},        {VQ_TYPE_BGR16, 0},        {VQ_TYPE_BGRX16, 0},       {VQ_TYPE_CAMERA_RGB8, 0},
        {VQ_TYPE_CAMERA_RGB16, 0}, {VQ_TYPE_CAMERA_RGB12, 0},
    };
    for (const Row& r : rows) {
        std::vector<uint8_t> out;
        EXPECT_EQ(Render(r.type, out), r.status) << r.type;
    }
    // A flat field renders flat: every pixel of an RGB8 rendering is alike.
    std::vector<uint8_t> out;
    ASSERT_EQ(Render(VQ_TYPE_RGB8, out), 0u);
    SdkRect window{};
    VqGetOutputWindow(&info_, &window);
    const size_t pixels = size_t(window.width) * size_t(window.height);
    for (size_t i = 1; i < pixels; ++i)
        ASSERT_TRUE(std::equal(out.begin() + 3 * i, out.begin() + 3 * i + 3, out.begin())) << i;
    // A half-size rendering gives the same colour.
    std::vector<uint8_t> half;
    ASSERT_EQ(Render(VQ_TYPE_RGB8, half, 2), 0u);
    EXPECT_TRUE(std::equal(half.begin(), half.begin() + 3, out.begin()));
}

TEST_F(OldestModelTest, ThumbnailRendersFromTheStoredPlanes) {
    ZyrOldestOptions o;
    ASSERT_EQ(Open(o), 0u);
    ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_RGB8), 0u);
    std::vector<uint8_t> thumb(160 * 128 * 3, 0xEE);
    ASSERT_EQ(VqGetThumbnail(&info_, thumb.data()), 0u);
    for (size_t i = 1; i < 160 * 128; ++i)
        ASSERT_TRUE(std::equal(thumb.begin() + 3 * i, thumb.begin() + 3 * i + 3, thumb.begin())) << i;
}

// Whatever type a file takes renders, colour and grey files alike, at full
// and half size, into a buffer larger than the picture; a grey file takes the
// grey and mono types only.
TEST_F(OldestModelTest, EveryTypeAFileTakesRenders) {
    for (bool colour : {true, false}) {
        SCOPED_TRACE(colour ? "colour" : "grey");
        ZyrOldestOptions o;
        o.colour = colour;
        ASSERT_EQ(Open(o), 0u);
        std::vector<uint32_t> taken;
        for (uint32_t type = 0; type <= 21; ++type) {
            if (VqSetImageType(&info_, type) != 0) continue;
            taken.push_back(type);
            // A grey file takes the mono types its renderer has no pipeline for:
            // they are refused when they render, with nothing written.
            const bool mono = type == VQ_TYPE_MONO8 || type == VQ_TYPE_MONO16;
            for (int16_t subsample : {int16_t(1), int16_t(2)}) {
                std::vector<uint8_t> out;
                EXPECT_EQ(Render(type, out, subsample), mono ? VQ_ERR_BAD_IMAGE_TYPE : 0u)
                    << "type " << type << " subsample " << subsample;
                if (mono) {
                    EXPECT_EQ(size_t(std::count(out.begin(), out.end(), 0xEE)), out.size());
                }
            }
        }
        if (!colour) {
            EXPECT_EQ(taken, (std::vector<uint32_t>{2, 3, VQ_TYPE_MONO8, VQ_TYPE_MONO16}));
        }
    }
}

TEST_F(OldestModelTest, MonochromeFileRendersGrey) {
    ZyrOldestOptions o;
    o.colour = false;
    ASSERT_EQ(Open(o), 0u);
    EXPECT_EQ(info_.isColour, 0);
    EXPECT_EQ(info_.outputType, VQ_TYPE_GRAY8);
    for (uint32_t type : {VQ_TYPE_GRAY8, VQ_TYPE_GRAY16}) {
        std::vector<uint8_t> out;
        EXPECT_EQ(Render(type, out), 0u) << type;
    }
    ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_GRAY8), 0u);
    std::vector<uint8_t> thumb(160 * 128, 0xEE);
    EXPECT_EQ(VqGetThumbnail(&info_, thumb.data()), 0u);
}

// The stored block's fallbacks and the maximum value from the table's end.
TEST_F(OldestModelTest, StoredBlockAndTableEndCases) {
    const uint16_t triple[3] = {200, 210, 220};
    const uint16_t window[4] = {20, 30, 400, 300};
    struct Row {
        const char* name;
        std::vector<uint8_t> block;
        ZyrOldestOptions::Block where;
        uint16_t lastEntry;
        bool valid;
        uint32_t type;
        float rotation;
        SdkRect window;
        int32_t look;
        uint16_t maximum;
    };
    std::vector<uint8_t> badSum = ZyrOldestSample::StoredBlock(6, 5, triple, 90, window, 1);
    badSum[0] ^= 1;
    const SdkRect active{6, 6, 1268, 1012};
    const Row rows[] = {
        {"all zero", std::vector<uint8_t>(22, 0), ZyrOldestOptions::Block::InSettingsRecords, 4095, false,
         VQ_TYPE_RGB8, 0.0f, active, 0, 4095},
        {"no block", {}, ZyrOldestOptions::Block::None, 4095, false, VQ_TYPE_RGB8, 0.0f, active, 0, 4095},
        {"valid", ZyrOldestSample::StoredBlock(6, 5, triple, 90, window, 1),
         ZyrOldestOptions::Block::InSettingsRecords, 4095, true, VQ_TYPE_RGB16, 90.0f, {20, 30, 400, 300}, 1, 4095},
        {"valid by tag 1021", ZyrOldestSample::StoredBlock(6, 5, triple, 180, window, 0),
         ZyrOldestOptions::Block::Tag1021, 4095, true, VQ_TYPE_RGB16, 180.0f, {20, 30, 400, 300}, 0, 4095},
        {"bad checksum", badSum, ZyrOldestOptions::Block::InSettingsRecords, 4095, false, VQ_TYPE_RGB8, 0.0f,
         active, 0, 4095},
        // Out of range: the defaults, but the window the block gave stays.
        {"rotation 400", ZyrOldestSample::StoredBlock(6, 5, triple, 400, window, 1),
         ZyrOldestOptions::Block::InSettingsRecords, 4095, false, VQ_TYPE_RGB8, 0.0f, {20, 30, 400, 300}, 0, 4095},
        {"rotation 45", ZyrOldestSample::StoredBlock(6, 5, triple, 45, window, 1),
         ZyrOldestOptions::Block::InSettingsRecords, 4095, false, VQ_TYPE_RGB8, 0.0f, {20, 30, 400, 300}, 0, 4095},
        {"balance type 9", ZyrOldestSample::StoredBlock(6, 9, triple, 0, window, 1),
         ZyrOldestOptions::Block::InSettingsRecords, 4095, false, VQ_TYPE_RGB8, 0.0f, {20, 30, 400, 300}, 0, 4095},
        {"window outside", ZyrOldestSample::StoredBlock(6, 5, triple, 0, {2, 30, 400, 300}, 0),
         ZyrOldestOptions::Block::InSettingsRecords, 4095, true, VQ_TYPE_RGB16, 0.0f, active, 0, 4095},
        {"table end 16383", {}, ZyrOldestOptions::Block::None, 16383, false, VQ_TYPE_RGB8, 0.0f, active, 0, 8700},
        {"table end 3000", {}, ZyrOldestOptions::Block::None, 3000, false, VQ_TYPE_RGB8, 0.0f, active, 0, 4095},
        {"table end 6000", {}, ZyrOldestOptions::Block::None, 6000, false, VQ_TYPE_RGB8, 0.0f, active, 0, 6000},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ZyrOldestOptions o;
        o.block = r.where;
        o.storedBlock = r.block;
        o.table = ZyrOldestSample::Table();
        o.table[255] = r.lastEntry;
        ASSERT_EQ(Open(o), 0u);
        EXPECT_EQ((info_.flags & VQ_IMAGE_SETTINGS_VALID) != 0, r.valid);
        EXPECT_EQ(info_.outputType, r.type);
        float rotation = -1;
        VqGetRotateType(&info_, &rotation);
        EXPECT_EQ(rotation, r.rotation);
        const SdkRect w = Param<SdkRect>(lumora::RP_OUTPUT_WINDOW);
        EXPECT_EQ(w.x, r.window.x);
        EXPECT_EQ(w.y, r.window.y);
        EXPECT_EQ(w.width, r.window.width);
        EXPECT_EQ(w.height, r.window.height);
        EXPECT_EQ(gImage->LookIndex(), r.look);
        EXPECT_EQ(gImage->MaximumValue(), r.maximum);
        uint32_t type = 0;
        uint16_t balance[3] = {};
        VqGetWhiteBalance(&info_, &type, balance);
        if (r.valid) {
            EXPECT_EQ(type, VQ_WB_CUSTOM);
            EXPECT_EQ(balance[0], 200);
            EXPECT_EQ(balance[2], 220);
        } else {
            EXPECT_EQ(type, VQ_WB_DAYLIGHT);
        }
    }
}

TEST_F(OldestModelTest, SettingsRecordsAndGroupTwoOffset) {
    ZyrOldestOptions o;
    o.records = false;
    o.block = ZyrOldestOptions::Block::None;
    ASSERT_EQ(Open(o), 0u);
    const auto poly = Param<std::array<int32_t, 5>>(lumora::RP_SHADING_POLY_2);
    EXPECT_EQ(poly[0], 0);
    EXPECT_EQ(poly[4], 0x100000);
    EXPECT_EQ(Param<uint16_t>(lumora::RP_UNPACK_OFFSET), 0);

    // A small sensor is group 2: its unpack offset is always 0.
    ZyrOldestOptions small;
    small.sensorWidth = 256;
    small.sensorHeight = 192;
    small.unpackOffset = 9;
    ASSERT_EQ(Open(small), 0u);
    EXPECT_EQ(Param<int32_t>(lumora::RP_SENSOR_GROUP), 2);
    EXPECT_EQ(Param<uint16_t>(lumora::RP_UNPACK_OFFSET), 0);
}

TEST_F(OldestModelTest, ShortExpansionTableIsRefused) {
    ZyrOldestOptions o;
    o.table.assign(100, 7);
    EXPECT_EQ(Open(o), VQ_ERR_BAD_FILE);
}

} // namespace
namespace {

// Code 100 of the stored table is 100 * 4095 / 255 = 1605. Group 0's daylight
// preset (135, 235, 80) gives gains of 235 * 256 / 135 = 445 (red), 256 (green)
// and 235 * 256 / 80 = 752 (blue) in 1/256: red 1605 * 445 / 256 = 2789, green
// 1605, blue 1605 * 752 / 256 = 4714, which the unit-gain shading limits to the
// maximum value 4095.
TEST_F(OldestModelTest, FlatFieldMatchesHandComputedValues) {
    ZyrOldestOptions o;
    ASSERT_EQ(Open(o), 0u);
    std::vector<uint8_t> out;
    // Sensor output, 8 bits: the high byte of each sample, in the mosaic.
    ASSERT_EQ(Render(VQ_TYPE_RAW, out), 0u);
    const size_t width = 1280;
    const uint8_t even[2] = {1605 >> 8, 2789 >> 8}, odd[2] = {4095 >> 8, 1605 >> 8};
    for (size_t row : {size_t(0), size_t(1), size_t(500), size_t(1023)}) {
        // The row's pair is picked into a pointer first: g++ 12 with UBSan's
        // division checks reads the wrong element of
        // `(row % 2 ? odd : even)[col % 2]`, which made a correct output fail.
        const uint8_t* pair = row % 2 ? odd : even;
        for (size_t col : {size_t(0), size_t(1), size_t(2), size_t(1279)})
            ASSERT_EQ(out[row * width + col], pair[col % 2]) << row << "," << col;
    }
    // Camera RGB, 16 bits: the linear table spreads 0 .. 4095 over 0 .. 65535.
    ASSERT_EQ(Render(VQ_TYPE_CAMERA_RGB16, out), 0u);
    auto word = [&](size_t i) { return uint16_t(out[2 * i] | out[2 * i + 1] << 8); };
    const size_t pixels = 1268 * 1012;
    for (size_t p : {size_t(0), size_t(1), pixels / 2, pixels - 1}) {
        EXPECT_EQ(word(3 * p), (2789 * 65535 + 2047) / 4095) << p; // rounded
        EXPECT_EQ(word(3 * p + 1), (1605 * 65535 + 2047) / 4095) << p;
        EXPECT_EQ(word(3 * p + 2), 65535) << p;
    }
}

} // namespace

namespace {

// White-balance sampling unpacks with the group's "none" preset (240, 240,
// 240: unit gains), so a flat field of code 100 measures 1605 in every colour.
TEST_F(OldestModelTest, CalculateWhiteBalanceMeasuresTheSensor) {
    ZyrOldestOptions o;
    ASSERT_EQ(Open(o), 0u);
    const SdkRect area{100, 100, 16, 16};
    uint16_t rgb[3] = {};
    ASSERT_EQ(VqCalculateWhiteBalance(&info_, &area, rgb), 0u);
    EXPECT_EQ(rgb[0], 1605);
    EXPECT_EQ(rgb[1], 1605);
    EXPECT_EQ(rgb[2], 1605);
    ZyrOldestOptions saturated;
    saturated.sensorCode = 255;
    ASSERT_EQ(Open(saturated), 0u);
    EXPECT_EQ(VqCalculateWhiteBalance(&info_, &area, rgb), VQ_ERR_SAMPLE_SATURATED);
}

} // namespace

namespace {

using lumora::test::ReadFileBytes;
using lumora::test::RunCommand;

// Description, resolution and settings written back change only the bytes of
// their own fields; the sensor data stays as it was.
TEST_F(OldestModelTest, WriteBackChangesOnlyItsFields) {
    ZyrOldestOptions o;
    o.resolution = true;
    o.iptc = true;
    o.description = "A123 synthetic picture";
    ASSERT_EQ(Open(o), 0u);
    const std::vector<uint8_t> before = ReadFileBytes(path_);

    // A field-length text replaces the whole field; a longer one is refused.
    const std::string text = "A777 written back here";
    ASSERT_EQ(text.size() + 1, 23u);
    EXPECT_EQ(VqSetImageDescription(&info_, 24, "A777 written back here.."), VQ_ERR_DESCRIPTION_TOO_LONG);
    ASSERT_EQ(VqSetImageDescription(&info_, uint32_t(text.size() + 1), text.c_str()), 0u);
    EXPECT_STREQ(info_.description, text.c_str());

    // Resolution: 4001 per centimetre and unit 3 are refused.
    EXPECT_EQ(VqSetExtension(&info_, VQ_EXT_RESOLUTION, reinterpret_cast<void*>(uintptr_t(4001)), 2, 0, 0, 0),
              VQ_ERR_BAD_RESOLUTION);
    EXPECT_EQ(VqSetExtension(&info_, VQ_EXT_RESOLUTION, reinterpret_cast<void*>(uintptr_t(100)), 3, 0, 0, 0),
              VQ_ERR_BAD_RESOLUTION_UNIT);
    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_RESOLUTION, reinterpret_cast<void*>(uintptr_t(240)), 1, 0, 0, 0), 0u);
    ASSERT_EQ(VqSetRotateType(&info_, 90.0f), 0u);
    ASSERT_EQ(VqSaveProcessParameters(&info_), 0u);

    // IPTC: a caption record replaces the block in place; the same block again
    // writes nothing; a word of 4 is refused.
    const uint8_t caption[] = {0x1C, 2, 120, 0, 9, 'n', 'e', 'w', ' ', 'c', 'a', 'p', 't', 'n'};
    VqIptcRecord iptc{sizeof caption, caption, 0};
    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_IPTC, &iptc, 0, 0, 0, 0), 0u);
    const std::vector<uint8_t> once = ReadFileBytes(path_);
    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_IPTC, &iptc, 0, 0, 0, 0), 0u);
    EXPECT_EQ(ReadFileBytes(path_), once);
    iptc.word = 4;
    EXPECT_EQ(VqSetExtension(&info_, VQ_EXT_IPTC, &iptc, 0, 0, 0, 0), VQ_ERR_BAD_ARGUMENT);
    VqIptcRecord kept{};
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_IPTC, &kept), 0u);
    EXPECT_EQ(kept.length, 16u);
    // (A longer block moves to the end of the file: IptcWriteBackTest.)

    const std::vector<uint8_t> after = ReadFileBytes(path_);
    ASSERT_EQ(after.size(), before.size());
    size_t first = after.size(), last = 0;
    for (size_t i = 0; i < after.size(); ++i)
        if (after[i] != before[i]) {
            first = std::min(first, i);
            last = i;
        }
    // Everything that changed lies in the head; the sensor data is untouched.
    EXPECT_LT(last, 2048u);
    EXPECT_LT(first, last);
    const std::string dump = RunCommand("tiffdump '" + path_ + "' 2>&1");
    EXPECT_NE(dump.find("A777 written back here"), std::string::npos) << dump;
    const std::string exif =
        RunCommand("exiftool -s -s -s -IFD0:ImageDescription -IPTC:Caption-Abstract -XResolution '" + path_ + "' 2>&1");
    EXPECT_NE(exif.find("A777 written back here"), std::string::npos) << exif;
    EXPECT_NE(exif.find("new captn"), std::string::npos) << exif;
    EXPECT_NE(exif.find("240"), std::string::npos) << exif;

    // The stored block now holds the rotation: a reopened file comes back turned.
    Close();
    ASSERT_EQ(VqOpenImageFile(path_.c_str(), &info_), 0u);
    open_ = true;
    float rotation = 0;
    VqGetRotateType(&info_, &rotation);
    EXPECT_EQ(rotation, 90.0f);
    int32_t resolution[3] = {};
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_RESOLUTION, resolution), 0u);
    EXPECT_EQ(resolution[0], 240);
    EXPECT_EQ(resolution[1], 1);
    EXPECT_EQ(resolution[2], 2);

    // Nothing changed: the file is not written again.
    const std::vector<uint8_t> settled = ReadFileBytes(path_);
    ASSERT_EQ(VqSaveProcessParameters(&info_), 0u);
    EXPECT_EQ(ReadFileBytes(path_), settled);
}

TEST_F(OldestModelTest, WriteBackWithoutAPlaceRefuses) {
    ZyrOldestOptions o;
    o.block = ZyrOldestOptions::Block::None;
    o.records = false;
    ASSERT_EQ(Open(o), 0u);
    ASSERT_EQ(VqSetRotateType(&info_, 90.0f), 0u);
    EXPECT_EQ(VqSaveProcessParameters(&info_), VQ_ERR_NO_SETTINGS_RECORD);
    EXPECT_EQ(ReadFileBytes(path_), ZyrOldestSample::Make(o));
    // No resolution fields: nowhere to write a new value.
    ZyrOldestOptions plain;
    ASSERT_EQ(Open(plain), 0u);
    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_RESOLUTION, reinterpret_cast<void*>(uintptr_t(240)), 1, 0, 0, 0), 0u);
    EXPECT_EQ(VqSaveProcessParameters(&info_), VQ_ERR_RESOLUTION_NOT_SAVED);
    int32_t resolution[3] = {};
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_RESOLUTION, resolution), 0u);
    EXPECT_EQ(resolution[0], 300);
}

} // namespace

namespace {

size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

} // namespace

TEST(OldestModelHead, PlanesThatCannotBeReadReserveNothing) {
    // A head whose thumbnail planes claim about 1.5 GB, parsed with no
    // camera to read them from: refused before anything is reserved.
    const char* data = std::getenv("LUMORA_TEST_DATA");
    ASSERT_NE(data, nullptr);
    const std::vector<uint8_t> bytes =
        lumora::test::ReadFileBytes(std::string(data) + "/fuzz/ImageHeadFuzz/thumbnail-planes-too-large.bin");
    ASSERT_FALSE(bytes.empty());
    SdkImageBase probe(nullptr, nullptr);
    for (int resources = 0; resources < 2; ++resources) probe.ScanJpegMarkers(bytes.data(), uint32_t(bytes.size()), resources);
    const uint32_t offset = probe.tiffOffset() <= bytes.size() ? probe.tiffOffset() : 0;
    SdkImageBase image(nullptr, nullptr);
    const size_t before = HeapInUse();
    EXPECT_NE(image.ParseHeader(bytes.data() + offset, uint32_t(bytes.size() - offset)), 0u);
    EXPECT_LT(HeapInUse() - std::min(HeapInUse(), before), size_t(64) << 20);
}
