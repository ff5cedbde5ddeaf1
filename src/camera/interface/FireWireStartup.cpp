#include "FireWireStartup.h"

#include "DriverState.h"
#include "RevAvazCameraManager.h"
#include "SdkCamera.h"
#include "VqStatus.h"

#include <new>

namespace lumora::vq {

// A machine without the setup library (no simulated bus installed) answers
// VQ_ERR_FW_NO_SETUP_LIBRARY here, which the interface tolerates.
uint32_t StartFireWireManager(DriverState& state) {
    state.fireWireManager = new (std::nothrow) RevAvazCameraManager;
    if (!state.fireWireManager) return VQ_ERR_NO_MEMORY;
    return state.fireWireManager->Initialize(&SdkDispatchCameraEvent);
}

void StopFireWireManager(DriverState& state) {
    if (state.fireWireManager) {
        state.fireWireManager->CloseManager();
        delete state.fireWireManager;
    }
    state.fireWireManager = nullptr;
}

} // namespace lumora::vq
