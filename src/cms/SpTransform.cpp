#include "SpTransform.h"

#include "CmsLibrary.h"
#include "SampleCodec.h"

#include <algorithm>
#include <cstring>

namespace orvexcms {

namespace {

// Signatures stay plain integers until they are known: a profile may carry
// any value there.
bool isConnectionSpace(uint32_t s) { return s == cmsSigLabData || s == cmsSigXYZData; }

bool isLinkLike(uint32_t c) { return c == cmsSigLinkClass || c == cmsSigAbstractClass; }

bool knownSpace(uint32_t s) {
    static const uint32_t spaces[] = {
        cmsSigXYZData,  cmsSigLabData,  cmsSigLuvData,  cmsSigYCbCrData, cmsSigYxyData,  cmsSigRgbData,
        cmsSigGrayData, cmsSigHsvData,  cmsSigHlsData,  cmsSigCmykData,  cmsSigCmyData,  cmsSigMCH1Data,
        cmsSigMCH2Data, cmsSigMCH3Data, cmsSigMCH4Data, cmsSigMCH5Data,  cmsSigMCH6Data, cmsSigMCH7Data,
        cmsSigMCH8Data, cmsSigMCH9Data, cmsSigMCHAData, cmsSigMCHBData,  cmsSigMCHCData, cmsSigMCHDData,
        cmsSigMCHEData, cmsSigMCHFData, cmsSig2colorData, cmsSig3colorData, cmsSig4colorData,
        cmsSig5colorData, cmsSig6colorData, cmsSig7colorData, cmsSig8colorData, cmsSig9colorData,
        cmsSig10colorData, cmsSig11colorData, cmsSig12colorData, cmsSig13colorData, cmsSig14colorData,
        cmsSig15colorData};
    for (uint32_t k : spaces)
        if (k == s) return true;
    return false;
}

bool floatFormat(uint32_t signature, cmsUInt32Number& format) {
    if (!knownSpace(signature)) return false;
    const auto space = cmsColorSpaceSignature(signature);
    const int pt = _cmsLCMScolorSpace(space);
    const cmsUInt32Number n = cmsChannelsOf(space);
    if (pt <= 0 || n == 0 || n > SP_MAX_CHANNELS) return false;
    format = FLOAT_SH(1) | COLORSPACE_SH(cmsUInt32Number(pt)) | CHANNELS_SH(n) | BYTES_SH(4);
    return true;
}

uint32_t fullScaleOf(int32_t sampleType) {
    switch (sampleType) {
    case SpSample8: return 255;
    case SpSample12in16: return 4095;
    case SpSample16: return 65535;
    default: return 0;
    }
}

// Addresses move by signed byte offsets that may step backwards; the sum is
// done on integers so that no intermediate pointer leaves the caller's range.
inline uint8_t* at(void* base, int64_t offset) {
    return reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(base) + uint64_t(offset));
}

inline uint32_t readSample(const uint8_t* p, int32_t type) {
    if (type == SpSample8) return *p;
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline void writeSample(uint8_t* p, int32_t type, uint32_t v) {
    if (type == SpSample8) {
        *p = uint8_t(v);
        return;
    }
    const uint16_t w = uint16_t(v);
    std::memcpy(p, &w, 2);
}

SpStatus checkLayout(const SpPixelLayout& l, int32_t channels) {
    if (!fullScaleOf(l.sampleType)) return SpStatBadSampleType;
    if (l.columns < 0 || l.rows < 0) return SpStatBadArgument;
    if (l.channels != channels) return SpStatLayoutMismatch;
    for (int32_t k = 0; k < channels; ++k)
        if (!l.base[k]) return SpStatBadArgument;
    return SpStatSuccess;
}

} // namespace

SpTransform::~SpTransform() {
    if (float_) cmsDeleteTransform(float_);
}

SpStatus SpTransform::fromProfile(std::shared_ptr<const IccProfile> profile, int32_t renderMode,
                                  int32_t kind, std::shared_ptr<SpTransform>& out) {
    out.reset();
    if (!profile) return SpStatBadProfile;
    if (kind != SpXformFromDevice && kind != SpXformToDevice) return SpStatBadArgument;
    cmsUInt32Number intent;
    if (renderMode >= 0 && renderMode <= 3)
        intent = cmsUInt32Number(renderMode);
    else if (renderMode == 4)
        intent = profile->header().renderingIntent & 3;
    else
        return SpStatBadRenderMode;
    std::shared_ptr<SpTransform> t(new (std::nothrow) SpTransform({{std::move(profile), intent, kind}}));
    if (!t) return SpStatNoMemory;
    if (SpStatus s = t->build(); s) return s;
    out = std::move(t);
    return SpStatSuccess;
}

SpStatus SpTransform::combine(const std::vector<std::shared_ptr<SpTransform>>& parts,
                              std::shared_ptr<SpTransform>& out, int32_t& failedIndex) {
    out.reset();
    failedIndex = 0;
    if (parts.empty()) return SpStatBadArgument;
    std::vector<Stage> stages;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!parts[i]) {
            failedIndex = int32_t(i);
            return SpStatBadXform;
        }
        // A part that is itself a chain brings its profiles in their order.
        stages.insert(stages.end(), parts[i]->stages_.begin(), parts[i]->stages_.end());
    }
    std::shared_ptr<SpTransform> t(new (std::nothrow) SpTransform(stages));
    if (!t) return SpStatNoMemory;
    if (t->build() == SpStatSuccess) {
        out = std::move(t);
        return SpStatSuccess;
    }
    // Find the first part that the chain before it cannot take.
    size_t end = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        end += parts[i]->stages_.size();
        SpTransform prefix(std::vector<Stage>(stages.begin(), stages.begin() + long(end)));
        if (prefix.build() != SpStatSuccess) {
            failedIndex = int32_t(i);
            break;
        }
    }
    return SpStatCombineFailed;
}

SpStatus SpTransform::build() {
    cmsContext ctx = CmsLibrary::instance().context();
    std::vector<cmsHPROFILE> handles;
    std::vector<cmsUInt32Number> intents;
    auto closeAll = [&] {
        for (auto h : handles)
            if (h) cmsCloseProfile(h);
    };

    // A chain that starts at a profile's device side (kind 2) first needs the
    // connection space itself as its input.
    struct Spaces {
        uint32_t cls, data, pcs;
    };
    std::vector<Spaces> spaces;
    const SpHeader& first = stages_.front().profile->header();
    if (stages_.front().kind == SpXformToDevice && !isLinkLike(first.deviceClass)) {
        const uint32_t pcs = first.connectionSpace;
        cmsHPROFILE h = pcs == cmsSigXYZData ? cmsCreateXYZProfileTHR(ctx)
                        : pcs == cmsSigLabData ? cmsCreateLab4ProfileTHR(ctx, nullptr)
                                               : nullptr;
        if (!h) return SpStatXformFailed;
        handles.push_back(h);
        intents.push_back(stages_.front().intent);
        spaces.push_back({cmsSigAbstractClass, pcs, pcs});
    }
    for (const auto& s : stages_) {
        const SpHeader& h = s.profile->header();
        spaces.push_back({h.deviceClass, h.dataColorSpace, h.connectionSpace});
    }
    for (const auto& s : stages_) {
        cmsHPROFILE h = s.profile->openLcms(ctx);
        if (!h) {
            closeAll();
            return SpStatXformFailed;
        }
        handles.push_back(h);
        intents.push_back(s.intent);
    }

    // The spaces at both ends, following the same rule as the chain itself.
    uint32_t current = spaces[0].data;
    for (size_t i = 0; i < spaces.size(); ++i) {
        const uint32_t cls = spaces[i].cls, data = spaces[i].data, pcs = spaces[i].pcs;
        uint32_t entry, exit;
        if (isLinkLike(cls) || !isConnectionSpace(current)) {
            entry = data;
            exit = pcs;
        } else {
            entry = pcs;
            exit = data;
        }
        if (i == 0) inSpace_ = entry;
        current = exit;
    }
    outSpace_ = current;

    cmsUInt32Number inFormat, outFormat;
    if (!floatFormat(inSpace_, inFormat) || !floatFormat(outSpace_, outFormat)) {
        closeAll();
        return SpStatXformFailed;
    }
    std::vector<cmsBool> bpc(handles.size(), FALSE);
    std::vector<cmsFloat64Number> adaptation(handles.size(), 1.0);
    float_ = cmsCreateExtendedTransform(ctx, cmsUInt32Number(handles.size()), handles.data(), bpc.data(),
                                        intents.data(), adaptation.data(), nullptr, 0, inFormat, outFormat,
                                        cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE);
    closeAll();
    if (!float_) return SpStatXformFailed;
    inChannels_ = int32_t(cmsChannelsOf(cmsColorSpaceSignature(inSpace_)));
    outChannels_ = int32_t(cmsChannelsOf(cmsColorSpaceSignature(outSpace_)));
    return SpStatSuccess;
}

SpStatus SpTransform::evaluate(const SpPixelLayout& src, const SpPixelLayout& dst) const {
    if (SpStatus s = checkLayout(src, inChannels_); s) return s;
    if (SpStatus s = checkLayout(dst, outChannels_); s) return s;
    if (src.columns != dst.columns || src.rows != dst.rows) return SpStatLayoutMismatch;

    const auto inKind = SampleCodec::kindOf(inSpace_);
    const auto outKind = SampleCodec::kindOf(outSpace_);
    const uint32_t inScale = fullScaleOf(src.sampleType);
    const uint32_t outScale = fullScaleOf(dst.sampleType);

    // Rows go through in runs of pixels: every sample of a run is read before
    // any is written, so source and destination may be the same pixels.
    constexpr int32_t kRun = 1024;
    std::vector<float> in(size_t(kRun) * inChannels_), out(size_t(kRun) * outChannels_);
    for (int32_t r = 0; r < src.rows; ++r) {
        for (int32_t c0 = 0; c0 < src.columns; c0 += kRun) {
            const int32_t n = std::min(kRun, src.columns - c0);
            for (int32_t k = 0; k < inChannels_; ++k) {
                const int64_t start = int64_t(r) * src.rowOffset + int64_t(c0) * src.columnOffset;
                float* o = in.data() + k;
                for (int32_t i = 0; i < n; ++i, o += inChannels_) {
                    uint32_t v = readSample(at(src.base[k], start + int64_t(i) * src.columnOffset), src.sampleType);
                    if (v > inScale) v = inScale;
                    *o = SampleCodec::decode(inKind, k, double(v) / inScale);
                }
            }
            cmsDoTransform(float_, in.data(), out.data(), cmsUInt32Number(n));
            for (int32_t k = 0; k < outChannels_; ++k) {
                const int64_t start = int64_t(r) * dst.rowOffset + int64_t(c0) * dst.columnOffset;
                const float* p = out.data() + k;
                for (int32_t i = 0; i < n; ++i, p += outChannels_)
                    writeSample(at(dst.base[k], start + int64_t(i) * dst.columnOffset), dst.sampleType,
                                SampleCodec::encode(outKind, k, *p, outScale));
            }
        }
    }
    return SpStatSuccess;
}

} // namespace orvexcms
