#include "FpSourceRectangles.h"

#include "FpPhaseTables.h"
#include "FpPictures.h"

#include <algorithm>

namespace kestra {

void FpSharpenAuxRect(const PSFRect& r, int32_t g1, int32_t g2, PSFRect* aux, PSFRect* copy) {
    // With a gain table the row pass writes its work picture transposed.
    if (aux) *aux = (g1 == -1 || g2 == -1) ? FpTransposeRect(r) : r;
    if (copy) *copy = r;
}

void FpAdjustRect(int32_t mode, int32_t m, uint16_t shrink, const PSFRect& B, PSFRect& r) {
    if (mode != 4) return;
    if (!shrink) {
        r.y0 = r.y0 > B.y0 + m ? r.y0 - m : B.y0;
        r.y1 = r.y1 < B.y1 - m ? r.y1 + m : B.y1;
        r.x0 = r.x0 > B.x0 + m ? r.x0 - m : B.x0;
        r.x1 = r.x1 < B.x1 - m ? r.x1 + m : B.x1;
        return;
    }
    if (r.y0 > B.y0) r.y0 += m;
    if (r.y1 < B.y1) r.y1 -= m;
    if (r.y1 - r.y0 <= 0) {
        if (r.y0 <= B.y0) {
            r.y1 = r.y0 + 1;
        } else if (r.y1 >= B.y1) {
            r.y0 = r.y1 - 1;
        } else {
            const int32_t d = r.y0 - r.y1 + 2;
            r.y0 = (r.y0 + r.y1 + d) / 2;
            r.y1 = r.y0 + d;
        }
    }
    int32_t mx = m;
    const int32_t w = r.x1 - r.x0;
    if (w < 2 * m) mx = std::max(w / 2 - 1, 0);
    if (r.x0 > B.x0) r.x0 += mx;
    if (r.x1 < B.x1) r.x1 -= mx;
}

FpStatus FpSourceRectangles(FpRectRequest& q) {
    if (q.filterClass != FpClassSharpening) return FpBadKernelSize; // the resampling class is not served here
    if (!q.option) {
        *q.second = q.destination;
        *q.source = *q.second;
        if (q.mode != 0) FpAdjustRect(4, q.margin, 0, q.bounds, *q.source);
        FpSharpenAuxRect(*q.source, q.gain1, q.gain2, q.aux, nullptr);
    } else {
        *q.second = *q.source;
        if (q.mode != 0) FpAdjustRect(4, q.margin, 1, q.bounds, *q.second);
        FpSharpenAuxRect(*q.source, q.gain1, q.gain2, q.aux, nullptr);
        q.destination = *q.second;
    }
    if (q.aux) FpOffsetRect(*q.aux, -q.aux->x0, -q.aux->y0);
    return FpOk;
}

FpStatus FpRectangles(FpRectRequest& q) { return FpSourceRectangles(q); }

} // namespace kestra
