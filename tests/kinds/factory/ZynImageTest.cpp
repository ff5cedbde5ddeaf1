// Raw files of the older models through the camera interface: the
// connection and its looks, what the first opening reads, the files the kind
// refuses unless forced, closing that keeps the sizes, the sound rule, and
// the operations still to come.
#include "FactoryTestSupport.h"
#include "ColorEngine.h"
#include "FileShare.h"
#include "ImagePool.h"
#include "ImageWerks.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"
#include "ZynImage.h"
#include "ZynSDKLookDesc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <unistd.h>

using namespace NimbalCore;
using namespace factorytest;
namespace fs = std::filesystem;

namespace {

int CodeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const YlmErrp& e) {
        return e.GetCode();
    } catch (int code) {
        return code;
    }
    return 0;
}

ZynImage* Zyn(const ImageRef& image) { return dynamic_cast<ZynImage*>(image.Get()); }

TEST(ZynImageTest, TheConnectionBuildsTheLooksAndLetsTheColourOnesGo) {
    {
        KindsScope scope;
        EXPECT_EQ(scope.Pool()->cameraInterfaceStatus, 0);
        const struct {
            ZynImage::Look look;
            int32_t number;
        } looks[] = {{ZynImage::ProductLook, 0},      {ZynImage::PortraitLook, 1},     {ZynImage::ReducedProductLook, 2},
                     {ZynImage::ReducedPortraitLook, 3}, {ZynImage::ProductGrayscale, 0}, {ZynImage::PortraitGrayscale, 1}};
        for (const auto& l : looks) {
            YlmRefPtr<ZynSDKLookDesc> desc = ZynImage::GetLookDesc(l.look);
            ASSERT_TRUE(desc);
            EXPECT_FALSE(desc->Name().empty());
            EXPECT_EQ(desc->GetLookNumber(), l.number);
        }
        const std::vector<std::string> two = ZynImage::GetTwoLookNames(), four = ZynImage::GetFourLookNames();
        EXPECT_EQ(two.size(), 4u);
        EXPECT_EQ(four.size(), 6u);
        EXPECT_EQ(ZynImage::GetGrayLookNames().size(), 2u);
        EXPECT_TRUE(std::is_sorted(four.begin(), four.end(), &ColorEngine::ProfileNameLess));
        EXPECT_TRUE(std::count(two.begin(), two.end(), ZynImage::GetLookDesc(ZynImage::PortraitGrayscale)->Name()));
    }
    // The pool's teardown closed the connection: the colour looks are gone,
    // the grayscale looks and the lists stay for the rest of the run.
    EXPECT_FALSE(ZynImage::GetLookDesc(ZynImage::ProductLook));
    EXPECT_FALSE(ZynImage::GetLookDesc(ZynImage::ReducedPortraitLook));
    EXPECT_TRUE(ZynImage::GetLookDesc(ZynImage::PortraitGrayscale));
    EXPECT_EQ(ZynImage::GetFourLookNames().size(), 6u);
}

TEST(ZynImageTest, TheFirstOpeningReadsTheFilesInformation) {
    lumora::test::TempFolder files;
    ZyrSampleOptions options;
    options.iptc = true;
    const std::string path = WriteCameraRaw(files, "IMG_0001.ZYR", options, 1, "ZYNS0001.WAV");
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
    ZynImage* zyn = Zyn(image);
    ASSERT_NE(zyn, nullptr);
    EXPECT_TRUE(zyn->IsOpen());
    EXPECT_EQ(zyn->GetFileType(), 0);
    EXPECT_EQ(zyn->GetFileKind(), 0);
    EXPECT_EQ(zyn->GetCameraMake(), "Orvex");
    EXPECT_EQ(zyn->GetCameraModel(), "ZYNM11");
    EXPECT_EQ(zyn->GetSerialNumber(), "ZYNM11 synthetic");
    EXPECT_EQ(zyn->GetFirmwareVersion(), "zyrwrite 1.0");
    EXPECT_TRUE(zyn->IsTagged());
    EXPECT_EQ(zyn->GetSoundKey(), "ZYNS0001.WAV");
    EXPECT_NE(zyn->GetCameraSettingsBlock().find("SETTINGS-109"), std::string::npos) << zyn->GetCameraSettingsBlock();
    EXPECT_EQ(zyn->GetDateTimeString(), "2024:05:17:10:30:00");
    EXPECT_EQ(zyn->GetCaptureTime(), time_t(1715941800));
    const uint8_t* start = nullptr;
    uint32_t size = 0;
    EXPECT_TRUE(zyn->GetIPTCRecord()->GetBuffer(&start, &size));
    int index = 0;
    const uint8_t* data = nullptr;
    uint16_t length = 0;
    bool caption = false;
    for (bool more = zyn->GetIPTCRecord()->GetFirstDataset(&index, &data, &length); more;
         more = zyn->GetIPTCRecord()->GetNextDataset(&index, &data, &length))
        caption = caption || length > 0;
    EXPECT_TRUE(caption) << "the file's IPTC record is loaded";
    EXPECT_NE(zyn->GetAnnotationField().find("Lumora synthetic raw file"), std::string::npos);
    EXPECT_EQ(zyn->GetImageRect(), NbRect(0, 0, 59, 43));
    EXPECT_EQ(zyn->GetNativeImageRect(), NbRect(0, 0, 59, 43));
    EXPECT_EQ(zyn->GetSamplesPerPixel(), 3);
    EXPECT_TRUE(zyn->HasThumbnail());

    const std::string untagged = WriteCameraRaw(files, "IMG_0002.ZYR", ZyrSampleOptions(), 0);
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(untagged), image), 0);
    EXPECT_FALSE(image->IsTagged());
}

TEST(ZynImageTest, TheOldestModelsOpenOnlyWhenForced) {
    lumora::test::TempFolder files;
    const std::string path = WriteOldestRaw(files, "OLD.ZYR");
    KindsScope scope;
    ImageRef image;
    EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), NbErrUnsupportedImage);
    auto* zyn = new ZynImage(FilePathSpec(path));
    ImageRef held(zyn);
    EXPECT_EQ(zyn->Open(false), NbErrImageFileOpenFailed);
    EXPECT_FALSE(zyn->IsOpen());
    EXPECT_EQ(zyn->GetInfoRecord().handle, 0) << "the refused file is closed again";
    EXPECT_EQ(zyn->Open(true), 0);
    EXPECT_FALSE(zyn->IsTagged());
    EXPECT_TRUE(zyn->GetCameraSettingsBlock().empty());
}

TEST(ZynImageTest, FilesItCannotReadAndFieldsItMustRead) {
    lumora::test::TempFolder files;
    KindsScope scope;
    // Not a file of the camera line: refused by answer.
    auto* notRaw = new ZynImage(FilePathSpec(files.write("junk.ZYR", "not a raw file")));
    ImageRef a(notRaw);
    EXPECT_EQ(notRaw->Open(false), NbErrImageFileOpenFailed);
    // A raw file whose tag word or camera settings text cannot be read: a
    // thrown 1721.
    for (const auto& [name, tag, text] : std::vector<std::tuple<std::string, int, bool>>{{"NOTAG.ZYR", -1, true},
                                                                                        {"NOTEXT.ZYR", 1, false}}) {
        SCOPED_TRACE(name);
        ImageRef image(new ZynImage(FilePathSpec(WriteCameraRaw(files, name, ZyrSampleOptions(), tag, "K", text))));
        EXPECT_EQ(CodeOf([&] { image->Open(); }), NbErrCameraSettingsFailed);
    }
    // Held by another of our programs.
    const std::string held = WriteCameraRaw(files, "HELD.ZYR");
    uint32_t error = 0;
    const int fd = lumora::FileShare::open(held, lumora::FileShare::Read | lumora::FileShare::Write,
                                          lumora::FileShare::ShareNone, lumora::FileShare::Creation::OpenExisting, error);
    ASSERT_GE(fd, 0);
    ImageRef busy(new ZynImage(FilePathSpec(held)));
    const int answer = busy->Open();
    ::close(fd);
    EXPECT_EQ(answer, NbErrImageFileInUse);
}

TEST(ZynImageTest, OpeningIsRefusedWhileDisabledAndAClosedImageKeepsItsSizes) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteCameraRaw(files, "A.ZYR")), image), 0);
    const int32_t openBefore = scope.Pool()->GetOpenCount();
    image->Close();
    EXPECT_FALSE(image->IsOpen());
    EXPECT_EQ(scope.Pool()->GetOpenCount(), openBefore - 1);
    EXPECT_EQ(Zyn(image)->GetInfoRecord().handle, 0);
    EXPECT_EQ(image->GetImageRect(), NbRect(0, 0, 59, 43));
    EXPECT_EQ(image->GetSamplesPerPixel(), 3);
    image->Close();
    EXPECT_EQ(scope.Pool()->GetOpenCount(), openBefore - 1) << "closing twice counts once";

    image->SetOpenDisabled(true);
    EXPECT_EQ(CodeOf([&] { image->Open(); }), NbErrImageOpenFailed);
    image->SetOpenDisabled(false);
    EXPECT_EQ(image->EnsureOpen(), 0);
    EXPECT_NE(Zyn(image)->GetInfoRecord().handle, 0);
    EXPECT_EQ(image->GetCameraModel(), "ZYNM11") << "read once, kept";
}

TEST(ZynImageTest, TheOperationsStillToComeAnswerTheBareNotImplemented) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteCameraRaw(files, "A.ZYR")), image), 0);
    ImageProcessParam params;
    NbRect out;
    EXPECT_EQ(CodeOf([&] { image->GetAtCaptureParams(); }), NbErrNotImplemented);
    EXPECT_EQ(CodeOf([&] { image->ValidateProcessParams(params); }), NbErrNotImplemented);
    EXPECT_EQ(CodeOf([&] { image->MapRectBetweenRotations(NbRect(), 0, &out, 0); }), NbErrNotImplemented);
    EXPECT_EQ(CodeOf([&] { image->GetProcessParamsFromSDK(); }), NbErrNotImplemented);
    EXPECT_EQ(CodeOf([&] { image->FreeCachedData(); }), 0);
}

TEST(ZynImageTest, SoundsBelongByTheCamerasSoundKey) {
    lumora::test::TempFolder files;
    fs::create_directories(files.path() / "other");
    KindsScope scope;
    ImageRef keyed, shortKey;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteCameraRaw(files, "A.ZYR", {}, 1, "ZYNS0001.WAV")), keyed), 0);
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteCameraRaw(files, "B.ZYR", {}, 1, "ZYNS001")), shortKey), 0);
    const struct {
        std::string sound;
        bool belongs;
    } cases[] = {
        {"ZYNS0001.WAV", true},
        {"AYNA0001.WAV", true},  // characters 0 and 3 are not compared
        {"zyns0001.wav", true},
        {"ZXNS0001.WAV", false},
        {"ZYNS0002.WAV", false},
        {"ZYNS001", false},
        {"other/ZYNS0001.WAV", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sound);
        const FilePathSpec sound(files.file(c.sound));
        EXPECT_EQ(Zyn(keyed)->IsSoundOfImage(sound), c.belongs);
        EXPECT_FALSE(Zyn(shortKey)->IsSoundOfImage(sound)) << "a key of seven characters matches nothing";
        EXPECT_EQ(keyed->AddSound(sound), c.belongs);
    }
    EXPECT_EQ(keyed->GetSoundCount(), 3);
    EXPECT_TRUE(keyed->RemoveSound(FilePathSpec(files.file("AYNA0001.WAV"))));
    EXPECT_FALSE(keyed->RemoveSound(FilePathSpec(files.file("ZXNS0001.WAV"))));
    EXPECT_EQ(keyed->GetSoundCount(), 2);
}

} // namespace
