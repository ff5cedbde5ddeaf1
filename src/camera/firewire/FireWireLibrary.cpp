#include "FireWireLibrary.h"

#include "DynamicModule.h"
#include "VqStatus.h"

#include <memory>

namespace lumora::vq {

namespace {
std::unique_ptr<lumora::DynamicModule>& Module() {
    static std::unique_ptr<lumora::DynamicModule> module;
    return module;
}
FireWireEntryPoints& Points() {
    static FireWireEntryPoints points;
    return points;
}

template <class Fn>
bool Bind(const lumora::DynamicModule& module, const char* name, Fn& out) {
    uint32_t error = 0;
    out = module.function<Fn>(name, error);
    return out != nullptr;
}
} // namespace

uint32_t FireWireLibrary::Load() {
    if (Module()) return 0;
    uint32_t error = 0;
    auto module = lumora::DynamicModule::load("Setupapi", error, reinterpret_cast<const void*>(&FireWireLibrary::Load));
    if (!module) return VQ_ERR_FW_NO_SETUP_LIBRARY;
    FireWireEntryPoints p;
    const bool all = Bind(*module, "SetupDiGetClassDevsA", p.getClassDevs) &&
                     Bind(*module, "SetupDiEnumDeviceInterfaces", p.enumDeviceInterfaces) &&
                     Bind(*module, "SetupDiGetDeviceInterfaceDetailA", p.getDeviceInterfaceDetail) &&
                     Bind(*module, "SetupDiDestroyDeviceInfoList", p.destroyDeviceInfoList) &&
                     Bind(*module, "RegisterDeviceNotificationA", p.registerNotification) &&
                     Bind(*module, "UnregisterDeviceNotification", p.unregisterNotification) &&
                     Bind(*module, "FwOpenDevice", p.openDevice) && Bind(*module, "FwCloseDevice", p.closeDevice) &&
                     Bind(*module, "FwReadBus", p.readBus) && Bind(*module, "FwWriteBus", p.writeBus) &&
                     Bind(*module, "FwDeviceControl", p.deviceControl) && Bind(*module, "FwCancelIo", p.cancelIo);
    if (!all) return VQ_ERR_FW_NO_SETUP_LIBRARY;
    Points() = p;
    Module() = std::move(module);
    return 0;
}

void FireWireLibrary::Free() {
    Points() = FireWireEntryPoints{};
    Module().reset();
}

bool FireWireLibrary::IsLoaded() { return Module() != nullptr; }

const FireWireEntryPoints& FireWireLibrary::Calls() { return Points(); }

} // namespace lumora::vq
