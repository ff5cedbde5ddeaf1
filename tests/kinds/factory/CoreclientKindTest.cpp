// coreclient's --kind over files of our own writers: the kind asked for is
// the only one tried, so a file it refuses answers that kind's own code (the
// factory would answer 2000 for each); raw tries the model drivers, then the
// camera interface.
#include "FactoryTestSupport.h"
#include "FinishedTiffWriter.h"
#include "JpegFixture.h"
#include "ShellCommand.h"
#include "ZproWriter.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

using namespace factorytest;

namespace {

struct Answer {
    int exitCode = -1;
    std::string out;
};

Answer Coreclient(const std::string& arguments) {
    // The test environment names the build's program folder.
    const char* bin = std::getenv("LUMORA_PROGRAM_DIR");
    int status = -1;
    Answer a;
    if (!bin) return a;
    a.out = lumora::test::RunCommand(std::string(bin) + "/coreclient " + arguments + " 2>/dev/null", &status);
    a.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return a;
}

std::string Tiff(const lumora::test::TempFolder& folder, const std::string& name,
                 void (*change)(FinishedTiffSpec&)) {
    FinishedTiffSpec spec;
    change(spec);
    const std::string path = folder.file(name);
    FinishedTiffWriter::Write(path, spec);
    return path;
}

constexpr uint32_t kDrop = 0xFFFFFFFF;

} // namespace

TEST(CoreclientKindTest, AForcedKindAnswersItsOwnCode) {
    lumora::test::TempFolder files;
    const std::string lzw = Tiff(files, "lzw.tif", [](FinishedTiffSpec& s) { s.override0[259] = 5; });
    const std::string strips = Tiff(files, "strips.tif", [](FinishedTiffSpec& s) { s.override0[278] = 1; });
    const std::string tiled = Tiff(files, "tiled.tif", [](FinishedTiffSpec& s) {
        s.override0[273] = kDrop;
        s.override0[278] = kDrop;
        s.override0[279] = kDrop;
        s.extra0.push_back({322, 3, 1, {0, 16}});
        s.extra0.push_back({323, 3, 1, {0, 16}});
    });
    const std::string noExif = Tiff(files, "no-exif.tif", [](FinishedTiffSpec& s) { s.withExif = false; });
    const std::string noIfd1 = Tiff(files, "no-ifd1.tif", [](FinishedTiffSpec& s) { s.withIFD1 = false; });
    const std::string tiff = WriteTiff(files, "good.tif");
    const std::string jpeg = WriteJpeg(files, "good.jpg");
    const std::string cmyk = files.file("cmyk.jpg");
    JpegFixture::WriteFile(cmyk, JpegFixture::Encode(JpegFixture::Pattern(16, 16, 4, 3), 85));
    ZproSpec zero;
    zero.width = 0;
    zero.height = 24;
    zero.SetDefaults();
    const std::string widthZero = files.file("width0.zyr");
    ASSERT_TRUE(WriteZproFile(widthZero, zero));
    const std::string newest = WriteZpro(files, "newest.zyr", 2048);
    const std::string plover = WriteZpro(files, "plover.zyr", 16385);
    const std::string camera = WriteCameraRaw(files, "camera.zyr");

    const struct {
        std::string path, kind;
        int code;           // the kind's own code, 0 when it opened...
        std::string opened; // ...as this kind
    } cases[] = {
        {lzw, "tiff", 2203, ""},
        {strips, "tiff", 2203, ""},
        {tiled, "tiff", 2203, ""},
        {noExif, "tiff", 1701, ""},
        {noIfd1, "tiff", 1701, ""},
        {jpeg, "tiff", 1701, ""},
        {tiff, "tiff", 0, "tiff"},
        {cmyk, "jpeg", 2207, ""},
        {jpeg, "jpeg", 0, "jpeg"},
        {widthZero, "pro", 1701, ""},
        {camera, "pro", 1701, ""},
        // The drivers in the factory's order: Wren4 and Wren3 refuse it first.
        {plover, "pro", 0, "pro"},
        {camera, "zyn", 0, "zyn"},
        {newest, "raw", 0, "pro"},
        {plover, "raw", 0, "pro"},
        {camera, "raw", 0, "zyn"},
        {tiff, "raw", 1701, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " --kind " + c.kind);
        const Answer a = Coreclient("open '" + c.path + "' --kind " + c.kind);
        if (c.code != 0) {
            EXPECT_EQ(a.out, "{\"code\": " + std::to_string(c.code) + "}\n");
            EXPECT_EQ(a.exitCode, 1);
        } else {
            EXPECT_EQ(a.out.rfind("{\"code\": 0, \"kind\": \"" + c.opened + "\", ", 0), 0u) << a.out;
            EXPECT_EQ(a.exitCode, 0);
        }
    }
    // render and params force the kind alike.
    Answer a = Coreclient("params '" + lzw + "' --kind tiff");
    EXPECT_EQ(a.out, "{\"code\": 2203}\n");
    a = Coreclient("render '" + cmyk + "' '" + files.file("out.ppm") + "' --kind jpeg");
    EXPECT_EQ(a.out, "{\"code\": 2207}\n");
    a = Coreclient("render '" + newest + "' '" + files.file("out.ppm") + "' --kind raw");
    EXPECT_EQ(a.exitCode, 0) << a.out;
}

TEST(CoreclientKindTest, TheFactoryStillAnswers2000AndAnUnknownKindIsAUsageError) {
    lumora::test::TempFolder files;
    const std::string lzw = Tiff(files, "lzw.tif", [](FinishedTiffSpec& s) { s.override0[259] = 5; });
    Answer a = Coreclient("open '" + lzw + "'");
    EXPECT_EQ(a.out, "{\"code\": 2000}\n");
    EXPECT_EQ(a.exitCode, 1);
    for (const char* command : {"open", "params"}) {
        a = Coreclient(std::string(command) + " '" + lzw + "' --kind png");
        EXPECT_EQ(a.exitCode, 2) << command;
        EXPECT_EQ(a.out, "") << command;
    }
}
