// TalpScale: a filter plug-in that resamples pictures by a ratio with Kestra,
// from the resampler it carries as a FILTER resource. Every channel is
// resampled; what lies beyond the picture repeats its edge, and the
// picture's outer edges meet: x' + 1/2 = s (x + 1/2).
#include "TalpScaleInstance.h"
#include "TalpScaleParams.h"
#include "TalpPlugInFrame.h"
#include "TalpStatus.h"

#include "Kestra.h"
#include "ORVEXCMS.h"
#include "VxFilt.h"

#include <unistd.h>

#include <cstring>

#define TALP_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
// Read by the colour library's string calls.
extern __attribute__((visibility("default"))) const VxStringEntry VxStringTable[];
const VxStringEntry VxStringTable[] = {{2002, "TALPScale"}, {0, nullptr}};
extern __attribute__((visibility("default"))) const char VxProductVersion[];
const char VxProductVersion[] = "1.0.0.1";
}

namespace {

constexpr int32_t kResamplerId = 2004;
constexpr uint32_t kThreeColours = VXFILT_TAG('3', 'C', 'L', 'R');
constexpr uint32_t kGrey = VXFILT_TAG('G', 'R', 'A', 'Y');

using Locked = TalpLocked<TalpScaleInstance>;

int32_t channelsOf(uint32_t tag) { return tag == kThreeColours ? 3 : tag == kGrey ? 1 : 0; }

int TalpScaleProgressProc(int phase, int percent, void* user) {
    auto* record = static_cast<TalpScaleProgress*>(user);
    const int32_t p = phase == 1 ? 0 : phase == 3 ? 100 : percent;
    return record->proc ? int(record->proc(p, record->user)) : 1;
}

void release(TalpScaleInstance& in) {
    if (in.prepared) PSFFreeFilter(in.prepared);
    in.prepared = 0;
}

// The built-in resampler, loaded and set up for the ratio.
PSFStatus prepare(void* module, TalpScaleInstance& in) {
    release(in);
    const VxResourceEntry* entry = VxFindResource(module, "FILTER", kResamplerId);
    if (!entry) return VxFiltErrNoResource;
    const uint32_t size = VxSizeofResource(module, entry);
    const VxBufferHandle bytes = VxLoadResource(module, entry);
    if (!bytes) return VxFiltErrNoResource;
    const void* data = lockBuffer(bytes);
    PSFFilter f = 0;
    PSFStatus s = data ? PSFLoadFilterFromBuffer(in.caller, data, size, &f) : PSFStatus(PSFErrNoMemory);
    if (data) unlockBuffer(bytes);
    VxFreeResource(bytes);
    if (s != PSFSuccess) return s;
    const double scale = double(in.numerator) / double(in.denominator);
    const double m[4] = {scale, 0.0, 0.0, scale};
    const double offset[2] = {(scale - 1.0) / 2.0, (scale - 1.0) / 2.0};
    s = PSFAffineSetup(f, m, offset);
    if (s != PSFSuccess) {
        PSFFreeFilter(f);
        return s;
    }
    in.prepared = f;
    return PSFSuccess;
}

// A ratio of 1 maps every sample onto itself: Kestra's set-up keeps no axis
// to resample, so the destination rows are the source's.
VxFiltStatus copySamples(const PSFPicture& source, const PSFPicture& destination) {
    const PSFRect& d = destination.rect;
    const PSFRect& s = source.rect;
    if (d.x0 < s.x0 || d.y0 < s.y0 || d.x1 > s.x1 || d.y1 > s.y1) return VxFiltErrInconsistent;
    for (int32_t i = 0; i < destination.planeCount; ++i) {
        const PSFPlane& from = source.planes[i];
        const PSFPlane& to = destination.planes[i];
        const int32_t bytes = to.sampleType == PSFSample8 ? 1 : 2;
        if (from.sampleType != to.sampleType || !from.data || !to.data || to.columns < d.x1 - d.x0 ||
            to.rows < d.y1 - d.y0 || from.columns < s.x1 - s.x0 || from.rows < s.y1 - s.y0)
            return VxFiltErrInconsistent;
        for (int32_t y = d.y0; y < d.y1; ++y)
            for (int32_t x = d.x0; x < d.x1; ++x)
                std::memcpy(static_cast<uint8_t*>(to.data) + int64_t(y - d.y0) * to.rowStep +
                                int64_t(x - d.x0) * to.sampleStep,
                            static_cast<const uint8_t*>(from.data) + int64_t(y - s.y0) * from.rowStep +
                                int64_t(x - s.x0) * from.sampleStep,
                            size_t(bytes));
    }
    return VxFiltSuccess;
}

} // namespace

TALP_EXPORT VxFiltStatus VxFiltGetInfoPriv(VxFiltPlugIn plugIn, VxFiltInfo* info) {
    return TalpBeginLoad<TalpScaleInstance>(plugIn, info, [](TalpScaleInstance&, bool) {});
}

TALP_EXPORT VxFiltStatus VxFiltUnloadPlugin(VxFiltPlugIn plugIn) { return TalpEndLoad<TalpScaleInstance>(plugIn); }

TALP_EXPORT VxFiltStatus VxFiltSetup(VxFiltPlugIn plugIn, const void* block) {
    Locked locked(plugIn);
    if (!locked.ok()) return VxFiltErrLock;
    if (!block) return VxFiltErrBadArgument;
    const auto* b = static_cast<const VxFiltSetupBlock*>(block);
    if (b->setupVersion != TALPSCALE_SETUP_VERSION || b->paramVersion != TALPSCALE_PARAM_VERSION || !b->params)
        return VxFiltErrBadArgument;
    const auto* p = static_cast<const TalpScaleParams*>(b->params);
    if (p->numerator <= 0 || p->denominator <= 0) return VxFiltErrBadArgument;
    if (channelsOf(p->colorTag) == 0) return VxFiltErrInconsistent;
    TalpScaleInstance* in = locked.instance();
    in->numerator = p->numerator;
    in->denominator = p->denominator;
    in->colorTag = p->colorTag;
    in->channel = p->channel;
    const PSFStatus s = prepare(locked.record()->plugInModule, *in);
    return s == VxFiltErrNoResource ? VxFiltStatus(VxFiltErrNoResource) : TalpMapStatus(s);
}

TALP_EXPORT VxFiltStatus VxFiltRectangles(VxFiltPlugIn plugIn, PSFRect* source, PSFRect* second, PSFRect* work,
                                         PSFRect* strip, uint16_t* flag, uint16_t mode, uint16_t option) {
    Locked locked(plugIn);
    if (!locked.ok()) return VxFiltErrLock;
    if (!locked.instance()->prepared) return VxFiltErrNotSetUp;
    const PSFStatus s = PSFRectangles(locked.instance()->prepared, source, second, work, strip, flag, mode, option);
    if (s == PSFSuccess && work && flag) *flag = work->x1 > work->x0 && work->y1 > work->y0 ? 1 : 0;
    return TalpMapStatus(s);
}

TALP_EXPORT VxFiltStatus VxFiltStripBegin(VxFiltPlugIn plugIn, const PSFRect* strip) {
    Locked locked(plugIn);
    if (!locked.ok()) return VxFiltErrLock;
    if (!locked.instance()->prepared) return VxFiltErrNotSetUp;
    return TalpMapStatus(PSFStripBegin(locked.instance()->prepared, strip));
}

TALP_EXPORT VxFiltStatus VxFiltStripEnd(VxFiltPlugIn plugIn) {
    Locked locked(plugIn);
    if (!locked.ok()) return VxFiltErrLock;
    if (!locked.instance()->prepared) return VxFiltErrNotSetUp;
    return TalpMapStatus(PSFStripEnd(locked.instance()->prepared));
}

TALP_EXPORT VxFiltStatus VxFiltClose(VxFiltPlugIn plugIn) {
    Locked locked(plugIn);
    if (!locked.ok()) return VxFiltErrLock;
    release(*locked.instance());
    return VxFiltSuccess;
}

TALP_EXPORT VxFiltStatus VxFiltProcess(VxFiltPlugIn plugIn, const PSFPicture* sourceIn, const PSFPicture*,
                                      PSFPicture* workIn, int32_t, VxFiltProgressProc progress, void* user,
                                      PSFPicture* destinationIn) {
    Locked locked(plugIn);
    if (!locked.ok()) return VxFiltErrLock;
    if (!sourceIn || !workIn || !destinationIn) return VxFiltErrBadArgument;
    TalpScaleInstance* in = locked.instance();
    if (!in->prepared) return VxFiltErrNotSetUp;
    const int32_t channels = channelsOf(in->colorTag);
    if (sourceIn->planeCount != channels || destinationIn->planeCount != channels) return VxFiltErrInconsistent;
    PSFPicture source = *sourceIn, work = *workIn, destination = *destinationIn;
    PSFPicture* workPicture = work.planeCount > 0 ? &work : nullptr;
    int32_t edges[2 * PSF_MAX_PLANES];
    for (int32_t i = 0; i < PSF_MAX_PLANES; ++i) edges[2 * i] = 1, edges[2 * i + 1] = 0;
    if (in->numerator == in->denominator) {
        if (progress && progress(0, user) != 1) return VxFiltErrCancelled;
        const VxFiltStatus copied = copySamples(source, destination);
        if (copied == VxFiltSuccess && progress) progress(100, user);
        return copied;
    }
    PSFProgressProc procedure = nullptr;
    if (progress) {
        in->progress = TalpScaleProgress{progress, user};
        procedure = TalpScaleProgressProc;
    }
    const PSFStatus s = PSFScale(in->prepared, &source, workPicture, &destination, edges, procedure, &in->progress);
    // A host that stops the run at its very start gets its own answer back
    // from Kestra; a 0 there is a stop like any other.
    if (progress && s == PSFInProgress) return VxFiltErrCancelled;
    return TalpMapStatus(s);
}
