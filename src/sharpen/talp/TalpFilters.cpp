#include "TalpFilters.h"

#include <cmath>

namespace {

bool readReal(PSFFilter filter, int32_t id, double& value) {
    PSFAttributeValue v{};
    if (PSFGetFilterAttribute(filter, id, &v) != PSFSuccess) return false;
    if (v.type == PSFAttrTypeDouble) value = v.value.real;
    else if (v.type == PSFAttrTypeInteger) value = v.value.integer;
    else return false;
    return true;
}

bool loadOne(void* module, int32_t id, VxBufferHandle& handle, uint32_t& size) {
    const VxResourceEntry* entry = VxFindResource(module, "FILTER", id);
    if (!entry) return false;
    size = VxSizeofResource(module, entry);
    handle = VxLoadResource(module, entry);
    return handle != 0;
}

} // namespace

bool TalpLoadFilterResources(void* module, int32_t sharpeningId, TalpFilterResources& r) {
    r = {};
    if (!loadOne(module, sharpeningId, r.sharpening, r.sharpeningSize) ||
        !loadOne(module, TalpResourceResampler, r.resampler, r.resamplerSize)) {
        TalpFreeFilterResources(r);
        return false;
    }
    return true;
}

void TalpFreeFilterResources(TalpFilterResources& r) {
    if (r.sharpening) VxFreeResource(r.sharpening);
    if (r.resampler) VxFreeResource(r.resampler);
    r = {};
}

void TalpBuildGainTable(double level, uint8_t table[256]) {
    static const double divisors[5] = {64.0, 64.0, 64.0, 64.0, 64.0};
    const double clamped = std::min(std::max(level, 0.0), 3.0);
    const int32_t i = int32_t(clamped);
    const double f = clamped - i;
    const double divisor = divisors[i] + (divisors[i + 1] - divisors[i]) * f;
    for (int32_t k = 0; k < 256; ++k) table[k] = uint8_t(std::floor(std::min(255.0, k * 254 / divisor + 1)));
}

double TalpLevel(int8_t amount, double level0) {
    const double level = amount * level0 * 0.05;
    return std::min(std::max(level, 0.0), level0);
}

PSFStatus TalpPrepareFilter(TalpSharpInstance& in, const void* sharpeningBytes, uint32_t sharpeningSize,
                            const void* resamplerBytes, uint32_t resamplerSize) {
    if (in.prepared) {
        PSFFreeFilter(in.prepared);
        in.prepared = 0;
    }
    PSFFilter sharpening = 0, resampler = 0;
    PSFStatus s = PSFLoadFilterFromBuffer(in.caller, sharpeningBytes, sharpeningSize, &sharpening);
    if (s != PSFSuccess) return s;
    s = PSFLoadFilterFromBuffer(in.caller, resamplerBytes, resamplerSize, &resampler);
    if (s != PSFSuccess) {
        PSFFreeFilter(sharpening);
        return s;
    }

    double scale, attribute;
    if (in.setupVersion == 0 || in.setupVersion == 2) {
        const double d = readReal(sharpening, PSFAttrResolution, attribute) ? in.amount * attribute : 300.0;
        scale = in.resolution * in.ratio / d;
    } else {
        const double d = readReal(sharpening, PSFAttrRadius, attribute) ? in.amount * attribute : 1.0;
        scale = in.ratio / d;
    }
    PSFFilter prepared = 0;
    s = PSFScaleSharpeningFilter(sharpening, scale, resampler, &prepared);
    PSFFreeFilter(sharpening);
    PSFFreeFilter(resampler);
    if (s != PSFSuccess) return s;

    double taps = 0;
    if (in.maxKernelSize != -1 && readReal(prepared, PSFAttrTaps, taps) && taps > in.maxKernelSize) {
        PSFFilter smaller = 0;
        s = PSFResetKernelSize(prepared, in.maxKernelSize, &smaller);
        PSFFreeFilter(prepared);
        if (s != PSFSuccess) return s;
        prepared = smaller;
    }

    PSFAttributeValue v{};
    s = PSFGetFilterAttribute(prepared, PSFAttrLevelList, &v);
    double level0 = v.type == PSFAttrTypeInteger ? v.value.integer : v.value.real;
    if (s == PSFSuccess) {
        uint8_t table[256];
        const double level = TalpLevel(in.amount, level0);
        TalpBuildGainTable(level, table);
        s = PSFSharpenSetupT(prepared, level, 1, table, in.threshold);
    }
    if (s != PSFSuccess) {
        PSFFreeFilter(prepared);
        return s;
    }
    in.prepared = prepared;
    return PSFSuccess;
}
