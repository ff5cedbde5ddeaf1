#include "JpegQualityPreset.h"

#include <cstring>

namespace NimbalCore {

namespace {

constexpr int kT1[JpegQualityPreset::kTableSize] = {
    3, 3, 3, 3, 3, 4, 4,  5,  3, 3, 3, 3, 4,  4,  5,  5,  3, 3, 4, 4, 4,  5,  5,  6,
    3, 4, 4, 5, 5, 6, 7,  8,  4, 4, 5, 5, 6,  8,  9,  10, 5, 5, 6, 6, 8,  9,  10, 12,
    6, 6, 7, 8, 9, 10, 12, 14, 8, 8, 8, 9, 10, 12, 13, 16,
};
constexpr int kT2[JpegQualityPreset::kTableSize] = {
    3,  3,  3,  4,  5,  6,  8,  9,  3,  3,  4,  5,  6,  7,  8,  10, 3,  4,  5,  7,  8,  10, 12, 14,
    5,  6,  7,  9,  12, 14, 17, 20, 8,  8,  9,  12, 15, 19, 24, 29, 10, 11, 12, 15, 19, 24, 31, 40,
    14, 15, 17, 19, 24, 31, 41, 53, 20, 20, 22, 26, 32, 40, 53, 70,
};
constexpr int kT3[JpegQualityPreset::kTableSize] = {
    3,  3,  4,  5,  7,  9,   13,  17,  3,  4,  5,  7,  9,  11,  15,  20,  5,  6,  8,  12, 15,  18,  23,  30,
    8,  9,  12, 17, 23, 31,  40,  52,  13, 14, 17, 23, 33, 48,  68,  92,  20, 21, 25, 34, 48,  71,  105, 152,
    32, 34, 39, 50, 70, 104, 157, 237, 52, 54, 62, 78, 106, 154, 232, 255,
};
// The chrominance table of the JPEG standard's Annex K (K.2), the one table
// every preset entry shares; it is scaled with the entry's quality like the
// luminance table.
constexpr int kAnnexKChrominance[JpegQualityPreset::kTableSize] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99, 99, 99,
    47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
};

constexpr JpegQualityPreset kPresets[JpegQualityPreset::kCodes * JpegQualityPreset::kCodes] = {
    {kT1, kAnnexKChrominance, 95}, {kT1, kAnnexKChrominance, 50}, {kT3, kAnnexKChrominance, 50},
    {kT1, kAnnexKChrominance, 50}, {kT2, kAnnexKChrominance, 50}, {kT3, kAnnexKChrominance, 50},
    {kT1, kAnnexKChrominance, 50}, {kT2, kAnnexKChrominance, 50}, {kT3, kAnnexKChrominance, 50},
};

constexpr uint16_t kCameraTags[JpegQualityPreset::kCodes][JpegQualityPreset::kCodes] = {
    {3135, 3138, 3141},
    {3134, 3137, 3140},
    {3133, 3136, 3139},
};

} // namespace

int NormalizePresetCode(int code) { return code == 1 || code == 2 ? code : 0; }

const JpegQualityPreset& GetJpegQualityPreset(int rowCode, int columnCode) {
    return kPresets[JpegQualityPreset::kCodes * NormalizePresetCode(rowCode) + NormalizePresetCode(columnCode)];
}

void CopyQuantTable(const int* from, int* to) {
    std::memcpy(to, from, sizeof(int) * JpegQualityPreset::kTableSize);
}

bool GetJpegQuantTable(int, bool chroma, int rowCode, int columnCode, int* table, int* quality) {
    *quality = 0;
    const JpegQualityPreset& preset = GetJpegQualityPreset(rowCode, columnCode);
    *quality = preset.quality;
    CopyQuantTable(chroma ? preset.chroma : preset.luma, table);
    return true;
}

uint16_t JpegPresetCameraTag(int rowCode, int columnCode) {
    if (columnCode >= JpegQualityPreset::kCodes) return 0;
    return kCameraTags[NormalizePresetCode(rowCode)][NormalizePresetCode(columnCode)];
}

} // namespace NimbalCore
