#include "ColorTransform.h"

#include <mutex>
#include <vector>

namespace NimbalCore {

void ColorTransform::ComputeLuminanceCurve(uint16_t curve[kCurveSteps]) {
    // One ramp and one set of planes for every curve, built once.
    static std::mutex bufferLock;
    static std::vector<uint16_t> ramp;
    static std::vector<uint16_t> planes;
    std::lock_guard<std::mutex> guard(bufferLock);
    if (ramp.empty()) {
        ramp.resize(kCurveSteps);
        for (int i = 0; i < kCurveSteps; ++i) ramp[i] = uint16_t(i);
        planes.resize(3 * kCurveSteps);
    }
    PixelLayout source{};
    source.sampleType = PixelSample12in16;
    source.columns = kCurveSteps;
    source.rows = 1;
    source.columnOffset = 2;
    source.rowOffset = 2 * kCurveSteps;
    source.channels = 3;
    source.base[0] = source.base[1] = source.base[2] = ramp.data();
    PixelLayout destination = source;
    for (int c = 0; c < 3; ++c) destination.base[c] = planes.data() + c * kCurveSteps;
    Evaluate(source, destination);
    for (int i = 0; i < kCurveSteps; ++i) {
        const uint32_t sum = 299u * planes[i] + 587u * planes[kCurveSteps + i] + 114u * planes[2 * kCurveSteps + i];
        curve[i] = uint16_t(sum / 1000u);
    }
}

} // namespace NimbalCore
