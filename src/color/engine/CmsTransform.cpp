#include "CmsTransform.h"

#include "ColorEngine.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

namespace NimbalCore {

CmsTransform::CmsTransform(const YlmRefPtr<ColorSpaceDesc>& profile, int kind, SpXform handle, bool combined)
    : profile_(profile), kind_(kind), handle_(handle), combined_(combined) {}

CmsTransform::~CmsTransform() {
    // A failing free leaves nothing a destructor could report.
    if (handle_) SpXformFree(&handle_);
}

void CmsTransform::GetChannels(int32_t* inChannels, int32_t* outChannels) {
    if (SpXformGetChannels(handle_, inChannels, outChannels) != SpStatSuccess)
        YLM_THROW("ColorTransform::GetChannels", NbErrColorProfileFailed);
}

void CmsTransform::Evaluate(const PixelLayout& source, const PixelLayout& destination) {
    YlmRefPtr<ColorTransform> hold(this);
    ColorEngine::Evaluate(handle_, source, destination);
}

} // namespace NimbalCore
