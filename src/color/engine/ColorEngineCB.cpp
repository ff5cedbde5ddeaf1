#include "ColorEngineCB.h"

#include "ColorEngine.h"

namespace NimbalCore {

ColorEngineCB::ColorEngineCB() { ColorEngine::Instance(0, 1)->AddListener(this); }

ColorEngineCB::~ColorEngineCB() {
    // The engine may already have been torn down with the image pool.
    ColorEngine::RemoveListenerIfRunning(this);
}

} // namespace NimbalCore
