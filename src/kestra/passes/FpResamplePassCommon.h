#pragma once
// What both resampling passes share: the layout of a pass over the planes
// and the per-line progress countdown.
#include "FpPictures.h"
#include "FpResamplePass.h"

#include <cstring>

namespace kestra {

struct FpResampleLayout {
    int64_t in0, in1;           // valid input positions of a line
    int64_t ox0, ox1, oy0, oy1; // output samples and lines
    int64_t half;
    int32_t round;
};

struct FpPlaneWalk {
    const uint8_t* inLine;
    uint8_t* outLine;
    int64_t inInner, inOuter, outInner, outOuter;
    bool inBytes, outBytes;
    int32_t largest;
    FpEdgeRecord edge;
};

inline FpResampleLayout FpLayoutOf(const FpResampleArgs& a) {
    FpResampleLayout l;
    const FpPassTable& t = *a.pass;
    l.in0 = t.inputColumns ? a.inputRange.y0 : a.inputRange.x0;
    l.in1 = t.inputColumns ? a.inputRange.y1 : a.inputRange.x1;
    const PSFRect& o = a.outputRect;
    if (t.outputColumns) l.ox0 = o.y0, l.ox1 = o.y1, l.oy0 = o.x0, l.oy1 = o.x1;
    else l.ox0 = o.x0, l.ox1 = o.x1, l.oy0 = o.y0, l.oy1 = o.y1;
    l.half = int64_t(1) << (15 - a.phaseBits);
    l.round = a.fractionBits >= 1 ? int32_t(1) << (a.fractionBits - 1) : 0;
    return l;
}

inline int32_t FpLargestOf(int32_t sampleType) {
    switch (sampleType) {
    case PSFSample8: return 255;
    case PSFSample16b: return 65535;
    case PSFSample12in16: return 4095;
    default: return -1; // this pass writes no other type
    }
}

inline FpStatus FpPlaneWalkOf(const FpResampleArgs& a, int32_t p, FpPlaneWalk& w) {
    const PSFPlane& ip = a.input->planes[p];
    const PSFPlane& op = a.output->planes[p];
    const FpPassTable& t = *a.pass;
    w.largest = FpLargestOf(op.sampleType);
    if (w.largest < 0) return FpBadPlaneBuffers;
    w.inBytes = ip.sampleType == PSFSample8;
    w.outBytes = op.sampleType == PSFSample8;
    w.inInner = t.inputColumns ? ip.rowStep : ip.sampleStep;
    w.inOuter = t.inputColumns ? ip.sampleStep : ip.rowStep;
    w.outInner = t.outputColumns ? op.rowStep : op.sampleStep;
    w.outOuter = t.outputColumns ? op.sampleStep : op.rowStep;
    w.inLine = static_cast<const uint8_t*>(ip.data);
    w.outLine = static_cast<uint8_t*>(op.data);
    w.edge = a.edges ? a.edges[p] : FpEdgeRecord{FpEdgeRepeat, 0};
    return FpOk;
}

inline int32_t FpReadSample(const uint8_t* line, int64_t q, int64_t inner, bool bytes) {
    const uint8_t* s = line + q * inner;
    if (bytes) return *s;
    uint16_t v;
    std::memcpy(&v, s, 2);
    return v;
}

inline void FpWriteSample(uint8_t* o, bool bytes, int32_t v) {
    if (bytes) {
        *o = uint8_t(v);
    } else {
        const uint16_t u = uint16_t(v);
        std::memcpy(o, &u, 2);
    }
}

// The progress countdown over all lines of all planes.
class FpLineProgress {
public:
    FpLineProgress(const FpResampleArgs& a, int64_t linesPerPlane)
        : a_(a), total_(int64_t(a.output->planeCount) * linesPerPlane) {
        int64_t n = int64_t(22.0 - double(total_) * 0.002);
        n = n < 1 ? 1 : (n > 25 ? 25 : n);
        every_ = (n * total_) / 100;
        countdown_ = every_;
    }
    // Whether the next lineDone reports.
    bool WouldReport() const { return countdown_ < 0; }
    // After a line; done counts the lines before it.
    FpStatus lineDone(int64_t done) {
        if (countdown_ < 0) {
            countdown_ = every_;
            if (a_.progress && total_ > 0) {
                const FpStatus st = a_.progress(int32_t((done * 100) / total_), a_.progressContext);
                if (st != FpOk) return st;
            }
        } else {
            --countdown_;
        }
        return FpOk;
    }

private:
    const FpResampleArgs& a_;
    int64_t total_;
    int64_t every_;
    int64_t countdown_;
};

inline int32_t FpFinishSum(uint32_t acc, int32_t f, int32_t largest) {
    const int32_t v = int32_t(acc) >> f;
    return v < 0 ? 0 : (v > largest ? largest : v);
}

} // namespace kestra
