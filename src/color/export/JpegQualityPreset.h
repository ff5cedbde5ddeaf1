#pragma once
// The JPEG quality presets: nine entries of a luminance table, the shared
// chrominance table and a quality, chosen by a row code and a column code.
// The image kinds answer Image::GetJPEGQuantizationTables from them when they
// have no tables of the camera's own; the JPEG exporter's quality code is the
// column (row 0).
#include <cstdint>

namespace NimbalCore {

struct JpegQualityPreset {
    static constexpr int kTableSize = 64;
    static constexpr int kCodes = 3;
    // The camera code under which the raw images of the newest models and
    // the finished files ask for the presets (no code changes the tables).
    static constexpr int kGenericCamera = 23;

    const int* luma;   // 64 values in natural (row-major) order
    const int* chroma;
    int quality;       // for the library's quality scaling
};

// 1 -> 1, 2 -> 2, anything else -> 0.
int NormalizePresetCode(int code);
// The entry of the two codes, after both are normalised.
const JpegQualityPreset& GetJpegQualityPreset(int rowCode, int columnCode);
void CopyQuantTable(const int* from, int* to);
// The entry's luma or chroma table into table[64] and its quality; the model
// number does not change the answer. Always true.
bool GetJpegQuantTable(int cameraModel, bool chroma, int rowCode, int columnCode, int* table, int* quality);
// The camera's private tag that holds its own table for the preset; 0 when
// the column code is 3 or more.
uint16_t JpegPresetCameraTag(int rowCode, int columnCode);

} // namespace NimbalCore
