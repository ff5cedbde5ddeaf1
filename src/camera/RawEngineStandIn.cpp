#include "RawEngineStandIn.h"

namespace lumora::vq {

VqStatus RawEngineStandIn::PrepareStages() { return 0; }

} // namespace lumora::vq
