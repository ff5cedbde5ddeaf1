// Pictures the library allocates for a caller: one buffer laid out like a
// template picture over a rectangle.
#include "Kestra.h"
#include "ORVEXCMS.h"

#include <algorithm>
#include <cstring>

extern "C" {

PSFStatus PSFAllocPicture(const PSFPicture* templ, const PSFRect* rect, PSFPicture* out) {
    if (!templ || !rect || !out) return PSFErrArgumentOutOfRange;
    const int32_t planes = templ->planeCount;
    if (planes < 1 || planes > PSF_MAX_PLANES) return PSFErrArgumentOutOfRange;
    // Full 32-bit sizes: a rectangle wider or taller than 32767 keeps its size.
    const int64_t columns = int64_t(rect->x1) - rect->x0, rows = int64_t(rect->y1) - rect->y0;
    if (columns <= 0 || rows <= 0) return PSFErrArgumentOutOfRange;
    const int64_t bytes = templ->planes[0].sampleType == PSFSample8 ? 1 : 2;
    for (int32_t i = 0; i < planes; ++i)
        if (templ->planes[i].sampleStep < 1) return PSFErrArgumentOutOfRange;
    // A first sample step of one sample means separate planes, one after the
    // other; otherwise the planes are interleaved, one sample apart.
    const bool separate = templ->planes[0].sampleStep == bytes;
    const __int128 distance = separate ? __int128(bytes) * columns * rows : bytes;
    // Sizes of up to 2^31 x 2^31 x 2^31 do not fit 64 bits: 128 here.
    __int128 size = 0;
    for (int32_t i = 0; i < planes; ++i) {
        const __int128 step = templ->planes[i].sampleStep;
        const __int128 end = __int128(distance) * i + __int128(rows - 1) * step * columns + (columns - 1) * step + bytes;
        size = std::max(size, end);
    }
    for (int32_t i = 0; i < planes; ++i)
        if (__int128(templ->planes[i].sampleStep) * columns > INT32_MAX) return PSFErrNoMemory;
    if (size > __int128(UINT32_MAX)) return PSFErrNoMemory;
    auto* buffer = static_cast<uint8_t*>(allocBufferPtr(uint32_t(size)));
    if (!buffer) return PSFErrNoMemory;
    PSFPicture p{};
    p.rect = *rect;
    p.width = rect->x1;
    p.height = rect->y1;
    p.planeCount = planes;
    for (int32_t i = 0; i < planes; ++i) {
        PSFPlane& plane = p.planes[i];
        plane.columns = int32_t(columns);
        plane.sampleStep = templ->planes[i].sampleStep;
        plane.rows = int32_t(rows);
        plane.rowStep = int32_t(plane.sampleStep * columns);
        plane.sampleType = templ->planes[i].sampleType;
        plane.data = buffer + int64_t(i * distance);
    }
    *out = p;
    return PSFSuccess;
}

PSFStatus PSFFreePicture(PSFPicture* picture) {
    if (!picture) return PSFErrArgumentOutOfRange;
    if (picture->planes[0].data) freeBufferPtr(picture->planes[0].data);
    picture->planes[0].data = nullptr;
    return PSFSuccess;
}

} // extern "C"
