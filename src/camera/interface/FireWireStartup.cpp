#include "FireWireStartup.h"

#include "DriverState.h"
#include "VqStatus.h"

namespace lumora::vq {

// There is no IEEE 1394 camera manager in this build: the interface opens as it
// does on a machine without the device-setup services.
uint32_t StartFireWireManager(DriverState& state) {
    state.fireWireManager = nullptr;
    return VQ_ERR_FW_NO_SETUP_LIBRARY;
}

void StopFireWireManager(DriverState& state) {
    state.fireWireManager = nullptr;
}

} // namespace lumora::vq
