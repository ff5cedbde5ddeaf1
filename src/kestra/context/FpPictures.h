#pragma once
// Pictures, planes and rectangles as the strip engine sees them: the depth of
// a sample type, where a plane's buffer lies in picture coordinates, the
// rectangle operations, and copying a plane or a picture record.
#include "FpStatus.h"
#include "Kestra.h"

namespace kestra {

enum : FpStatus {
    FpBadPlaneBuffers = 557,
    FpRectsDiffer = 558,
    FpBadSourcePicture = 559,
    FpNoControlPicture = 560,
    FpBadWorkPicture = 561,
    FpBadDestinationPicture = 562,
};

// 8, 16 or 12 bits; -1 for a type the engine does not know.
int32_t FpSampleBits(int32_t sampleType);
inline int32_t FpSampleBytes(int32_t sampleType) { return (FpSampleBits(sampleType) + 7) / 8; }

int32_t FpPictureExtent(const PSFPicture* picture, PSFRect* out);
void FpIntersectRect(const PSFRect* a, const PSFRect* b, PSFRect* out);
void FpOffsetRect(PSFRect& r, int32_t dx, int32_t dy);
PSFRect FpTransposeRect(const PSFRect& r);
inline bool FpRectInside(const PSFRect& inner, const PSFRect& outer) {
    return inner.x0 >= outer.x0 && inner.y0 >= outer.y0 && inner.x1 <= outer.x1 && inner.y1 <= outer.y1;
}

// The rectangle, in picture coordinates, that the plane buffers cover.
FpStatus FpPictureBufferRect(const PSFPicture& picture, int32_t mode, int32_t taps, PSFRect& out);
FpStatus FpCopyPlane(int32_t plane, const PSFPicture& source, const PSFRect& area, const PSFPicture& destination);
bool FpCopyPicture(const PSFPicture* source, PSFPicture* destination);

} // namespace kestra
