// Every extension id (0 to 45) and hidden id (0 to 20), read and set, with
// its answer for each image class: the oldest models' base class, the
// family-1, family-2 and version-3 raw images, and the camera JPEG and RGB TIFF
// files.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "RawImageFixture.h"
#include "ZyrCameraFile.h"
#include "ZyrOldestSample.h"

namespace {

constexpr uint32_t kOk = 0;
constexpr uint32_t kUnknown = VQ_ERR_UNKNOWN_EXTENSION;
constexpr uint32_t kAbsent = VQ_ERR_VALUE_ABSENT;
constexpr uint32_t kNoProperty = VQ_ERR_UNKNOWN_PROPERTY;
constexpr uint32_t kReadOnly = VQ_ERR_PROPERTY_READ_ONLY;
constexpr uint32_t kExtReadOnly = VQ_ERR_EXTENSION_READ_ONLY;
// What the camera JPEG and RGB TIFF files answer for what they do not support.
constexpr uint32_t kJpegNo = VQ_ERR_JPEG_ENGINE_UNSUPPORTED;
constexpr uint32_t kRgbNo = VQ_ERR_NOT_FOR_THIS_KIND;

enum Class { kOldest, kRaw, kFamily2, kVersion3, kCameraJpeg, kRgbTiff, kClasses };
const char* const kClassNames[kClasses] = {"oldest model", "family 1", "family 2",
                                           "version 3",    "camera JPEG", "RGB TIFF"};

class ExtensionTableTest : public rawimagetest::RawImageTest {
protected:
    uint32_t OpenClass(Class c) {
        if (c == kOldest) return OpenBytes(ZyrOldestSample::Make(ZyrOldestOptions{}));
        if (c == kCameraJpeg || c == kRgbTiff) {
            ZyrCameraFileOptions o;
            o.rgbTiff = c == kRgbTiff;
            if (o.rgbTiff) o.width = 600;  // RGB TIFF files are wider than 512 pixels
            return OpenBytes(ZyrCameraFile::Make(o));
        }
        ZyrSampleOptions o = Options(c == kFamily2 ? "ZYNM13" : "ZYNM11");
        if (c == kVersion3) o.version = 0x03000000;
        return Open(o);
    }
    // A read of the id into a large zeroed value; id 18 (the settings data)
    // takes the address of a buffer in its first word.
    uint32_t Get(uint32_t id) {
        std::array<uint8_t, 4096> value{};
        static std::array<uint8_t, 1024> buffer;
        if (id == VQ_EXT_SETTING_BLOCK) {
            void* address = buffer.data();
            std::memcpy(value.data(), &address, sizeof address);
        }
        return VqGetExtension(&info_, id, value.data());
    }
    // A set with data 0 and four zero words, except where the id needs a record.
    uint32_t Set(uint32_t id) {
        if (id == VQ_EXT_IPTC) {
            VqIptcRecord keep{0, nullptr, 1};
            return VqSetExtension(&info_, id, &keep, 0, 0, 0, 0);
        }
        return VqSetExtension(&info_, id, nullptr, 0, 0, 0, 0);
    }
    uint32_t GetHidden(uint32_t id) {
        std::array<uint8_t, 8192> value{};
        if (id == 11 || id == 14) {
            const uint32_t record[3] = {0, 8, 3};  // the file's first 8 bytes as shorts
            std::memcpy(value.data(), record, sizeof record);
        }
        if (id == 10) {
            const uint16_t request[3] = {272, 0, 1};  // Model, in IFD0
            std::memcpy(value.data(), request, sizeof request);
        }
        return VqGetHidden(&info_, id, value.data());
    }
    uint32_t SetHidden(uint32_t id) {
        std::array<uint8_t, 64> value{};
        return VqSetHidden(&info_, id, value.data());
    }
};

// The answer of one id for each class: oldest model, family 1, family 2,
// version 3, camera JPEG, RGB TIFF.
struct Row {
    uint32_t id;
    uint32_t answer[kClasses];
};

// Reads with a zeroed value: the base answers its own ids; the raw classes
// answer the camera values of their file (absent where the sample file has
// no such tag) and their own ids, and leave 19 unknown. The camera JPEG and
// RGB TIFF files answer the camera values, the balance, IPTC, resolution and
// file date, and no looks.
const Row kGet[] = {
    {0, {kUnknown, kOk, kOk, kOk, kOk, kOk}},
    {1, {kUnknown, kOk, kOk, kOk, kOk, kOk}},
    {2, {kUnknown, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown}},
    {3, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {4, {kUnknown, kOk, kOk, kOk, kAbsent, kAbsent}},
    {5, {kUnknown, kOk, kOk, kOk, kAbsent, kAbsent}},
    {6, {kUnknown, kOk, kOk, kOk, kAbsent, kAbsent}},
    {7, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {8, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {9, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {10, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {11, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {12, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {13, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {14, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {15, {kUnknown, kOk, kOk, kOk, kAbsent, kAbsent}},
    {16, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {17, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {18, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {19, {kOk, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown}},
    {20, {kOk, kOk, kOk, kOk, kOk, kOk}},
    {21, {kOk, kOk, kOk, kOk, kUnknown, kUnknown}},
    {22, {kOk, kOk, kOk, kOk, kUnknown, kUnknown}},
    {23, {kOk, kOk, kOk, kOk, kUnknown, kUnknown}},
    {24, {kUnknown, kOk, kOk, kOk, kUnknown, kUnknown}},
    {25, {kOk, kOk, kOk, kOk, kUnknown, kUnknown}},
    {26, {kOk, kOk, kOk, kOk, kOk, kOk}},
    {27, {kOk, kOk, kOk, kOk, kOk, kOk}},
    {28, {kOk, kOk, kOk, kOk, kUnknown, kUnknown}},
    {29, {kOk, kOk, kOk, kOk, kOk, kOk}},
    {30, {kOk, kOk, kOk, kOk, kUnknown, kUnknown}},
    {31, {kUnknown, kOk, kOk, kOk, kUnknown, kUnknown}},
    {32, {kOk, kOk, kOk, kOk, kOk, kOk}},
    {33, {kUnknown, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown}},
    {34, {kUnknown, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown}},
    {35, {kUnknown, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown}},
    {36, {kUnknown, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown}},
    {37, {kOk, kOk, kOk, kOk, kUnknown, kUnknown}},
    {38, {kUnknown, kOk, kOk, kOk, kUnknown, kUnknown}},
    {39, {kUnknown, kOk, kOk, kOk, kUnknown, kUnknown}},
    {40, {kUnknown, kOk, kOk, kOk, kUnknown, kUnknown}},
    {41, {kUnknown, kOk, kOk, kOk, kUnknown, kUnknown}},
    {42, {kUnknown, kOk, kOk, kOk, kUnknown, kUnknown}},
    {43, {kUnknown, kOk, kOk, kOk, kUnknown, kUnknown}},
    {44, {kUnknown, kOk, kOk, kOk, kUnknown, kUnknown}},
    {45, {kUnknown, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown}},
};

// Sets with data 0 and zero words (IPTC: an empty block kept, not written).
// A balance mode of all zeros and a resolution of unit 0 are refused; the
// oldest models and family 2 have no exposure to set; a file without the
// camera setting of id 3 has nowhere to write it. The camera JPEG and RGB TIFF
// files take only 3, 20, 26 and 29 (and compute no balance of their own).
const Row kSet[] = {
    {0, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {1, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {2, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {3, {kUnknown, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    {4, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {5, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {6, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {7, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {8, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {9, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {10, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {11, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {12, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {13, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {14, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {15, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {16, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {17, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {18, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {19, {kOk, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {20, {VQ_ERR_BAD_BALANCE_MODE, VQ_ERR_BAD_BALANCE_MODE, VQ_ERR_BAD_BALANCE_MODE, VQ_ERR_BAD_BALANCE_MODE, VQ_ERR_JPEG_BALANCE_UNSUPPORTED, VQ_ERR_JPEG_BALANCE_UNSUPPORTED}},
    {21, {kOk, kOk, kOk, kOk, kExtReadOnly, kExtReadOnly}},
    {22, {kOk, kOk, kOk, kOk, kExtReadOnly, kExtReadOnly}},
    {23, {kOk, kOk, kOk, kOk, kExtReadOnly, kExtReadOnly}},
    {24, {kUnknown, kOk, kOk, kOk, kExtReadOnly, kExtReadOnly}},
    {25, {kUnknown, kOk, kUnknown, kOk, kExtReadOnly, kExtReadOnly}},
    {26, {kOk, kOk, kOk, kOk, kOk, kOk}},
    {27, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {28, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {29, {VQ_ERR_BAD_RESOLUTION_UNIT, VQ_ERR_BAD_RESOLUTION_UNIT, VQ_ERR_BAD_RESOLUTION_UNIT, VQ_ERR_BAD_RESOLUTION_UNIT, VQ_ERR_BAD_RESOLUTION_UNIT, VQ_ERR_BAD_RESOLUTION_UNIT}},
    {30, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {31, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {32, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {33, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {34, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {35, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {36, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {37, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {38, {kUnknown, kOk, kOk, kOk, kExtReadOnly, kExtReadOnly}},
    {39, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {40, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {41, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {42, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {43, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
    {44, {kUnknown, kOk, kOk, kOk, kExtReadOnly, kExtReadOnly}},
    {45, {kUnknown, kUnknown, kUnknown, kUnknown, kExtReadOnly, kExtReadOnly}},
};

// Hidden reads: the base answers 4, 10, 11, 14, 16, 17 and 19 (13 is the
// interface's own); the raw classes add their table (0 to 9, 18) and 15; the
// camera JPEG and RGB TIFF files answer only 10, 11, 14 and their conversion
// flag, 17.
const Row kHiddenGet[] = {
    {0, {kNoProperty, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {1, {kNoProperty, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {2, {kNoProperty, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {3, {kNoProperty, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {4, {kOk, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {5, {kNoProperty, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {6, {kNoProperty, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {7, {kNoProperty, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {8, {kNoProperty, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {9, {kNoProperty, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {10, {kOk, kOk, kOk, kOk, kOk, kOk}},
    {11, {kOk, kOk, kOk, kOk, kOk, kOk}},
    {12, {kNoProperty, kNoProperty, kNoProperty, kNoProperty, kJpegNo, kRgbNo}},
    {13, {kOk, kOk, kOk, kOk, kOk, kOk}},
    {14, {kOk, kOk, kOk, kOk, kOk, kOk}},
    {15, {kNoProperty, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {16, {kOk, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {17, {kOk, kOk, kOk, kOk, kOk, kOk}},
    {18, {kNoProperty, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {19, {kOk, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {20, {kNoProperty, kNoProperty, kNoProperty, kNoProperty, kJpegNo, kRgbNo}},
};

// Hidden sets: 0 and 17 are accepted and change nothing; the raw classes
// also take 9, 15 and 18; every other id below 20 is read-only. The camera JPEG
// and RGB TIFF files take 17 (their conversion flag) alone.
const Row kHiddenSet[] = {
    {0, {kOk, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {1, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {2, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {3, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {4, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {5, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {6, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {7, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {8, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {9, {kReadOnly, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {10, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {11, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {12, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {13, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {14, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {15, {kReadOnly, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {16, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {17, {kOk, kOk, kOk, kOk, kOk, kOk}},
    {18, {kReadOnly, kOk, kOk, kOk, kJpegNo, kRgbNo}},
    {19, {kReadOnly, kReadOnly, kReadOnly, kReadOnly, kJpegNo, kRgbNo}},
    {20, {kNoProperty, kNoProperty, kNoProperty, kNoProperty, kJpegNo, kRgbNo}},
};

TEST_F(ExtensionTableTest, EveryIdOfEveryClass) {
    for (int c = 0; c < kClasses; ++c) {
        SCOPED_TRACE(kClassNames[c]);
        ASSERT_EQ(OpenClass(Class(c)), 0u);
        for (const Row& r : kGet) EXPECT_EQ(Get(r.id), r.answer[c]) << "get extension " << r.id;
        for (const Row& r : kHiddenGet) EXPECT_EQ(GetHidden(r.id), r.answer[c]) << "get hidden " << r.id;
        for (const Row& r : kHiddenSet) EXPECT_EQ(SetHidden(r.id), r.answer[c]) << "set hidden " << r.id;
        for (const Row& r : kSet) EXPECT_EQ(Set(r.id), r.answer[c]) << "set extension " << r.id;
    }
}

} // namespace
