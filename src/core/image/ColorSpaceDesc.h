#pragma once
// A named colour space or profile, shared by counted references. The colour
// engine's profiles and the camera interface's looks derive from it.
#include "YlmMutex.h"
#include "YlmRefCount.h"

#include <cstdint>
#include <string>
#include <vector>

namespace NimbalCore {

class ColorSpaceDesc : public YlmRefCount<YlmMutex> {
public:
    ColorSpaceDesc() = default;
    virtual ~ColorSpaceDesc() = default;

    virtual std::string Name() = 0;
    // The ICC bytes of a profile, to store it with an image; empty for a
    // colour space that has none.
    virtual std::vector<uint8_t> GetICCData() { return {}; }
    // The ICC device class signature; 0 for a colour space that has none.
    virtual uint32_t GetDeviceClass() { return 0; }
    std::string GetDescription() const { return description_; }

protected:
    std::string description_;
};

} // namespace NimbalCore
