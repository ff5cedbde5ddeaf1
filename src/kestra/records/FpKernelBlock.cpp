#include "FpKernelBlock.h"

#include "FpKernels.h"

#include <ByteView.h>

#include <cstring>
#include <vector>

namespace kestra {

namespace {

bool readValues(VxStream* s, int16_t* out, uint32_t count, std::vector<uint8_t>& scratch) {
    scratch.resize(size_t(count) * 2);
    if (!Vx_read(s, scratch.data(), uint32_t(scratch.size()))) return false;
    const lumora::ByteView view(scratch.data(), scratch.size());
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t v = 0;
        view.u16(uint64_t(i) * 2, lumora::ByteOrder::Big, v);
        out[i] = int16_t(v);
    }
    return true;
}

bool writeValues(VxStream* s, const int16_t* in, uint32_t count, std::vector<uint8_t>& scratch) {
    scratch.resize(size_t(count) * 2);
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t v = uint16_t(in[i]);
        scratch[size_t(i) * 2] = uint8_t(v >> 8);
        scratch[size_t(i) * 2 + 1] = uint8_t(v);
    }
    return Vx_write(s, scratch.data(), uint32_t(scratch.size())) != 0;
}

} // namespace

uint64_t FpKernelBlockSize(const FpKernelTable& t) {
    const uint64_t kernels = uint64_t(t.levels) * uint64_t(t.variants);
    uint64_t size = kKernelBlockHeaderSize + kernels * uint64_t(t.taps) * 2;
    if (t.secondTable) size += kernels * 4;
    return size;
}

FpStatus FpTransferSamples(FpKernelTable& t, VxStream* s, const char* mode) {
    const bool reading = mode && mode[0] == 'r';
    if (!t.samples || t.bytesPerSample != 2) return FpBadFilterData;
    auto* samples = static_cast<int16_t*>(t.samples);
    std::vector<uint8_t> scratch;
    for (int32_t l = 0; l < t.levels; ++l)
        for (int32_t v = 0; v < t.variants; ++v) {
            int16_t* row = samples + FpSampleIndex(t, l, v, 0);
            const bool ok = reading ? readValues(s, row, uint32_t(t.taps), scratch)
                                    : writeValues(s, row, uint32_t(t.taps), scratch);
            if (!ok) return FpBadFilterData;
        }
    if (t.secondTable) {
        if (!t.second) return FpBadFilterData;
        const uint32_t count = uint32_t(uint64_t(t.levels) * uint64_t(t.variants) * 2);
        auto* second = static_cast<int16_t*>(t.second);
        const bool ok = reading ? readValues(s, second, count, scratch) : writeValues(s, second, count, scratch);
        if (!ok) return FpBadFilterData;
    }
    return FpOk;
}

} // namespace kestra
