#pragma once
// Someone who wants to hear when the RGB working space changes (the
// histogram, for one). Registers itself with the colour engine while it
// lives; the engine calls it on the thread that changed the working space,
// outside the engine's lock.
#include <string>

namespace NimbalCore {

class ColorEngineCB {
public:
    ColorEngineCB();
    virtual ~ColorEngineCB();
    ColorEngineCB(const ColorEngineCB&) = delete;
    ColorEngineCB& operator=(const ColorEngineCB&) = delete;

    virtual void ColorEngineChanged(const std::string& workingSpace) = 0;
};

} // namespace NimbalCore
