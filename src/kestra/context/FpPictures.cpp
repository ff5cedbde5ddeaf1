#include "FpPictures.h"

#include <algorithm>
#include <cstring>

namespace kestra {

int32_t FpSampleBits(int32_t type) {
    switch (type) {
    case PSFSample8: return 8;
    case PSFSample16: case PSFSample16b: return 16;
    case PSFSample12in16: return 12;
    default: return -1;
    }
}

int32_t FpPictureExtent(const PSFPicture* p, PSFRect* out) {
    if (!p || !out) return -1;
    *out = PSFRect{0, 0, p->width, p->height};
    return 1;
}

void FpIntersectRect(const PSFRect* a, const PSFRect* b, PSFRect* out) {
    if (!a || !b || !out) return;
    PSFRect r{std::max(a->x0, b->x0), std::max(a->y0, b->y0), std::min(a->x1, b->x1), std::min(a->y1, b->y1)};
    r.x0 = std::min(r.x0, r.x1);
    r.y0 = std::min(r.y0, r.y1);
    *out = r;
}

void FpOffsetRect(PSFRect& r, int32_t dx, int32_t dy) {
    r.x0 += dx;
    r.y0 += dy;
    r.x1 += dx;
    r.y1 += dy;
}

PSFRect FpTransposeRect(const PSFRect& r) { return PSFRect{r.y0, r.x0, r.y1, r.x1}; }

namespace {
// One axis of a mode-0 buffer: n samples for the span lo..hi of a picture
// of the given limit.
FpStatus bufferSpan(int64_t n, int64_t lo, int64_t hi, int64_t limit, int32_t taps, int64_t& start) {
    const int64_t w = hi - lo;
    if (n < w) return FpBadPlaneBuffers;
    if (n == w) {
        start = lo;
    } else if (lo < taps / 2) {
        start = 0;
        if (n > limit) return FpBadPlaneBuffers;
    } else if (limit - taps / 2 < hi) {
        start = limit - n;
        if (start < 0) return FpBadPlaneBuffers;
    } else {
        start = lo - (n - w) / 2;
    }
    return FpOk;
}
} // namespace

FpStatus FpPictureBufferRect(const PSFPicture& p, int32_t mode, int32_t taps, PSFRect& out) {
    if (mode == 1 || mode == 2) {
        out = PSFRect{0, 0, p.width, p.height};
        return FpOk;
    }
    if (p.planeCount < 1 || p.planeCount > PSF_MAX_PLANES) return FpBadPlaneBuffers;
    const int32_t nc = p.planes[0].columns, nr = p.planes[0].rows;
    for (int32_t i = 1; i < p.planeCount; ++i)
        if (p.planes[i].columns != nc || p.planes[i].rows != nr) return FpBadPlaneBuffers;
    int64_t x, y;
    FpStatus st = bufferSpan(nc, p.rect.x0, p.rect.x1, p.width, taps, x);
    if (st == FpOk) st = bufferSpan(nr, p.rect.y0, p.rect.y1, p.height, taps, y);
    if (st != FpOk) return st;
    if (x < INT32_MIN || x + nc > INT32_MAX || y < INT32_MIN || y + nr > INT32_MAX) return FpBadPlaneBuffers;
    out = PSFRect{int32_t(x), int32_t(y), int32_t(x + nc), int32_t(y + nr)};
    return FpRectInside(p.rect, out) ? FpStatus(FpOk) : FpStatus(FpBadPlaneBuffers);
}

FpStatus FpCopyPlane(int32_t i, const PSFPicture& src, const PSFRect& A, const PSFPicture& dst) {
    if (src.planeCount < 1 || src.planeCount > PSF_MAX_PLANES) return FpBadSourcePicture;
    int32_t k = -1;
    for (int32_t j = 0; j < src.planeCount; ++j)
        if (src.planes[j].data) {
            k = j;
            break;
        }
    if (k < 0 || k >= dst.planeCount || i >= dst.planeCount || i >= PSF_MAX_PLANES) return FpBadSourcePicture;
    const PSFPlane &sk = src.planes[k], &dk = dst.planes[k], &di = dst.planes[i];
    if (!dk.data || dk.sampleType != sk.sampleType) return FpBadDestinationPicture;
    const int64_t b = FpSampleBytes(sk.sampleType);
    if (b < 1) return FpBadSourcePicture;
    if (sk.sampleStep < b * src.planeCount) return FpBadSourcePicture;
    if (dk.sampleStep != sk.sampleStep || di.sampleStep != sk.sampleStep || dk.sampleStep < b * dst.planeCount)
        return FpBadDestinationPicture;
    if (sk.rowStep < int64_t(sk.columns) * sk.sampleStep) return FpBadSourcePicture;
    if (dk.rowStep != di.rowStep || dk.rows != di.rows || dk.columns != di.columns ||
        dk.rowStep < int64_t(dk.columns) * dk.sampleStep)
        return FpBadDestinationPicture;
    if (di.rows <= 0) return FpOk;
    const uint8_t* from = static_cast<const uint8_t*>(sk.data) + int64_t(src.rect.y0 - A.y0) * sk.rowStep +
                          int64_t(src.rect.x0 - A.x0) * sk.sampleStep - (k - i) * b;
    uint8_t* to = static_cast<uint8_t*>(dk.data) - (k - i) * b;
    for (int32_t r = 0; r < di.rows; ++r) {
        const uint8_t* s = from + int64_t(r) * sk.rowStep;
        uint8_t* d = to + int64_t(r) * dk.rowStep;
        for (int32_t c = 0; c < di.columns; ++c) std::memcpy(d + int64_t(c) * dk.sampleStep, s + int64_t(c) * sk.sampleStep, size_t(b));
    }
    return FpOk;
}

bool FpCopyPicture(const PSFPicture* source, PSFPicture* destination) {
    if (!source || !destination) return false;
    *destination = *source;
    return true;
}

} // namespace kestra
