#include "RawModelDefaults.h"

#include <array>
#include <cmath>

namespace lumora::vq {

namespace {

constexpr int kFirstRawModel = 11;

struct ModelDefaults {
    uint32_t generationThreshold;
    uint32_t colourTableThreshold;
    uint16_t demosaicThreshold;
    int32_t sharpeningLevel;
    int toneCurve;    // 1..3, 0 none
    int colourCurves; // 1..6, 0 none
};

// Model ids 11 to 22.
constexpr ModelDefaults kDefaults[12] = {
    {7, 2, 100, 67, 1, 1},  {7, 2, 100, 67, 1, 1}, {16, 0, 0, 0, 2, 2},   {7, 2, 160, 67, 1, 3},
    {7, 2, 160, 67, 1, 3},  {3, 2, 100, 67, 1, 4}, {2, 2, 160, 67, 1, 5}, {16, 8, 160, 67, 3, 6},
    {0, 0, 0, 67, 0, 0},    {7, 0, 0, 67, 0, 0},   {3, 0, 100, 67, 0, 4}, {3, 0, 100, 67, 0, 4},
};

const ModelDefaults* Find(int32_t modelId) {
    if (modelId < kFirstRawModel || modelId >= RawModelDefaults::kModelCount) return nullptr;
    return &kDefaults[modelId - kFirstRawModel];
}

using Curve = std::array<uint16_t, RawModelDefaults::kCurveEntries>;

// A curve through t in 0..1; shape must be non-decreasing with shape(0) = 0 and
// shape(1) = 1, so the table runs from 0 to 4095 without a step back.
template <typename Shape>
Curve MakeCurve(Shape shape) {
    Curve c{};
    for (uint32_t i = 0; i < c.size(); ++i) {
        const double t = double(i) / 4095.0;
        const double y = std::lround(4095.0 * shape(t));
        c[i] = uint16_t(y < 0 ? 0 : (y > 4095 ? 4095 : y));
    }
    c[0] = 0;
    c[4095] = 4095;
    return c;
}

const Curve& Tone(int which) {
    // T1: a gentle S for the everyday look; T2: a lift of the mid-tones for the
    // model with the darker sensor; T3: a firmer S.
    static const Curve t1 = MakeCurve([](double t) { return t + 0.12 * t * (1 - t) * (2 * t - 1) * 2; });
    static const Curve t2 = MakeCurve([](double t) { return std::pow(t, 0.85); });
    static const Curve t3 = MakeCurve([](double t) { return t + 0.2 * t * (1 - t) * (2 * t - 1) * 2; });
    return which == 2 ? t2 : (which == 3 ? t3 : t1);
}

// Three film-speed sets (ISO 100, 400, 1600); each record holds two-knot red,
// green and blue threshold curves that rise with the sample value.
std::vector<int16_t> MakeColourCurves(int strength) {
    const int16_t codes[3] = {140, 146, 152};
    std::vector<int16_t> t = {3, codes[0], codes[1], codes[2]};
    for (int set = 0; set < 3; ++set) {
        const int16_t low = int16_t(strength * (set + 1));
        const int16_t high = int16_t(strength * (set + 1) * 4);
        t.insert(t.end(), {2, 2, 2});
        t.insert(t.end(), {0, low, 4095, high});                                // red
        t.insert(t.end(), {0, int16_t(low / 2), 4095, int16_t(high / 2)});      // green
        t.insert(t.end(), {0, low, 4095, high});                                // blue
    }
    return t;
}

} // namespace

uint32_t RawModelDefaults::FileGenerationThreshold(int32_t modelId) {
    const ModelDefaults* d = Find(modelId);
    return d ? d->generationThreshold : 0;
}

uint32_t RawModelDefaults::ColourTableThreshold(int32_t modelId) {
    const ModelDefaults* d = Find(modelId);
    return d ? d->colourTableThreshold : 0;
}

uint16_t RawModelDefaults::DemosaicThreshold(int32_t modelId) {
    const ModelDefaults* d = Find(modelId);
    return d ? d->demosaicThreshold : 0;
}

int32_t RawModelDefaults::SharpeningLevel(int32_t modelId) {
    const ModelDefaults* d = Find(modelId);
    return d ? d->sharpeningLevel : 0;
}

const uint16_t* RawModelDefaults::ToneCurve(int32_t modelId) {
    const ModelDefaults* d = Find(modelId);
    if (!d || d->toneCurve == 0) return nullptr;
    return Tone(d->toneCurve).data();
}

const std::vector<int16_t>* RawModelDefaults::ColourCurves(int32_t modelId) {
    static const std::array<std::vector<int16_t>, 6> tables = {MakeColourCurves(8),  MakeColourCurves(10),
                                                              MakeColourCurves(12), MakeColourCurves(14),
                                                              MakeColourCurves(16), MakeColourCurves(20)};
    const ModelDefaults* d = Find(modelId);
    if (!d || d->colourCurves == 0) return nullptr;
    return &tables[size_t(d->colourCurves - 1)];
}

const uint16_t* RawModelDefaults::LinearisationCurve() {
    static const Curve curve = [] {
        Curve c{};
        constexpr uint32_t kStraight = 216;
        for (uint32_t i = 0; i < c.size(); ++i) {
            if (i < kStraight) {
                c[i] = uint16_t(i);
                continue;
            }
            // A slight shoulder above the straight toe: slope 0.9 rising to 1.1.
            const double t = double(i - kStraight) / double(4095 - kStraight);
            c[i] = uint16_t(std::lround(kStraight + (4095 - kStraight) * (0.9 * t + 0.1 * t * t)));
        }
        return c;
    }();
    return curve.data();
}

} // namespace lumora::vq
