#pragma once
// Flat-field shading from a calibration file named after the camera model:
// 8-bit gains (gain ÷ 128) in bands of 32 sensor rows, one byte per column for
// a single plane, two per column (green, then the column's other colour) for a
// colour-filter array. The file is read again for every call; no file stays open.
#include "ShadingStage.h"

#include <string>
#include <vector>

namespace lumora {

class CalibrationShading : public ShadingStage {
public:
    static constexpr uint32_t kHeaderBytes = 256;
    static constexpr uint32_t kAreaBytes = 0x94800;      // gain data used at most
    static constexpr uint32_t kSinglePlaneFile = 0x30100; // placed 3072 bytes into the area
    static constexpr uint32_t kPlaneBandBytes = 3072;
    static constexpr uint32_t kCfaBandBytes = 6144;
    static constexpr uint8_t kNeutralGain = 128;

    VqStatus SetCalibrationSource(const char* folder, const char* model, uint16_t width, uint16_t maximum) override;
    VqStatus GetFileName(int32_t* length, char* text, uint32_t capacity) override;
    VqStatus CheckSource() override;

    VqStatus ApplyPlane(int32_t x0, int32_t y0, const uint16_t* source, uint16_t* destination, int32_t rows) override;
    VqStatus ApplyCfa(int32_t x0, int32_t y0, const uint16_t* source, uint16_t* destination, int32_t rows) override;
    VqStatus ApplyPlaneSubsampled(const uint16_t* source, uint16_t* destination, int32_t x0, int32_t y0,
                                  int32_t rowExtent, int32_t step) override;
    VqStatus ApplyThreePlanes(const uint16_t* source1, const uint16_t* source2, const uint16_t* source3,
                              uint16_t* destination1, uint16_t* destination2, uint16_t* destination3, int32_t x0,
                              int32_t y0, int32_t rowExtent, int32_t step) override;

    // The file name a model text gives ("<name>.cal").
    static std::string FileNameForModel(const char* model);
    const std::string& folder() const { return folder_; }

private:
    // Reads the gain data into a fresh work area; answers the file status.
    VqStatus readArea(std::vector<uint8_t>& area) const;
    std::string path() const { return folder_ + fileName_; }

    std::string folder_;   // ends with '/' unless empty
    std::string fileName_; // at most 8 characters + ".cal"
};

} // namespace lumora
