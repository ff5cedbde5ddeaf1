#pragma once
// What the image core asks of the colour engine. The engine lives above the
// core and installs itself here when it starts; without an engine the core
// sees no looks, no profiles and no working space.
#include "ColorSpaceDesc.h"
#include "ColorTransform.h"
#include "PixelLayout.h"
#include "ProfileChainEntry.h"
#include "YlmRefPtr.h"

#include <cstdint>
#include <string>
#include <vector>

namespace NimbalCore {

class ColorServices {
public:
    virtual ~ColorServices() = default;

    static void Install(ColorServices* services);
    // The installed engine, or null.
    static ColorServices* Get();

    virtual std::vector<std::string> GetLookList() const = 0;
    virtual std::vector<std::string> GetGrayscaleLookList() const = 0;
    virtual std::string GetWorkingSpaceName() const = 0;
    virtual YlmRefPtr<ColorSpaceDesc> FindProfile(const std::string& description) const = 0;
    virtual YlmRefPtr<ColorSpaceDesc> FindProfileOrAlias(const std::string& description) const = 0;
    // The description under which the static profile of that file name was
    // registered at start-up; empty when it was not.
    virtual std::string GetStaticProfileName(const std::string& fileName) const = 0;
    // One grey channel from RGB; throws 1727 for layouts it cannot use.
    virtual void RGBColorToGrayscale(const PixelLayout& source, const PixelLayout& destination,
                                     bool firstChannel) const = 0;
    // One transform through the chain's profiles in order (the engine keeps
    // it cached per chain and flags); 1728 when the chain cannot be
    // combined. Null without an engine.
    virtual YlmRefPtr<ColorTransform> GetTransform(const std::vector<ProfileChainEntry>&, int) {
        return YlmRefPtr<ColorTransform>();
    }
    // A profile made from ICC bytes (not registered); 1731 when the bytes
    // are not one. Null without an engine.
    virtual YlmRefPtr<ColorSpaceDesc> MakeProfile(const void*, uint32_t) const { return YlmRefPtr<ColorSpaceDesc>(); }
    // Ends the engine (the last thing the image pool shuts down).
    virtual void DeleteEngine() = 0;
};

} // namespace NimbalCore
