// Processing settings of an image through the public interface, on files of
// the oldest models (their image class is the base class): output type,
// rotation, subsample, pad bytes, output window and white balance, and what
// each does to the geometry the caller sizes its buffers by.
#include "VqSession.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

struct FileOptions {
    uint32_t sensorWidth = 64;
    uint32_t sensorHeight = 48;
    bool colour = true;
    std::string description;  // empty: the sample's own
};

// An open family-0 image over a synthetic file; closed with the test.
class OldestImage {
public:
    explicit OldestImage(const FileOptions& f = {}) {
        ZyrSampleOptions o;
        o.model = "ZYNM03";
        o.sensorWidth = f.sensorWidth;
        o.sensorHeight = f.sensorHeight;
        o.colour = f.colour;
        ZyrWriter w(o.order);
        const ZyrSample::Ifds d = ZyrSample::Fill(w, o);
        if (!f.colour) {
            // The oldest models tell colour by the header image's samples.
            w.Remove(d.thumbnail, 277);
            w.Shorts(d.thumbnail, 277, {1});
        }
        if (!f.description.empty()) {
            w.Remove(d.main, 270);
            w.Ascii(d.main, 270, f.description);
        }
        const std::string path = WriteFile(dir, "old.zyr", w.Build());
        record = EmptyRecord();
        openStatus = VqOpenImageFile(path.c_str(), &record);
    }
    ~OldestImage() {
        if (record.handle) VqCloseImage(&record);
    }
    OldestImage(const OldestImage&) = delete;
    OldestImage& operator=(const OldestImage&) = delete;

    const ImageGeometry& g() const { return record.geometry; }

    lumora::test::TempFolder dir;
    ImageInfoRecord record;
    uint32_t openStatus = 0;
};

constexpr uint32_t FourCC(const char (&t)[5]) {
    return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 | uint32_t(uint8_t(t[2])) << 8 |
           uint8_t(t[3]);
}

} // namespace

TEST(ImageSettings, SubsampleFactors) {
    VqSession session;
    OldestImage image;
    ASSERT_EQ(image.openStatus, 0u);
    // 64 x 48 sensor, 6-pixel margins: a 52 x 36 window of RGB8.
    ASSERT_EQ(std::make_tuple(image.g().outputWidth, image.g().outputHeight), std::make_tuple(52, 36));

    struct Row {
        int16_t factor;
        uint32_t status;
        int32_t width, height;
    } rows[] = {
        {3, VQ_ERR_ODD_SUBSAMPLE, 0, 0},  {34, VQ_ERR_BAD_SUBSAMPLE, 0, 0}, {0, VQ_ERR_BAD_SUBSAMPLE, 0, 0},
        {33, VQ_ERR_BAD_SUBSAMPLE, 0, 0}, {-2, VQ_ERR_BAD_SUBSAMPLE, 0, 0}, {2, 0, 26, 18},
        {32, 0, 1, 1},                    {1, 0, 52, 36},                   {4, 0, 13, 9},
    };
    int16_t current = 1;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.factor);
        const ImageGeometry before = image.g();
        EXPECT_EQ(VqSetSubSample(&image.record, row.factor), row.status);
        int16_t kept = 0;
        ASSERT_EQ(VqGetSubSample(&image.record, &kept), 0u);
        if (row.status) {
            EXPECT_EQ(kept, current) << "a refused factor leaves the one in force";
            EXPECT_EQ(image.g().outputWidth, before.outputWidth);
            continue;
        }
        current = row.factor;
        EXPECT_EQ(kept, row.factor);
        EXPECT_EQ(image.g().outputWidth, row.width);
        EXPECT_EQ(image.g().outputHeight, row.height);
        EXPECT_EQ(image.g().outputBytes, row.width * row.height * 3);
        // Subsampled output is delivered a row at a time.
        if (row.factor > 1) {
            EXPECT_EQ(image.g().stripBytes, row.width * 3);
        }
    }
}

TEST(ImageSettings, RotationTurnsTheGeometry) {
    VqSession session;
    OldestImage image;
    ASSERT_EQ(image.openStatus, 0u);
    struct Row {
        float degrees;
        uint32_t status;
        float kept;
        bool swapped;
    } rows[] = {
        {90.0f, 0, 90.0f, true},     {180.0f, 0, 180.0f, false}, {-90.0f, 0, 270.0f, true},
        {-180.0f, 0, 180.0f, false}, {45.0f, VQ_ERR_BAD_ROTATION, 180.0f, false},
        {360.0f, VQ_ERR_BAD_ROTATION, 180.0f, false},            {90.5f, 0, 90.5f, true},
        {0.0f, 0, 0.0f, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.degrees);
        EXPECT_EQ(VqSetRotateType(&image.record, row.degrees), row.status);
        float kept = -1.0f;
        ASSERT_EQ(VqGetRotateType(&image.record, &kept), 0u);
        EXPECT_EQ(kept, row.kept);
        const ImageGeometry& g = image.g();
        if (row.swapped) {
            EXPECT_EQ(std::make_tuple(g.outputWidth, g.outputHeight), std::make_tuple(36, 52));
            EXPECT_EQ(std::make_tuple(g.activeWidth, g.activeHeight), std::make_tuple(36, 52));
            EXPECT_EQ(std::make_tuple(g.fullWidth, g.fullHeight), std::make_tuple(48, 64));
        } else {
            EXPECT_EQ(std::make_tuple(g.outputWidth, g.outputHeight), std::make_tuple(52, 36));
            EXPECT_EQ(std::make_tuple(g.fullWidth, g.fullHeight), std::make_tuple(64, 48));
        }
    }
}

TEST(ImageSettings, PadBytesGrowEveryRow) {
    VqSession session;
    OldestImage image;
    ASSERT_EQ(image.openStatus, 0u);
    const ImageGeometry plain = image.g();
    ASSERT_EQ(VqSetImagePadBytes(&image.record, 3), 0u);
    uint8_t pad = 0;
    ASSERT_EQ(VqGetImagePadBytes(&image.record, &pad), 0u);
    EXPECT_EQ(pad, 3);
    EXPECT_EQ(image.g().outputBytes, plain.outputBytes + 3 * plain.outputHeight);
    EXPECT_EQ(image.g().fullBytes, plain.fullBytes + 3 * plain.fullHeight);
    EXPECT_EQ(image.g().workBytes, (3 * 64 + 3) * 22);
    // Turned, the rows are the window's columns.
    ASSERT_EQ(VqSetRotateType(&image.record, 270.0f), 0u);
    EXPECT_EQ(image.g().outputBytes, (36 * 3 + 3) * 52);
}

TEST(ImageSettings, StripHeightFollowsTheWindowHeight) {
    VqSession session;
    struct Row {
        uint32_t sensorHeight;
        int32_t rows;  // strip rows expected
    } rows[] = {
        {1012, 8},  // 1000 rows: 1000 % 6 = 4 would leave a thin last strip; 8 divides it
        {48, 6},    // 36 rows
        {54, 6},    // 42 rows: 42 % 6 = 0
        {16, 6},    // 4 rows: lower than any strip, the search ends at once
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sensorHeight);
        FileOptions f;
        f.sensorHeight = row.sensorHeight;
        OldestImage image(f);
        ASSERT_EQ(image.openStatus, 0u) << std::hex << image.openStatus;
        EXPECT_EQ(image.g().outputHeight, int32_t(row.sensorHeight) - 12);
        EXPECT_EQ(image.g().stripBytes, 52 * 3 * row.rows);
    }
}

TEST(ImageSettings, OutputWindowIsCheckedInOutputCoordinates) {
    VqSession session;
    OldestImage image;
    ASSERT_EQ(image.openStatus, 0u);
    struct Row {
        SdkRect window;
        uint32_t status;
    } rows[] = {
        {{0, 0, 8, 8}, 0},
        {{-2, 0, 8, 8}, VQ_ERR_RECT_NEGATIVE},
        {{0, 0, 6, 8}, VQ_ERR_RECT_TOO_SMALL},
        {{0, 0, 8, 7}, VQ_ERR_RECT_TOO_SMALL},
        {{52, 0, 8, 8}, VQ_ERR_RECT_ORIGIN_OUTSIDE},
        {{0, 36, 8, 8}, VQ_ERR_RECT_ORIGIN_OUTSIDE},
        {{46, 0, 8, 8}, VQ_ERR_RECT_OUTSIDE},
        {{0, 30, 8, 8}, VQ_ERR_RECT_OUTSIDE},
        {{1, 0, 8, 8}, VQ_ERR_RECT_MISALIGNED},
        {{0, 0, 9, 8}, VQ_ERR_RECT_MISALIGNED},
        {{44, 28, 8, 8}, 0},
        {{0, 0, 52, 36}, 0},
    };
    SdkRect inForce = {0, 0, 52, 36};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.window.x << "," << row.window.y << " " << row.window.width << "x"
                                        << row.window.height);
        const SdkRect asked = row.window;
        EXPECT_EQ(VqSetOutputWindow(&image.record, &asked), row.status);
        EXPECT_EQ(std::memcmp(&asked, &row.window, sizeof asked), 0) << "the caller's rectangle is only read";
        if (row.status == 0) inForce = row.window;
        SdkRect now{};
        ASSERT_EQ(VqGetOutputWindow(&image.record, &now), 0u);
        EXPECT_EQ(std::make_tuple(now.x, now.y, now.width, now.height),
                  std::make_tuple(inForce.x, inForce.y, inForce.width, inForce.height));
        EXPECT_EQ(image.g().outputWidth, inForce.width);
        EXPECT_EQ(image.g().outputHeight, inForce.height);
    }
}

TEST(ImageSettings, WindowRoundTripsUnderEveryRotation) {
    VqSession session;
    OldestImage image;
    ASSERT_EQ(image.openStatus, 0u);
    // The same sensor area, seen from each rotation: set in output coordinates,
    // read back in output coordinates, and the output sizes follow it.
    for (float degrees : {0.0f, 90.0f, 180.0f, 270.0f}) {
        SCOPED_TRACE(degrees);
        ASSERT_EQ(VqSetRotateType(&image.record, degrees), 0u);
        const bool turned = degrees == 90.0f || degrees == 270.0f;
        const SdkRect window = turned ? SdkRect{2, 4, 10, 20} : SdkRect{4, 2, 20, 10};
        ASSERT_EQ(VqSetOutputWindow(&image.record, &window), 0u);
        SdkRect back{};
        ASSERT_EQ(VqGetOutputWindow(&image.record, &back), 0u);
        EXPECT_EQ(std::make_tuple(back.x, back.y, back.width, back.height),
                  std::make_tuple(window.x, window.y, window.width, window.height));
        EXPECT_EQ(image.g().outputWidth, window.width);
        EXPECT_EQ(image.g().outputHeight, window.height);
    }
    // At 90 degrees the output's top-left corner is the sensor's bottom-left:
    // a window there, turned back, is the same area as at 0 degrees.
    ASSERT_EQ(VqSetRotateType(&image.record, 90.0f), 0u);
    const SdkRect corner = {0, 0, 8, 10};
    ASSERT_EQ(VqSetOutputWindow(&image.record, &corner), 0u);
    ASSERT_EQ(VqSetRotateType(&image.record, 0.0f), 0u);
    SdkRect flat{};
    ASSERT_EQ(VqGetOutputWindow(&image.record, &flat), 0u);
    EXPECT_EQ(std::make_tuple(flat.x, flat.y, flat.width, flat.height), std::make_tuple(0, 36 - 8, 10, 8));
}

TEST(ImageSettings, OutputTypesOfColourAndMonochromeFiles) {
    VqSession session;
    OldestImage colour;
    ASSERT_EQ(colour.openStatus, 0u);
    EXPECT_EQ(colour.record.colourSpace, FourCC("sRGB"));
    struct Row {
        uint32_t type;
        uint32_t status;
        uint32_t space;
        int32_t channels, bytes;
    } colourRows[] = {
        {1, VQ_ERR_BAD_IMAGE_TYPE, 0, 0, 0},         {VQ_TYPE_MONO8, VQ_ERR_BAD_IMAGE_TYPE, 0, 0, 0},
        {VQ_TYPE_MONO16, VQ_ERR_BAD_IMAGE_TYPE, 0, 0, 0}, {17, VQ_ERR_BAD_IMAGE_TYPE, 0, 0, 0},
        {21, VQ_ERR_BAD_IMAGE_TYPE, 0, 0, 0},        {VQ_TYPE_CAMERA_RGB8, 0, FourCC("cRGB"), 3, 1},
        {VQ_TYPE_RGB16, 0, FourCC("sRGB"), 3, 2},    {VQ_TYPE_GRAY16, 0, FourCC("GRAY"), 1, 2},
        {VQ_TYPE_BGRX8, 0, FourCC("sRGB"), 4, 1},
    };
    for (const Row& row : colourRows) {
        SCOPED_TRACE(row.type);
        const uint32_t previous = colour.record.outputType;
        EXPECT_EQ(VqSetImageType(&colour.record, row.type), row.status);
        uint32_t kept = 99;
        ASSERT_EQ(VqGetImageType(&colour.record, &kept), 0u);
        if (row.status) {
            EXPECT_EQ(kept, previous);
            continue;
        }
        EXPECT_EQ(kept, row.type);
        EXPECT_EQ(colour.record.outputType, row.type);
        EXPECT_EQ(colour.record.colourSpace, row.space);
        EXPECT_EQ(colour.g().channels, row.channels);
        EXPECT_EQ(colour.g().bytesPerSample, row.bytes);
    }

    // Sensor data has no margins: the whole sensor is the window, and the
    // margins come back with the next type.
    ASSERT_EQ(VqSetImageType(&colour.record, VQ_TYPE_RAW), 0u);
    EXPECT_EQ(colour.record.colourSpace, FourCC("BCFA"));
    EXPECT_EQ(std::make_tuple(colour.g().activeWidth, colour.g().outputWidth, colour.g().outputHeight),
              std::make_tuple(64, 64, 48));
    ASSERT_EQ(VqSetImageType(&colour.record, VQ_TYPE_RGB8), 0u);
    EXPECT_EQ(std::make_tuple(colour.g().activeWidth, colour.g().outputWidth, colour.g().outputHeight),
              std::make_tuple(52, 52, 36));

    FileOptions f;
    f.colour = false;
    OldestImage mono(f);
    ASSERT_EQ(mono.openStatus, 0u);
    EXPECT_EQ(mono.record.isColour, 0);
    EXPECT_EQ(mono.record.outputType, VQ_TYPE_GRAY8);
    EXPECT_EQ(VqSetImageType(&mono.record, VQ_TYPE_RGB8), VQ_ERR_BAD_IMAGE_TYPE);
    EXPECT_EQ(VqSetImageType(&mono.record, VQ_TYPE_MONO8), 0u);
    EXPECT_EQ(mono.record.colourSpace, FourCC("GRAY"));
    ASSERT_EQ(VqSetImageType(&mono.record, VQ_TYPE_RAW), VQ_ERR_BAD_IMAGE_TYPE);
}

TEST(ImageSettings, WhiteBalanceTypes) {
    VqSession session;
    OldestImage image;
    ASSERT_EQ(image.openStatus, 0u);
    const uint16_t custom[3] = {1234, 65535, 7};
    ASSERT_EQ(VqSetWhiteBalance(&image.record, VQ_WB_CUSTOM, custom), 0u);
    uint32_t type = 0;
    uint16_t triple[3] = {};
    ASSERT_EQ(VqGetWhiteBalance(&image.record, &type, triple), 0u);
    EXPECT_EQ(type, VQ_WB_CUSTOM);
    EXPECT_EQ(std::make_tuple(triple[0], triple[1], triple[2]), std::make_tuple(1234, 65535, 7));

    // A refused type changes nothing.
    EXPECT_EQ(VqSetWhiteBalance(&image.record, 7, custom), VQ_ERR_BAD_WHITE_BALANCE_TYPE);
    EXPECT_EQ(VqSetWhiteBalance(&image.record, 0, custom), VQ_ERR_BAD_WHITE_BALANCE_TYPE);
    ASSERT_EQ(VqGetWhiteBalance(&image.record, &type, triple), 0u);
    EXPECT_EQ(type, VQ_WB_CUSTOM);
    EXPECT_EQ(triple[0], 1234);

    // The presets come from the settings of the image's sensor group; every
    // preset differs from the custom triple, and the no-balance preset is the
    // factory's 240s.
    for (uint32_t preset : {VQ_WB_DAYLIGHT, VQ_WB_TUNGSTEN, VQ_WB_FLUORESCENT, VQ_WB_FLASH, VQ_WB_NONE}) {
        SCOPED_TRACE(preset);
        ASSERT_EQ(VqSetWhiteBalance(&image.record, preset, custom), 0u);
        ASSERT_EQ(VqGetWhiteBalance(&image.record, &type, triple), 0u);
        EXPECT_EQ(type, preset);
        EXPECT_NE(triple[0], 1234);
    }
    EXPECT_EQ(std::make_tuple(triple[0], triple[1], triple[2]), std::make_tuple(240, 240, 240));
}

TEST(ImageSettings, GpsSentenceBecomesReadableLines) {
    VqSession session;
    FileOptions f;
    f.description = "#7 $GPGLL,4916.45,N,12311.12,W,225444,A,*1D";
    OldestImage image(f);
    ASSERT_EQ(image.openStatus, 0u);
    EXPECT_EQ(image.record.imageIndex, 7);
    const std::string description(image.record.description);
    EXPECT_EQ(description, "#7 Lat: 4916.45,N\rLon: 12311.12,W\rUTC: 225444,A\r");
    ASSERT_NE(image.record.extraData, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(image.record.extraData)),
              "Date: 05/17/2024  Time: 10:30:00  Lat: 4916.45,N  Lon: 12311.12,W  UTC: 225444,A");

    // Lines already written as text are taken from "UTC:" or "Lat:" on.
    f.description = "#7 note UTC: 101010\rLat: 1.5,S";
    OldestImage written(f);
    ASSERT_EQ(written.openStatus, 0u);
    EXPECT_EQ(std::string(written.record.description), f.description);
    ASSERT_NE(written.record.extraData, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(written.record.extraData)),
              "Date: 05/17/2024  Time: 10:30:00  UTC: 101010  Lat: 1.5,S");

    // Without a position there is no date-and-position text.
    f.description = "#7 a plain note";
    OldestImage plain(f);
    ASSERT_EQ(plain.openStatus, 0u);
    EXPECT_EQ(plain.record.extraData, nullptr);
}

TEST(ImageSettings, RawDataLoadsIntoTheCacheInSteps) {
    VqSession session;
    FileOptions f;
    f.sensorWidth = 256;
    f.sensorHeight = 200;  // 102,400 bytes of sensor data: two 64 KB steps
    OldestImage image(f);
    ASSERT_EQ(image.openStatus, 0u);
    // The cache holds the file up to the end of the sensor data: the
    // geometry's cache size, in 64 KB steps, done only with the last.
    const int32_t steps = (image.g().cacheBytes + 65535) / 65536;
    ASSERT_GE(steps, 2);
    int32_t done = -1;
    for (int32_t step = 1; step <= steps; ++step) {
        ASSERT_EQ(VqLoadCache(&image.record, nullptr, 1, &done), 0u) << step;
        EXPECT_EQ(done, step == steps ? 1 : 0) << step;
    }
    EXPECT_EQ(VqDecompressCache(&image.record, nullptr), 0u) << "the oldest models' data needs no decoding";
    EXPECT_EQ(VqCleanupCache(&image.record), 0u);
    // After a cleanup the data loads again, in one call without steps.
    ASSERT_EQ(VqLoadCache(&image.record, nullptr, 0, &done), 0u);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(VqLoadCache(&image.record, nullptr, -1, &done), VQ_ERR_BAD_ARGUMENT);
}
