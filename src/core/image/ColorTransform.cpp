#include "ColorTransform.h"

#include <vector>

namespace NimbalCore {

namespace {

// The grey ramp every curve starts from; built once, then only read.
const std::vector<uint16_t>& Ramp() {
    static const std::vector<uint16_t> ramp = [] {
        std::vector<uint16_t> r(ColorTransform::kCurveSteps);
        for (int i = 0; i < ColorTransform::kCurveSteps; ++i) r[i] = uint16_t(i);
        return r;
    }();
    return ramp;
}

} // namespace

void ColorTransform::ComputeLuminanceCurve(uint16_t curve[kCurveSteps]) {
    // Planes of this call's own, so two threads can compute curves at once.
    std::vector<uint16_t> planes(3 * kCurveSteps);
    PixelLayout source{};
    source.sampleType = PixelSample12in16;
    source.columns = kCurveSteps;
    source.rows = 1;
    source.columnOffset = 2;
    source.rowOffset = 2 * kCurveSteps;
    source.channels = 3;
    // The library only reads its source.
    uint16_t* ramp = const_cast<uint16_t*>(Ramp().data());
    source.base[0] = source.base[1] = source.base[2] = ramp;
    PixelLayout destination = source;
    for (int c = 0; c < 3; ++c) destination.base[c] = planes.data() + c * kCurveSteps;
    Evaluate(source, destination);
    for (int i = 0; i < kCurveSteps; ++i) {
        const uint32_t sum = 299u * planes[i] + 587u * planes[kCurveSteps + i] + 114u * planes[2 * kCurveSteps + i];
        curve[i] = uint16_t(sum / 1000u);
    }
}

} // namespace NimbalCore
