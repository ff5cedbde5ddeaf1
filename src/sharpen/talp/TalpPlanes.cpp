#include "TalpPlanes.h"

#include <algorithm>
#include <cstring>

namespace {

int64_t sampleBytes(int32_t type) { return type == PSFSample8 ? 1 : 2; }

int32_t halfUp(int64_t n) { return int32_t((n + 1) / 2); }

// The offset along one axis of the destination's first sample in the source.
int32_t axisOffset(int32_t sourceCount, int32_t destinationCount, int32_t start, int32_t end, int32_t limit,
                   int32_t taps) {
    if (sourceCount == destinationCount || start == 0) return 0;
    if (end == limit) return sourceCount - destinationCount;
    if (int64_t(sourceCount) < int64_t(destinationCount) + taps - 1 && int64_t(end) + taps / 2 > limit)
        return halfUp(int64_t(taps) - 1);
    return halfUp(int64_t(sourceCount) - destinationCount);
}

} // namespace

void TalpSelectPlane(PSFPicture& p, int32_t channel) {
    if (channel < 0 || channel >= p.planeCount || p.planeCount > PSF_MAX_PLANES) return;
    bool interleaved = p.planeCount > 1;
    for (int32_t j = 1; j < p.planeCount && interleaved; ++j) {
        const auto* previous = static_cast<const uint8_t*>(p.planes[j - 1].data);
        interleaved = previous && p.planes[j].data == previous + sampleBytes(p.planes[j - 1].sampleType);
    }
    if (interleaved) {
        for (int32_t j = 0; j < p.planeCount; ++j)
            if (j != channel) p.planes[j].data = nullptr;
    } else {
        p.planes[0] = p.planes[channel];
        p.planeCount = 1;
    }
}

void TalpCopyOffsets(int32_t i, const PSFPicture& S, const PSFPicture& D, int32_t& rowOffset, int32_t& columnOffset,
                     int32_t taps) {
    rowOffset = axisOffset(S.planes[i].rows, D.planes[i].rows, S.rect.y0, S.rect.y1, S.height, taps);
    columnOffset = axisOffset(S.planes[i].columns, D.planes[i].columns, S.rect.x0, S.rect.x1, S.width, taps);
}

VxFiltStatus TalpCopyUnsharpenedPlanes(const PSFPicture& S, const PSFPicture& D, int32_t channel, int32_t channels,
                                       int32_t taps) {
    const int32_t n = std::min({channels, S.planeCount, D.planeCount, int32_t(PSF_MAX_PLANES)});
    for (int32_t j = 0; j < n; ++j) {
        const PSFPlane &s = S.planes[j], &d = D.planes[j];
        if (j == channel || s.sampleStep != 1 || d.sampleStep != 1) continue;
        if (s.sampleType != d.sampleType) return VxFiltErrPlaneMismatch;
        if (!s.data || !d.data || d.rows <= 0 || d.columns <= 0) continue;
        int32_t rowOffset = 0, columnOffset = 0;
        TalpCopyOffsets(j, S, D, rowOffset, columnOffset, taps);
        const int64_t size = sampleBytes(s.sampleType);
        // The copy reads only what the source plane holds.
        if (rowOffset < 0 || columnOffset < 0 || int64_t(rowOffset) + d.rows > s.rows ||
            (int64_t(columnOffset) + d.columns) * size > int64_t(s.columns) * s.sampleStep * size ||
            s.rowStep < int64_t(s.columns) * size)
            return VxFiltErrPlaneMismatch;
        for (int32_t r = 0; r < d.rows; ++r) {
            const auto* from = static_cast<const uint8_t*>(s.data) + (int64_t(r) + rowOffset) * s.rowStep +
                               int64_t(columnOffset) * size;
            auto* to = static_cast<uint8_t*>(d.data) + int64_t(r) * d.rowStep;
            for (int32_t c = 0; c < d.columns; ++c) std::memcpy(to + int64_t(c) * d.sampleStep, from + c * size, size_t(size));
        }
    }
    return VxFiltSuccess;
}
