#pragma once
// A colour transform of the colour-management library: one profile's own
// (which keeps its profile alive), or a chain's combined.
#include "ColorSpaceDesc.h"
#include "ColorTransform.h"
#include "YlmRefPtr.h"

#include "ORVEXCMS.h"

namespace NimbalCore {

class CmsTransform : public ColorTransform {
public:
    // Takes ownership of the library transform.
    CmsTransform(const YlmRefPtr<ColorSpaceDesc>& profile, int kind, SpXform handle, bool combined);
    ~CmsTransform() override;
    CmsTransform(const CmsTransform&) = delete;
    CmsTransform& operator=(const CmsTransform&) = delete;

    void GetChannels(int32_t* inChannels, int32_t* outChannels) override;
    void Evaluate(const PixelLayout& source, const PixelLayout& destination) override;

    SpXform GetHandle() const { return handle_; }
    int GetKind() const { return kind_; }
    bool IsCombined() const { return combined_; }

private:
    YlmRefPtr<ColorSpaceDesc> profile_;
    int kind_;
    SpXform handle_;
    bool combined_;
};

} // namespace NimbalCore
