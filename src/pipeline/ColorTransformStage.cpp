#include "ColorTransformStage.h"

#include "OcmsSession.h"

#include <new>

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
        }
        return 0;
    }
    case ModePreMatrixOnly:
        if (transformRecord && FixedMatrix::AllDenominatorsSet(transformRecord->preMatrix)) {
            FixedMatrix::BalanceRowSums(transformRecord->preMatrix);
            VqStatus st = 0;
            recordApplier.reset(new (std::nothrow) MatrixApplier(&st, transformRecord->preMatrix, 3, 3, 0xFFFF, 0));
            if (!recordApplier) return VQ_ERR_OCMS_NO_MEMORY;
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

void ColorTransformStage::ConvertRows(int16_t* p, int16_t* q, int16_t* r) const {
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
