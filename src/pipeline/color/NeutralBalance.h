#pragma once
// White balance of family-2 files as a neutral point: the camera values a grey
// gives under the chosen light. Converts presets, the sampled balance and stored
// balance triples into neutral points, and neutral points into channel gains.
// Works in two spaces joined by the image's transfer tables and splits a triple
// into its mean and two colour differences. Stateless: matrices are built per call.
#include <cstdint>

#include "CurveState.h"
#include "RationalValue.h"
#include "VqStatus.h"

namespace lumora {

struct NeutralBalanceInputs {
    const uint16_t* curveA = nullptr; // linear -> curve domain
    uint32_t curveASize = 0;
    const uint16_t* curveB = nullptr; // curve domain -> linear
    uint32_t curveBSize = 0;
    const RationalValue* matrix1 = nullptr; // RP_COLOR_MATRIX
    const RationalValue* matrix2 = nullptr; // RP_COLOR_MATRIX_2
    const RationalValue* matrix3 = nullptr; // RP_COLOR_MATRIX_3
    const CurveState* curveState = nullptr;
    int32_t balanceType = 0;
    int32_t modelId = 0;
};

class NeutralBalance {
public:
    static constexpr int32_t kIlluminantGroups = 6;
    static constexpr int32_t kIlluminantWords = 36;
    static constexpr int32_t kDefaultLevel = 2568;
    static constexpr int32_t kGainsFromInputModel = 18;
    static constexpr int32_t kMatrixPathModel = 13;
    static constexpr int32_t kSampledBalanceType = 5;

    explicit NeutralBalance(const NeutralBalanceInputs& inputs) : in_(inputs) {}

    // v through the curve-B lookup (plus offset), the inverse of m, and curve A.
    VqStatus ThroughMatrix(const double v[3], const RationalValue* m, double out[3], double offset) const;
    // The sampled neutral of the curve record.
    VqStatus GetNeutralPoint(double out[3]) const;
    // Gains that turn the neutral point grey; VQ_ERR_BAD_SAMPLE when a channel
    // comes out non-positive.
    VqStatus BalanceFromNeutral(uint16_t red, uint16_t green, uint16_t blue, double gains[3]) const;
    VqStatus NeutralToBalanceTriple(uint16_t red, uint16_t green, uint16_t blue, uint16_t out[3]) const;
    // Neutral of preset light `index` (0 ... 5) of a block of six rational triples
    // (numerator, denominator words), group 0 the reference light.
    VqStatus NeutralForIlluminant(int32_t index, const uint32_t* block, double out[3]) const;

private:
    void LookupA(const double in[3], double out[3]) const;
    void LookupB(const double in[3], double out[3]) const;
    int32_t MidLevel() const { return in_.curveState ? in_.curveState->midLevel : kDefaultLevel; }
    bool TablesPresent() const { return in_.curveA && in_.curveASize && in_.curveB && in_.curveBSize; }

    NeutralBalanceInputs in_;
};

} // namespace lumora
