// Filters made from the fuzzer's numbers, then set to levels between their
// tabulated ones, cut and padded to other sizes and stretched by scales:
// every kernel the derivations meet (flat, lopsided, huge, zero) must give a
// status or a filter that stores and loads again, never a crash.
#include "FpFilterRecord.h"
#include "FpKernelLevels.h"
#include "Kestra.h"
#include "PsfFilterRecord.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Bytes {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    uint8_t u8() { return pos < size ? data[pos++] : 0; }
    int16_t i16() { return int16_t(uint16_t(u8()) | uint16_t(u8()) << 8); }
};

PSFCaller theCaller() {
    static PSFCaller caller = [] {
        PSFCaller c = 0;
        PSFInitialize(&c);
        return c;
    }();
    return caller;
}

// A 32-tap, 8-phase linear-interpolation resampler of two levels.
PSFFilter tentResampler() {
    static PSFFilter r = [] {
        std::vector<double> k;
        const double levels[] = {1.0, 0.5};
        for (double level : levels)
            for (int p = 0; p < 8; ++p)
                for (int j = 0; j < 32; ++j) {
                    double x = (j - 15) - p / 8.0;
                    x = x < 0 ? -x : x;
                    const double w = 1.0 - x * level;
                    k.push_back(w > 0 ? w * level : 0.0);
                }
        PSFFilter f = 0;
        PSFCreateFilterFromData(theCaller(), 0, 2, 8, 32, levels, k.data(), nullptr, &f);
        return f;
    }();
    return r;
}

void storeAndReload(PSFFilter f) {
    uint32_t size = 0, count = 0;
    if (PSFGetBufferSize(f, &size) != PSFSuccess) __builtin_trap();
    std::vector<uint8_t> bytes(size);
    if (PSFStoreFilterToBuffer(f, bytes.data(), size, &count) != PSFSuccess) __builtin_trap();
    PSFFilter again = 0;
    if (PSFLoadFilterFromBuffer(theCaller(), bytes.data(), count, &again) != PSFSuccess) __builtin_trap();
    PSFFreeFilter(again);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in{data, size};
    const int32_t taps = 1 + in.u8() % 15, variants = 1 + in.u8() % 3, levels = 1 + in.u8() % 3;
    const uint8_t flags = in.u8();
    const bool second = flags & 1;
    const int32_t kind = (flags >> 1) % 3;
    const double scale = 0.2 + in.u8() / 40.0;
    const int32_t size1 = in.u8() % 20, size2 = in.u8() % 20;
    std::vector<double> k(size_t(taps * variants * levels)), pairs(size_t(variants * levels * 2)), lv;
    for (double& x : k) x = in.i16() / 512.0;
    for (double& x : pairs) x = in.i16() / 512.0;
    for (int32_t l = 0; l < levels; ++l) lv.push_back(3.0 - l);

    PSFFilter f = 0;
    if (PSFCreateFilterFromData(theCaller(), kind, levels, variants, taps, lv.data(), k.data(),
                                second ? pairs.data() : nullptr, &f) != PSFSuccess)
        return 0;
    std::vector<double> back(k.size()), backPairs(pairs.size());
    if (PSFGetFilterData(f, back.data(), backPairs.data()) != PSFSuccess) __builtin_trap();
    {
        kestra::PsfFilterRecord* r = kestra::PsfLockFilterRecord(f);
        const kestra::Handle fp = r->filter;
        kestra::PsfUnlockFilterRecord(f);
        int32_t level;
        for (double strength : {3.5, 2.5, 1.995, 1.2, 0.5}) kestra::FpSetLevel(fp, strength, 0, level);
    }
    for (int32_t n : {size1, size2}) {
        PSFFilter g = 0;
        if (PSFResetKernelSize(f, n, &g) == PSFSuccess) {
            storeAndReload(g);
            PSFFreeFilter(g);
        }
    }
    PSFFilter g = 0;
    if (PSFScaleSharpeningFilter(f, scale, tentResampler(), &g) == PSFSuccess) {
        storeAndReload(g);
        PSFFreeFilter(g);
    }
    PSFFreeFilter(f);
    return 0;
}
