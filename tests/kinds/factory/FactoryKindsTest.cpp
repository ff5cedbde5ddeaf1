// The image factory over the real kinds: finished files by extension and by
// trial, raw files through the folder plug-in, the model drivers and the
// camera interface, with every driver failed, and with the colour profiles
// of the drivers' images missing.
#include "FactoryTestSupport.h"
#include "FinishedJPEGImage.h"
#include "FinishedTIFFImage.h"
#include "ImagePool.h"
#include "ImageWerks.h"
#include "JpegFixture.h"
#include "NbErrorCodes.h"
#include "ProImage.h"
#include "StaticProfileTable.h"
#include "ZynImage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace NimbalCore;
using namespace factorytest;
namespace fs = std::filesystem;

namespace {

std::string KindName(const ImageRef& image) {
    Image* im = image.Get();
    if (!im) return "none";
    if (dynamic_cast<FinishedTIFFImage*>(im)) return "tiff";
    if (dynamic_cast<FinishedJPEGImage*>(im)) return "jpeg";
    if (auto* pro = dynamic_cast<ProImage*>(im)) return "pro" + std::to_string(pro->GetDriverKind());
    if (dynamic_cast<ZynImage*>(im)) return "zyn";
    return "other";
}

// Points the program's folder somewhere else for one test: a folder with
// the libraries of the build but no plug-ins, or nothing at all; the system
// folder stays the build's unless the test gives another.
class ProgramFolder {
public:
    ProgramFolder(bool withLibraries, const std::string& systemDir = std::string()) {
        const char* build = std::getenv("LUMORA_PROGRAM_DIR");
        original_ = build ? build : "";
        const char* system = std::getenv("LUMORA_SYSTEM_DIR");
        originalSystem_ = system ? system : "";
        hadSystem_ = system != nullptr;
        if (withLibraries)
            for (const auto& entry : fs::directory_iterator(original_))
                if (entry.path().extension() == ".so") fs::create_symlink(entry.path(), temp_.path() / entry.path().filename());
        ::setenv("LUMORA_SYSTEM_DIR", systemDir.empty() ? (fs::path(original_) / "../share/lumora/system").lexically_normal().c_str()
                                                        : systemDir.c_str(), 1);
        ::setenv("LUMORA_PROGRAM_DIR", temp_.path().c_str(), 1);
    }
    ~ProgramFolder() {
        ImagePool::DeleteInstance();
        ::setenv("LUMORA_PROGRAM_DIR", original_.c_str(), 1);
        if (hadSystem_) ::setenv("LUMORA_SYSTEM_DIR", originalSystem_.c_str(), 1);
        else ::unsetenv("LUMORA_SYSTEM_DIR");
    }

private:
    lumora::test::TempFolder temp_;
    std::string original_, originalSystem_;
    bool hadSystem_ = false;
};

TEST(FactoryKindsTest, EachFileOpensAsTheKindThatReadsIt) {
    lumora::test::TempFolder files;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {WriteJpeg(files, "jpeg-inside.tif"), "jpeg"},
        {WriteTiff(files, "mixed.Tif"), "tiff"},
        {WriteJpeg(files, "no-extension"), "jpeg"},
        {WriteTiff(files, "tiff-no-extension"), "tiff"},
        {WriteCameraRaw(files, "CAMERA.ZYR"), "zyn"},
        // Every file meets the folder plug-ins first, but the stand-in
        // plug-in reads only its own extension: this one reaches the drivers.
        {WriteZpro(files, "NEWEST.ZYR"), "pro2"},
        {WriteZpro(files, "plug-in.zpx"), "pro3"},
        {files.write("notes.txt", "not an image"), "none"},
    };
    KindsScope scope;
    for (const auto& [path, kind] : cases) {
        SCOPED_TRACE(path);
        ImageRef image;
        const int code = ImageWerks().OpenImage(FilePathSpec(path), image);
        EXPECT_EQ(code, kind == "none" ? NbErrUnsupportedImage : 0);
        EXPECT_EQ(KindName(image), kind);
        EXPECT_EQ(scope.Pool()->Contains(FilePathSpec(path)), kind != "none");
    }
}

TEST(FactoryKindsTest, WithoutPlugInsEachModelOpensThroughItsOwnDriver) {
    ProgramFolder program(true);
    lumora::test::TempFolder files;
    KindsScope scope;
    for (const auto& [model, kind] : std::vector<std::pair<int, int>>{{1824, 0}, {16385, 1}, {2049, 2}}) {
        SCOPED_TRACE(model);
        ImageRef image;
        ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteZpro(files, std::to_string(model) + ".ZYR", model)), image), 0);
        EXPECT_EQ(KindName(image), "pro" + std::to_string(kind));
    }
}

TEST(FactoryKindsTest, WithEveryDriverFailedRawFilesGoToTheCameraInterfaceOnly) {
    ProgramFolder program(false);
    lumora::test::TempFolder files;
    KindsScope scope(true);
    ImagePool* pool = scope.Pool();
    EXPECT_NE(pool->wren3DriverStatus, 0);
    EXPECT_NE(pool->wren4DriverStatus, 0);
    EXPECT_NE(pool->ploverDriverStatus, 0);
    ImageRef image;
    EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteCameraRaw(files, "CAMERA.ZYR")), image), 0);
    EXPECT_EQ(KindName(image), "zyn");
    EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteZpro(files, "NEWEST.ZYR")), image), NbErrUnsupportedImage);
}

TEST(FactoryKindsTest, MissingProfilesTurnTheDriversAwayForTheRun) {
    // A system folder whose colour folder lacks one profile the drivers'
    // images need.
    lumora::test::TempFolder system;
    const fs::path build = fs::path(std::getenv("LUMORA_PROGRAM_DIR")) / "../share/lumora/system";
    fs::copy(build, system.path(), fs::copy_options::recursive);
    const std::string missing = StaticProfileTable::CheckOrder().front();
    ASSERT_TRUE(fs::remove(system.path() / "spool/drivers/color" / missing)) << missing;
    ProgramFolder program(true, system.path().string());
    lumora::test::TempFolder files;
    KindsScope scope;

    ImageRef image;
    EXPECT_EQ(ImageWerks().OpenRawImage(FilePathSpec(WriteZpro(files, "FIRST.ZYR")), image, 0), NbErrProfileNotFound);
    EXPECT_FALSE(image);
    // The drivers are not tried again; the camera interface refuses a file
    // of the newest models, and still opens its own.
    EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteZpro(files, "SECOND.ZYR")), image), NbErrUnsupportedImage);
    EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteCameraRaw(files, "CAMERA.ZYR")), image), 0);
    EXPECT_EQ(KindName(image), "zyn");
}

} // namespace
