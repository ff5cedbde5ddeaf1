#include "FpScaleStrip.h"

#include "FpAffineGeometry.h"
#include "FpContext.h"
#include "FpEvalKinds.h"
#include "FpFilterRecord.h"
#include "FpKernels.h"
#include "FpPictures.h"
#include "FpScratch.h"

#include <algorithm>

namespace kestra {

namespace {

bool emptyRect(const PSFRect& r) { return r.x1 <= r.x0 || r.y1 <= r.y0; }
bool planeCountOk(const PSFPicture& p) { return p.planeCount >= 1 && p.planeCount <= PSF_MAX_PLANES; }
int32_t resampledAxes(const FpAffineStage& s) { return (s.resampled[0] ? 1 : 0) + (s.resampled[1] ? 1 : 0); }
bool both(const FpAffineStage& s) { return s.resampled[0] && s.resampled[1]; }

FpStatus report(FpProgressHook hook, int32_t percent) {
    if (!hook) return FpOk;
    return hook(percent) == 1 ? FpOk : FpCancelled;
}

// Every plane holds the range's samples from its data pointer on.
bool planesHold(const PSFPicture& p, const PSFRect& range) {
    const int64_t w = int64_t(range.x1) - range.x0, h = int64_t(range.y1) - range.y0;
    for (int32_t i = 0; i < p.planeCount; ++i) {
        const PSFPlane& q = p.planes[i];
        if (!q.data || FpSampleBits(q.sampleType) < 0 || q.columns < w || q.rows < h) return false;
    }
    return true;
}

// Drops the source lines (or columns) that the one resampling pass does not
// read, on the stage's own copy of the source record.
FpStatus trimSource(const FpAffineStage& s, PSFPicture& src, PSFRect& range, const PSFRect& dst) {
    const int axis = s.resampled[0] ? 0 : 1;
    const bool columns = s.pass[axis].inputColumns != 0;
    // A pass that reads columns keeps columns as its lines.
    const int32_t lead = columns ? dst.x0 - range.x0 : dst.y0 - range.y0;
    const int32_t keep = columns ? dst.x1 - dst.x0 : dst.y1 - dst.y0;
    for (int32_t i = 0; i < src.planeCount; ++i) {
        PSFPlane& q = src.planes[i];
        const int32_t have = columns ? q.columns : q.rows;
        if (lead < 0 || keep < 0 || int64_t(lead) + keep > have) return FpBadSourcePicture;
        q.data = static_cast<uint8_t*>(q.data) + int64_t(lead) * (columns ? q.sampleStep : q.rowStep);
        (columns ? q.columns : q.rows) = keep;
    }
    if (columns) range.x0 = dst.x0, range.x1 = dst.x1;
    else range.y0 = dst.y0, range.y1 = dst.y1;
    return FpOk;
}

void fillKernels(int32_t* copies, const FpKernelTable& t, int32_t level) {
    const int32_t T = t.taps;
    for (int32_t v = 0; v < t.variants; ++v) {
        const int16_t* k = FpKernelAt(t, level, v);
        int32_t* c = copies + int64_t(v) * 2 * T;
        for (int32_t m = 0; m < T; ++m) c[m] = c[T + m] = k[m];
    }
}

PSFRect widenIntoMargin(const PSFPicture& p, int32_t h) {
    PSFRect r = p.rect;
    auto widen = [&](int32_t& lo, int32_t& hi, int32_t have, int32_t limit) {
        const int32_t e = have - (hi - lo);
        const bool atLo = lo == 0, atHi = hi == limit;
        if (!atLo && !atHi && e > 2 * h) {
            lo -= e / 2 - h;
            hi += e / 2 - h;
        } else if (atLo != atHi && e > h) {
            if (atLo) hi += e - h;
            else lo -= e - h;
        }
    };
    widen(r.x0, r.x1, p.planes[0].columns, p.width);
    widen(r.y0, r.y1, p.planes[0].rows, p.height);
    return r;
}

const uint8_t* planeEnd(const PSFPlane& q) { return static_cast<const uint8_t*>(q.data) + int64_t(q.rows) * q.rowStep; }

bool overlaps(const PSFPicture& a, const PSFPicture& b) {
    const uint8_t* a0 = static_cast<const uint8_t*>(a.planes[0].data);
    const uint8_t* b0 = static_cast<const uint8_t*>(b.planes[0].data);
    return a0 < planeEnd(b.planes[0]) && b0 < planeEnd(a.planes[0]);
}

struct StageArgs {
    const FpAffineStage* stage;
    Handle filter;
    const PSFPicture* source;
    PSFPicture* intermediate;
    const PSFPicture* destination;
    const FpEdgeRecord* edges;
    FpProgressHook hook;
    int32_t mode;
    int32_t taps;
    FpResampleFunction pass;
};

FpStatus scaleStage(const StageArgs& a) {
    const FpAffineStage& S = *a.stage;
    const PSFPicture& dst = *a.destination;
    if (emptyRect(dst.rect)) {
        if (both(S)) {
            FpThreadScope thread;
            if (thread) ++thread->progress.current;
        }
        return report(a.hook, 100);
    }
    Handle setHandle = 0;
    if (FpFilterKernels(a.filter, setHandle) != FpHasKernels) return FpFailed;
    FpLockedKernelSet set(setHandle);
    if (!set) return FpFailed;
    const FpKernelTable* table = set->slot(kSlotKernels).table;
    if (!table || !table->samples || table->taps != a.taps) return FpFailed;
    PSFPicture src = *a.source;
    if (emptyRect(src.rect)) return FpEmptySource;

    const int32_t m = a.mode & ~4;
    const int32_t T = a.taps;
    PSFRect srcRange, dstRange, midRange{0, 0, 0, 0};
    if (m == 1 || m == 2) {
        srcRange = PSFRect{0, 0, src.width, src.height};
        dstRange = PSFRect{0, 0, dst.width, dst.height};
    } else {
        if (FpCheckPictureRect(&src) != 1) return FpBadSourcePicture;
        if (FpCheckPictureRect(&dst) != 1) return FpBadDestinationPicture;
        FpStatus st = FpPictureBufferRect(src, m, T, srcRange);
        if (st == FpOk) st = FpPictureBufferRect(dst, m, T, dstRange);
        if (st == FpOk) st = FpMidRect(S, srcRange, dstRange, false, midRange);
        if (st != FpOk) return st;
    }
    if (emptyRect(dstRange)) return FpOk;
    if (!planeCountOk(src) || !FpRectInside(srcRange, PSFRect{0, 0, src.width, src.height})) return FpBadSourcePicture;
    const bool twoPass = m == 0 && both(S);
    if (twoPass) {
        const PSFPicture* mid = a.intermediate;
        if (!mid) return FpBadWorkPicture;
        if (mid->rect.x1 - mid->rect.x0 < midRange.x1 - midRange.x0 ||
            mid->rect.y1 - mid->rect.y0 < midRange.y1 - midRange.y0)
            return FpSmallIntermediate;
        if (!planeCountOk(*mid) || mid->planeCount < src.planeCount || !planesHold(*mid, midRange))
            return FpBadWorkPicture;
    }
    if (!planeCountOk(dst) || dst.planeCount < src.planeCount ||
        !FpRectInside(dstRange, PSFRect{0, 0, dst.width, dst.height}) || !planesHold(dst, dstRange))
        return FpBadDestinationPicture;
    if (m == 0 && resampledAxes(S) == 1) {
        const FpStatus st = trimSource(S, src, srcRange, dstRange);
        if (st != FpOk) return st;
    }
    if (!planesHold(src, srcRange)) return FpBadSourcePicture;

    const int32_t V = table->variants;
    for (int axis = 0; axis < 2; ++axis)
        if (S.level[axis] < 0 || S.level[axis] >= table->levels) return FpFailed;
    FpScratch<int32_t> ring(T), copies(int64_t(V) * 2 * T);
    if (!ring || !copies) return FpNoSharedMemory;
    fillKernels(copies.get(), *table, S.level[0]);

    FpResampleArgs r{};
    r.taps = T;
    r.phaseBits = table->log2Variants;
    r.fractionBits = table->fractionBits;
    r.kernels = copies.get();
    r.ring = ring.get();
    r.edges = a.edges;
    r.progress = FpBlendProgress;
    FpBlendContext blend{a.hook, 3, 100};
    r.progressContext = &blend;

    bool intoMid = false;
    if ((m == 0 && S.resampled[0]) || m == 1) {
        r.pass = &S.pass[0];
        r.input = &src;
        r.inputRange = srcRange;
        intoMid = twoPass;
        r.output = intoMid ? a.intermediate : &dst;
        r.outputRect = intoMid ? midRange : dstRange;
        if (report(a.hook, 3) != FpOk) return FpCancelled;
        const FpStatus st = a.pass(r);
        if (st != FpOk) return st == FpCancelled ? FpCancelled : st;
        if (report(a.hook, 100) != FpOk) return FpCancelled;
    }
    if ((m == 0 && S.resampled[1]) || m == 2) {
        r.pass = &S.pass[1];
        r.input = intoMid ? a.intermediate : &src;
        r.inputRange = intoMid ? midRange : srcRange;
        r.output = &dst;
        r.outputRect = dstRange;
        if (S.level[1] != S.level[0]) fillKernels(copies.get(), *table, S.level[1]);
        if (report(a.hook, 3) != FpOk) return FpCancelled;
        const FpStatus st = a.pass(r);
        if (st != FpOk) return st;
        if (report(a.hook, 100) != FpOk) return FpCancelled;
    }
    return FpOk;
}

FpStatus runStage(StageArgs a, FpRunRecord& run) {
    if (emptyRect(a.destination->rect)) {
        FpThreadScope thread;
        if (!thread) return FpNoThreadContext;
        FpFinishProgressStep(thread->progress, run);
        return FpOk;
    }
    a.hook = run.hook;
    return scaleStage(a);
}

PSFPicture viewOf(const PSFRect& B, const PSFPicture& destination, const PSFRect& Db) {
    PSFPicture v = destination;
    FpIntersectRect(&destination.rect, &B, &v.rect);
    const int32_t w = v.rect.x1 - v.rect.x0, h = v.rect.y1 - v.rect.y0;
    for (int32_t i = 0; i < v.planeCount && i < PSF_MAX_PLANES; ++i) {
        PSFPlane& q = v.planes[i];
        q.columns = w;
        q.rows = h;
        if (q.data && w > 0 && h > 0)
            q.data = static_cast<uint8_t*>(q.data) + int64_t(v.rect.x0 - Db.x0) * q.sampleStep +
                     int64_t(v.rect.y0 - Db.y0) * q.rowStep;
    }
    return v;
}

} // namespace

FpStatus FpMidRect(const FpAffineStage& S, const PSFRect& s, const PSFRect& d, bool relative, PSFRect& out) {
    out = PSFRect{0, 0, 0, 0};
    if (emptyRect(s) || emptyRect(d)) return FpOk;
    const FpPassTable &p1 = S.pass[0], &p2 = S.pass[1];
    const int32_t a0 = p1.inputColumns ? s.x0 : s.y0, a1 = p1.inputColumns ? s.x1 : s.y1;
    if (!p1.outputColumns) out.y0 = a0, out.y1 = a1;
    else out.x0 = a0, out.x1 = a1;
    const int32_t b0 = p2.outputColumns ? d.x0 : d.y0, b1 = p2.outputColumns ? d.x1 : d.y1;
    if (!p2.inputColumns) out.y0 = b0, out.y1 = b1;
    else out.x0 = b0, out.x1 = b1;
    if (relative) FpOffsetRect(out, -out.x0, -out.y0);
    return emptyRect(out) ? FpStatus(FpEmptyIntermediate) : FpStatus(FpOk);
}

PSFRect FpMapRectThroughStage(const FpAffineStage& S, const PSFRect& r) {
    FpCorners c = FpCornersOf(r);
    FpMapCornersThroughStage(S, c);
    PSFRect out;
    FpOuterBoundingRect(&c, &out);
    return out;
}

void FpTrimStageResult(int32_t mode, int32_t h, const PSFRect& extent, PSFRect& r) {
    if (mode != 4) return;
    if (r.x1 - r.x0 > 2 * h) {
        if (r.x0 != extent.x0) r.x0 += h;
        if (r.x1 != extent.x1) r.x1 -= h;
    }
    if (r.y1 - r.y0 > 2 * h) {
        if (r.y0 != extent.y0) r.y0 += h;
        if (r.y1 != extent.y1) r.y1 -= h;
    }
}

int32_t FpCarvedWidth(const PSFRect& r) { return r.x0 < 0 ? r.x1 - r.x0 : r.x1; }
int32_t FpCarvedHeight(const PSFRect& r) { return r.y0 < 0 ? r.y1 - r.y0 : r.y1; }

int32_t FpCheckPictureRect(const PSFPicture* p) {
    if (!p) return -1;
    const PSFRect& r = p->rect;
    return 0 <= r.x0 && r.x0 <= r.x1 && r.x1 <= p->width && 0 <= r.y0 && r.y0 <= r.y1 && r.y1 <= p->height ? 1 : -1;
}

void FpFillOutside(const PSFPicture& D, const PSFRect& G, const FpEdgeRecord* edges) {
    if (!edges) return;
    const PSFRect& R = D.rect;
    const bool empty = emptyRect(G);
    if (!empty && !FpRectInside(G, R)) return;
    for (int32_t i = 0; i < D.planeCount && i < PSF_MAX_PLANES; ++i) {
        if (edges[i].mode != FpEdgeFill) continue;
        const PSFPlane& q = D.planes[i];
        if (!q.data) continue;
        const bool bytes = q.sampleType == PSFSample8;
        const uint32_t w16 = uint32_t(edges[i].fill) & 0xFFFF;
        const uint16_t w = bytes ? uint16_t(w16 < 256 ? w16 : 255) : uint16_t(w16);
        auto fill = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
            for (int32_t y = y0; y < y1; ++y)
                for (int32_t x = x0; x < x1; ++x) {
                    uint8_t* s = static_cast<uint8_t*>(q.data) + int64_t(y - R.y0) * q.rowStep +
                                 int64_t(x - R.x0) * q.sampleStep;
                    if (bytes) *s = uint8_t(w);
                    else std::memcpy(s, &w, 2);
                }
        };
        if (empty) {
            fill(R.x0, R.y0, R.x1, R.y1);
        } else {
            fill(R.x0, R.y0, R.x1, G.y0);
            fill(R.x0, G.y0, G.x0, G.y1);
            fill(G.x1, G.y0, R.x1, G.y1);
            fill(R.x0, G.y1, R.x1, R.y1);
        }
    }
}

FpStatus FpCarveWorkPicture(bool fromEnd, const PSFRect& r, const PSFPicture& work, PSFPicture& out) {
    out = PSFPicture{};
    out.rect = r;
    out.width = FpCarvedWidth(r);
    out.height = FpCarvedHeight(r);
    out.planeCount = work.planeCount;
    if (!planeCountOk(work)) return FpBadWorkPicture;
    const int64_t w = int64_t(r.x1) - r.x0, h = int64_t(r.y1) - r.y0;
    for (int32_t i = 0; i < work.planeCount; ++i) {
        const PSFPlane& q = work.planes[i];
        PSFPlane& p = out.planes[i];
        const int64_t rowStep = w * q.sampleStep;
        const int64_t have = int64_t(q.rows) * q.rowStep, need = rowStep * h;
        const int32_t b = FpSampleBytes(q.sampleType);
        if (!q.data || b < 1 || q.sampleStep < b || q.rowStep < 0 || w < 0 || h < 0 || need > have ||
            rowStep > INT32_MAX)
            return FpBadWorkPicture;
        p.columns = int32_t(w);
        p.sampleStep = q.sampleStep;
        p.rows = int32_t(h);
        p.rowStep = int32_t(rowStep);
        p.sampleType = q.sampleType;
        // The planes of an interleaved work picture share its rows; each
        // keeps its own offset inside them.
        p.data = static_cast<uint8_t*>(q.data) + (fromEnd ? have - need : 0);
    }
    return FpOk;
}

PSFPicture FpStageDestView(const FpAffineStage& S, const PSFRect& s, const PSFPicture& destination, const PSFRect& Db) {
    FpCorners c = FpCornersOf(s);
    c.p[0].x -= 0.5, c.p[0].y -= 0.5;
    c.p[1].x += 0.5, c.p[1].y -= 0.5;
    c.p[2].x -= 0.5, c.p[2].y += 0.5;
    c.p[3].x += 0.5, c.p[3].y += 0.5;
    FpMapCornersThroughStage(S, c);
    PSFRect B;
    FpOuterBoundingRect(&c, &B);
    return viewOf(B, destination, Db);
}

FpStatus FpScaleStrip(Handle filter, const PSFPicture* source, PSFPicture* work, const PSFPicture* destination,
                      const FpEdgeRecord* edges, FpRunRecord& run, int32_t mode, FpResampleFunction pass) {
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    if (!source) return FpBadSourcePicture;
    if (!destination) return FpBadDestinationPicture;
    const FpGeometry g = thread->geometry;
    const int32_t T = thread->taps;
    const int32_t m = mode & ~4;
    const bool stripOfOneAxis = m == 1 || m == 2;
    PSFRect Db;
    if (stripOfOneAxis) {
        Db = PSFRect{0, 0, destination->width, destination->height};
    } else {
        if (FpCheckPictureRect(source) != 1) return FpBadSourcePicture;
        if (FpCheckPictureRect(destination) != 1) return FpBadDestinationPicture;
        const FpStatus st = FpPictureBufferRect(*destination, 0, T, Db);
        if (st != FpOk) return st;
    }
    // Fills address the destination from where its planes start.
    PSFPicture filled = *destination;
    filled.rect = Db;
    auto fillOutside = [&](const PSFRect& done) {
        PSFPicture d = filled;
        FpIntersectRect(&destination->rect, &Db, &d.rect);
        for (int32_t i = 0; i < d.planeCount && i < PSF_MAX_PLANES; ++i)
            if (d.planes[i].data)
                d.planes[i].data = static_cast<uint8_t*>(d.planes[i].data) +
                                   int64_t(d.rect.x0 - Db.x0) * d.planes[i].sampleStep +
                                   int64_t(d.rect.y0 - Db.y0) * d.planes[i].rowStep;
        FpFillOutside(d, done, edges);
    };
    StageArgs a{nullptr, filter, nullptr, nullptr, nullptr, edges, nullptr, mode, T, pass};

    if (emptyRect(source->rect)) {
        fillOutside(PSFRect{destination->rect.x1, destination->rect.y1, destination->rect.x1, destination->rect.y1});
        FpStartProgressSteps(thread->progress, 1, run);
        FpFinishProgressStep(thread->progress, run);
        return FpOk;
    }
    const int32_t k = g.stages < 1 ? 1 : g.stages;
    if (k == 1 || stripOfOneAxis) {
        FpStartProgressSteps(thread->progress, 2, run);
        const PSFPicture view = stripOfOneAxis ? *destination : FpStageDestView(g.final, source->rect, *destination, Db);
        a.stage = &g.final;
        a.source = source;
        a.intermediate = work;
        a.destination = &view;
        const FpStatus st = runStage(a, run);
        if (st != FpOk) return st;
        if (!stripOfOneAxis) fillOutside(view.rect);
        return FpOk;
    }

    if (!work) return FpBadWorkPicture;
    FpStartProgressSteps(thread->progress, (k - 1) * resampledAxes(g.repeated) + resampledAxes(g.final), run);
    PSFPicture current;
    if (!FpCopyPicture(source, &current)) return FpBadSourcePicture;
    const int32_t h = T / 2;
    current.rect = widenIntoMargin(current, h);
    PSFRect tracked{0, 0, source->width, source->height};
    bool currentInWork = false, currentAtEnd = false, nextFromEnd = false;
    PSFPicture mid, result;
    for (int32_t run_ = 0; run_ < k - 1; ++run_) {
        const PSFRect R = FpMapRectThroughStage(g.repeated, current.rect);
        FpStatus st;
        if (m == 0 && both(g.repeated)) {
            PSFRect buffer, midRect;
            st = FpPictureBufferRect(current, m, T, buffer);
            if (st == FpOk) st = FpMidRect(g.repeated, buffer, R, true, midRect);
            if (st == FpOk) st = FpCarveWorkPicture(false, midRect, *work, mid);
            if (st == FpOk) st = FpCarveWorkPicture(true, R, *work, result);
            if (st != FpOk) return st;
            if (static_cast<uint8_t*>(result.planes[0].data) < planeEnd(mid.planes[0])) return FpBadWorkPicture;
            if (currentInWork && overlaps(mid, current)) return FpBadWorkPicture;
            currentAtEnd = true;
        } else {
            st = FpCarveWorkPicture(nextFromEnd, R, *work, result);
            if (st != FpOk) return st;
            if (currentInWork && overlaps(result, current)) return FpBadWorkPicture;
            currentAtEnd = nextFromEnd;
            nextFromEnd = !nextFromEnd;
        }
        a.stage = &g.repeated;
        a.source = &current;
        a.intermediate = &mid;
        a.destination = &result;
        st = runStage(a, run);
        if (st != FpOk) return st;
        current = result;
        currentInWork = true;
        tracked = FpMapRectThroughStage(g.repeated, tracked);
        tracked.x1 = current.width;
        tracked.y1 = current.height;
        FpTrimStageResult(mode, h, tracked, current.rect);
    }
    FpCorners c = FpCornersOf(current.rect);
    FpMapCornersThroughStage(g.final, c);
    PSFRect B;
    FpOuterBoundingRect(&c, &B);
    const PSFPicture view = viewOf(B, *destination, Db);
    if (m == 0 && both(g.final)) {
        PSFRect buffer, midRect;
        FpStatus st = FpPictureBufferRect(current, m, T, buffer);
        if (st == FpOk) st = FpMidRect(g.final, buffer, view.rect, true, midRect);
        if (st == FpOk) st = FpCarveWorkPicture(!currentAtEnd, midRect, *work, mid);
        if (st != FpOk && !emptyRect(view.rect)) return st;
        if (st == FpOk && overlaps(mid, current)) return FpBadWorkPicture;
    }
    a.stage = &g.final;
    a.source = &current;
    a.intermediate = &mid;
    a.destination = &view;
    const FpStatus st = runStage(a, run);
    if (st != FpOk) return st;
    fillOutside(view.rect);
    return FpOk;
}

FpStatus FpScale(Handle filter, const PSFPicture* source, PSFPicture* work, const PSFPicture* destination,
                 const FpEdgeRecord* edges, const FpRunRecord& run, int32_t mode, FpResampleFunction pass) {
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    FpRestoreGeometry(thread.get(), filter);
    Handle set = 0;
    if (FpFilterKernels(filter, set) != FpHasKernels) return FpNoKernelTable;
    int32_t taps;
    if (FpKernelTaps(set, taps) != FpOk) return FpNoKernelTable;
    thread->taps = taps;
    FpShared* shared = FpSharedRecord();
    uint32_t kind = kSeparableKind;
    if (shared) FpChooseEvalKind(uint32_t(run.evalKind), kind, shared->kinds, taps);
    FpRunRecord copy = run;
    copy.evalKind = int32_t(kind);
    return FpScaleStrip(filter, source, work, destination, edges, copy, mode, pass);
}

} // namespace kestra
