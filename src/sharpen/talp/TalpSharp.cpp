// TalpSharp: a filter plug-in that sharpens one channel of a picture with
// Kestra, from filters it carries as FILTER resources.
#include "TalpColorSpaces.h"
#include "TalpFilters.h"
#include "TalpPlanes.h"
#include "TalpSharpInstance.h"
#include "TalpPlugInFrame.h"
#include "TalpStatus.h"

#include "ORVEXCMS.h"
#include "VxFilt.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

#define TALP_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
// Read by the colour library's string calls.
extern __attribute__((visibility("default"))) const VxStringEntry VxStringTable[];
const VxStringEntry VxStringTable[] = {{2002, "TALPSharpen"}, {0, nullptr}};
extern __attribute__((visibility("default"))) const char VxProductVersion[];
const char VxProductVersion[] = "1.0.0.3";
}

namespace {


int32_t threadId() { return int32_t(syscall(SYS_gettid)); }

using Locked = TalpLocked<TalpSharpInstance>;

int TalpProgress(int phase, int percent, void* user) {
    auto* record = static_cast<TalpProgressRecord*>(user);
    const int32_t p = phase == 1 ? 0 : phase == 3 ? 100 : percent;
    const int32_t value = record->denominator ? p * record->numerator / record->denominator + record->offset : p;
    record->lastPercent = value;
    return record->proc ? int(record->proc(value, record->user)) : 1;
}

} // namespace

TALP_EXPORT VxFiltStatus VxFiltGetInfoPriv(VxFiltPlugIn plugIn, VxFiltInfo* info) {
    return TalpBeginLoad<TalpSharpInstance>(plugIn, info, [](TalpSharpInstance& in, bool first) {
        in.maxKernelSize = -1;
        in.threadId = threadId();
        in.firstLoad = first ? 1 : 0;
        if (first) in.processId = int32_t(getpid());
    });
}

TALP_EXPORT VxFiltStatus VxFiltUnloadPlugin(VxFiltPlugIn plugIn) { return TalpEndLoad<TalpSharpInstance>(plugIn); }

TALP_EXPORT VxFiltStatus VxFiltSetup(VxFiltPlugIn plugIn, const void* block) {
    Locked locked(plugIn);
    if (!locked.ok()) return VxFiltErrLock;
    if (!block) return VxFiltErrBadArgument;
    TalpSharpInstance* in = locked.instance();

    uint32_t setupVersion;
    std::memcpy(&setupVersion, block, sizeof setupVersion);
    uint32_t paramVersion = 8;
    const VxFiltSharpenParams* p;
    if (setupVersion == 2 || setupVersion == 3) {
        const auto* b = static_cast<const VxFiltSetupBlock*>(block);
        paramVersion = b->paramVersion;
        p = static_cast<const VxFiltSharpenParams*>(b->params);
    } else {
        p = &static_cast<const VxFiltSetupBlockInline*>(block)->params;
    }
    if (!p) return VxFiltErrBadArgument;
    in->setupVersion = setupVersion;
    in->amount = int8_t(uint8_t(p->amount & 0xFF));
    in->maxKernelSize = p->maxKernelSize;
    in->colorTag = p->colorTag;
    in->channel = p->channel;
    in->ratio = p->radiusDenominator ? double(p->radiusNumerator) / double(p->radiusDenominator) : 0.0;
    if (setupVersion == 0 || setupVersion == 2) in->resolution = (double(p->resolutionX) + p->resolutionY) * 0.5;
    in->threshold = 0;

    int32_t resource = TalpResource5Tap;
    if (paramVersion > 8) {
        if (paramVersion == 10) {
            if (p->filterChoice == 0) resource = TalpResource5Tap;
            else if (p->filterChoice == 1) resource = TalpResource7Tap;
            else return VxFiltErrBadArgument;
        } else if (paramVersion != 9) {
            return VxFiltErrBadArgument;
        }
        in->threshold = p->threshold;
    }

    TalpFilterResources r;
    if (!TalpLoadFilterResources(locked.record()->plugInModule, resource, r)) {
        if (in->prepared) {
            PSFFreeFilter(in->prepared);
            in->prepared = 0;
        }
        return VxFiltErrNoResource;
    }
    const void* sharpening = lockBuffer(r.sharpening);
    const void* resampler = lockBuffer(r.resampler);
    PSFStatus s = sharpening && resampler
                      ? TalpPrepareFilter(*in, sharpening, r.sharpeningSize, resampler, r.resamplerSize)
                      : PSFStatus(PSFErrNoMemory);
    if (sharpening) unlockBuffer(r.sharpening);
    if (resampler) unlockBuffer(r.resampler);
    TalpFreeFilterResources(r);
    return TalpMapStatus(s);
}

TALP_EXPORT VxFiltStatus VxFiltRectangles(VxFiltPlugIn plugIn, PSFRect* source, PSFRect* second, PSFRect* work,
                                         PSFRect* strip, uint16_t* flag, uint16_t mode, uint16_t option) {
    Locked locked(plugIn);
    if (!locked.ok()) return VxFiltErrLock;
    const PSFStatus s = PSFRectangles(locked.instance()->prepared, source, second, work, strip, flag, mode, option);
    if (work && flag) *flag = work->x1 > work->x0 && work->y1 > work->y0 ? 1 : 0;
    if (work) {
        work->x1 -= work->x0;
        work->y1 -= work->y0;
        work->x0 = 0;
        work->y0 = 0;
    }
    return TalpMapStatus(s);
}

TALP_EXPORT VxFiltStatus VxFiltStripBegin(VxFiltPlugIn plugIn, const PSFRect* strip) {
    Locked locked(plugIn);
    if (!locked.ok()) return VxFiltErrLock;
    return TalpMapStatus(PSFStripBegin(locked.instance()->prepared, strip));
}

TALP_EXPORT VxFiltStatus VxFiltStripEnd(VxFiltPlugIn plugIn) {
    Locked locked(plugIn);
    if (!locked.ok()) return VxFiltErrLock;
    return TalpMapStatus(PSFStripEnd(locked.instance()->prepared));
}

TALP_EXPORT VxFiltStatus VxFiltClose(VxFiltPlugIn plugIn) {
    Locked locked(plugIn);
    if (!locked.ok()) return VxFiltErrLock;
    TalpSharpInstance* in = locked.instance();
    PSFStatus s = PSFSuccess;
    if (in->prepared) s = PSFFreeFilter(in->prepared);
    in->prepared = 0;
    return TalpMapStatus(s);
}

TALP_EXPORT VxFiltStatus VxFiltProcess(VxFiltPlugIn plugIn, const PSFPicture* sourceIn, const PSFPicture* secondIn,
                                      PSFPicture* workIn, int32_t, VxFiltProgressProc progress, void* user,
                                      PSFPicture* destinationIn) {
    Locked locked(plugIn);
    if (!locked.ok()) return VxFiltErrLock;
    if (!sourceIn || !workIn || !destinationIn) return VxFiltErrBadArgument;
    TalpSharpInstance* in = locked.instance();
    PSFPicture source = *sourceIn, work = *workIn, destination = *destinationIn;
    // The control picture keeps every channel even when only one is sharpened.
    const PSFPicture sourceWhole = *sourceIn;
    const PSFPicture* second = secondIn ? secondIn : &sourceWhole;

    if (!(TalpCheckColorSpace(in->colorTag) & 1)) return VxFiltErrInconsistent;
    const int32_t channel = TalpChannelToSharpen(in->colorTag, in->channel);
    const int32_t channels = TalpChannelCount(in->colorTag);
    if (channel >= 0) {
        PSFAttributeValue taps{};
        const PSFStatus s = PSFGetFilterAttribute(in->prepared, PSFAttrTaps, &taps);
        if (s != PSFSuccess) return TalpMapStatus(s);
        const VxFiltStatus copied = TalpCopyUnsharpenedPlanes(source, destination, channel, channels,
                                                              taps.type == PSFAttrTypeInteger ? taps.value.integer
                                                                                              : int32_t(taps.value.real));
        if (copied != VxFiltSuccess) return copied;
        TalpSelectPlane(source, channel);
        TalpSelectPlane(work, channel);
        TalpSelectPlane(destination, channel);
    }
    PSFProgressProc procedure = nullptr;
    if (progress) {
        in->progress = TalpProgressRecord{progress, user, channels, channels, 0, 0};
        procedure = TalpProgress;
    }
    const PSFStatus s = PSFSharpen(in->prepared, &source, second, &work, &destination, procedure, &in->progress);
    // A host that stops the run at its very start gets its own answer back
    // from Kestra; a 0 there is a stop like any other, not "in progress".
    if (progress && s == PSFInProgress) return VxFiltErrCancelled;
    return TalpMapStatus(s);
}
