// The settings record a raw file keeps (tag 1021): its byte layout, what an open
// restores from it and what VqSaveProcessParameters writes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "RawImageFixture.h"
#include "SdkCamera.h"
#include "StoredSettingsRecord.h"
#include "TestFiles.h"

using lumora::vq::StoredSettingsRecord;
using namespace rawimagetest;

TEST(StoredSettingsRecord, ProcessBlockLayoutAndValidity) {
    StoredSettingsRecord::ProcessBlock b;
    b.outputType = 6;
    b.balanceCode = 5;
    b.red = 0x1234;
    b.rotation = 270;
    b.windowWidth = 0x0102;
    b.exposure = -15000; // -1.5 stops
    b.chroma = 100;
    uint8_t bytes[34];
    StoredSettingsRecord::EncodeProcessBlock(b, bytes);
    EXPECT_EQ(bytes[1], 3);
    EXPECT_EQ(bytes[2], 6);
    EXPECT_EQ(bytes[3], 5);
    EXPECT_EQ(bytes[4], 0x12);
    EXPECT_EQ(bytes[5], 0x34);
    EXPECT_EQ(bytes[10], 0x01);
    EXPECT_EQ(bytes[11], 0x0E);
    EXPECT_EQ(bytes[16], 0x01);
    EXPECT_EQ(bytes[17], 0x02);
    EXPECT_EQ(bytes[30], 0xC5);
    EXPECT_EQ(bytes[31], 0x68);
    EXPECT_EQ(bytes[32], 100);
    EXPECT_EQ(bytes[0], StoredSettingsRecord::Checksum(bytes, 34));

    StoredSettingsRecord::ProcessBlock back;
    EXPECT_TRUE(StoredSettingsRecord::DecodeProcessBlock(bytes, &back));
    EXPECT_EQ(back.exposure, -15000);
    EXPECT_EQ(back.rotation, 270);
    bytes[0] ^= 1;
    EXPECT_FALSE(StoredSettingsRecord::DecodeProcessBlock(bytes, &back));
    // All zero matches its checksum of 0 and is still no record.
    uint8_t zeros[34] = {};
    EXPECT_FALSE(StoredSettingsRecord::DecodeProcessBlock(zeros, &back));
}

TEST(StoredSettingsRecord, SettingsBlockLayout) {
    const uint32_t triple[3] = {5, 10, 0x01020304};
    uint8_t bytes[24];
    ASSERT_EQ(StoredSettingsRecord::MakeSettingsBlock(0xA1B2C3D4, triple, bytes), 0u);
    const uint8_t expected[24] = {0,    2,    24, 0, 0xA1, 0xB2, 0xC3, 0xD4, 0, 0, 0, 5,
                                  0,    0,    0,  10, 1,   2,    3,    4,    0, 0, 0, 0};
    for (int i = 1; i < 24; ++i) EXPECT_EQ(bytes[i], expected[i]) << i;
    EXPECT_EQ(bytes[0], StoredSettingsRecord::Checksum(bytes, 24));
    uint32_t word = 0, back[3] = {};
    bool hasTriple = false;
    ASSERT_EQ(StoredSettingsRecord::ReadSettingsBlock(bytes, &word, back, &hasTriple), 0u);
    EXPECT_EQ(word, 0xA1B2C3D4u);
    EXPECT_TRUE(hasTriple);
    EXPECT_EQ(back[2], 0x01020304u);
    bytes[2] = 8; // a short block has no triple
    ASSERT_EQ(StoredSettingsRecord::ReadSettingsBlock(bytes, &word, back, &hasTriple), 0u);
    EXPECT_FALSE(hasTriple);
    EXPECT_EQ(StoredSettingsRecord::ReadSettingsBlock(nullptr, &word, back, &hasTriple), VQ_ERR_BAD_HANDLE);
    EXPECT_EQ(word, 0u);
}

namespace {

class StoredSettings : public RawImageTest {
protected:
    std::string Path() const { return (dir_.path() / ("raw" + std::to_string(files_) + ".zyr")).string(); }
    std::vector<uint8_t> FileBytes() const { return lumora::test::ReadFileBytes(Path()); }
    std::vector<uint8_t> RecordBytes(uint32_t offset) const {
        const std::vector<uint8_t> f = FileBytes();
        return {f.begin() + offset, f.begin() + offset + 58};
    }
    void Poke(uint32_t at, uint8_t value) const {
        std::fstream f(Path(), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(at);
        f.put(char(value));
    }
    struct Settings {
        uint32_t type = 0;
        float rotation = 0;
        SdkRect window{};
        VqWhiteBalanceMode balance{};
        VqExposureRecord exposure{};
        uint32_t flags = 0;
    };
    Settings Read() {
        Settings s;
        VqGetImageType(&info_, &s.type);
        VqGetRotateType(&info_, &s.rotation);
        VqGetOutputWindow(&info_, &s.window);
        VqGetExtension(&info_, VQ_EXT_WHITE_BALANCE, &s.balance);
        VqGetExtension(&info_, VQ_EXT_EXPOSURE, &s.exposure);
        s.flags = info_.flags;
        return s;
    }
};

} // namespace

TEST_F(StoredSettings, SavedSettingsComeBackAtOpenAndASecondSaveWritesNothing) {
    ASSERT_EQ(Open(Options()), 0u);
    // The sample's record is all zero: no settings, defaults apply.
    EXPECT_EQ(info_.flags & VQ_IMAGE_SETTINGS_VALID, 0u);
    const uint32_t offset = image_->storedSettingsOffset();
    ASSERT_NE(offset, 0u);

    ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_RGB16), 0u);
    ASSERT_EQ(VqSetRotateType(&info_, 90.0f), 0u);
    const SdkRect window{4, 6, 20, 30}; // in the turned picture
    ASSERT_EQ(VqSetOutputWindow(&info_, &window), 0u);
    ASSERT_EQ(SetBalance(1, 0, 1, 300, 200, 100), 0u);
    ASSERT_EQ(SetExposure(-1.5f), 0u);
    const Settings before = Read();
    ASSERT_EQ(VqSaveProcessParameters(&info_), 0u);

    const std::vector<uint8_t> r = RecordBytes(offset);
    EXPECT_EQ(r[1], 3);                  // version
    EXPECT_EQ(r[2], VQ_TYPE_RGB16);
    EXPECT_EQ(r[4] << 8 | r[5], 300);    // the custom triple
    EXPECT_EQ(r[6] << 8 | r[7], 200);
    EXPECT_EQ(r[8] << 8 | r[9], 100);
    EXPECT_EQ(r[10] << 8 | r[11], 90);   // rotation
    EXPECT_EQ(r[30], 0xC5);              // -1.5 stops as -15000
    EXPECT_EQ(r[31], 0x68);
    EXPECT_EQ(r[0], StoredSettingsRecord::Checksum(r.data(), 34));
    EXPECT_EQ(r[35], 2);                 // the settings block
    EXPECT_EQ(r[36], 24);
    EXPECT_EQ(r[34], StoredSettingsRecord::Checksum(r.data() + 34, 24));
    SdkRect sensorWindow{};
    image_->GetOutputWindow(&sensorWindow);
    EXPECT_EQ(r[12] << 8 | r[13], sensorWindow.x);
    EXPECT_EQ(r[16] << 8 | r[17], sensorWindow.width);
    EXPECT_EQ(r[18] << 8 | r[19], sensorWindow.height);

    // Nothing changed: the second save must not write. A marker put into the
    // record's unused byte behind the image's back shows whether it did.
    const std::vector<uint8_t> saved = FileBytes();
    Poke(offset + 33, 0x5A);
    EXPECT_EQ(VqSaveProcessParameters(&info_), 0u);
    EXPECT_EQ(FileBytes()[offset + 33], 0x5A);
    Poke(offset + 33, 0);
    EXPECT_EQ(FileBytes(), saved);

    // Reopening gives the same settings.
    const std::vector<uint8_t> bytes = FileBytes();
    ASSERT_EQ(OpenBytes(bytes), 0u);
    const Settings after = Read();
    EXPECT_NE(after.flags & VQ_IMAGE_SETTINGS_VALID, 0u);
    EXPECT_EQ(after.type, before.type);
    EXPECT_EQ(after.rotation, before.rotation);
    EXPECT_EQ(std::memcmp(&after.window, &before.window, sizeof window), 0);
    EXPECT_EQ(after.balance.mode, before.balance.mode);
    EXPECT_EQ(after.balance.kind, before.balance.kind);
    EXPECT_EQ(after.balance.r, before.balance.r);
    EXPECT_EQ(after.balance.g, before.balance.g);
    EXPECT_EQ(after.balance.b, before.balance.b);
    EXPECT_FLOAT_EQ(after.exposure.stops, before.exposure.stops);
    // And a save right after the reopen has nothing to write.
    Poke(offset + 33, 0x5A);
    EXPECT_EQ(VqSaveProcessParameters(&info_), 0u);
    EXPECT_EQ(FileBytes()[offset + 33], 0x5A);
}

TEST_F(StoredSettings, RecordsThatCannotBeUsedLeaveTheDefaults) {
    auto withRecord = [&](std::function<void(std::vector<uint8_t>&)> change) {
        return [change](ZyrWriter& w, const ZyrSample::Ifds& d) {
            StoredSettingsRecord::ProcessBlock b;
            b.outputType = VQ_TYPE_RGB16;
            b.balanceCode = 1;
            b.rotation = 180;
            std::vector<uint8_t> bytes(58, 0);
            StoredSettingsRecord::EncodeProcessBlock(b, bytes.data());
            const uint32_t triple[3] = {0, 0, 0};
            StoredSettingsRecord::MakeSettingsBlock(0, triple, bytes.data() + 34);
            change(bytes);
            bytes[0] = StoredSettingsRecord::Checksum(bytes.data(), 34);
            w.Remove(d.privateIfd, 1021);
            w.Bytes(d.privateIfd, 1021, 7, bytes);
        };
    };
    // A good record first, so the cases below are known to differ by one thing.
    ASSERT_EQ(Open(Options(), withRecord([](std::vector<uint8_t>&) {})), 0u);
    EXPECT_EQ(Read().type, VQ_TYPE_RGB16);
    EXPECT_EQ(Read().rotation, 180.0f);

    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> change;
        uint32_t type;
        float rotation;
        bool valid;
    };
    const Case cases[] = {
        {"rotation 360 reads as 0", [](std::vector<uint8_t>& b) { b[10] = 1, b[11] = 0x68; }, VQ_TYPE_RGB16, 0.0f, true},
        {"unknown version", [](std::vector<uint8_t>& b) { b[1] = 7; }, VQ_TYPE_RGB8, 0.0f, false},
        {"type above 16", [](std::vector<uint8_t>& b) { b[2] = 17; }, VQ_TYPE_RGB8, 0.0f, false},
        {"balance code above 9", [](std::vector<uint8_t>& b) { b[3] = 10; }, VQ_TYPE_RGB8, 0.0f, false},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Open(Options(), withRecord(c.change)), 0u) << c.what;
        const Settings s = Read();
        EXPECT_EQ(s.type, c.type) << c.what;
        EXPECT_EQ(s.rotation, c.rotation) << c.what;
        EXPECT_EQ((s.flags & VQ_IMAGE_SETTINGS_VALID) != 0, c.valid) << c.what;
    }
}

TEST_F(StoredSettings, AFileWithoutARecordRefusesToSaveAChange) {
    ZyrSampleOptions o = Options();
    o.storedSettings = false;
    ASSERT_EQ(Open(o), 0u);
    ASSERT_EQ(VqSetRotateType(&info_, 180.0f), 0u);
    EXPECT_EQ(VqSaveProcessParameters(&info_), VQ_ERR_NO_SETTINGS_RECORD);
}

TEST_F(StoredSettings, CameraValuesAnswerWhatTheFileCarries) {
    ZyrSampleOptions o = Options();
    o.settingsData = true;
    ASSERT_EQ(Open(o, [](ZyrWriter& w, const ZyrSample::Ifds& d) {
                  w.Remove(d.main, 33434); // no exposure time
                  w.Longs(d.privateIfd, 1002, {5}, 9);
              }),
              0u);
    int32_t time[2] = {0, 0};
    EXPECT_EQ(VqGetExtension(&info_, 6, time), VQ_ERR_VALUE_ABSENT);
    EXPECT_EQ(time[0], -9999);
    EXPECT_EQ(time[1], 1);
    float fNumber = 0;
    EXPECT_EQ(VqGetExtension(&info_, 5, &fNumber), 0u);
    EXPECT_FLOAT_EQ(fNumber, 8.0f);
    int32_t word = 0;
    EXPECT_EQ(VqGetExtension(&info_, 1, &word), 0u);
    EXPECT_EQ(word, 2);
    EXPECT_EQ(VqGetExtension(&info_, 2, &word), VQ_ERR_UNKNOWN_EXTENSION);
    EXPECT_EQ(VqGetExtension(&info_, 17, &word), 0u);
    EXPECT_EQ(word, 12);
    char block[512] = {};
    void* address = block;
    EXPECT_EQ(VqGetExtension(&info_, VQ_EXT_SETTING_BLOCK, &address), 0u);
    EXPECT_EQ(std::string(block, 12), "SETTINGS-109");
    address = nullptr;
    EXPECT_EQ(VqGetExtension(&info_, VQ_EXT_SETTING_BLOCK, &address), VQ_ERR_BAD_HANDLE);
}

// Setting 3 is an on/off value: a change between two non-zero values writes
// nothing, a change to 0 writes the word where the file keeps it.
TEST_F(StoredSettings, CameraSettingThreeIsWrittenOnlyWhenItSwitches) {
    for (lumora::ByteOrder order : {lumora::ByteOrder::Big, lumora::ByteOrder::Little}) {
        ZyrSampleOptions o = Options();
        o.order = order;
        ASSERT_EQ(Open(o, [](ZyrWriter& w, const ZyrSample::Ifds& d) { w.Longs(d.privateIfd, 1002, {5}, 9); }), 0u);
        const uint32_t at = image_->cameraValues().cameraSettingWordPosition;
        ASSERT_NE(at, 0u);
        auto wordInFile = [&] {
            const std::vector<uint8_t> f = FileBytes();
            return order == lumora::ByteOrder::Big
                       ? uint32_t(f[at]) << 24 | uint32_t(f[at + 1]) << 16 | uint32_t(f[at + 2]) << 8 | f[at + 3]
                       : uint32_t(f[at + 3]) << 24 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 1]) << 8 | f[at];
        };
        ASSERT_EQ(wordInFile(), 5u);
        EXPECT_EQ(VqSetExtension(&info_, 3, reinterpret_cast<void*>(uintptr_t(7)), 0, 0, 0, 0), 0u);
        EXPECT_EQ(wordInFile(), 5u);
        EXPECT_EQ(VqSetExtension(&info_, 3, nullptr, 0, 0, 0, 0), 0u);
        EXPECT_EQ(wordInFile(), 0u);
        int32_t value = -1;
        EXPECT_EQ(VqGetExtension(&info_, 3, &value), 0u);
        EXPECT_EQ(value, 0);
    }
    // Without the tag nothing is written anywhere.
    ASSERT_EQ(Open(Options()), 0u);
    const std::vector<uint8_t> before = FileBytes();
    EXPECT_EQ(VqSetExtension(&info_, 3, reinterpret_cast<void*>(uintptr_t(1)), 0, 0, 0, 0), VQ_ERR_VALUE_ABSENT);
    EXPECT_EQ(FileBytes(), before);
}

// The description is rewritten in place, in the field the file has for it.
TEST_F(StoredSettings, DescriptionIsRewrittenInsideItsField) {
    ASSERT_EQ(Open(Options(), [](ZyrWriter& w, const ZyrSample::Ifds& d) {
                  w.Remove(d.main, 270);
                  w.AsciiField(d.main, 270, "1 camera text", 512);
              }),
              0u);
    const std::vector<uint8_t> before = FileBytes();
    const std::string full(512, 'x');
    EXPECT_EQ(VqSetImageDescription(&info_, 513, std::string(513, 'y').c_str()), VQ_ERR_DESCRIPTION_TOO_LONG);
    EXPECT_EQ(FileBytes(), before);
    ASSERT_EQ(VqSetImageDescription(&info_, 512, full.c_str()), 0u);
    EXPECT_EQ(info_.descriptionLength, 512u);
    const std::vector<uint8_t> after = FileBytes();
    const auto at = std::search(after.begin(), after.end(), full.begin(), full.end());
    ASSERT_NE(at, after.end());
    ASSERT_EQ(after.size(), before.size());
    const size_t field = size_t(at - after.begin());
    for (size_t i = 0; i < after.size(); ++i) {
        if (i < field || i >= field + 512) {
            ASSERT_EQ(after[i], before[i]) << i;
        }
    }

    // A file whose field is short keeps everything after it.
    ASSERT_EQ(Open(Options()), 0u); // "1 Lumora synthetic raw file": 28 bytes
    const std::vector<uint8_t> original = FileBytes();
    EXPECT_EQ(VqSetImageDescription(&info_, 40, std::string(40, 'z').c_str()), VQ_ERR_DESCRIPTION_TOO_LONG);
    EXPECT_EQ(FileBytes(), original);
    ASSERT_EQ(VqSetImageDescription(&info_, 5, "short"), 0u);
    const std::vector<uint8_t> changed = FileBytes();
    ASSERT_EQ(changed.size(), original.size());
    size_t differing = 0;
    for (size_t i = 0; i < changed.size(); ++i) differing += changed[i] != original[i];
    EXPECT_LE(differing, 28u);
    EXPECT_EQ(std::string(info_.description, 5), "short");
}

// The balance sample of an area through the interface: from the sensor data,
// or from the thumbnail when hidden property 9 asks for it.
TEST_F(StoredSettings, WhiteBalanceSampleOfAnArea) {
    ASSERT_EQ(Open(Options()), 0u);
    const SdkRect area{0, 0, 8, 8};
    uint16_t sensor[3] = {};
    ASSERT_EQ(VqCalculateWhiteBalance(&info_, &area, sensor), 0u);
    for (uint16_t v : sensor) {
        EXPECT_GT(v, 0);
        EXPECT_LT(v, 3000);
    }
    uint32_t fromThumbnail = 1;
    ASSERT_EQ(VqSetHidden(&info_, 9, &fromThumbnail), 0u);
    uint16_t thumb[3] = {};
    EXPECT_EQ(VqCalculateWhiteBalance(&info_, &area, thumb), 0u);
}

// A grey file has no balance to switch on: its record stores balance code 9
// ("off"), and reopening must take that record as the valid one it is.
TEST_F(StoredSettings, AGreyFilesSavedSettingsComeBack) {
    ZyrSampleOptions o = Options();
    o.colour = false;
    ASSERT_EQ(Open(o), 0u);
    ASSERT_EQ(info_.isColour, 0);
    const uint32_t offset = image_->storedSettingsOffset();
    ASSERT_NE(offset, 0u);
    ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_GRAY16), 0u);
    ASSERT_EQ(VqSetRotateType(&info_, 180.0f), 0u);
    ASSERT_EQ(VqSaveProcessParameters(&info_), 0u);
    const std::vector<uint8_t> r = RecordBytes(offset);
    EXPECT_EQ(r[2], VQ_TYPE_GRAY16);
    EXPECT_EQ(r[3], 9);

    ASSERT_EQ(OpenBytes(FileBytes()), 0u);
    const Settings s = Read();
    EXPECT_NE(s.flags & VQ_IMAGE_SETTINGS_VALID, 0u);
    EXPECT_EQ(s.type, uint32_t(VQ_TYPE_GRAY16));
    EXPECT_EQ(s.rotation, 180.0f);
}

namespace {

// A camera that is busy for a given number of writes, then takes them.
class BusyCamera : public lumora::vq::SdkCamera {
public:
    int busyCalls = 0;
    int calls = 0;
    VqStatus WriteImageBytes(int32_t, uint32_t, const void*, int32_t, uint32_t) override {
        return ++calls <= busyCalls ? VQ_ERR_CAMERA_BUSY : 0;
    }
};

} // namespace

// A busy camera is asked again after a pause, at most 50 times in all; the last
// answer is the result.
TEST(StoredSettingsRecord, WritesToABusyCameraAreRetriedFiftyTimes) {
    const uint8_t bytes[4] = {1, 2, 3, 4};
    struct Case {
        int busyCalls;
        int expectedCalls;
        VqStatus status;
    };
    const Case cases[] = {{0, 1, 0}, {3, 4, 0}, {49, 50, 0}, {50, 50, VQ_ERR_CAMERA_BUSY}, {1000, 50, VQ_ERR_CAMERA_BUSY}};
    for (const Case& c : cases) {
        BusyCamera camera;
        camera.busyCalls = c.busyCalls;
        EXPECT_EQ(StoredSettingsRecord::WriteWithRetry(&camera, 0, bytes, 4, 100, 0), c.status) << c.busyCalls;
        EXPECT_EQ(camera.calls, c.expectedCalls) << c.busyCalls;
    }
}

// Records of the first version keep the balance as codes 1 to 7; code 5 is a
// custom triple that the grey-patch test sorts into the preset it resembles
// (threshold 1 and factor 0.5 in the sample file).
TEST_F(StoredSettings, FirstVersionBalanceCodes) {
    struct Case {
        uint8_t code;
        uint16_t r, g, b;
        bool valid;
        int32_t preset, kind;
    };
    const Case cases[] = {
        {1, 0, 0, 0, true, 0, 0},
        {4, 0, 0, 0, true, 3, 0},
        {6, 0, 0, 0, true, 4, 1},         // custom 1, 1, 1: answered as 0, 0, 0
        {7, 0, 0, 0, true, 4, 0},
        {5, 100, 100, 300, true, 0, 1},   // a = 600, b = -300: class 0
        {5, 100, 100, 100, true, 1, 1},   // a = 0 below the threshold: class 1
        {5, 100, 400, 200, true, 2, 1},   // a = 214, b = 536: class 2
        {5, 0, 0, 0, false, 4, 0},        // no colour to sort: the record is not used
        {0, 0, 0, 0, false, 4, 0},
        {8, 0, 0, 0, false, 4, 0},
        {9, 0, 0, 0, false, 4, 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Open(Options(),
                       [&c](ZyrWriter& w, const ZyrSample::Ifds& d) {
                           StoredSettingsRecord::ProcessBlock b;
                           b.version = 1;
                           b.outputType = VQ_TYPE_RGB16;
                           b.balanceCode = c.code;
                           b.red = c.r;
                           b.green = c.g;
                           b.blue = c.b;
                           std::vector<uint8_t> bytes(58, 0);
                           StoredSettingsRecord::EncodeProcessBlock(b, bytes.data());
                           const uint32_t triple[3] = {0, 0, 0};
                           StoredSettingsRecord::MakeSettingsBlock(0, triple, bytes.data() + 34);
                           w.Remove(d.privateIfd, 1021);
                           w.Bytes(d.privateIfd, 1021, 7, bytes);
                       }),
                  0u)
            << int(c.code);
        const Settings s = Read();
        EXPECT_EQ((s.flags & VQ_IMAGE_SETTINGS_VALID) != 0, c.valid) << int(c.code) << " " << c.r;
        EXPECT_EQ(s.type, c.valid ? uint32_t(VQ_TYPE_RGB16) : uint32_t(VQ_TYPE_RGB8)) << int(c.code);
        EXPECT_EQ(s.balance.mode, 1) << int(c.code);
        EXPECT_EQ(s.balance.preset, c.preset) << int(c.code) << " " << c.r;
        EXPECT_EQ(s.balance.kind, c.kind) << int(c.code) << " " << c.r;
        if (c.code == 5 && c.valid) {
            EXPECT_EQ(s.balance.r, c.r);
            EXPECT_EQ(s.balance.g, c.g);
            EXPECT_EQ(s.balance.b, c.b);
        }
    }
}

// A write that fails keeps the image's stored copies, so the next save still
// sees the change and writes it.
TEST_F(StoredSettings, AFailedWriteIsTriedAgainByTheNextSave) {
    ASSERT_EQ(Open(Options()), 0u);
    const uint32_t offset = image_->storedSettingsOffset();
    const std::vector<uint8_t> original = FileBytes();
    ASSERT_EQ(VqSetRotateType(&info_, 270.0f), 0u);
    // A folder where the file was: the camera cannot open it for writing.
    std::filesystem::remove(Path());
    std::filesystem::create_directory(Path());
    EXPECT_NE(VqSaveProcessParameters(&info_), 0u);
    std::filesystem::remove(Path());
    std::ofstream(Path(), std::ios::binary)
        .write(reinterpret_cast<const char*>(original.data()), std::streamsize(original.size()));
    ASSERT_EQ(VqSaveProcessParameters(&info_), 0u);
    const std::vector<uint8_t> r = RecordBytes(offset);
    EXPECT_EQ(r[10] << 8 | r[11], 270);
}
