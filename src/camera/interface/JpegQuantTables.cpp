#include "JpegQuantTables.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace lumora::vq {

namespace {

using Table = std::array<uint8_t, JpegQuantTables::kTableBytes>;

// JPEG's example tables: at quality number 50 they are what common encoders
// use for "quality 50".
constexpr Table kExampleLuminance = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                     14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                     18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                     49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr Table kExampleChrominance = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                       24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                       99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                       99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// The oldest models' full-size table, used for both components.
constexpr Table kOldestFullSize = {6,  6,  6,  6,  7,  9,  11, 14, 6,  6,  6,  7,  9,  11, 14, 17,
                                   6,  6,  7,  9,  11, 14, 17, 20, 6,  7,  9,  11, 14, 17, 20, 24,
                                   7,  9,  11, 14, 17, 20, 24, 28, 9,  11, 14, 17, 20, 24, 28, 32,
                                   11, 14, 17, 20, 24, 28, 32, 36, 14, 17, 20, 24, 28, 32, 36, 40};

// The newer models' finest full-size luminance table.
constexpr Table kFinestLuminance = {3, 3, 3, 3, 4, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 3, 3, 3, 4, 4, 5,
                                    5, 5, 3, 3, 4, 4, 5, 6, 6, 5, 4, 4, 4, 5, 6, 7, 7, 6, 4, 4, 5, 6,
                                    7, 8, 8, 7, 5, 5, 6, 7, 8, 9, 9, 8, 6, 6, 7, 8, 9, 9, 9, 9};

// Quality numbers by set, then size × 3 + quality.
constexpr int kQualityNumber[3][9] = {{50, 35, 20, 50, 35, 20, 50, 35, 20},
                                      {50, 50, 50, 50, 50, 50, 50, 50, 50},
                                      {50, 50, 50, 50, 30, 30, 30, 50, 50}};
// How coarse each quality is, in percent of the example tables, once the
// quality number's scaling is applied: quality 0 the finest.
constexpr int kTargetPercent[3] = {25, 50, 100};
// Sizes of the oldest models' three tables, in percent of the full-size one.
constexpr int kOldestSizePercent[3] = {100, 125, 150};

// libjpeg's scaling of a quality number, in percent.
int ScalePercent(int qualityNumber) {
    const int q = std::clamp(qualityNumber, 1, 100);
    return q < 50 ? 5000 / q : 200 - q * 2;
}

Table Scaled(const Table& base, int numerator, int denominator) {
    Table out{};
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = uint8_t(std::clamp((int(base[i]) * numerator + denominator / 2) / denominator, 1, 255));
    return out;
}

int SetOf(int32_t modelId) {
    if (modelId >= 1 && modelId <= 3) return 0;
    if (modelId == 13 || modelId == 18) return 1;
    return 2;
}

} // namespace

JpegQuantTables JpegQuantTables::BuiltIn(int32_t modelId, int32_t size, int32_t quality) {
    size = std::clamp(size, 0, 2);
    quality = std::clamp(quality, 0, 2);
    const int set = SetOf(modelId);
    const int entry = size * 3 + quality;
    JpegQuantTables t{};
    t.qualityNumber = kQualityNumber[set][entry];
    Table luminance, chrominance;
    if (set == 0) {
        // One table per size for both components; the quality number alone
        // makes the qualities.
        luminance = chrominance = Scaled(kOldestFullSize, kOldestSizePercent[size], 100);
    } else {
        // Chosen so that, scaled by the entry's quality number, each entry is
        // the wanted fraction of the example tables.
        const int numerator = kTargetPercent[quality] * 100, denominator = 100 * ScalePercent(t.qualityNumber);
        luminance = Scaled(kExampleLuminance, numerator, denominator);
        chrominance = Scaled(kExampleChrominance, numerator, denominator);
        if (set == 1) chrominance = luminance; // one table for both components
        if (set == 2 && entry == 0) luminance = kFinestLuminance;
    }
    std::memcpy(t.luminance, luminance.data(), kTableBytes);
    std::memcpy(t.chrominance, chrominance.data(), kTableBytes);
    return t;
}

bool JpegQuantTables::FromCameraRecord(const uint8_t* record, uint32_t length, JpegQuantTables* out) {
    if (!record || !out || length < kRecordMinBytes || length > kRecordMaxBytes) return false;
    out->qualityNumber = record[kRecordQualityAt];
    std::memcpy(out->luminance, record + kRecordLuminanceAt, kTableBytes);
    const uint8_t* chrominance = length >= kRecordMaxBytes ? record + kRecordChrominanceAt : record + kRecordLuminanceAt;
    std::memcpy(out->chrominance, chrominance, kTableBytes);
    return true;
}

uint16_t JpegQuantTables::CameraTag(int32_t size, int32_t quality) {
    // Size 2 has the first three tags, size 1 the next, full size the last.
    static constexpr uint16_t kFirstTag = 3133;
    size = std::clamp(size, 0, 2);
    quality = std::clamp(quality, 0, 2);
    return uint16_t(kFirstTag + (2 - size) + 3 * quality);
}

} // namespace lumora::vq
