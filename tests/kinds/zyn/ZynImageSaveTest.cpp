// Saving the older raw files: parameters, tag, IPTC record and annotation
// written into the file and read by a new process, the file kinds and files
// that refuse, and the camera's white-balance file.
#include "ZynTestSupport.h"

#include "ImageChangeCB.h"
#include "ImageWerks.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"
#include "ZynImage.h"
#include "ZyrCameraFile.h"

#include "ShellCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace {

using namespace NimbalCore;
using namespace zyntest;
using factorytest::KindsScope;

using lumora::test::RunCommand;

// What coreclient prints, run as a new process (its errors too).
std::string Coreclient(const std::string& arguments) {
    return RunCommand(std::string(LUMORA_BIN_DIR) + "/coreclient " + arguments + " 2>&1");
}

// The camera interface opened for calls made straight to it.
struct InterfaceOpen {
    InterfaceOpen() {
        SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
        VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE);
    }
    ~InterfaceOpen() { VqCloseDriver(); }
};

// The sensor data as the file holds it: where the interface says it lies,
// two bytes a sample.
std::string SensorBytes(const std::string& path, uint32_t width, uint32_t height) {
    InterfaceOpen open;
    ImageInfoRecord info{};
    EXPECT_EQ(VqOpenImageFile(path.c_str(), &info), 0u);
    VqLayoutRecord layout{};
    VqGetHidden(&info, 16, &layout);
    VqCloseImage(&info);
    EXPECT_NE(layout.dataOffset, 0u);
    return ReadAll(path).substr(layout.dataOffset, size_t(width) * height * 2);
}

// An ".ipt" record file: the version dataset, then one caption.
std::string WriteIpt(const lumora::test::TempFolder& folder, const std::string& name, const std::string& caption) {
    std::string bytes = std::string("\x1C\x02\x00\x00\x02\x00\x02", 7);
    bytes += std::string("\x1C\x02\x78", 3) + char(caption.size() >> 8) + char(caption.size() & 0xFF) + caption;
    return folder.write(name, bytes);
}

struct SavedListener : ImageChangeCB {
    int saved = 0;
    void ImageFileChanged(const FilePathSpec&) override {}
    void ProcessParamsChanged(const FilePathSpec&) override {}
    void SoundsChanged(const FilePathSpec&) override {}
    void ImageSaved(const FilePathSpec&) override { ++saved; }
    void TagChanged(const FilePathSpec&) override {}
    void ImageRenamed(const FilePathSpec&, const FilePathSpec&) override {}
};

TEST(ZynImageSaveTest, SavedSettingsAndMetadataAreWhatANewProcessReads) {
    lumora::test::TempFolder folder;
    // A file with a record already: the interface writes a new one in its
    // place (it does not add a directory entry).
    ZyrSampleOptions o = FixtureOptions(Fixture::Family1);
    o.iptc = true;
    const std::string path = WriteRaw(folder, "SAVE.ZYR", o, Looks(2));
    const std::string ipt = WriteIpt(folder, "caption.ipt", "Harbour at dawn");
    const std::string sensorBefore = SensorBytes(path, 132, 100);
    {
        KindsScope scope;
        ImageRef image = OpenFile(path);
        ZynImage* zyn = Zyn(image);
        ASSERT_TRUE(zyn);
        ImageProcessParam p = *zyn->GetProcessParams();
        p.exposureCompensation = 1.0f;
        p.rotation = 90.0f;
        p.crop = NbRect(8, 4, 71, 51);
        p.sharpenAmount = 12;
        p.sharpenRadius = 15;
        p.sharpenThreshold = 4;
        ASSERT_EQ(zyn->ValidateProcessParams(p), ImageProcessParam::Valid);
        zyn->SetProcessParams(p);
        EXPECT_TRUE(zyn->SetTagged(false));
        IPTCNAARecord2 record;
        ASSERT_TRUE(record.ReadFromFile(FilePathSpec(ipt)));
        EXPECT_TRUE(zyn->SetIPTCRecord(record));
        zyn->SetAnnotation("Quay, north side");
        SavedListener listener;
        zyn->AddImageChangeCB(&listener);
        ASSERT_EQ(CodeOf([&] { zyn->WriteAllMetaDataToFile(); }), 0);
        zyn->RemoveImageChangeCB(&listener);
        EXPECT_FALSE(zyn->IsModified());
        EXPECT_EQ(listener.saved, 1);
    }

    const std::string params = Coreclient("params " + path);
    EXPECT_NE(params.find("\"current\": {\"validation\": 0"), std::string::npos) << params;
    EXPECT_NE(params.find("\"exposure\": 1,"), std::string::npos) << params;
    EXPECT_NE(params.find("\"sharpening\": [0, 12, 15, 4]"), std::string::npos) << params;
    EXPECT_NE(params.find("\"rotation\": 90, \"crop\": [8, 4, 71, 51]"), std::string::npos) << params;
    const std::string opened = Coreclient("open " + path);
    EXPECT_NE(opened.find("\"tagged\": false"), std::string::npos) << opened;
    EXPECT_NE(opened.find("\"annotation\": \"Quay, north side\""), std::string::npos) << opened;
    const std::string iptc = RunCommand("exiftool -q -q -s -IPTC:all " + path);
    EXPECT_NE(iptc.find("ApplicationRecordVersion"), std::string::npos) << iptc;
    EXPECT_NE(iptc.find("Caption-Abstract                : Harbour at dawn"), std::string::npos) << iptc;
    EXPECT_EQ(SensorBytes(path, 132, 100), sensorBefore);
}

TEST(ZynImageSaveTest, TheIptcRecordIsWrittenOnlyWhenChangedAndWritable) {
    lumora::test::TempFolder folder;
    ZyrSampleOptions o = FixtureOptions(Fixture::Family1);
    o.iptc = true;
    const std::string path = WriteRaw(folder, "IPTC.ZYR", o);
    const std::string ipt = WriteIpt(folder, "new.ipt", "Second caption");
    const std::string original = RunCommand("exiftool -q -q -s -s -s -IPTC:Caption-Abstract " + path);
    ASSERT_FALSE(original.empty());
    auto caption = [&] { return RunCommand("exiftool -q -q -s -s -s -IPTC:Caption-Abstract " + path); };

    KindsScope scope;
    ImageRef image = OpenFile(path);
    ZynImage* zyn = Zyn(image);
    ASSERT_TRUE(zyn);
    // A record changed in place but never handed to the image is not a
    // change: the file keeps its own.
    const std::string edited = "Not to be saved";
    zyn->GetIPTCRecord()->AddDataset(5, reinterpret_cast<const uint8_t*>(edited.data()), uint32_t(edited.size()));
    ASSERT_EQ(CodeOf([&] { zyn->WriteAllMetaDataToFile(); }), 0);
    EXPECT_EQ(caption(), original);

    // The interface keeps the file's block unwritten (flag bit 0): the new
    // record waits, still marked changed, and goes in with the next save
    // once the interface writes again.
    ImageInfoRecord info = zyn->GetInfoRecord();
    union {
        uint32_t words[6];
        VqIptcRecord iptc;
    } current{};
    ASSERT_EQ(VqGetExtension(&info, VQ_EXT_IPTC, &current), 0u);
    VqIptcRecord keep{current.iptc.length, current.iptc.data, 1};
    ASSERT_EQ(VqSetExtension(&info, VQ_EXT_IPTC, &keep, 0, 0, 0, 0), 0u);
    IPTCNAARecord2 record;
    ASSERT_TRUE(record.ReadFromFile(FilePathSpec(ipt)));
    ASSERT_TRUE(zyn->SetIPTCRecord(record));
    ASSERT_EQ(CodeOf([&] { zyn->WriteAllMetaDataToFile(); }), 0);
    EXPECT_EQ(caption(), original);
    ASSERT_EQ(VqGetExtension(&info, VQ_EXT_IPTC, &current), 0u);
    VqIptcRecord write{current.iptc.length, current.iptc.data, 0};
    ASSERT_EQ(VqSetExtension(&info, VQ_EXT_IPTC, &write, 0, 0, 0, 0), 0u);
    ASSERT_EQ(CodeOf([&] { zyn->WriteAllMetaDataToFile(); }), 0);
    EXPECT_EQ(caption(), "Second caption\n");
}

TEST(ZynImageSaveTest, AnRgbTiffKeepsNoSettingsButTakesTheMetadata) {
    lumora::test::TempFolder folder;
    ZyrCameraFileOptions o;
    o.rgbTiff = true;
    o.width = 520;
    o.height = 100;
    o.tagWord = 1;
    o.settingsData = true;
    const std::string old = "\x1C\x02\x00\x00\x02\x00\x02\x1C\x02\x78\x00\x03old";
    o.iptc.assign(old.begin(), old.end());
    const std::vector<uint8_t> bytes = ZyrCameraFile::Make(o);
    const std::string path = folder.write("RGB.TIF", std::string(bytes.begin(), bytes.end()));
    const std::string ipt = WriteIpt(folder, "c.ipt", "Tiff caption");
    {
        KindsScope scope;
        ImageRef image = OpenFile(path);
        ZynImage* zyn = Zyn(image);
        ASSERT_TRUE(zyn);
        ASSERT_EQ(zyn->GetFileKind(), VQ_FILE_RGB_TIFF);
        EXPECT_EQ(CodeOf([&] { zyn->WriteProcessParamsToFile(); }), NbErrNotSupported);
        zyn->SetTagged(!zyn->IsTagged());
        IPTCNAARecord2 record;
        ASSERT_TRUE(record.ReadFromFile(FilePathSpec(ipt)));
        zyn->SetIPTCRecord(record);
        zyn->SetAnnotation("Tiff note");
        EXPECT_EQ(CodeOf([&] { zyn->WriteAllMetaDataToFile(); }), 0);
    }
    const std::string opened = Coreclient("open " + path);
    EXPECT_NE(opened.find("\"tagged\": false"), std::string::npos) << opened;
    EXPECT_NE(opened.find("\"annotation\": \"Tiff note\""), std::string::npos) << opened;
    EXPECT_EQ(RunCommand("exiftool -q -q -s -s -s -IPTC:Caption-Abstract " + path), "Tiff caption\n");
}

TEST(ZynImageSaveTest, AReadOnlyFileRefusesBeforeAnythingIsSent) {
    lumora::test::TempFolder folder;
    const std::string path = WriteFixture(folder, "LOCKED.ZYR", Fixture::Family1);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const std::string before = ReadAll(path);
    KindsScope scope;
    ImageRef image = OpenFile(path);
    ZynImage* zyn = Zyn(image);
    ASSERT_TRUE(zyn);
    const float stored = zyn->GetProcessParams()->exposureCompensation;
    ImageProcessParam p = *zyn->GetProcessParams();
    p.exposureCompensation = stored + 1.0f;
    zyn->SetProcessParams(p);
    zyn->SetTagged(!zyn->IsTagged());
    EXPECT_EQ(CodeOf([&] { zyn->WriteProcessParamsToFile(); }), NbErrImageReadOnly);
    EXPECT_EQ(CodeOf([&] { zyn->WriteAllMetaDataToFile(); }), NbErrImageReadOnly);
    // The interface still holds the file's own settings.
    ASSERT_EQ(CodeOf([&] { zyn->ReadProcessParamsFromFile(); }), 0);
    EXPECT_EQ(zyn->GetProcessParams()->exposureCompensation, stored);
    EXPECT_TRUE(zyn->IsModified());
    EXPECT_EQ(ReadAll(path), before);
}

// White-balance files -------------------------------------------------------------

// A version-3 file whose balance is the camera's preset: one the interface
// writes a white-balance file for.
std::string WriteBalanceSource(const lumora::test::TempFolder& folder, const std::string& name) {
    ZyrSampleOptions o = FixtureOptions(Fixture::Family1);
    o.version = 0x03000000;
    o.cameraPreset = 4;
    return WriteRaw(folder, name, o);
}

std::string InterfaceBalanceFile(const std::string& source, const std::string& target) {
    InterfaceOpen open;
    ImageInfoRecord info{};
    EXPECT_EQ(VqOpenImageFile(source.c_str(), &info), 0u);
    VqPathRecord record{};
    std::snprintf(record.path, sizeof record.path, "%s", target.c_str());
    char empty[1] = {0};
    EXPECT_EQ(VqWriteWhiteBalanceFile(&info, &record, empty), 0u);
    VqCloseImage(&info);
    return ReadAll(target);
}

std::vector<std::string> Names(const lumora::test::TempFolder& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ZynImageSaveTest, TheWhiteBalanceFileIsTheInterfacesAndReplacesAnOldOneWhole) {
    lumora::test::TempFolder sources, out;
    const std::string path = WriteBalanceSource(sources, "WB.ZYR");
    const std::string expected = InterfaceBalanceFile(path, out.file("REF.WB"));
    ASSERT_FALSE(expected.empty());
    std::filesystem::remove(out.file("REF.WB"));

    KindsScope scope;
    ImageRef image = OpenFile(path);
    ZynImage* zyn = Zyn(image);
    ASSERT_TRUE(zyn);
    int reason = -1;
    EXPECT_TRUE(zyn->CanWhiteBalanceFileBeSaved(&reason));
    EXPECT_EQ(reason, 7);
    ASSERT_EQ(CodeOf([&] { zyn->WriteWhiteBalanceFile(FilePathSpec(out.file("STUDIO.WB"))); }), 0);
    EXPECT_EQ(ReadAll(out.file("STUDIO.WB")), expected);

    out.write("Old.wb", "the camera's old balance");
    ASSERT_EQ(CodeOf([&] { zyn->WriteWhiteBalanceFile(FilePathSpec(out.file("Old.wb"))); }), 0);
    EXPECT_EQ(ReadAll(out.file("Old.wb")), expected);
    EXPECT_EQ(Names(out), (std::vector<std::string>{"Old.wb", "STUDIO.WB"}));

    // Names the camera does not read, and a folder that is not there: 1724,
    // nothing written and the old file kept.
    for (const char* name : {"NINECHARS.WB", "STUDIO.WBX", "STUDIO.JPG", "missing/A.WB"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CodeOf([&] { zyn->WriteWhiteBalanceFile(FilePathSpec(out.file(name))); }),
                  NbErrWhiteBalanceFileFailed);
    }
    EXPECT_EQ(Names(out), (std::vector<std::string>{"Old.wb", "STUDIO.WB"}));

    // Settings the interface refuses allow no file at all.
    ImageProcessParam p = *zyn->GetProcessParams();
    p.exposureCompensation = 2.5f;
    zyn->SetProcessParams(p);
    EXPECT_FALSE(zyn->CanWhiteBalanceFileBeSaved(&reason));
    EXPECT_EQ(reason, 0);
    EXPECT_EQ(CodeOf([&] { zyn->WriteWhiteBalanceFile(FilePathSpec(out.file("Old.wb"))); }),
              NbErrWhiteBalanceUnavailable);
    EXPECT_EQ(ReadAll(out.file("Old.wb")), expected);
}

TEST(ZynImageSaveTest, AWhiteBalanceTheInterfaceRefusesLeavesTheOldFile) {
    lumora::test::TempFolder sources, out;
    // A file of version 2 has no white-balance file.
    const std::string path = WriteFixture(sources, "V2.ZYR", Fixture::Family1);
    out.write("KEEP.WB", "old");
    KindsScope scope;
    ImageRef image = OpenFile(path);
    ZynImage* zyn = Zyn(image);
    ASSERT_TRUE(zyn);
    EXPECT_EQ(CodeOf([&] { zyn->WriteWhiteBalanceFile(FilePathSpec(out.file("KEEP.WB"))); }),
              NbErrWhiteBalanceFileFailed);
    EXPECT_EQ(ReadAll(out.file("KEEP.WB")), "old");
    EXPECT_EQ(Names(out), std::vector<std::string>{"KEEP.WB"});
}

} // namespace
