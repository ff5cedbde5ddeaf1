// Preparing a resampling filter for an affine mapping, and resampling a
// picture (or a strip of one) with it.
#include "FpAffine.h"
#include "FpScaleStrip.h"
#include "Kestra.h"
#include "PsfFilterRecord.h"
#include "PsfProgressRun.h"
#include "PsfScale.h"
#include "PsfStatus.h"

#include <cmath>

using namespace kestra;

namespace {

bool within(double v, double lo, double hi) { return v >= lo && v <= hi; }

// Phases are picked by the top bits of a position's fraction, and the
// half-phase rounding is a 15-bit shift: a phase count must be a power of
// two no larger than 2^15, or a pass would read past its kernels.
bool usablePhaseCount(int32_t variants) {
    return variants >= 1 && variants <= (1 << 15) && (variants & (variants - 1)) == 0;
}

void multiply2x2(const double a[4], const double b[4], double out[4]) {
    const double r[4] = {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3], a[2] * b[0] + a[3] * b[2],
                         a[2] * b[1] + a[3] * b[3]};
    for (int i = 0; i < 4; ++i) out[i] = r[i];
}

void rotation(double radians, double out[4]) {
    out[0] = std::cos(radians);
    out[1] = -std::sin(radians);
    out[2] = std::sin(radians);
    out[3] = std::cos(radians);
}

int32_t firstType(const PSFPicture* p) { return p->planes[0].sampleType; }

} // namespace

namespace kestra {

void PsfBuildScaleMatrix(double angle1, const double scale[2], double angle2, const double centre[2], double m[4],
                         double offset[2]) {
    constexpr double kRadians = 0.0174532925;
    double r1[4], r2[4];
    rotation(angle1 * kRadians, r1);
    rotation(angle2 * kRadians, r2);
    const double s[4] = {scale[0], 0.0, 0.0, scale[1]};
    double t[4];
    multiply2x2(r2, s, t);
    multiply2x2(t, r1, m);
    offset[0] = centre[0] - (m[0] * centre[0] + m[1] * centre[1]);
    offset[1] = centre[1] - (m[2] * centre[0] + m[3] * centre[1]);
}

} // namespace kestra

extern "C" {

PSFStatus PSFAffineSetup(PSFFilter filter, const double* m, const double* offset) {
    return PsfWithFilter(filter, [&](PsfFilterRecord& record) -> int32_t {
        if (record.kind != PsfKindResampling) return PSFErrNoScaleFilter;
        if (!m || !offset) return PSFErrArgumentOutOfRange;
        record.resampleX = (within(m[0], 0.9999, 1.0001) && within(m[1], -0.0001, 0.0001)) ? 0 : 1;
        record.resampleY = (within(m[3], 0.9999, 1.0001) && within(m[2], -0.0001, 0.0001)) ? 0 : 1;
        int32_t variants = 0;
        if (PsfGetLongAttribute(record.filter, PSFAttrVariants, variants) != FpOk || !usablePhaseCount(variants))
            return PSFErrArgumentOutOfRange;
        if (FpAffineSetup(m, offset, record.filter) != FpOk) return PSFErrArgumentOutOfRange;
        PsfMarkSetUp(&record);
        return PSFSuccess;
    });
}

PSFStatus PSFScaleSetup(PSFFilter filter, double angle1, const double* scale, double angle2, const double* centre) {
    if (!scale || !centre) return PSFErrArgumentOutOfRange;
    double m[4], offset[2];
    PsfBuildScaleMatrix(angle1, scale, angle2, centre, m, offset);
    return PSFAffineSetup(filter, m, offset);
}

PSFStatus PSFScale(PSFFilter filter, const PSFPicture* source, PSFPicture* work, PSFPicture* destination, void* edges,
                   PSFProgressProc progress, void* user) {
    if (source && destination) {
        const int32_t type = firstType(source);
        if (firstType(destination) != type || (work && firstType(work) != type)) return PSFErrSampleTypes;
    }
    return PsfRunPass(filter, progress, user, [&](PsfFilterRecord& record, FpRunRecord& run) {
        // The engine works on copies, so every record comes back to the
        // caller as it was given.
        PSFPicture src{}, dst{};
        if (source) src = *source;
        if (destination) dst = *destination;
        int32_t mode = 0;
        if (PsfTestFlag(&record, PsfFlagInStrip)) {
            if (record.resampleX && record.resampleY) {
                mode = 4;
                record.linesDone += src.rect.y1 - src.rect.y0;
            } else {
                mode = record.stripEnded ? 2 : 1;
                const int32_t y0 = -record.linesDone;
                const int32_t y1 = (record.strip.y1 - record.strip.y0) - record.linesDone;
                src.rect.y0 = dst.rect.y0 = y0;
                src.rect.y1 = dst.rect.y1 = y1;
                record.linesDone += src.height;
            }
        }
        PSFPicture workCopy{};
        if (work) workCopy = *work;
        FpStatus fp = FpScale(record.filter, source ? &src : nullptr, work ? &workCopy : nullptr,
                              destination ? &dst : nullptr, static_cast<const FpEdgeRecord*>(edges), run, mode);
        if (fp == FpSingular) fp = FpOk;
        return PsfMapStatus(fp);
    });
}

} // extern "C"
