#include "ShadingStage.h"

#include <cstring>

namespace lumora {

VqStatus ShadingStage::SetCalibrationSource(const char*, const char*, uint16_t, uint16_t) { return VQ_OK; }

VqStatus ShadingStage::SetPolynomial(const std::array<int32_t, 10>&, uint16_t, uint16_t) { return VQ_OK; }

VqStatus ShadingStage::SetWidth(uint16_t width) {
    width_ = width;
    return VQ_OK;
}

VqStatus ShadingStage::SetMode(int32_t mode) {
    mode_ = mode;
    return VQ_OK;
}

VqStatus ShadingStage::GetFileName(int32_t* length, char*, uint32_t) {
    if (length) *length = 0;
    return VQ_OK;
}

VqStatus ShadingStage::CheckSource() { return VQ_OK; }

VqStatus ShadingStage::Apply(int32_t x0, int32_t y0, const uint16_t* source, uint16_t* destination, int32_t rows) {
    switch (mode_) {
    case CfaStrip: return ApplyCfa(x0, y0, source, destination, rows);
    case SinglePlane: return ApplyPlane(x0, y0, source, destination, rows);
    case CopyOnly: return CopyThrough(x0, y0, source, destination, rows);
    default: return VQ_ERR_BAD_STAGE_MODE;
    }
}

VqStatus ShadingStage::CopyThrough(int32_t, int32_t, const uint16_t* source, uint16_t* destination, int32_t rows) {
    if (!source || !destination) return VQ_ERR_UNPACK_NULL;
    if (source != destination && rows > 0)
        std::memmove(destination, source, size_t(width_) * size_t(rows) * sizeof(uint16_t));
    return VQ_OK;
}

} // namespace lumora
