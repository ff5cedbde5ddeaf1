#pragma once
// The setup library ("Setupapi", loaded by name) and the entry points the
// manager, its cameras and their sessions take from it. Loaded by the manager's
// Initialize and freed by its CloseManager; shared by every manager object.
#include "FireWireServices.h"

#include <cstdint>

namespace lumora::vq {

struct FireWireEntryPoints {
    FwGetClassDevsFn getClassDevs = nullptr;
    FwEnumDeviceInterfacesFn enumDeviceInterfaces = nullptr;
    FwGetDeviceInterfaceDetailFn getDeviceInterfaceDetail = nullptr;
    FwDestroyDeviceInfoListFn destroyDeviceInfoList = nullptr;
    FwRegisterNotificationFn registerNotification = nullptr;
    FwUnregisterNotificationFn unregisterNotification = nullptr;
    FwOpenDeviceFn openDevice = nullptr;
    FwCloseDeviceFn closeDevice = nullptr;
    FwReadBusFn readBus = nullptr;
    FwWriteBusFn writeBus = nullptr;
    FwDeviceControlFn deviceControl = nullptr;
    FwCancelIoFn cancelIo = nullptr;
};

class FireWireLibrary {
public:
    // Loads the library and every entry point: 0, or VQ_ERR_FW_NO_SETUP_LIBRARY
    // (the library is then not kept). A loaded library answers 0 again.
    static uint32_t Load();
    static void Free();
    static bool IsLoaded();
    // The entry points; all null while the library is not loaded.
    static const FireWireEntryPoints& Calls();
};

} // namespace lumora::vq
