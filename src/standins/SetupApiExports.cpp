// The stand-in setup library's entry points: the four device-setup calls,
// device notifications and the cameras' device driver, all over the one
// simulated bus of the process.
#include "SimulatedBus.h"

using lumora::standins::SimulatedBus;

#define SIM_EXPORT __attribute__((visibility("default")))

extern "C" {

SIM_EXPORT void* SetupDiGetClassDevsA(const FwGuid* guid, const char*, void*, uint32_t flags) {
    const FwGuid camera = FW_CAMERA_INTERFACE_GUID_INIT;
    if (!guid || guid->data1 != camera.data1 || (flags & FW_DIGCF_PRESENT_INTERFACES) != FW_DIGCF_PRESENT_INTERFACES)
        return nullptr;
    return SimulatedBus::Instance().GetClassDevs();
}

SIM_EXPORT int SetupDiEnumDeviceInterfaces(void* set, void*, const FwGuid*, uint32_t index, FwDeviceInterfaceData* data) {
    return SimulatedBus::Instance().EnumInterface(set, index, data);
}

SIM_EXPORT int SetupDiGetDeviceInterfaceDetailA(void* set, FwDeviceInterfaceData* data, FwInterfaceDetail* detail,
                                                uint32_t size, uint32_t* required, FwDeviceInfoData* info) {
    return SimulatedBus::Instance().InterfaceDetail(set, data, detail, size, required, info);
}

SIM_EXPORT int SetupDiDestroyDeviceInfoList(void* set) { return SimulatedBus::Instance().DestroySet(set); }

SIM_EXPORT void* RegisterDeviceNotificationA(const FwGuid*, FwDeviceNotifyFn notify, void* context) {
    return notify ? SimulatedBus::Instance().RegisterNotification(notify, context) : nullptr;
}

SIM_EXPORT int UnregisterDeviceNotification(void* registration) {
    return SimulatedBus::Instance().UnregisterNotification(registration);
}

SIM_EXPORT uint32_t FwOpenDevice(const char* path, uint32_t* handle) {
    return SimulatedBus::Instance().OpenDevice(path, handle);
}

SIM_EXPORT uint32_t FwCloseDevice(uint32_t handle) { return SimulatedBus::Instance().CloseDevice(handle); }

SIM_EXPORT uint32_t FwReadBus(uint32_t handle, uint64_t address, void* buffer, uint32_t length, uint32_t* done) {
    return SimulatedBus::Instance().Read(handle, address, buffer, length, done);
}

SIM_EXPORT uint32_t FwWriteBus(uint32_t handle, uint64_t address, const void* buffer, uint32_t length) {
    return SimulatedBus::Instance().Write(handle, address, buffer, length);
}

SIM_EXPORT uint32_t FwDeviceControl(uint32_t handle, uint32_t code, FwRangeRecord* range, FwCompletion* completion) {
    return SimulatedBus::Instance().DeviceControl(handle, code, range, completion);
}

SIM_EXPORT uint32_t FwCancelIo(uint32_t handle) { return SimulatedBus::Instance().CancelIo(handle); }

SIM_EXPORT lumora::standins::SimulatedBusControl* LumoraSimulatedBus() { return &SimulatedBus::Instance(); }

} // extern "C"
