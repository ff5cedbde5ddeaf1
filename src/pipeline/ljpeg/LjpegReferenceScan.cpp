#include "LjpegReferenceScan.h"

#include "IntOps.h"
#include "LjpegReferenceBitReader.h"
#include "LjpegSession.h"

#include <utility>
#include <vector>

namespace lumora {
namespace {

uint16_t decodeDifference(LjpegReferenceBitReader& br, const LjpegHuffmanTable& h) {
    const uint32_t look = br.peek(8);
    int t;
    if (const int s = h.lookLength[look]) {
        br.get(s);
        t = h.lookSymbol[look];
    } else {
        int32_t code = int32_t(br.get(8));
        int l = 8;
        while (code > h.maxcode[l]) {
            code = code << 1 | int32_t(br.get(1));
            ++l;
        }
        if (l > 16) LjpegSession::fail(VQ_ERR_LJPEG_FORMAT);
        const int32_t index = h.valptr[l] + code - h.mincode[l];
        if (index < 0 || index >= h.count) LjpegSession::fail(VQ_ERR_LJPEG_FORMAT);
        t = h.values[index];
    }
    if (t > 16) LjpegSession::fail(VQ_ERR_LJPEG_FORMAT);
    if (t == 0 || t == 16) return LjpegHuffmanTable::extend(0, t);
    return LjpegHuffmanTable::extend(br.get(t), t);
}

// Neighbours are the unsigned 16-bit samples. Read as signed values, samples
// of 0x8000 and above at 16 bits would make predictors 5 to 7 halve negative
// sums and decode bright areas wrongly.
int32_t predict(uint32_t ss, int32_t ra, int32_t rb, int32_t rc) {
    switch (ss) {
    case 0: return 0;
    case 1: return ra;
    case 2: return rb;
    case 3: return rc;
    case 4: return ra + rb - rc;
    case 5: return ra + asr32(rb - rc, 1);
    case 6: return rb + asr32(ra - rc, 1);
    case 7: return (ra + rb) >> 1;
    default: LjpegSession::fail(VQ_ERR_LJPEG_FORMAT);
    }
}

} // namespace

bool LjpegReferenceScan::decode(LjpegSession& s) {
    LjpegReferenceBitReader br(s.in);
    const uint32_t X = s.X, N = s.ns, M = s.outComponents;
    std::vector<uint16_t> prev(size_t(X) * N), cur(size_t(X) * N);
    const int32_t opening = int32_t(1u << (s.P - s.pt - 1));
    for (uint32_t r = 0; r < s.Y; ++r) {
        bool openingRow = r == 0;
        if (r > 0 && s.rowsPerRestart && r % s.rowsPerRestart == 0) {
            br.restart();
            s.expectRestart();
            openingRow = true;
        }
        for (uint32_t c = 0; c < X; ++c)
            for (uint32_t i = 0; i < N; ++i) {
                const uint16_t diff = decodeDifference(br, *s.tables[i]);
                int32_t pred;
                if (openingRow) pred = c == 0 ? opening : cur[(c - 1) * N + i];
                else if (c == 0) pred = prev[i];
                else pred = predict(s.ss, cur[(c - 1) * N + i], prev[c * N + i], prev[(c - 1) * N + i]);
                cur[c * N + i] = uint16_t(uint32_t(pred) + diff);
            }
        uint16_t* row = s.out + uint64_t(r) * X * M;
        for (uint32_t c = 0; c < X; ++c)
            for (uint32_t i = 0; i < M; ++i) row[c * M + i] = cur[c * N + i];
        s.samplesWritten += uint64_t(X) * M;
        std::swap(prev, cur);
    }
    return br.overrun();
}

} // namespace lumora
