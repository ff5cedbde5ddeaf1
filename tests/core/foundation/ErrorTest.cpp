#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <chrono>

using namespace NimbalCore;

namespace {

// Every code by its name, as callers compare them.
struct NamedCode {
    int value;
    int expected;
    const char* name;
};
#define CODE(name, value) {name, value, #name}
const NamedCode kCodes[] = {
    CODE(NbErrBadSubsampleLevel, 502), CODE(NbErrPathStatFailed, 1000), CODE(NbErrPathTooLong, 1001),
    CODE(NbErrNotAFolder, 1002), CODE(NbErrAddImageFailed, 1100), CODE(NbErrImageNotListed, 1200),
    CODE(NbErrImageChangeCBNotFound, 1300), CODE(NbErrSoundNotFound, 1301), CODE(NbErrImageOpenFailed, 1302),
    CODE(NbErrNotImplemented, 1303), CODE(NbErrInvalidValue, 1401), CODE(NbErrOutOfMemory, 1500),
    CODE(NbErrAllocFailed, 1502), CODE(NbErrNotAllocated, 1503), CODE(NbErrFolderListFailed, 1601),
    CODE(NbErrFolderNoPath, 1602), CODE(NbErrLibraryFailed, 1700), CODE(NbErrImageFileOpenFailed, 1701),
    CODE(NbErrSetImageTypeFailed, 1703), CODE(NbErrSetPadFailed, 1704), CODE(NbErrCacheLoadFailed, 1705),
    CODE(NbErrCacheDecodeFailed, 1706), CODE(NbErrRenderFailed, 1707), CODE(NbErrThumbnailRenderFailed, 1708),
    CODE(NbErrCameraJpegExportFailed, 1709), CODE(NbErrCameraSettingRefused, 1710),
    CODE(NbErrRenderCancelled, 1711), CODE(NbErrReadSettingsFailed, 1712), CODE(NbErrSettingsBlockFailed, 1713),
    CODE(NbErrNotSupported, 1714), CODE(NbErrImageReadOnly, 1715), CODE(NbErrAttributeWriteFailed, 1716),
    CODE(NbErrClickPointOutside, 1717), CODE(NbErrClickBalanceNeedsColor, 1718),
    CODE(NbErrClickPointSaturated, 1719), CODE(NbErrClickBalanceFailed, 1720),
    CODE(NbErrCameraSettingsFailed, 1721), CODE(NbErrAnnotationFailed, 1722),
    CODE(NbErrMetadataWriteFailed, 1723), CODE(NbErrWhiteBalanceFileFailed, 1724),
    CODE(NbErrWhiteBalanceUnavailable, 1725), CODE(NbErrColorEvaluateFailed, 1727),
    CODE(NbErrColorEngineInitFailed, 1728), CODE(NbErrProfileNotFound, 1730), CODE(NbErrColorProfileFailed, 1731),
    CODE(NbErrClickPointTooDark, 1732), CODE(NbErrDriverInitRefused, 1733), CODE(NbErrImageBusy, 1734),
    CODE(NbErrRenameFailed, 1800), CODE(NbErrMoveOntoItself, 1801), CODE(NbErrFileOpenFailed, 1802),
    CODE(NbErrFileCloseFailed, 1803), CODE(NbErrFileDeleteFailed, 1804), CODE(NbErrFileCopyFailed, 1805),
    CODE(NbErrMoveWhileOpen, 1806), CODE(NbErrRenameWhileOpen, 1807), CODE(NbErrGetAttributesFailed, 1808),
    CODE(NbErrSetAttributesFailed, 1809), CODE(NbErrFileNotOpen, 1810), CODE(NbErrFileReadFailed, 1811),
    CODE(NbErrFileWriteFailed, 1812), CODE(NbErrFileSeekFailed, 1813), CODE(NbErrMoveFailed, 1815),
    CODE(NbErrMoveTargetExists, 1816), CODE(NbErrFilePositionFailed, 1817), CODE(NbErrBadFileExtension, 1818),
    CODE(NbErrRenameAccessDenied, 1819), CODE(NbErrRenameTargetExists, 1820), CODE(NbErrNotUnicodeText, 1821),
    CODE(NbErrBadEscape, 1822), CODE(NbErrNoRendering, 1900), CODE(NbErrRenderingNotCreated, 1901),
    CODE(NbErrUnsupportedImage, 2000), CODE(NbErrProgressCancelled, 2041), CODE(NbErrJPEGEmptyFile, 2200),
    CODE(NbErrThumbnailReadFailed, 2201), CODE(NbErrBadThumbnailRect, 2202), CODE(NbErrNotFinishedImage, 2203),
    CODE(NbErrNoThumbnailDirectory, 2204), CODE(NbErrProfileAllocFailed, 2206), CODE(NbErrJPEGHeaderFailed, 2207),
    CODE(NbErrJPEGHeaderMismatch, 2209), CODE(NbErrJPEGCreateFailed, 2210), CODE(NbErrJPEGStartFailed, 2211),
    CODE(NbErrJPEGReadFailed, 2212), CODE(NbErrJPEGFinishFailed, 2213), CODE(NbErrJPEGDestroyFailed, 2214),
    CODE(NbErrJPEGScaleFailed, 2215), CODE(NbErrThreadFailed, 2400), CODE(NbErrBadRotation, 2500),
    CODE(NbErrSharpenLibraryFailed, 2600), CODE(NbErrSharpenLibraryNotLoaded, 2601),
    CODE(NbErrScalerMissing, 2800), CODE(NbErrScalerNotLoaded, 2801), CODE(NbErrScalerNotSetUp, 2802),
    CODE(NbErrScalerEmptyRect, 2803), CODE(NbErrExportTooLarge, 2804), CODE(NbErrBadArgument, 2807),
    CODE(NbErrScalerStripBeginFailed, 2810), CODE(NbErrScalerStripEndFailed, 2811),
    CODE(NbErrScalerProcessFailed, 2812), CODE(NbErrScalerRectanglesFailed, 2814),
    CODE(NbErrScalerNoBuffers, 2815), CODE(NbErrScalerFormatMismatch, 2816), CODE(NbErrScalerCancelled, 2817),
    CODE(NbErrScalerReservedStatus, 2818), CODE(NbErrScalerNoProgress, 2819),
    CODE(NbErrPixelFormatUnsupported, 2902),
};
#undef CODE

// An error whose deletion is counted.
int g_deleted = 0;
class CountedError : public YlmError {
public:
    CountedError() : YlmError("Test::Op", 1, "f.cpp", 1) {}
    ~CountedError() override { ++g_deleted; }
};

} // namespace

TEST(NbErrorCodesTest, EveryNameHasItsValue) {
    EXPECT_EQ(std::size(kCodes), 108u);
    for (const NamedCode& c : kCodes) EXPECT_EQ(c.value, c.expected) << c.name;
}

TEST(YlmErrorTest, DescriptionTexts) {
    // 2026-12-10 17:01:16 UTC is a Thursday; the tests run with TZ=UTC.
    struct Case {
        const char* message;
        int code;
        const char* file;
        int line;
        const char* start;
    } cases[] = {
        {"FilePathSpec::IsFolder", 1000, "/src/core/FilePathSpec.cpp", 77,
         "YlmError - FilePathSpec::IsFolder:1000, /src/core/FilePathSpec.cpp line 77  "},
        {"", 1802, "a.cpp", 3, "YlmError - :1802, a.cpp line 3  "},
        {"Image::RenderImageInternal", -37, "r.cpp", 12, "YlmError - Image::RenderImageInternal:-37, r.cpp line 12  "},
    };
    for (const Case& c : cases) {
        YlmError e(c.message, c.code, c.file, c.line);
        const std::string text = e.GetDescription();
        ASSERT_EQ(text.rfind(c.start, 0), 0u) << text;
        const std::string date = text.substr(std::string(c.start).size());
        ASSERT_EQ(date.size(), 24u) << text;
        // The C library's date text of the creation time, without its line feed.
        const time_t t = e.GetCreationTime();
        char expected[32];
        std::tm tm{};
        gmtime_r(&t, &tm);
        std::strftime(expected, sizeof expected, "%a %b %e %H:%M:%S %Y", &tm);
        EXPECT_EQ(date, expected);
        EXPECT_STREQ(e.what(), text.c_str());
        EXPECT_EQ(e.GetCode(), c.code);
    }
}

TEST(YlmErrorTest, DescriptionIsBuiltOnce) {
    YlmError e("Folder::GetChanges", 1601, "x.cpp", 9);
    const char* first = e.GetDescription();
    const std::string copy = first;
    std::this_thread::sleep_for(std::chrono::milliseconds(1100)); // the clock moves on a second
    EXPECT_EQ(e.GetDescription(), first);
    EXPECT_EQ(copy, e.GetDescription());
}

TEST(YlmErrpTest, HoldersCountTheirError) {
    g_deleted = 0;
    {
        YlmErrp a(new CountedError);
        {
            YlmErrp b(a);
            YlmErrp c;
            c = a;
            EXPECT_EQ(b.Get(), a.Get());
            c = c; // self-assignment changes nothing
            c = a.Get();
        }
        EXPECT_EQ(g_deleted, 0);
        a = a; // self
        EXPECT_EQ(g_deleted, 0);
        a = new CountedError; // the only reference to the first goes
        EXPECT_EQ(g_deleted, 1);
    }
    EXPECT_EQ(g_deleted, 2);
}

TEST(YlmErrpTest, NullHoldsNothing) {
    YlmErrp none(nullptr);
    EXPECT_EQ(none.Get(), nullptr);
    EXPECT_EQ(none.GetCode(), 0);
    YlmErrp copy(none);
    copy = none;
    EXPECT_EQ(copy.Get(), nullptr);
}

TEST(YlmErrpTest, ThrownAndCaughtByCode) {
    try {
        YLM_THROW("Folder::Create", NbErrFolderNoPath);
        FAIL();
    } catch (const YlmErrp& e) {
        ASSERT_NE(e.Get(), nullptr);
        EXPECT_EQ(e.Get()->GetCode(), NbErrFolderNoPath);
        EXPECT_EQ(e.Get()->GetMessage(), "Folder::Create");
        EXPECT_NE(e.Get()->GetSourceFile().find("ErrorTest.cpp"), std::string::npos);
    }
}
