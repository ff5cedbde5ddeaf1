#pragma once
// Quantisation tables of the JPEG conversion: three built-in sets chosen by
// model, nine entries each (size × 3 + quality, quality 0 the finest), and the
// camera's own tables when a file carries them. Tables are in natural row
// order; the quality number becomes libjpeg's scale factor.
#include <cstdint>

namespace lumora::vq {

struct JpegQuantTables {
    static constexpr uint32_t kTableBytes = 64;
    // Camera record: a byte, the quality number, the luminance table, then the
    // chrominance table (a record without it uses the luminance table twice).
    static constexpr uint32_t kRecordQualityAt = 1;
    static constexpr uint32_t kRecordLuminanceAt = 2;
    static constexpr uint32_t kRecordChrominanceAt = kRecordLuminanceAt + kTableBytes;
    static constexpr uint32_t kRecordMinBytes = kRecordChrominanceAt;
    static constexpr uint32_t kRecordMaxBytes = kRecordChrominanceAt + kTableBytes;

    uint8_t luminance[kTableBytes];
    uint8_t chrominance[kTableBytes];
    int qualityNumber;

    // The built-in entry for a model id, size (0 full, 1 two thirds, 2 half)
    // and quality (0..2).
    static JpegQuantTables BuiltIn(int32_t modelId, int32_t size, int32_t quality);
    // The camera's record as read from the file; false when it cannot be used
    // (too short to hold a luminance table, or longer than a record is).
    static bool FromCameraRecord(const uint8_t* record, uint32_t length, JpegQuantTables* out);
    // The private tag of the camera's record for a size and quality.
    static uint16_t CameraTag(int32_t size, int32_t quality);
};

} // namespace lumora::vq
