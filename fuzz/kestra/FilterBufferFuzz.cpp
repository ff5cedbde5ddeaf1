// Filter buffers from outside: any bytes either load or are refused with a
// status; a loaded filter answers its attributes, stores, and what it stores
// loads again and stores to the same bytes.
#include "Kestra.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> storeAll(PSFFilter f) {
    uint32_t size = 0;
    if (PSFGetBufferSize(f, &size) != PSFSuccess) __builtin_trap();
    std::vector<uint8_t> out(size);
    uint32_t count = 0;
    if (PSFStoreFilterToBuffer(f, out.data(), size, &count) != PSFSuccess) return {};
    if (count > size) __builtin_trap();
    out.resize(count);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PSFCaller caller = [] {
        PSFCaller c = 0;
        PSFInitialize(&c);
        return c;
    }();
    if (size > (1u << 20)) return 0;
    PSFFilter f = 0;
    if (PSFLoadFilterFromBuffer(caller, data, uint32_t(size), &f) != PSFSuccess) return 0;
    for (int32_t id : {2, 15, 16, 17, 16401, 30000, 30002, 30003, 30004, 30005, 30006, 30007, 30008, 30009, 30010,
                       30011, 30257, 30258}) {
        PSFAttributeValue v;
        std::memset(&v, 0, sizeof v);
        PSFGetFilterAttribute(f, id, &v);
    }
    const std::vector<uint8_t> first = storeAll(f);
    if (!first.empty()) {
        PSFFilter again = 0;
        // What was stored must load, and store to the same bytes.
        if (PSFLoadFilterFromBuffer(caller, first.data(), uint32_t(first.size()), &again) != PSFSuccess)
            __builtin_trap();
        if (storeAll(again) != first) __builtin_trap();
        PSFFreeFilter(again);
    }
    PSFFreeFilter(f);
    return 0;
}
