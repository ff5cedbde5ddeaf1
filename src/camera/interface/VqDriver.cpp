// VqOpenDriver, VqCloseDriver and VqGetMemoryUsage: opening and closing the
// interface's process-wide state.
#include "Vq.h"

#include "CameraHandleMap.h"
#include "DriverSettings.h"
#include "DriverState.h"
#include "FireWireStartup.h"
#include "ImageHandleMap.h"
#include "VqCall.h"

#include <new>

using namespace lumora::vq;

namespace {

void destroyTables(DriverState& d) {
    delete d.images;
    d.images = nullptr;
    delete d.cameras;
    d.cameras = nullptr;
}

uint32_t openDriver(uint32_t flags) {
    DriverState& d = Driver();
    if (d.openCount != 0) {
        // Further opens only count; their flags are not looked at.
        if (d.openCount != UINT32_MAX) ++d.openCount;
        return 0;
    }
    d.cameras = nullptr;
    d.images = nullptr;
    // A settings object kept by an earlier failed open is replaced, not leaked.
    if (d.settings) {
        delete d.settings;
        d.settings = nullptr;
        d.ChangeMemory(-DriverSettings::kObjectSize);
    }
    d.settings = new (std::nothrow) DriverSettings;
    if (!d.settings) return VQ_ERR_NO_MEMORY;

    const uint32_t settingsStatus = d.settings->Open(flags);
    if (settingsStatus != VQ_ERR_PREFS_READ && settingsStatus != VQ_ERR_DEFAULTS_KEPT) {
        // The object stays until VqCloseDriver, which takes its size off again.
        d.ChangeMemory(DriverSettings::kObjectSize);
        return settingsStatus;
    }

    d.cameras = new (std::nothrow) CameraHandleMap(d.cameraIdCounter);
    d.images = d.cameras ? new (std::nothrow) ImageHandleMap(d.imageHandleCounter) : nullptr;
    if (!d.cameras || !d.images) {
        destroyTables(d);
        d.ChangeMemory(DriverSettings::kObjectSize);
        return VQ_ERR_NO_MEMORY;
    }

    d.fireWireManager = nullptr;
    uint32_t tolerated = 0;
    if ((flags & VQ_OPEN_NO_FIREWIRE) == 0) {
        const uint32_t managerStatus = d.startFireWire ? d.startFireWire(d) : VQ_ERR_FW_NO_SETUP_LIBRARY;
        if (managerStatus != 0) {
            StopFireWireManager(d);
            if (managerStatus == VQ_ERR_FW_OS_UNSUPPORTED || managerStatus == VQ_ERR_FW_NO_SETUP_LIBRARY) {
                tolerated = managerStatus;
            } else {
                destroyTables(d);
                d.ChangeMemory(DriverSettings::kObjectSize);
                return managerStatus;
            }
        }
    }

    d.openCount = 1;
    d.ChangeMemory(DriverSettings::kObjectSize);
    return tolerated ? tolerated : settingsStatus;
}

uint32_t closeDriver() {
    DriverState& d = Driver();
    if (d.openCount >= 2) {
        --d.openCount;
        return 0;
    }
    d.openCount = 0;
    if (!d.settings) return VQ_ERR_BAD_HANDLE;
    d.ChangeMemory(-DriverSettings::kObjectSize);
    StopFireWireManager(d);
    // Images and cameras still open stay alive: the tables only refer to them.
    destroyTables(d);
    delete d.settings;
    d.settings = nullptr;
    return 0;
}

} // namespace

extern "C" {

VQ_API uint32_t VqOpenDriver(SdkVersionRecord* /*version, not read*/, uint32_t flags) {
    return VqCall::Guarded([&] { return openDriver(flags); });
}

VQ_API uint32_t VqCloseDriver(void) {
    return VqCall::Guarded([] { return closeDriver(); });
}

VQ_API uint32_t VqGetMemoryUsage(int32_t* out) {
    if (!out) return VQ_ERR_NULL_OUTPUT;
    *out = Driver().memoryUsage;
    return 0;
}

} // extern "C"
