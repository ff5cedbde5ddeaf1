#include "FpSharpenStrip.h"

#include "FpContext.h"
#include "FpEvalKinds.h"
#include "FpFilterRecord.h"
#include "FpKernels.h"
#include "FpPictures.h"
#include "FpScratch.h"

#include <algorithm>

namespace kestra {

namespace {

constexpr int32_t kGainEntries = 256;

bool planeCountOk(const PSFPicture& p) { return p.planeCount >= 1 && p.planeCount <= PSF_MAX_PLANES; }
bool typeOk(const PSFPlane& p) { return FpSampleBits(p.sampleType) > 0; }

PSFRect grown(PSFRect r, int32_t by) { return PSFRect{r.x0 - by, r.y0 - by, r.x1 + by, r.y1 + by}; }

// Kernel copies (each kernel twice in a row, as 32-bit taps) and the
// pointer table that picks them.
struct KernelCopies {
    FpScratch<int32_t> taps;
    const int32_t* table[kGainEntries];
    const int32_t* pairTable[kGainEntries];
    FpScratch<int32_t> pairs;
};

int32_t clampVariant(int32_t v, int32_t V) { return v < 0 ? 0 : (v >= V ? V - 1 : v); }

void fillKernels(KernelCopies& k, const FpKernelTable& t, int32_t level, int32_t gain, const uint8_t* gainTable,
                 int32_t T) {
    const bool gainMode = gain == -1;
    const int32_t used = gainMode ? t.variants : 1;
    for (int32_t i = 0; i < used; ++i) {
        const int32_t variant = gainMode ? i : clampVariant(gain, t.variants);
        const int16_t* src = FpKernelAt(t, level, variant);
        int32_t* copy = k.taps.get() + int64_t(i) * 2 * T;
        for (int32_t m = 0; m < T; ++m) copy[m] = copy[T + m] = src[m];
    }
    if (gainMode) {
        for (int32_t c = 0; c < kGainEntries; ++c)
            k.table[c] = k.taps.get() + int64_t(clampVariant(gainTable[c], t.variants)) * 2 * T + T;
    } else {
        k.table[0] = k.taps.get() + T;
    }
}

FpStatus buildPairs(KernelCopies& k, const FpKernelTable& t, int32_t level, int32_t gain, const uint8_t* gainTable) {
    const bool gainMode = gain == -1;
    if (gainMode && !gainTable) return FpNoGainTable;
    if (!t.second) return FpNoGainTable;
    const int32_t used = gainMode ? t.variants : 1;
    if (!k.pairs.allocate(int64_t(used) * 2)) return FpNoSharedMemory;
    for (int32_t i = 0; i < used; ++i) {
        const int16_t* pair = FpPairAt(t, level, gainMode ? i : clampVariant(gain, t.variants));
        k.pairs[2 * i] = pair[0];
        k.pairs[2 * i + 1] = pair[1];
    }
    if (gainMode) {
        for (int32_t c = 0; c < kGainEntries; ++c)
            k.pairTable[c] = k.pairs.get() + 2 * clampVariant(gainTable[c], t.variants);
    } else {
        k.pairTable[0] = k.pairs.get();
    }
    return FpOk;
}

const PSFPlane* controlPlane(const PSFPicture* control, int32_t i) {
    return &control->planes[i < control->planeCount ? i : 0];
}

FpStatus report(FpProgressHook hook, int32_t percent) {
    if (!hook) return FpOk;
    return hook(percent) == 1 ? FpOk : FpCancelled;
}

} // namespace

FpStatus FpSharpenRects(const PSFPicture& src, const PSFPicture& dst, int32_t T, bool gainMode,
                        FpSharpenRectangles& r) {
    const PSFRect &Rs = src.rect, &Rd = dst.rect;
    if (Rs.x1 - Rs.x0 != Rd.x1 - Rd.x0 || Rs.y1 - Rs.y0 != Rd.y1 - Rd.y0) return FpRectsDiffer;
    PSFRect srcBuf, dstBuf;
    FpStatus st = FpPictureBufferRect(src, 0, T, srcBuf);
    if (st != FpOk) return st;
    st = FpPictureBufferRect(dst, 0, T, dstBuf);
    if (st != FpOk) return st;
    const int32_t H = T / 2;
    FpIntersectRect(&Rd, &dstBuf, &r.D);
    PSFRect moved = r.D;
    FpOffsetRect(moved, Rs.x0 - Rd.x0, Rs.y0 - Rd.y0);
    FpIntersectRect(&Rs, &moved, &r.A);
    r.A = grown(r.A, H);
    FpIntersectRect(&r.A, &srcBuf, &r.A);
    r.B = PSFRect{0, 0, Rs.x1 - Rs.x0, r.A.y1 - r.A.y0};
    r.P = Rs;
    FpOffsetRect(r.P, -Rs.x0, -r.A.y0);
    if (gainMode) {
        r.B = FpTransposeRect(r.B);
        r.P = FpTransposeRect(r.P);
    }
    return FpOk;
}

FpStatus FpSharpenStripKind5(Handle filter, int32_t level, int32_t g1, int32_t level2, int32_t g2,
                             const PSFPicture* src, const PSFPicture* ctl, const PSFPicture* work,
                             const PSFPicture* dst, FpProgressHook hook, int32_t T, FpPassFunction pass) {
    if (!src) return FpBadSourcePicture;
    if (!work) return FpBadWorkPicture;
    if (!dst) return FpBadDestinationPicture;
    if (report(hook, 0) != FpOk || report(hook, 1) != FpOk) return FpCancelled;
    const bool gainMode = g1 == -1 || g2 == -1;
    if (T < 1) return FpNoKernelTable;
    FpSharpenRectangles R;
    FpStatus st = FpSharpenRects(*src, *dst, T, gainMode, R);
    if (st != FpOk) return st;

    // The passes address every sample these rectangles name; all of it is
    // settled here, so the passes can trust their arguments.
    if (!planeCountOk(*src) || !FpRectInside(R.A, PSFRect{0, 0, src->width, src->height})) return FpBadSourcePicture;
    if (!planeCountOk(*work) || !FpRectInside(R.B, PSFRect{0, 0, work->width, work->height})) return FpBadWorkPicture;
    if (!planeCountOk(*dst) || !FpRectInside(R.D, PSFRect{0, 0, dst->width, dst->height}))
        return FpBadDestinationPicture;
    for (int32_t i = 0; i < dst->planeCount; ++i) {
        if (!dst->planes[i].data) continue;
        if (!typeOk(dst->planes[i])) return FpBadDestinationPicture;
        if (i >= src->planeCount || !src->planes[i].data || !typeOk(src->planes[i])) return FpBadSourcePicture;
        if (i >= work->planeCount || !work->planes[i].data || !typeOk(work->planes[i]) ||
            work->planes[i].columns < R.B.x1 || work->planes[i].rows < R.B.y1)
            return FpBadWorkPicture;
    }

    Handle setHandle = 0;
    if (FpFilterKernels(filter, setHandle) != FpHasKernels) return FpNoKernelTable;
    FpLockedKernelSet set(setHandle);
    if (!set) return FpNoKernelTable;
    const FpKernelTable* table = set->slot(kSlotCurrent).table ? set->slot(kSlotCurrent).table
                                                                : set->slot(kSlotKernels).table;
    if (!table || !table->samples || table->bytesPerSample != 2 || table->taps != T) return FpNoKernelTable;
    if (level < 0 || level >= table->levels || level2 < 0 || level2 >= table->levels) return FpNoKernelTable;
    const int32_t f = table->fractionBits;
    KernelCopies k;
    if (!k.taps.allocate(int64_t(gainMode ? table->variants : 1) * 2 * T)) return FpNoSharedMemory;

    PSFRect controlBuffer{}, controlRect{};
    const uint8_t* gainTable = nullptr;
    if (gainMode) {
        if (!ctl) return FpNoControlPicture;
        if (!planeCountOk(*ctl)) return FpBadSourcePicture;
        st = FpPictureBufferRect(*ctl, 0, T, controlBuffer);
        if (st != FpOk) return st;
        controlRect = ctl->rect;
        // Rows and columns the passes read of the control plane.
        const int64_t rows = std::max<int64_t>(R.A.y1 - R.A.y0, src->rect.y1 - src->rect.y0);
        if (int64_t(controlBuffer.y0) + rows > controlBuffer.y1 ||
            int64_t(controlRect.x0) + (src->rect.x1 - src->rect.x0) > controlBuffer.x1 ||
            int64_t(controlRect.y0) + (src->rect.y1 - src->rect.y0) > controlBuffer.y1)
            return FpBadSourcePicture;
        for (int32_t i = 0; i < ctl->planeCount; ++i)
            if (!ctl->planes[i].data || !typeOk(ctl->planes[i])) return FpBadSourcePicture;
        const FpKernelTable* gain = set->slot(kSlotGain).table;
        if (!gain || !gain->samples) return FpNoGainTable;
        gainTable = static_cast<const uint8_t*>(gain->samples);
    }

    FpScratch<int32_t> ring(T);
    const int64_t capacity = std::max<int64_t>({R.B.x1, R.B.y1, dst->rect.x1 - dst->rect.x0,
                                                dst->rect.y1 - dst->rect.y0, 1});
    const int64_t scratchSize = (capacity + T) * kFpPassBlock;
    FpScratch<int32_t> line(scratchSize), sums(scratchSize);
    FpScratch<uint8_t> control(scratchSize);
    if (!ring || !line || !sums || !control) return FpNoSharedMemory;
    FpPassScratch scratch{line.get(), sums.get(), control.get(), capacity, T, kFpPassBlock};
    if (report(hook, 5) != FpOk) return FpCancelled;

    fillKernels(k, *table, level, g1, gainTable, T);
    const int32_t n = dst->planeCount;
    for (int32_t i = 0; i < n; ++i) {
        FpBlendContext blend{hook, (45 * i) / n + 5, 0};
        blend.end = blend.start + 45 / n;
        if (!dst->planes[i].data) {
            st = FpCopyPlane(i, *src, R.A, *dst);
        } else {
            FpPassArgs a{};
            a.input = &src->planes[i];
            a.inputValid = R.A;
            a.inputStart = src->rect;
            a.output = &work->planes[i];
            a.outputLines = R.B;
            a.outputSamples = R.P;
            if (g1 == -1) {
                a.control = controlPlane(ctl, i);
                a.controlBuffer = controlBuffer;
                a.controlStart = PSFRect{controlRect.x0, controlBuffer.y0, controlRect.x1, controlBuffer.y1};
            }
            a.taps = T;
            a.fractionBits = f;
            a.kernels = k.table;
            a.ring = ring.get();
            a.outputFlag = gainMode ? 1 : 0;
            a.progress = FpBlendProgress;
            a.progressContext = &blend;
            a.scratch = &scratch;
            st = pass(a);
        }
        if (st != FpOk) return st;
        if (report(hook, blend.end) != FpOk) return FpCancelled;
    }
    if (report(hook, 51) != FpOk) return FpCancelled;

    if (g2 != g1) fillKernels(k, *table, level, g2, gainTable, T);
    const int32_t* const* pairs = nullptr;
    if (table->secondTable) {
        if (level != level2 || g1 != g2) return FpReferenceType;
        st = buildPairs(k, *table, level, g1, gainTable);
        if (st != FpOk) return st;
        pairs = k.pairTable;
    }
    uint32_t threshold;
    {
        threshold = set->threshold;
    }
    for (int32_t i = 0; i < n; ++i) {
        FpBlendContext blend{hook, (48 * i) / n + 51, 0};
        blend.end = blend.start + 48 / n;
        if (!dst->planes[i].data) continue;
        FpPassArgs a{};
        a.input = &work->planes[i];
        a.inputValid = R.B;
        a.inputStart = R.P;
        a.output = &dst->planes[i];
        a.outputLines = R.D;
        a.outputSamples = dst->rect;
        if (g2 == -1) {
            a.control = controlPlane(ctl, i);
            a.controlBuffer = controlBuffer;
            a.controlStart = controlRect;
        }
        a.taps = T;
        a.fractionBits = f;
        a.kernels = k.table;
        a.ring = ring.get();
        a.inputFlag = gainMode ? 0 : 1;
        a.outputFlag = 1;
        a.controlFlag = 1;
        if (threshold != 0 || pairs) {
            a.reference = &src->planes[i];
            a.referenceBuffer = R.A;
            a.referenceStart = src->rect;
        }
        a.threshold = int32_t(threshold);
        a.pairs = pairs;
        a.progress = FpBlendProgress;
        a.progressContext = &blend;
        a.scratch = &scratch;
        st = pass(a);
        if (st != FpOk) return st;
        if (report(hook, blend.end) != FpOk) return FpCancelled;
    }
    if (report(hook, 100) != FpOk) return FpCancelled;
    return FpOk;
}

FpStatus FpSharpen(Handle filter, int32_t levelX, int32_t gainX, int32_t levelY, int32_t gainY,
                   const PSFPicture* source, const PSFPicture* second, const PSFPicture* aux,
                   const PSFPicture* destination, const FpRunRecord& run) {
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    Handle set = 0;
    if (FpFilterKernels(filter, set) != FpHasKernels) return FpNoKernelTable;
    int32_t taps;
    if (FpKernelTaps(set, taps) != FpOk) return FpNoKernelTable;
    thread->taps = taps;
    FpSetProgressSteps(thread->progress, 2, run.hook);
    FpShared* shared = FpSharedRecord();
    uint32_t kind = kSeparableKind;
    if (shared) FpChooseEvalKind(uint32_t(run.evalKind), kind, shared->kinds, taps);
    FpRunRecord copy = run;
    copy.evalKind = int32_t(kind);
    // The separable engine is the only one the processor registers.
    return FpSharpenStripKind5(filter, levelX, gainX, levelY, gainY, source, second, aux, destination, copy.hook,
                               taps);
}

} // namespace kestra
