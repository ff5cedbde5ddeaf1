#pragma once
// Colour and balance settings of one sensor group of the camera interface,
// as the factory sets them and VqAPI.prf may override them.
#include <cstdint>

namespace lumora::vq {

// Sensor groups, chosen by the raw image's sensor size.
enum class SensorGroup : int { M3 = 0, M5 = 1, M6 = 2 };
constexpr int kSensorGroupCount = 3;

struct SensorGroupSettings {
    int16_t hiSatMatrix[9];  // 3 x 3, row by row: high saturation
    int16_t loSatMatrix[9];  // low saturation
    int16_t rgbMatrix[9];
    double mono[2];
    double color[2];
    double irMono[2];
    double others[2];
    int16_t daylight[3];     // white-balance presets: R, G, B
    int16_t tungsten[3];
    int16_t fluorescent[3];
    int16_t flash[3];
    int16_t none[3];
    int16_t tStart[2];       // points: x, y
    int16_t tStop[2];
    int16_t cCenter[2];
    int16_t sStart[2];
    int16_t sStop[2];
};

} // namespace lumora::vq
