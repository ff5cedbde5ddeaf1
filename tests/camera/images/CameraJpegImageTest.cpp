// Camera JPEG and RGB TIFF files: open through the factory, render through the
// Vq calls, and compare with djpeg decoding the same stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "JpegFileEngine.h"
#include "JpegFileImage.h"
#include "RawImageFixture.h"
#include "RgbFileImage.h"
#include "ShellCommand.h"
#include "TestFiles.h"
#include "ZyrCameraFile.h"

using namespace lumora::vq;
using namespace rawimagetest;

namespace {

// The pixel bytes of a binary PNM (P5 or P6, maximum 255) as djpeg writes it.
std::vector<uint8_t> PnmPixels(const std::string& pnm) {
    size_t at = 0;
    int fields = 0;
    while (fields < 4 && at < pnm.size()) {
        while (at < pnm.size() && std::isspace(uint8_t(pnm[at]))) ++at;
        while (at < pnm.size() && !std::isspace(uint8_t(pnm[at]))) ++at;
        ++fields;
    }
    ++at;
    return at <= pnm.size() ? std::vector<uint8_t>(pnm.begin() + long(at), pnm.end()) : std::vector<uint8_t>{};
}

class CameraFileTest : public RawImageTest {
protected:
    std::vector<uint8_t> file_;
    std::string path_;

    uint32_t OpenCamera(const ZyrCameraFileOptions& o) {
        file_ = ZyrCameraFile::Make(o);
        if (file_.empty()) return ~0u;
        const uint32_t status = OpenBytes(file_);
        path_ = (dir_.path() / ("raw" + std::to_string(files_) + ".zyr")).string();
        return status;
    }
    // The whole output of the current type, or the status that stopped it.
    uint32_t Render(std::vector<uint8_t>& out) {
        ImageGeometry g{};
        if (uint32_t s = image_->GetGeometry(&g)) return s;
        out.assign(size_t(g.outputBytes), 0xAB);
        ImageBufferRecord rec{};
        rec.buffer = out.data();
        rec.bufferBytes = uint32_t(out.size());
        return VqGetImage(&info_, &rec, nullptr);
    }
    std::string Djpeg(const std::string& switches) {
        return lumora::test::RunCommand("djpeg -dct fast " + switches + " '" + path_ + "' 2>/dev/null");
    }
};

} // namespace

TEST_F(CameraFileTest, CameraJpegOpensAndRendersAsDjpegDecodesIt) {
    if (!lumora::test::HaveTool("djpeg")) GTEST_SKIP() << "djpeg is not installed";
    for (lumora::ByteOrder order : {lumora::ByteOrder::Big, lumora::ByteOrder::Little}) {
        ZyrCameraFileOptions o;
        o.order = order;
        ASSERT_EQ(OpenCamera(o), 0u);
        ASSERT_NE(dynamic_cast<JpegFileImage*>(image_), nullptr);
        EXPECT_EQ(info_.fileKind, kFileCameraJpeg);
        EXPECT_EQ(info_.outputType, uint32_t(VQ_TYPE_RGB8));
        std::vector<uint8_t> rgb;
        ASSERT_EQ(Render(rgb), 0u);
        const std::vector<uint8_t> expected = PnmPixels(Djpeg("-pnm"));
        ASSERT_EQ(expected.size(), size_t(o.width) * o.height * 3);
        EXPECT_EQ(rgb, expected);

        // Grey output is libjpeg's own grey decode.
        ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_GRAY8), 0u);
        std::vector<uint8_t> grey;
        ASSERT_EQ(Render(grey), 0u);
        EXPECT_EQ(grey, PnmPixels(Djpeg("-grayscale -pnm")));
        // Back to RGB: decoded again, into a cache large enough for it.
        ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_RGB8), 0u);
        std::vector<uint8_t> again;
        ASSERT_EQ(Render(again), 0u);
        EXPECT_EQ(again, expected);
    }
}

TEST_F(CameraFileTest, SubsampledAndTurnedRenderingsTakeTheirPixels) {
    ZyrCameraFileOptions o;
    ASSERT_EQ(OpenCamera(o), 0u);
    std::vector<uint8_t> full, half, turned;
    ASSERT_EQ(Render(full), 0u);
    ASSERT_EQ(VqSetSubSample(&info_, 2), 0u);
    ASSERT_EQ(Render(half), 0u);
    const uint32_t w = o.width, h = o.height;
    ASSERT_EQ(half.size(), size_t(w / 2) * (h / 2) * 3);
    for (uint32_t y = 0; y < h / 2; ++y)
        for (uint32_t x = 0; x < w / 2; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(half[(y * (w / 2) + x) * 3 + c], full[(2 * y * w + 2 * x) * 3 + c]) << x << "," << y;
    ASSERT_EQ(VqSetSubSample(&info_, 1), 0u);
    // In strips of a few rows, straight from the cache (RGB) and through the
    // planes (BGR), the same pixels in the same order.
    for (uint32_t type : {uint32_t(VQ_TYPE_RGB8), uint32_t(VQ_TYPE_BGR8)}) {
        ASSERT_EQ(VqSetImageType(&info_, type), 0u);
        std::vector<uint8_t> strips(full.size() + 64, 0xCD), stripBuffer(w * 3 * 17);
        struct Sink {
            uint8_t* at;
            std::vector<uint8_t>* buffer;
        };
        static Sink sink;
        sink = {strips.data(), &stripBuffer};
        ImageBufferRecord rec{};
        rec.buffer = stripBuffer.data();
        rec.bufferBytes = uint32_t(stripBuffer.size());
        rec.stripCallback = [](void* at, uint32_t bytes, int32_t) -> void* {
            std::memcpy(sink.at, at, bytes);
            sink.at += bytes;
            return sink.buffer->data();
        };
        ASSERT_EQ(VqGetImage(&info_, &rec, nullptr), 0u) << type;
        ASSERT_EQ(size_t(sink.at - strips.data()), full.size()) << type;
        for (size_t i = 0; i < full.size(); i += 3)
            for (size_t c = 0; c < 3; ++c)
                ASSERT_EQ(strips[i + c], full[i + (type == VQ_TYPE_BGR8 ? 2 - c : c)]) << type << " at " << i;
    }
    ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_RGB8), 0u);
    ASSERT_EQ(VqSetRotateType(&info_, 180.0f), 0u);
    ASSERT_EQ(Render(turned), 0u);
    for (uint32_t i = 0; i < w * h; ++i)
        for (int c = 0; c < 3; ++c) ASSERT_EQ(turned[(w * h - 1 - i) * 3 + c], full[i * 3 + c]);
}

TEST_F(CameraFileTest, CameraJpegThumbnailTypesBalanceAndExtensions) {
    ZyrCameraFileOptions o;
    ASSERT_EQ(OpenCamera(o), 0u);
    // The record's full size is the thumbnail directory's, which the
    // thumbnail fills whole.
    EXPECT_EQ(uint32_t(info_.geometry.fullWidth), o.thumbWidth);
    EXPECT_EQ(uint32_t(info_.geometry.fullHeight), o.thumbHeight);
    ASSERT_EQ(size_t(info_.geometry.fullBytes), size_t(o.thumbWidth) * o.thumbHeight * 3);
    std::vector<uint8_t> thumb(size_t(info_.geometry.fullBytes), 0);
    ASSERT_EQ(VqGetThumbnail(&info_, thumb.data()), 0u);
    for (uint32_t y = 0; y < o.thumbHeight; ++y)
        for (uint32_t x = 0; x < o.thumbWidth; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(thumb[(y * o.thumbWidth + x) * 3 + c], ZyrCameraFile::ThumbPixel(x, y, c));

    for (uint32_t type : {6u, 0u, 12u, 13u})
        EXPECT_EQ(VqSetImageType(&info_, type), uint32_t(VQ_ERR_BAD_IMAGE_TYPE)) << type;
    for (uint32_t type : {5u, 8u, 9u, 2u, 4u}) EXPECT_EQ(VqSetImageType(&info_, type), 0u) << type;

    EXPECT_EQ(VqSetExtension(&info_, 22, nullptr, 0, 0, 0, 0), uint32_t(VQ_ERR_EXTENSION_READ_ONLY));
    int32_t looks = -1;
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_LOOK_COUNT, &looks), 0u);
    EXPECT_EQ(looks, 0);
    EXPECT_EQ(SetBalance(1, 0, 1, 300, 310, 320), 0u);
    EXPECT_EQ(SetBalance(1, 0, 0, 0, 0, 0), uint32_t(VQ_ERR_JPEG_BALANCE_UNSUPPORTED));
    SdkRect area{0, 0, 8, 8};
    uint16_t triple[3];
    EXPECT_EQ(VqCalculateWhiteBalance(&info_, &area, triple), uint32_t(VQ_ERR_JPEG_ENGINE_UNSUPPORTED));
    EXPECT_EQ(image_->WriteWhiteBalanceFile(VqPathRecord{}, nullptr), uint32_t(VQ_ERR_WB_FILE_UNSUPPORTED_JPEG));
    // Hidden 17: JPEG conversion allowed, off after open.
    int32_t allowed = -1;
    ASSERT_EQ(image_->GetHidden(17, &allowed), 0u);
    EXPECT_EQ(allowed, 0);
}

// The camera-settings data of tag 1009: its length (extension 17) and its
// bytes (extension 18), for camera JPEG and RGB TIFF files alike.
TEST_F(CameraFileTest, SettingsDataIsAnsweredByLengthAndBytes) {
    for (bool rgbTiff : {false, true}) {
        SCOPED_TRACE(rgbTiff ? "RGB TIFF" : "camera JPEG");
        ZyrCameraFileOptions o;
        o.rgbTiff = rgbTiff;
        if (rgbTiff) o.width = 520;
        o.settingsData = true;
        ASSERT_EQ(OpenCamera(o), 0u);
        int32_t length = 0;
        ASSERT_EQ(VqGetExtension(&info_, 17, &length), 0u);
        EXPECT_EQ(length, 12);
        char text[16] = {};
        void* where[4] = {text, nullptr, nullptr, nullptr};
        ASSERT_EQ(VqGetExtension(&info_, 18, where), 0u);
        EXPECT_EQ(std::string(text, 12), "SETTINGS-109");
        EXPECT_EQ(info_.settingsDataLength, 12u);
    }
    // Without the tag there is nothing to answer.
    ASSERT_EQ(OpenCamera(ZyrCameraFileOptions()), 0u);
    char text[16] = {};
    void* where[4] = {text, nullptr, nullptr, nullptr};
    EXPECT_EQ(VqGetExtension(&info_, 18, where), VQ_ERR_VALUE_ABSENT);
}

TEST_F(CameraFileTest, GreyCameraJpegRendersGreyOnly) {
    if (!lumora::test::HaveTool("djpeg")) GTEST_SKIP() << "djpeg is not installed";
    ZyrCameraFileOptions o;
    o.colour = false;
    ASSERT_EQ(OpenCamera(o), 0u);
    EXPECT_EQ(info_.outputType, uint32_t(VQ_TYPE_GRAY8));
    EXPECT_EQ(VqSetImageType(&info_, VQ_TYPE_RGB8), uint32_t(VQ_ERR_BAD_IMAGE_TYPE));
    std::vector<uint8_t> grey;
    ASSERT_EQ(Render(grey), 0u);
    EXPECT_EQ(grey, PnmPixels(Djpeg("-pnm")));
}

// Streams that do not match the file's directories, and streams cut short.
TEST_F(CameraFileTest, DamagedStreamsAreAnswered) {
    struct Case {
        const char* name;
        uint32_t extraWidth;
        bool greyStream;
        uint32_t cut;
        uint32_t status;
    };
    const Case cases[] = {
        {"one column wider", 1, false, 0, VQ_ERR_JPEG_SIZE_MISMATCH},
        {"grey stream in a colour file", 0, true, 0, VQ_ERR_JPEG_SIZE_MISMATCH},
        // libjpeg warns and fills the rest: the rendering goes on.
        {"cut in the scan", 0, false, 400, 0},
        {"cut in the headers", 0, false, 1u << 20, VQ_ERR_JPEG_FAILED_READ_HEADER},
    };
    for (const Case& c : cases) {
        ZyrCameraFileOptions o;
        o.streamExtraWidth = c.extraWidth;
        o.greyStream = c.greyStream;
        o.cutStream = c.cut;
        ASSERT_EQ(OpenCamera(o), 0u) << c.name;
        std::vector<uint8_t> out;
        EXPECT_EQ(Render(out), c.status) << c.name;
        // A failed decode leaves nothing behind: the next rendering tries again.
        EXPECT_EQ(Render(out), c.status) << c.name;
    }
}

namespace {

// The first image's pixels as libtiff decodes them: tiffcp rewrites the file
// uncompressed in one strip, and tiffdump says where that strip lies.
std::vector<uint8_t> TiffcpPixels(const std::string& path, const std::string& copy, uint32_t rows) {
    lumora::test::RunCommand("tiffcp -c none -r " + std::to_string(rows) + " '" + path + "' '" + copy +
                             "' 2>/dev/null");
    const std::string dump = lumora::test::RunCommand("tiffdump '" + copy + "' 2>/dev/null");
    auto value = [&](const std::string& tag) -> long {
        const size_t at = dump.find(tag);
        if (at == std::string::npos) return -1;
        const size_t open = dump.find('<', at);
        return open == std::string::npos ? -1 : std::atol(dump.c_str() + open + 1);
    };
    const long offset = value("StripOffsets (273)"), count = value("StripByteCounts (279)");
    const std::vector<uint8_t> bytes = lumora::test::ReadFileBytes(copy);
    if (offset < 0 || count < 0 || size_t(offset + count) > bytes.size()) return {};
    return std::vector<uint8_t>(bytes.begin() + offset, bytes.begin() + offset + count);
}

} // namespace

TEST_F(CameraFileTest, RgbTiffRendersItsPixelsAndTheirGrey) {
    const bool tiffcp = lumora::test::HaveTool("tiffcp") && lumora::test::HaveTool("tiffdump");
    ZyrCameraFileOptions o;
    o.rgbTiff = true;
    o.width = 520;
    o.height = 10;
    for (lumora::ByteOrder order : {lumora::ByteOrder::Big, lumora::ByteOrder::Little}) {
        o.order = order;
        ASSERT_EQ(OpenCamera(o), 0u);
        ASSERT_NE(dynamic_cast<RgbFileImage*>(image_), nullptr);
        EXPECT_EQ(info_.fileKind, kFileRgbTiff);
        std::vector<uint8_t> rgb, grey;
        ASSERT_EQ(Render(rgb), 0u);
        ASSERT_EQ(rgb.size(), size_t(o.width) * o.height * 3);
        for (uint32_t y = 0; y < o.height; ++y)
            for (uint32_t x = 0; x < o.width; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(rgb[(y * o.width + x) * 3 + c], ZyrCameraFile::Pixel(x, y, c)) << x << "," << y;
        if (tiffcp) {
            EXPECT_EQ(rgb, TiffcpPixels(path_, path_ + ".tiffcp.tif", o.height));
        }
        ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_GRAY8), 0u);
        ASSERT_EQ(Render(grey), 0u);
        for (uint32_t y = 0; y < o.height; ++y)
            for (uint32_t x = 0; x < o.width; ++x) {
                const uint32_t luma = (299u * ZyrCameraFile::Pixel(x, y, 0) + 587u * ZyrCameraFile::Pixel(x, y, 1) +
                                       114u * ZyrCameraFile::Pixel(x, y, 2)) *
                                      256u / 1000u;
                ASSERT_EQ(grey[y * o.width + x], luma >> 8) << x << "," << y;
            }
        SdkRect area{0, 0, 8, 8};
        uint16_t triple[3];
        EXPECT_EQ(VqCalculateWhiteBalance(&info_, &area, triple), uint32_t(VQ_ERR_NOT_FOR_THIS_KIND));
        EXPECT_EQ(image_->WriteWhiteBalanceFile(VqPathRecord{}, nullptr), uint32_t(VQ_ERR_WB_FILE_UNSUPPORTED_RGB));
    }
}

namespace {

std::vector<uint8_t> Caption(const std::string& text) {
    std::vector<uint8_t> v(5 + text.size());
    const uint8_t head[5] = {0x1C, 0x02, 0x78, uint8_t(text.size() >> 8), uint8_t(text.size())};
    std::memcpy(v.data(), head, sizeof head);
    std::memcpy(v.data() + 5, text.data(), text.size());
    return v;
}

using lumora::test::ReadFileBytes;

// Where the APP1 segment starts.
size_t App1(const std::vector<uint8_t>& b) {
    for (size_t i = 2; i + 3 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == 0xE1) return i;
    return b.size();
}

} // namespace

// The IPTC record goes into the APP13 block (a new one before APP1 when the
// file has none); the bytes before the block and from APP1 on stay as they were.
TEST_F(CameraFileTest, IptcSaveRewritesTheBlockAndKeepsTheRest) {
    const bool exiftool = lumora::test::HaveTool("exiftool");
    for (bool withBlock : {true, false}) {
        ZyrCameraFileOptions o;
        if (withBlock) o.iptc = Caption("Old");
        ASSERT_EQ(OpenCamera(o), 0u);
        const std::vector<uint8_t> before = ReadFileBytes(path_);
        std::vector<uint8_t> rendered, again;
        ASSERT_EQ(Render(rendered), 0u);
        const std::vector<uint8_t> record = Caption("New caption");
        VqIptcRecord r{uint32_t(record.size()), record.data(), 0};
        ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_IPTC, &r, 0, 0, 0, 0), 0u) << withBlock;
        const std::vector<uint8_t> after = ReadFileBytes(path_);
        const size_t app1Before = App1(before), app1After = App1(after);
        // Prefix: up to the old block (or APP1 without one).
        size_t prefix = app1Before;
        for (size_t i = 2; i + 1 < before.size() && i < app1Before; ++i)
            if (before[i] == 0xFF && before[i + 1] == 0xED) {
                prefix = i;
                break;
            }
        EXPECT_TRUE(std::equal(before.begin(), before.begin() + long(prefix), after.begin())) << withBlock;
        EXPECT_EQ(std::vector<uint8_t>(before.begin() + long(app1Before), before.end()),
                  std::vector<uint8_t>(after.begin() + long(app1After), after.end()))
            << withBlock;
        if (exiftool) {
            EXPECT_EQ(lumora::test::RunCommand("exiftool -s -s -s -IPTC:Caption-Abstract '" + path_ + "' 2>&1"),
                      "New caption\n");
        }
        // The image follows its moved data.
        ASSERT_EQ(Render(again), 0u);
        EXPECT_EQ(again, rendered);
        VqIptcRecord got{};
        ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_IPTC, &got), 0u);
        ASSERT_GE(got.length, record.size());
        EXPECT_EQ(std::memcmp(got.data, record.data(), record.size()), 0);
    }
}

// The print resolution of IFD0 is the image's (extension 29), as for raw files.
TEST_F(CameraFileTest, ResolutionComesFromTheMainDirectory) {
    struct Case {
        uint32_t numerator, denominator;
        uint16_t unit;
        int32_t value, unitOut, precision;
    };
    const Case cases[] = {
        {150000, 1000, 3, 150, 2, 2}, // per centimetre, to 1/1000
        {24000, 100, 2, 240, 1, 1},   // per inch, to 1/100
        {300, 1, 2, 300, 1, 0},       // whole numbers: the default record
    };
    for (const Case& c : cases) {
        ZyrCameraFileOptions o;
        o.resolution[0] = c.numerator;
        o.resolution[1] = c.denominator;
        o.resolutionUnit = c.unit;
        ASSERT_EQ(OpenCamera(o), 0u);
        int32_t got[3] = {};
        ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_RESOLUTION, got), 0u);
        EXPECT_EQ(got[0], c.value) << c.numerator;
        EXPECT_EQ(got[1], c.unitOut) << c.numerator;
        EXPECT_EQ(got[2], c.precision) << c.numerator;
    }
}

// Saving a changed resolution writes it wherever the file keeps one: the TIFF
// tags of APP1, the JFIF density, the APP8 record and the Photoshop block's
// ResolutionInfo; a file without a Photoshop block gets one at its first save.
// Nothing else of the file changes.
TEST_F(CameraFileTest, SavedResolutionReachesEveryPlaceTheFileKeepsIt) {
    if (!lumora::test::HaveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
    for (bool withBlock : {true, false}) {
        SCOPED_TRACE(withBlock ? "with APP8 and APP13" : "without APP13");
        ZyrCameraFileOptions o;
        o.app8 = withBlock;
        if (withBlock) o.iptc = Caption("Kept");
        ASSERT_EQ(OpenCamera(o), 0u);
        const size_t original = ReadFileBytes(path_).size();
        std::vector<uint8_t> rendered, again;
        ASSERT_EQ(Render(rendered), 0u);
        // A first save writes the settings record the way this interface
        // writes it, and gives a file without a Photoshop block its block.
        ASSERT_EQ(VqSaveProcessParameters(&info_), 0u);
        const std::vector<uint8_t> before = ReadFileBytes(path_);
        EXPECT_EQ(before.size(), withBlock ? original : original + 1100);
        EXPECT_EQ(lumora::test::RunCommand("exiftool -s -s -s -Photoshop:XResolution '" + path_ + "' 2>&1"), "300\n");

        // 100 per centimetre: 254 per inch in the ResolutionInfo.
        ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_RESOLUTION, reinterpret_cast<void*>(uintptr_t(100)), 2, 0, 0, 0), 0u);
        ASSERT_EQ(VqSaveProcessParameters(&info_), 0u);
        const std::vector<uint8_t> after = ReadFileBytes(path_);
        EXPECT_EQ(lumora::test::RunCommand("exiftool -s -s -s -IFD0:XResolution -IFD0:ResolutionUnit -JFIF:XResolution "
                                           "-JFIF:YResolution -JFIF:ResolutionUnit -Photoshop:XResolution "
                                           "-Photoshop:DisplayedUnitsX '" +
                                           path_ + "' 2>&1"),
                  "100\ncm\n100\n100\ncm\n254\ncm\n");
        ASSERT_EQ(after.size(), before.size());
        // Only resolution fields change: JFIF (5 bytes), APP8 (5), the
        // ResolutionInfo (16) and the TIFF rationals and unit (18).
        size_t changed = 0;
        for (size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
        EXPECT_GT(changed, 0u);
        EXPECT_LE(changed, 5u + (withBlock ? 5u : 0u) + 16u + 18u);
        if (withBlock) {
            // The APP8 record (second layout): unit at 13, values at 24 and 28.
            size_t app8 = 0;
            while (app8 + 1 < after.size() && !(after[app8] == 0xFF && after[app8 + 1] == 0xE8)) ++app8;
            ASSERT_LT(app8 + 34, after.size());
            EXPECT_EQ(after[app8 + 13], 2);
            EXPECT_EQ((std::vector<uint8_t>(after.begin() + long(app8 + 24), after.begin() + long(app8 + 26))),
                      (std::vector<uint8_t>{0, 100}));
            EXPECT_EQ((std::vector<uint8_t>(after.begin() + long(app8 + 28), after.begin() + long(app8 + 30))),
                      (std::vector<uint8_t>{0, 100}));
            EXPECT_EQ(lumora::test::RunCommand("exiftool -s -s -s -IPTC:Caption-Abstract '" + path_ + "' 2>&1"),
                      "Kept\n");
        }
        // The pixels are where the image expects them.
        ASSERT_EQ(Render(again), 0u);
        EXPECT_EQ(again, rendered);
        // Saving again with nothing changed writes nothing.
        ASSERT_EQ(VqSaveProcessParameters(&info_), 0u);
        EXPECT_EQ(ReadFileBytes(path_), after);
    }
}

namespace {

// The window fitting on its own, for an image of a given size and margins.
class WindowProbe : public JpegFileImage {
public:
    WindowProbe(uint32_t width, uint32_t height) : JpegFileImage(nullptr, nullptr) {
        rawWidth_ = width;
        rawHeight_ = height;
    }
    bool Fit(int32_t (&window)[4], int32_t SW, int32_t SH, int32_t ST, int32_t SL) {
        return AdjustStoredWindow(&window[0], &window[1], &window[2], &window[3], SW, SH, ST, SL);
    }
};

} // namespace

// A window stored for the whole raw image, fitted to the smaller JPEG image:
// scaled by the ratio of usable widths (held to 1/2, 2/3 or 1 near them),
// around the centred part the JPEG shows, even, and inside the image.
TEST(JpegFileImageWindow, StoredWindowsAreFittedToTheImage) {
    struct Case {
        const char* what;
        uint32_t width, height;
        int32_t SW, SH, ST, SL;
        int32_t window[4];
        bool fitted;
        int32_t expected[4];
    };
    const Case cases[] = {
        {"half the stored width", 2000, 1500, 4000, 3000, 0, 0, {1000, 800, 2000, 1600}, true, {500, 400, 1000, 800}},
        {"stored margins count before scaling", 2000, 1500, 4000, 3000, 20, 40, {1040, 820, 2000, 1600}, true,
         {500, 400, 1000, 800}},
        {"two thirds, cut at the right edge", 2000, 1500, 3000, 2250, 0, 0, {300, 300, 2900, 1500}, true,
         {200, 200, 1800, 1000}},
        {"near 1 counts as 1, around the centre", 2000, 1500, 2100, 1600, 0, 0, {150, 150, 1000, 1000}, true,
         {100, 100, 1000, 1000}},
        {"below half counts as half", 1000, 750, 4000, 3000, 0, 0, {2000, 1500, 400, 400}, true, {500, 374, 200, 200}},
        {"odd results are made even", 2000, 1500, 3000, 2250, 0, 0, {3, 3, 303, 303}, true, {2, 2, 202, 202}},
        {"same width: unchanged", 2000, 1500, 2000, 1500, 0, 0, {10, 20, 30, 40}, true, {10, 20, 30, 40}},
        {"stored narrower than the image: not used", 2000, 1500, 1000, 750, 0, 0, {10, 20, 30, 40}, false,
         {10, 20, 30, 40}},
    };
    for (const Case& c : cases) {
        WindowProbe image(c.width, c.height);
        int32_t window[4] = {c.window[0], c.window[1], c.window[2], c.window[3]};
        EXPECT_EQ(image.Fit(window, c.SW, c.SH, c.ST, c.SL), c.fitted) << c.what;
        EXPECT_EQ(std::vector<int32_t>(window, window + 4), std::vector<int32_t>(c.expected, c.expected + 4)) << c.what;
    }
}

// The fields a camera JPEG file rewrites in place (the settings record of the
// private directory, the ImageDescription field) lie inside APP1: they are
// written where the TIFF structure puts them, also after a Photoshop block was
// inserted in front of it, and nothing else of the file changes.
TEST_F(CameraFileTest, InPlaceWritesLandOnTheirFieldsInsideApp1) {
    const bool exiftool = lumora::test::HaveTool("exiftool");
    for (bool insertBlockFirst : {false, true}) {
        SCOPED_TRACE(insertBlockFirst ? "after a block was inserted" : "as written by the camera");
        ZyrCameraFileOptions o;
        if (!insertBlockFirst) o.iptc = Caption("From the camera");
        ASSERT_EQ(OpenCamera(o), 0u);
        if (insertBlockFirst) {
            const std::vector<uint8_t> record = Caption("Inserted");
            VqIptcRecord r{uint32_t(record.size()), record.data(), 0};
            ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_IPTC, &r, 0, 0, 0, 0), 0u);
        }
        // Where the settings record lies in the file, by the image's own tag finder.
        uint32_t lookup[8] = {};
        const uint16_t request[3] = {1021, 0, 4};
        std::memcpy(lookup, request, sizeof request);
        ASSERT_EQ(VqGetHidden(&info_, 10, lookup), 0u);
        const size_t record = lookup[2];
        const std::vector<uint8_t> before = ReadFileBytes(path_);
        ASSERT_LE(record + 58, before.size());

        ASSERT_EQ(VqSetRotateType(&info_, 90.0f), 0u);
        ASSERT_EQ(VqSaveProcessParameters(&info_), 0u);
        const std::vector<uint8_t> saved = ReadFileBytes(path_);
        ASSERT_EQ(saved.size(), before.size());
        for (size_t i = 0; i < saved.size(); ++i)
            if (i < record || i >= record + 58) {
                ASSERT_EQ(saved[i], before[i]) << "byte " << i;
            }
        // The record read back: the file opens turned.
        {
            ImageInfoRecord again{};
            ASSERT_EQ(VqOpenImageFile(path_.c_str(), &again), 0u);
            float rotation = -1;
            EXPECT_EQ(VqGetRotateType(&again, &rotation), 0u);
            EXPECT_EQ(rotation, 90.0f);
            EXPECT_EQ(VqCloseImage(&again), 0u);
        }

        const std::string text = "Written in place";
        ASSERT_EQ(VqSetImageDescription(&info_, uint32_t(text.size()), text.c_str()), 0u);
        if (exiftool) {
            EXPECT_EQ(lumora::test::RunCommand("exiftool -s -s -s -IFD0:ImageDescription '" + path_ + "' 2>&1"),
                      text + "\n");
        }
        std::vector<uint8_t> rendered;
        EXPECT_EQ(Render(rendered), 0u);
    }
}
