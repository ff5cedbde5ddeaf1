#include "ColorTransformStage.h"

#include "ColorTransformAvx2.h"

#include <algorithm>

#include "OcmsSession.h"

#include <new>

using lumora::ConvertSeparateTonesAvx2;
using lumora::ProcessorHasAvx2;
using lumora::SeparateTonesKernel;

ColorTransformStage::ColorTransformStage() = default;

void* ColorTransformStage::FieldPointer(Field field) {
    switch (field) {
    case FieldWidth: return &width;
    case FieldHeight: return &height;
    case FieldMode: return &mode;
    case FieldLeftSkip: return &leftSkip;
    case FieldRightSkip: return &rightSkip;
    case FieldFirstMatrix: return firstMatrix;
    case FieldSecondMatrix: return secondMatrix;
    case FieldWorkingMaximum: return &workingMaximum;
    case FieldSubsampled: return &subsampled;
    case FieldFirstTone: return &firstTone;
    case FieldMiddleTone: return &middleTone;
    case FieldLastTone: return &lastTone;
    case FieldOutputTable: return &outputTable;
    case FieldOutputSize: return &outputSize;
    case FieldTransformRecord: return &transformRecord;
    case FieldCount: break;
    }
    return nullptr;
}

int32_t ColorTransformStage::SensorSizeClass(int32_t w, int32_t h) {
    if (w == 1280 && h == 1024) return 0;
    if (w == 1536 && h == 1024) return 1;
    return 2;
}

VqStatus ColorTransformStage::Prepare() {
    switch (mode) {
    case ModeFull:
    case ModeFullSeparateTones: {
        VqStatus st = 0;
        firstApplier.reset(new (std::nothrow) DifferenceApplier(&st, firstMatrix, 3, 3, workingMaximum, 0));
        if (!firstApplier) return VQ_ERR_PROCESS_NO_MEMORY;
        if (st) return st;
        secondApplier.reset(new (std::nothrow) MatrixApplier(&st, secondMatrix, 3, 3, outputSize - 1, 0));
        if (!secondApplier) return VQ_ERR_PROCESS_NO_MEMORY;
        return st;
    }
    case ModeColourManaged: {
        if (!transformRecord) return VQ_ERR_OCMS_NULL_RECORD;
        transformRecord->lastStatus = 0;
        OcmsSession* session = OcmsSession::Existing();
        if (!session) return VQ_ERR_OCMS_NOT_OPEN;
        if (VqStatus st = session->PrepareTransform(transformRecord)) return st;
        if (FixedMatrix::AllDenominatorsSet(transformRecord->preMatrix)) {
            VqStatus st = 0;
            recordApplier.reset(new (std::nothrow)
                                    MatrixApplier(&st, transformRecord->preMatrix, 3, 3, workingMaximum, 0));
            if (!recordApplier) return VQ_ERR_OCMS_NO_MEMORY;
            // A pre-matrix that cannot become an applier would turn every
            // sample into its bare rounding offset: the render stops instead.
            if (st) {
                recordApplier.reset();
                return st;
            }
        }
        return 0;
    }
    case ModePreMatrixOnly:
        if (transformRecord && FixedMatrix::AllDenominatorsSet(transformRecord->preMatrix)) {
            FixedMatrix::BalanceRowSums(transformRecord->preMatrix);
            VqStatus st = 0;
            recordApplier.reset(new (std::nothrow) MatrixApplier(&st, transformRecord->preMatrix, 3, 3, 0xFFFF, 0));
            if (!recordApplier) return VQ_ERR_OCMS_NO_MEMORY;
            if (st) {
                recordApplier.reset();
                return st;
            }
            recordApplier->Scale(16.0);
        }
        return 0;
    default:
        firstApplier.reset();
        secondApplier.reset();
        recordApplier.reset();
        return 0;
    }
}

namespace {

// Largest |sum| of a matrix row applied to inputs of at most `input` in size,
// with its rounding offset: whether 32-bit sums are exact.
bool FitsIn32(const int32_t* m, int64_t input, int64_t half) {
    for (int k = 0; k < 3; ++k) {
        int64_t bound = half < 0 ? -half : half;
        for (int j = 0; j < 3; ++j) bound += (m[3 * k + j] < 0 ? -int64_t(m[3 * k + j]) : m[3 * k + j]) * input;
        if (bound >= (int64_t(1) << 31)) return false;
    }
    return true;
}

} // namespace

void ColorTransformStage::ConvertRows(int16_t* p, int16_t* q, int16_t* r) const {
    // The fast kernel covers the full product on plain colours; the difference
    // form keeps the per-pixel path.
    if (reference_ || !subsampled) {
        ConvertRowsReference(p, q, r);
        return;
    }
    const bool separate = mode == ModeFullSeparateTones;
    const bool firstNarrow = FitsIn32(firstApplier->coefficients, 32768, firstApplier->half);
    // Inputs of the second matrix: tone values (16-bit), or in mode 0 colours
    // scaled by the tone ratio.
    const int64_t secondInput = separate ? 65535 : int64_t(std::max(workingMaximum, 1)) * 65535;
    const bool secondNarrow = FitsIn32(secondApplier->coefficients, secondInput, secondApplier->half);
    if (separate && firstNarrow && secondNarrow && Avx2Runs()) {
        SeparateTonesKernel k;
        k.first = firstApplier->coefficients;
        k.firstHalf = int32_t(firstApplier->half);
        k.firstShift = uint32_t(firstApplier->shift);
        k.workingMaximum = workingMaximum;
        k.second = secondApplier->coefficients;
        k.secondHalf = int32_t(secondApplier->half);
        k.secondShift = uint32_t(secondApplier->shift);
        k.lowest = secondApplier->minimum;
        k.highest = secondApplier->maximum;
        k.firstTone = firstTone;
        k.middleTone = middleTone;
        k.lastTone = lastTone;
        k.output = outputTable;
        for (int32_t y = 0; y < height; ++y) {
            const int64_t start = int64_t(leftSkip) + y * Stride();
            ConvertSeparateTonesAvx2(k, p + start, q + start, r + start, width);
        }
        return;
    }
    if (separate) {
        if (firstNarrow && secondNarrow) ConvertRowsFast<true, int32_t, int32_t>(p, q, r);
        else ConvertRowsFast<true, int64_t, int64_t>(p, q, r);
    } else {
        if (firstNarrow && secondNarrow) ConvertRowsFast<false, int32_t, int32_t>(p, q, r);
        else ConvertRowsFast<false, int64_t, int64_t>(p, q, r);
    }
}

bool ColorTransformStage::Avx2Runs() const {
    static const bool has = ProcessorHasAvx2();
    return has && kernel_ != Kernel::Portable;
}

template <bool SeparateTones, typename FirstSum, typename SecondSum>
void ColorTransformStage::ConvertRowsFast(int16_t* p, int16_t* q, int16_t* r) const {
    const int32_t* m = firstApplier->coefficients;
    const FirstSum m0 = m[0], m1 = m[1], m2 = m[2], m3 = m[3], m4 = m[4], m5 = m[5], m6 = m[6], m7 = m[7], m8 = m[8];
    const FirstSum h1 = firstApplier->half;
    const unsigned s1 = unsigned(firstApplier->shift);
    const int32_t wmax = workingMaximum;
    const int32_t* n = secondApplier->coefficients;
    const SecondSum n0 = n[0], n1 = n[1], n2 = n[2], n3 = n[3], n4 = n[4], n5 = n[5], n6 = n[6], n7 = n[7], n8 = n[8];
    const SecondSum h2 = secondApplier->half;
    const unsigned s2 = unsigned(secondApplier->shift);
    const int32_t lo = secondApplier->minimum, hi = secondApplier->maximum;
    const uint16_t* __restrict tone = middleTone;
    const uint16_t* __restrict toneFirst = firstTone;
    const uint16_t* __restrict toneLast = lastTone;
    const uint16_t* __restrict out = outputTable;
    auto clampFirst = [wmax](FirstSum v) { return int32_t(v < 0 ? 0 : (v > wmax ? wmax : v)); };
    auto clampSecond = [lo, hi](SecondSum v) { return int32_t(v < lo ? lo : (v > hi ? hi : v)); };
    for (int32_t y = 0; y < height; ++y) {
        const int64_t start = int64_t(leftSkip) + y * Stride();
        int16_t* __restrict pp = p + start;
        int16_t* __restrict qq = q + start;
        int16_t* __restrict rr = r + start;
        for (int32_t i = 0; i < width; ++i) {
            const FirstSum a = pp[i], b = qq[i], c = rr[i];
            int32_t x = clampFirst((m0 * a + m1 * b + m2 * c + h1) >> s1);
            const int32_t yy = clampFirst((m3 * a + m4 * b + m5 * c + h1) >> s1);
            int32_t z = clampFirst((m6 * a + m7 * b + m8 * c + h1) >> s1);
            const int32_t t = tone[yy];
            if constexpr (SeparateTones) {
                x = toneFirst[x];
                z = toneLast[z];
            } else if (yy != 0) {
                x = int32_t(int64_t(x) * t / yy);
                z = int32_t(int64_t(z) * t / yy);
            }
            const SecondSum sx = x, st = t, sz = z;
            pp[i] = int16_t(out[clampSecond((n0 * sx + n1 * st + n2 * sz + h2) >> s2)]);
            qq[i] = int16_t(out[clampSecond((n3 * sx + n4 * st + n5 * sz + h2) >> s2)]);
            rr[i] = int16_t(out[clampSecond((n6 * sx + n7 * st + n8 * sz + h2) >> s2)]);
        }
    }
}

void ColorTransformStage::ConvertRowsReference(int16_t* p, int16_t* q, int16_t* r) const {
    const DifferenceApplier& first = *firstApplier;
    const int32_t* m = first.coefficients;
    const int32_t h = first.half;
    const int32_t s = first.shift;
    const int32_t wmax = workingMaximum;
    const bool separateTones = mode == ModeFullSeparateTones;
    for (int32_t y = 0; y < height; ++y) {
        const int64_t start = int64_t(leftSkip) + y * Stride();
        for (int64_t i = start; i < start + width; ++i) {
            const int32_t a = p[i], b = q[i], c = r[i];
            int32_t x, yy, z;
            if (subsampled) {
                auto full = [&](int k) {
                    int64_t v = (int64_t(m[3 * k]) * a + int64_t(m[3 * k + 1]) * b + int64_t(m[3 * k + 2]) * c + h) >> s;
                    return int32_t(v < 0 ? 0 : (v > wmax ? wmax : v));
                };
                x = full(0);
                yy = full(1);
                z = full(2);
            } else {
                first.ApplyPixel(a, b, c, &x, &yy, &z);
            }
            // The first applier clamps to 0..workingMaximum, so the tone tables
            // (workingMaximum + 1 entries) are always indexed inside.
            const int32_t t = middleTone[yy];
            if (separateTones) {
                x = firstTone[x];
                z = lastTone[z];
            } else if (yy != 0) {
                x = int32_t(int64_t(x) * t / yy);
                z = int32_t(int64_t(z) * t / yy);
            }
            int32_t u, v, w;
            secondApplier->ApplyPixel(x, t, z, &u, &v, &w);
            p[i] = int16_t(outputTable[u]);
            q[i] = int16_t(outputTable[v]);
            r[i] = int16_t(outputTable[w]);
        }
    }
}

void ColorTransformStage::ApplyRecordMatrix(int16_t* p, int16_t* q, int16_t* r) const {
    const int64_t count = Stride() * height;
    for (int64_t i = 0; i < count; ++i) {
        int32_t x, y, z;
        recordApplier->ApplyPixel(p[i], q[i], r[i], &x, &y, &z);
        p[i] = int16_t(x);
        q[i] = int16_t(y);
        r[i] = int16_t(z);
    }
}

VqStatus ColorTransformStage::Run(int16_t* p, int16_t* q, int16_t* r, int16_t* fourth) {
    if (!p || !q || !r) return VQ_ERR_NULL_PLANES;
    switch (mode) {
    case ModeFull:
    case ModeFullSeparateTones:
        if (!firstApplier || !secondApplier || !middleTone || !outputTable || outputSize <= 0 ||
            (mode == ModeFullSeparateTones && (!firstTone || !lastTone)))
            return VQ_ERR_MATRIX_NOT_AVAILABLE;
        ConvertRows(p, q, r);
        return 0;
    case ModeMonochrome: {
        if (!middleTone || !outputTable || outputSize <= 0) return VQ_ERR_NULL_PLANES;
        // Indices are clamped into the tone table (workingMaximum + 1 entries) and
        // the output table, whatever the strip holds.
        const int32_t toneLast = workingMaximum < 0 ? 0 : workingMaximum;
        for (int32_t y = 0; y < height; ++y) {
            const int64_t start = int64_t(leftSkip) + y * Stride();
            for (int64_t i = start; i < start + width; ++i) {
                int32_t idx = q[i];
                idx = idx < 0 ? 0 : (idx > toneLast ? toneLast : idx);
                int32_t tone = middleTone[idx];
                tone = tone > outputSize - 1 ? outputSize - 1 : tone;
                q[i] = int16_t(outputTable[tone]);
            }
        }
        return 0;
    }
    case ModePreMatrixOnly:
        if (recordApplier && transformRecord && FixedMatrix::AllDenominatorsSet(transformRecord->preMatrix))
            ApplyRecordMatrix(p, q, r);
        return 0;
    case ModeColourManaged: {
        if (!transformRecord) return VQ_ERR_OCMS_NULL_RECORD;
        transformRecord->lastStatus = 0;
        OcmsSession* session = OcmsSession::Existing();
        if (!session || !session->IsOpen()) return VQ_ERR_OCMS_NOT_OPEN;
        if (recordApplier && FixedMatrix::AllDenominatorsSet(transformRecord->preMatrix))
            ApplyRecordMatrix(p, q, r);
        return session->EvaluateTransform(transformRecord, p, q, r, fourth, width, height, leftSkip, rightSkip);
    }
    default:
        return 0;
    }
}

VqStatus ColorTransformStage::Release() {
    if (!transformRecord || transformRecord->mode == 0 || transformRecord->mode == 1) return 0;
    OcmsSession* session = OcmsSession::Existing();
    if (!session) return VQ_ERR_OCMS_NOT_OPEN;
    return session->ReleaseTransform(transformRecord);
}
