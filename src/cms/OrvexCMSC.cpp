// The colour-management module of the camera interface: its entry points
// forward to the process's one ORVEXCMS library.
#define ORVEXCMS_TYPES_ONLY
#include "OrvexCMSC.h"
#include "SpCalls.h"

using orvexcms::SpCalls;

extern "C" {

ORVEXCMS_API SpStatus SpInitialize(SpInstance* instance, void*, void*) { return SpCalls::initialize(instance); }

ORVEXCMS_API SpStatus SpXformFree(SpXform* xform) { return SpCalls::xformFree(xform); }

ORVEXCMS_API SpStatus SpEvaluate(SpXform xform, const SpPixelLayout* source, const SpPixelLayout* destination,
                                 void*, void*) {
    return SpCalls::evaluate(xform, source, destination);
}

ORVEXCMS_API SpStatus SpProfileLoadHeader(const char* name, const SpFileProps*, SpHeader* header) {
    return SpCalls::loadHeader(name, header);
}

ORVEXCMS_API SpStatus SpProfileLoadProfile(SpInstance instance, const char* name, const SpFileProps*,
                                           SpProfile* profile) {
    return SpCalls::loadProfile(instance, name, profile);
}

ORVEXCMS_API SpStatus SpXformGet(SpProfile profile, int32_t renderMode, int32_t kind, SpXform* xform) {
    return SpCalls::xformGet(profile, renderMode, kind, xform);
}

ORVEXCMS_API SpStatus SpProfileFree(SpProfile* profile) { return SpCalls::freeProfile(profile); }

ORVEXCMS_API SpStatus SpXformGetChannels(SpXform xform, int32_t* inChannels, int32_t* outChannels) {
    return SpCalls::xformChannels(xform, inChannels, outChannels);
}

ORVEXCMS_API SpStatus SpCombineXforms(int32_t count, const SpXform* xforms, SpXform* result, int32_t* failedIndex,
                                      void*, void*) {
    return SpCalls::combine(count, xforms, result, failedIndex);
}

ORVEXCMS_API SpStatus SpTerminate(SpInstance* instance) { return SpCalls::terminate(instance); }

ORVEXCMS_API SpStatus SpGetErrorText(SpStatus status, char* buffer, int32_t bufferSize) {
    return SpCalls::getErrorText(status, buffer, bufferSize);
}

} // extern "C"
