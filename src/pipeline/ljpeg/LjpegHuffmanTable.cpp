#include "LjpegHuffmanTable.h"

namespace lumora {

bool LjpegHuffmanTable::build() {
    uint32_t code = 0;
    int k = 0;
    for (int l = 1; l <= 16; ++l) {
        if (bits[l] == 0) {
            maxcode[l] = -1;
            mincode[l] = 0;
            valptr[l] = 0;
        } else {
            valptr[l] = int16_t(k);
            mincode[l] = uint16_t(code);
            code += bits[l];
            k += bits[l];
            maxcode[l] = int32_t(code - 1);
        }
        if (code > (1u << l)) return false;
        code <<= 1;
    }
    maxcode[17] = 0xFFFFF;

    lookLength.fill(0);
    lookSymbol.fill(0);
    for (int l = 1; l <= 8; ++l)
        for (int i = 0; i < bits[l]; ++i) {
            const uint32_t c = uint32_t(mincode[l]) + uint32_t(i);
            const uint32_t first = c << (8 - l), span = 1u << (8 - l);
            for (uint32_t e = first; e < first + span; ++e) {
                lookLength[e] = uint8_t(l);
                lookSymbol[e] = values[valptr[l] + i];
            }
        }

    fast.assign(1u << kFastBits, 0);
    for (int l = 1; l <= kFastBits; ++l)
        for (int i = 0; i < bits[l]; ++i) {
            const uint32_t c = uint32_t(mincode[l]) + uint32_t(i);
            const int t = values[valptr[l] + i];
            const uint32_t first = c << (kFastBits - l), span = 1u << (kFastBits - l);
            for (uint32_t e = first; e < first + span; ++e) {
                if (t <= 16 && (t == 16 || l + t <= kFastBits)) {
                    const int extra = t == 16 ? 0 : t;
                    const uint32_t v = extra ? (e >> (kFastBits - l - extra)) & ((1u << extra) - 1) : 0;
                    fast[e] = uint32_t(l + extra) | kFull | uint32_t(extend(v, t)) << 16;
                } else {
                    fast[e] = uint32_t(l) | kCodeOnly | uint32_t(t) << 8;
                }
            }
        }
    return true;
}

} // namespace lumora
