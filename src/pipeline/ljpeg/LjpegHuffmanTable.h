#pragma once
// One Huffman table of a lossless-JPEG stream (counts and symbols as read from
// DHT) with its decoding lists: the canonical MINCODE/MAXCODE/VALPTR lists, an
// 8-bit lookahead of codes, and a wider table that resolves a code together
// with its extra bits into the difference in one step.
#include <array>
#include <cstdint>
#include <vector>

namespace lumora {

class LjpegHuffmanTable {
public:
    static constexpr int kFastBits = 11;
    // Fast-table entry: bits 0..4 length to consume, kFull when bits 16..31
    // hold the finished difference (mod 2^16), kCodeOnly when only the code is
    // resolved (symbol in bits 8..15); 0 when the code is longer than kFastBits.
    static constexpr uint32_t kFull = 1u << 5;
    static constexpr uint32_t kCodeOnly = 1u << 6;

    std::array<uint8_t, 17> bits{};     // [1..16] code counts per length
    std::array<uint8_t, 256> values{};  // symbols in code order
    int count = 0;                      // number of symbols

    // Builds the decoding lists; false when the counts ask for more codes of
    // some length than that length can hold.
    bool build();

    std::array<uint16_t, 17> mincode{};
    std::array<int32_t, 18> maxcode{};  // -1: no code of this length; [17] stop mark
    std::array<int16_t, 17> valptr{};
    std::array<uint8_t, 256> lookLength{}; // 0: no code of at most 8 bits
    std::array<uint8_t, 256> lookSymbol{};
    std::vector<uint32_t> fast;

    // Difference of symbol t with its extra bits v (mod 2^16). Symbol 16 is
    // 32768 and has no extra bits, as the lossless coding defines it.
    static uint16_t extend(uint32_t v, int t) {
        if (t == 0) return 0;
        if (t == 16) return 0x8000;
        return uint16_t(v < (1u << (t - 1)) ? v - (1u << t) + 1 : v);
    }
};

} // namespace lumora
