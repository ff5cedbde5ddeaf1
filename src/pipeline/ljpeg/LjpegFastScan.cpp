#include "LjpegFastScan.h"

#include "IntOps.h"
#include "LjpegBitReader.h"
#include "LjpegReferenceScan.h"
#include "LjpegSession.h"

namespace lumora {
namespace {

using Table = LjpegHuffmanTable;

[[gnu::noinline]] uint16_t slowDifference(LjpegBitReader& br, const Table& h, uint32_t e) {
    int t;
    if (e & Table::kCodeOnly) {
        br.consume(int(e & 31));
        t = int(e >> 8 & 0xFF);
    } else {
        int l = Table::kFastBits + 1;
        int32_t code;
        for (;; ++l) {
            if (l > 16) LjpegSession::fail(VQ_ERR_LJPEG_FORMAT);
            code = int32_t(br.peek(l));
            if (code <= h.maxcode[l]) break;
        }
        br.consume(l);
        const int32_t index = h.valptr[l] + code - h.mincode[l];
        if (index < 0 || index >= h.count) LjpegSession::fail(VQ_ERR_LJPEG_FORMAT);
        t = h.values[index];
    }
    if (t > 16) LjpegSession::fail(VQ_ERR_LJPEG_FORMAT);
    if (t == 0 || t == 16) return Table::extend(0, t);
    return Table::extend(br.get(t), t);
}

inline uint16_t difference(LjpegBitReader& br, const Table& h, const uint32_t* fast) {
    br.need32();
    const uint32_t e = fast[br.peek(Table::kFastBits)];
    if (__builtin_expect((e & Table::kFull) != 0, 1)) {
        br.consume(int(e & 31));
        return uint16_t(e >> 16);
    }
    // A short code whose extra bits run past the lookahead (common in dense
    // data): its 1 ... 15 extra bits are still within the 32 bits at hand.
    const int t = int(e >> 8 & 0xFF);
    if ((e & Table::kCodeOnly) && t < 16) {
        br.consume(int(e & 31));
        const uint32_t v = br.get(t);
        // Extra bits below half the range stand for a negative difference.
        const uint32_t negative = uint32_t(int32_t(v << (32 - t)) >> 31) ^ 0xFFFFFFFFu;
        return uint16_t(v - (negative & ((1u << t) - 1)));
    }
    return slowDifference(br, h, e);
}

template <int PRED>
inline int32_t predict(int32_t ra, int32_t rb, int32_t rc) {
    if constexpr (PRED == 0) return 0;
    if constexpr (PRED == 1) return ra;
    if constexpr (PRED == 2) return rb;
    if constexpr (PRED == 3) return rc;
    if constexpr (PRED == 4) return ra + rb - rc;
    if constexpr (PRED == 5) return ra + asr32(rb - rc, 1);
    if constexpr (PRED == 6) return rb + asr32(ra - rc, 1);
    if constexpr (PRED == 7) return (ra + rb) >> 1;
}

template <int NS, int PRED>
bool decodeRows(LjpegSession& s, bool validPredictor) {
    LjpegBitReader br(s.in);
    const uint32_t X = s.X;
    const uint64_t stride = uint64_t(X) * NS;
    const Table& h0 = *s.tables[0];
    const Table& h1 = *s.tables[NS == 2 ? 1 : 0];
    const uint32_t* f0 = h0.fast.data();
    const uint32_t* f1 = h1.fast.data();
    const uint16_t opening = uint16_t(1u << (s.P - s.pt - 1));
    uint16_t* cur = s.out;
    for (uint32_t r = 0; r < s.Y; ++r, cur += stride) {
        bool openingRow = r == 0;
        if (r > 0 && s.rowsPerRestart && r % s.rowsPerRestart == 0) {
            br.restart();
            s.expectRestart();
            br.resume();
            openingRow = true;
        }
        if (openingRow) {
            uint16_t a0 = uint16_t(opening + difference(br, h0, f0));
            cur[0] = a0;
            if constexpr (NS == 1) {
                for (uint32_t c = 1; c < X; ++c) cur[c] = a0 = uint16_t(a0 + difference(br, h0, f0));
            } else {
                uint16_t a1 = uint16_t(opening + difference(br, h1, f1));
                cur[1] = a1;
                for (uint32_t c = 1; c < X; ++c) {
                    cur[2 * c] = a0 = uint16_t(a0 + difference(br, h0, f0));
                    cur[2 * c + 1] = a1 = uint16_t(a1 + difference(br, h1, f1));
                }
            }
        } else {
            const uint16_t* prev = cur - stride;
            if (!validPredictor && X > 1) LjpegSession::fail(VQ_ERR_LJPEG_FORMAT);
            uint16_t a0 = uint16_t(prev[0] + difference(br, h0, f0));
            cur[0] = a0;
            if constexpr (NS == 1) {
                for (uint32_t c = 1; c < X; ++c)
                    cur[c] = a0 = uint16_t(predict<PRED>(a0, prev[c], prev[c - 1]) + difference(br, h0, f0));
            } else {
                uint16_t a1 = uint16_t(prev[1] + difference(br, h1, f1));
                cur[1] = a1;
                for (uint32_t c = 1; c < X; ++c) {
                    const uint32_t k = 2 * c;
                    cur[k] = a0 = uint16_t(predict<PRED>(a0, prev[k], prev[k - 2]) + difference(br, h0, f0));
                    cur[k + 1] = a1 =
                        uint16_t(predict<PRED>(a1, prev[k + 1], prev[k - 1]) + difference(br, h1, f1));
                }
            }
        }
        s.samplesWritten += stride;
    }
    br.finish();
    return br.overrun();
}

template <int NS>
bool decodeWithPredictor(LjpegSession& s) {
    switch (s.ss) {
    case 1: return decodeRows<NS, 1>(s, true);
    case 2: return decodeRows<NS, 2>(s, true);
    case 3: return decodeRows<NS, 3>(s, true);
    case 4: return decodeRows<NS, 4>(s, true);
    case 5: return decodeRows<NS, 5>(s, true);
    case 6: return decodeRows<NS, 6>(s, true);
    case 7: return decodeRows<NS, 7>(s, true);
    case 0: return decodeRows<NS, 0>(s, true);
    default: return decodeRows<NS, 0>(s, false); // refused at the first sample that needs it
    }
}

} // namespace

bool LjpegFastScan::decode(LjpegSession& s) {
    if (s.ns == 1) return decodeWithPredictor<1>(s);
    if (s.ns == 2) return decodeWithPredictor<2>(s);
    return LjpegReferenceScan::decode(s);
}

} // namespace lumora
