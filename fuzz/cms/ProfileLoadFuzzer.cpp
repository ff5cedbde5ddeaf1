// Profile loading from a buffer: any bytes either load or are refused with a
// status, and a loaded profile answers its header, tags and transforms safely.
#include "ORVEXCMS.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SpInstance instance = [] {
        SpInstance i = 0;
        SpInitialize(&i, nullptr, nullptr);
        return i;
    }();
    if (size > (1u << 20)) return 0;
    SpProfile p = 0;
    if (SpProfileLoadFromBuffer(instance, data, uint32_t(size), &p) != SpStatSuccess) return 0;
    SpHeader h;
    SpProfileGetHeader(p, &h);
    for (uint32_t tag : {0x64657363u /* desc */, 0x4B303131u /* K011 */, 0x4B303331u /* K031 */}) {
        SpTagValue v;
        if (SpTagGetById(p, tag, &v) == SpStatSuccess) SpTagFree(&v);
    }
    SpXform x = 0;
    if (SpXformGet(p, 1, 1, &x) == SpStatSuccess) {
        uint16_t px[16] = {0, 65535, 1234, 40000, 7, 9, 65535, 0, 1, 2, 3, 4, 5, 6, 7, 8};
        int32_t in = 0, out = 0;
        SpXformGetChannels(x, &in, &out);
        SpPixelLayout s{}, d{};
        s.sampleType = d.sampleType = SpSample16;
        s.columns = d.columns = 1;
        s.rows = d.rows = 1;
        s.columnOffset = d.columnOffset = 2 * SP_MAX_CHANNELS;
        s.rowOffset = d.rowOffset = 2 * SP_MAX_CHANNELS;
        s.channels = in;
        d.channels = out;
        uint16_t dst[SP_MAX_CHANNELS] = {};
        for (int k = 0; k < SP_MAX_CHANNELS; ++k) {
            s.base[k] = &px[k];
            d.base[k] = &dst[k];
        }
        SpEvaluate(x, &s, &d, nullptr, nullptr);
        SpXformFree(&x);
    }
    uint32_t n = 0;
    SpProfileGetProfileSize(p, &n);
    SpProfileFree(&p);
    return 0;
}
