#pragma once
// A named colour space or profile, shared by counted references. The colour
// engine's profiles and the camera interface's looks derive from it.
#include "YlmMutex.h"
#include "YlmRefCount.h"

#include <string>

namespace NimbalCore {

class ColorSpaceDesc : public YlmRefCount<YlmMutex> {
public:
    ColorSpaceDesc() = default;
    virtual ~ColorSpaceDesc() = default;

    virtual std::string Name() = 0;
    std::string GetDescription() const { return description_; }

protected:
    std::string description_;
};

} // namespace NimbalCore
