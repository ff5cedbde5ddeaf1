// The camera-JPEG and RGB engines on their own: the pixel unpacking with its
// grey formula, the stored RGB thumbnail, the decode's cache rules and the
// answers of what these engines do not do.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "EngineTestSupport.h"
#include "JpegFileEngine.h"
#include "RgbFileEngine.h"
#include "VqOutputTypes.h"

namespace {

using lumora::JpegFileEngine;
using lumora::RgbFileEngine;

using lumora::test::MemoryImage;
using lumora::test::SetParameter;

} // namespace

// Every s-th pixel of every s-th row; the grey of an RGB pixel is the BT.601
// luma of its 8-bit values raised by the shift, truncated.
TEST(JpegFileEngine, UnpackTakesItsPixelsAndMakesGrey) {
    // Two rows of three RGB pixels.
    const uint8_t rgb[] = {255, 255, 255, 255, 0, 0, 1, 2, 3, 10, 20, 30, 0, 255, 0, 0, 0, 255};
    uint16_t a[6] = {}, b[6] = {}, c[6] = {};
    JpegFileEngine::UnpackToPlanes(a, b, c, rgb, 1, 3, 2, 8, false, true);
    EXPECT_EQ(b[0], 65280);  // white
    EXPECT_EQ(b[1], 19518);  // red: 299 * 255 * 256 / 1000
    EXPECT_EQ(b[4], 38319);  // green: 587 * 255 * 256 / 1000, truncated
    EXPECT_EQ(b[5], 7441);   // blue
    EXPECT_EQ(a[0], 0);      // a and c are not written for grey
    JpegFileEngine::UnpackToPlanes(a, b, c, rgb, 1, 3, 2, 8, false, false);
    EXPECT_EQ((std::vector<uint16_t>{a[2], b[2], c[2]}), (std::vector<uint16_t>{256, 512, 768}));
    // Subsample 2 of a 4 x 2 grey source takes columns 0 and 2 of row 0.
    const uint8_t grey[] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint16_t g[2] = {};
    JpegFileEngine::UnpackToPlanes(nullptr, g, nullptr, grey, 2, 4, 2, 8, true, false);
    EXPECT_EQ((std::vector<uint16_t>{g[0], g[1]}), (std::vector<uint16_t>{256, 768}));
}

TEST(JpegFileEngine, ThumbnailsAndAnswersOfWhatTheEnginesDoNotDo) {
    // A 2 x 1 RGB thumbnail: white, red.
    const uint8_t thumb[] = {255, 255, 255, 255, 0, 0};
    struct Case {
        const char* what;
        int32_t width, height;
        const uint8_t* data;
        uint32_t type;
        uint32_t status;
        std::vector<uint8_t> out;
    };
    const Case cases[] = {
        {"RGB", 2, 1, thumb, VQ_TYPE_RGB8, 0, {255, 255, 255, 255, 0, 0}},
        {"grey by the luma formula", 2, 1, thumb, VQ_TYPE_GRAY8, 0, {255, 76}},
        {"no thumbnail", 2, 1, nullptr, VQ_TYPE_RGB8, VQ_ERR_BAD_HANDLE, {}},
        {"width 0", 0, 1, thumb, VQ_TYPE_RGB8, VQ_ERR_JPEG_THUMB_EMPTY, {}},
    };
    for (const Case& c : cases) {
        JpegFileEngine engine;
        SetParameter(engine, lumora::RP_IS_COLOR, int32_t(1));
        SetParameter(engine, lumora::RP_RAW_WIDTH, int32_t(8));
        SetParameter(engine, lumora::RP_RAW_HEIGHT, int32_t(8));
        SetParameter(engine, lumora::RP_OUTPUT_TYPE, int32_t(c.type));
        int32_t info[8] = {0, 0, 0, int32_t(sizeof thumb), 0, 0, c.width, c.height};
        std::memcpy(engine.Parameter(lumora::RP_THUMBNAIL_INFO), info, sizeof info);
        engine.ParameterChanged(lumora::RP_THUMBNAIL_INFO);
        SetParameter(engine, lumora::RP_THUMBNAIL_DATA, c.data);
        std::vector<uint8_t> out(16, 0xEE);
        EXPECT_EQ(engine.RenderThumbnail(out.data()), c.status) << c.what;
        if (c.status == 0) {
            EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + long(c.out.size())), c.out) << c.what;
        }
    }
    JpegFileEngine jpeg;
    RgbFileEngine rgb;
    uint16_t triple[3];
    EXPECT_EQ(jpeg.SampleWhiteBalance(nullptr, triple, 0, nullptr), VQ_ERR_JPEG_ENGINE_UNSUPPORTED);
    EXPECT_EQ(rgb.SampleWhiteBalance(nullptr, triple, 0, nullptr), VQ_ERR_NOT_FOR_THIS_KIND);
    EXPECT_EQ(rgb.DecodeCache(nullptr, 1, 1, 0), 0u);
}

namespace {

// A 4 x 4 baseline JPEG stream of one colour.
std::vector<uint8_t> SmallJpeg() {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &bytes, &size);
    cinfo.image_width = 4;
    cinfo.image_height = 4;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    uint8_t row[12];
    for (int i = 0; i < 12; i += 3) row[i] = 200, row[i + 1] = 100, row[i + 2] = 50;
    while (cinfo.next_scanline < 4) {
        JSAMPROW r = row;
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(bytes, bytes + size);
    std::free(bytes);
    return out;
}

} // namespace

// A stream is decoded once; a file not wholly loaded is not decoded; a decode
// that fails leaves the next rendering to load and decode again.
TEST(JpegFileEngine, DecodeOnceAndOnlyWhatIsWhollyLoaded) {
    for (bool good : {true, false}) {
        SCOPED_TRACE(good ? "a JPEG stream" : "not a JPEG stream");
        MemoryImage image;
        if (good) image.file = SmallJpeg();
        else image.file.assign(64, 0x55);
        JpegFileEngine engine;
        lumora::RendererImage* self = &image;
        SetParameter(engine, lumora::RP_IMAGE, self);
        SetParameter(engine, lumora::RP_IS_COLOR, int32_t(1));
        SetParameter(engine, lumora::RP_RAW_WIDTH, int32_t(4));
        SetParameter(engine, lumora::RP_RAW_HEIGHT, int32_t(4));
        SetParameter(engine, lumora::RP_DATA_OFFSET, int32_t(0));
        SetParameter(engine, lumora::RP_DATA_SIZE, int32_t(image.file.size()));
        SetParameter(engine, lumora::RP_OUTPUT_TYPE, int32_t(VQ_TYPE_RGB8));
        EXPECT_EQ(engine.DecodeCache(nullptr, 1, 1, 0), VQ_ERR_CACHE_INCOMPLETE);
        int32_t done = 0;
        ASSERT_EQ(engine.LoadCache(nullptr, 0, &done, 3), 0u);
        EXPECT_EQ(done, 1);
        if (good) {
            ASSERT_EQ(engine.DecodeCache(nullptr, 1, 1, 0), 0u);
            EXPECT_EQ(engine.LastWarnings(), 0);
            // The cache now holds pixels: decoding them as a stream would fail.
            EXPECT_EQ(engine.DecodeCache(nullptr, 1, 1, 0), 0u);
            EXPECT_EQ(image.reads, 1);
        } else {
            EXPECT_EQ(engine.DecodeCache(nullptr, 1, 1, 0), VQ_ERR_JPEG_FAILED_READ_HEADER);
            // The bytes were handed to the decoder: the next try loads them again.
            EXPECT_EQ(engine.DecodeCache(nullptr, 1, 1, 0), VQ_ERR_CACHE_INCOMPLETE);
        }
    }
}
