#include "LosslessJpegEncoder.h"

#include <algorithm>
#include <array>

namespace ljpegenc {
namespace {

struct HuffCode {
    std::array<uint8_t, 17> bits{};      // counts per length 1..16
    std::vector<uint8_t> values;         // symbols in code order
    std::array<uint16_t, 17> code{};     // code of each symbol 0..16
    std::array<uint8_t, 17> size{};      // length of each symbol's code (0 = unused)
};

// Length-limited optimal code (the JPEG Annex K procedure): one reserved
// symbol keeps the all-ones code out of the table.
HuffCode buildCode(const std::array<uint64_t, 17>& freqIn) {
    std::array<uint64_t, 18> freq{};
    for (int i = 0; i < 17; ++i) freq[i] = freqIn[i];
    freq[17] = 1;
    std::array<int, 18> codesize{};
    std::array<int, 18> others;
    others.fill(-1);
    for (;;) {
        int c1 = -1, c2 = -1;
        for (int i = 0; i < 18; ++i)
            if (freq[i] && (c1 < 0 || freq[i] <= freq[c1])) c1 = i;
        for (int i = 0; i < 18; ++i)
            if (freq[i] && i != c1 && (c2 < 0 || freq[i] <= freq[c2])) c2 = i;
        if (c2 < 0) break;
        freq[c1] += freq[c2];
        freq[c2] = 0;
        ++codesize[c1];
        while (others[c1] >= 0) { c1 = others[c1]; ++codesize[c1]; }
        others[c1] = c2;
        ++codesize[c2];
        while (others[c2] >= 0) { c2 = others[c2]; ++codesize[c2]; }
    }
    std::array<int, 40> bits{};
    for (int i = 0; i < 18; ++i)
        if (codesize[i]) ++bits[codesize[i]];
    for (int i = 39; i > 16; --i) {
        while (bits[i] > 0) {
            int j = i - 2;
            while (bits[j] == 0) --j;
            bits[i] -= 2;
            bits[i - 1] += 1;
            bits[j + 1] += 2;
            bits[j] -= 1;
        }
    }
    int i = 16;
    while (bits[i] == 0) --i;
    bits[i] -= 1; // drop the reserved symbol

    HuffCode h;
    for (int l = 1; l <= 16; ++l) h.bits[l] = uint8_t(bits[l]);
    // Symbols by increasing code length (shorter codes to the most frequent).
    for (int len = 1; len <= 32; ++len)
        for (int s = 0; s < 17; ++s)
            if (codesize[s] == len) h.values.push_back(uint8_t(s));
    uint32_t code = 0;
    size_t k = 0;
    for (int l = 1; l <= 16; ++l) {
        for (int n = 0; n < h.bits[l]; ++n, ++k) {
            h.code[h.values[k]] = uint16_t(code);
            h.size[h.values[k]] = uint8_t(l);
            ++code;
        }
        code <<= 1;
    }
    return h;
}

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void put(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) {
            acc_ = uint8_t(acc_ << 1 | ((value >> i) & 1));
            if (++count_ == 8) emit();
        }
    }
    void flush() { // pad with one bits to a byte boundary
        while (count_ != 0) { acc_ = uint8_t(acc_ << 1 | 1); if (++count_ == 8) emit(); }
    }
private:
    void emit() {
        out_.push_back(acc_);
        if (acc_ == 0xFF) out_.push_back(0);
        acc_ = 0;
        count_ = 0;
    }
    std::vector<uint8_t>& out_;
    uint8_t acc_ = 0;
    int count_ = 0;
};

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

int category(int32_t diff) {
    if (diff == -32768) return 16;
    uint32_t a = uint32_t(diff < 0 ? -diff : diff);
    int t = 0;
    while (a) { ++t; a >>= 1; }
    return t;
}

} // namespace

int32_t predictSample(uint32_t predictor, int32_t ra, int32_t rb, int32_t rc) {
    switch (predictor) {
    case 0: return 0;
    case 1: return ra;
    case 2: return rb;
    case 3: return rc;
    case 4: return ra + rb - rc;
    case 5: return ra + ((rb - rc) >> 1);
    case 6: return rb + ((ra - rc) >> 1);
    default: return (ra + rb) >> 1;
    }
}

bool encodeLosslessJpeg(const uint16_t* samples, const EncodeOptions& o, std::vector<uint8_t>& out,
                        std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (!samples) return fail("no samples");
    if (o.columns == 0 || o.columns > 65535 || o.rows == 0 || o.rows > 65535) return fail("bad size");
    if (o.components < 1 || o.components > 4) return fail("components must be 1..4");
    if (o.precision < 2 || o.precision > 16) return fail("precision must be 2..16");
    if (o.predictor > 7) return fail("predictor must be 0..7");
    if (o.pointTransform >= o.precision) return fail("point transform must be below the precision");
    if (o.restartInterval > 65535 || (o.restartInterval % o.columns) != 0)
        return fail("restart interval must be a multiple of the columns");

    const uint32_t X = o.columns, Y = o.rows, N = o.components;
    const uint32_t rowsPerInterval = o.restartInterval / X;
    const int32_t opening = 1 << (o.precision - o.pointTransform - 1);
    const uint64_t stride = uint64_t(X) * N;
    for (uint64_t i = 0; i < stride * Y; ++i)
        if (samples[i] >> o.precision) return fail("sample does not fit the precision");

    // Differences of every sample (two passes: statistics, then codes).
    auto diffAt = [&](uint32_t y, uint32_t x, uint32_t c) -> int32_t {
        const uint16_t* row = samples + y * stride;
        int32_t s = row[x * N + c];
        bool openingRow = y == 0 || (rowsPerInterval && y % rowsPerInterval == 0);
        int32_t pred;
        if (openingRow) pred = x == 0 ? opening : row[(x - 1) * N + c];
        else if (x == 0) pred = samples[(y - 1) * stride + c];
        else pred = predictSample(o.predictor, row[(x - 1) * N + c], samples[(y - 1) * stride + x * N + c],
                                  samples[(y - 1) * stride + (x - 1) * N + c]);
        return int32_t(int16_t(uint16_t(uint32_t(s - pred))));
    };

    const uint32_t tables = o.sharedTable ? 1 : N;
    std::vector<std::array<uint64_t, 17>> freq(tables);
    for (auto& f : freq) f.fill(0);
    for (uint32_t y = 0; y < Y; ++y)
        for (uint32_t x = 0; x < X; ++x)
            for (uint32_t c = 0; c < N; ++c) ++freq[o.sharedTable ? 0 : c][category(diffAt(y, x, c))];
    std::vector<HuffCode> codes;
    for (auto& f : freq) codes.push_back(buildCode(f));

    out.clear();
    out.reserve(size_t(stride * Y * 2 + 1024));
    put16(out, 0xFFD8);
    for (uint32_t t = 0; t < tables; ++t) {
        const HuffCode& h = codes[t];
        put16(out, 0xFFC4);
        put16(out, uint32_t(2 + 1 + 16 + h.values.size()));
        out.push_back(uint8_t(t));
        for (int l = 1; l <= 16; ++l) out.push_back(h.bits[l]);
        out.insert(out.end(), h.values.begin(), h.values.end());
    }
    if (o.restartInterval) {
        put16(out, 0xFFDD);
        put16(out, 4);
        put16(out, o.restartInterval);
    }
    put16(out, 0xFFC3);
    put16(out, 8 + 3 * N);
    out.push_back(uint8_t(o.precision));
    put16(out, Y);
    put16(out, X);
    out.push_back(uint8_t(N));
    for (uint32_t c = 0; c < N; ++c) {
        out.push_back(uint8_t(c + 1));
        out.push_back(0x11);
        out.push_back(0);
    }
    put16(out, 0xFFDA);
    put16(out, 6 + 2 * N);
    out.push_back(uint8_t(N));
    for (uint32_t c = 0; c < N; ++c) {
        out.push_back(uint8_t(c + 1));
        out.push_back(uint8_t((o.sharedTable ? 0 : c) << 4));
    }
    out.push_back(uint8_t(o.predictor));
    out.push_back(0);
    out.push_back(uint8_t(o.pointTransform));

    BitWriter bw(out);
    uint32_t nextRst = 0;
    for (uint32_t y = 0; y < Y; ++y) {
        if (y > 0 && rowsPerInterval && y % rowsPerInterval == 0) {
            bw.flush();
            put16(out, 0xFFD0 + nextRst);
            nextRst = (nextRst + 1) & 7;
        }
        for (uint32_t x = 0; x < X; ++x)
            for (uint32_t c = 0; c < N; ++c) {
                const HuffCode& h = codes[o.sharedTable ? 0 : c];
                int32_t d = diffAt(y, x, c);
                int t = category(d);
                bw.put(h.code[t], h.size[t]);
                if (t > 0 && t < 16) bw.put(uint32_t(d < 0 ? d + (1 << t) - 1 : d) & ((1u << t) - 1), t);
            }
    }
    bw.flush();
    put16(out, 0xFFD9);
    return true;
}

} // namespace ljpegenc
