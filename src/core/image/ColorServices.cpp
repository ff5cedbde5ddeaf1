#include "ColorServices.h"

#include <atomic>

namespace NimbalCore {

namespace {
std::atomic<ColorServices*> gServices{nullptr};
}

void ColorServices::Install(ColorServices* services) { gServices.store(services); }

ColorServices* ColorServices::Get() { return gServices.load(); }

} // namespace NimbalCore
