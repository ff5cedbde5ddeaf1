#include "RevAvazCameraManager.h"

#include "FireWireLibrary.h"
#include "FwEvent.h"
#include "RevAvazCamera.h"
#include "SystemMutex.h"
#include "VqStatus.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace lumora::vq {

namespace {

const FwGuid kCameraInterface = FW_CAMERA_INTERFACE_GUID_INIT;
constexpr uint32_t kDetailSizeField = 5;
constexpr uint32_t kDeviceInfoSize = 28;

SystemMutex& ManagerMutex() {
    static SystemMutex mutex;
    return mutex;
}

// Events waiting for LookForCameraEvents. One writer at a time (the device
// handlers hold the manager mutex) and one reader; each side moves only its
// own index, and an entry is complete before the writer publishes it.
struct EventEntry {
    uint32_t handle;
    uint32_t code;
};
EventEntry g_ring[RevAvazCameraManager::kEventRingEntries];
std::atomic<uint32_t> g_write{0};
std::atomic<uint32_t> g_read{0};
std::atomic<uint32_t> g_dropped{0};

} // namespace

RevAvazCameraManager::RevAvazCameraManager() = default;

RevAvazCameraManager::~RevAvazCameraManager() = default;

uint32_t RevAvazCameraManager::DroppedEvents() { return g_dropped.load(); }

void RevAvazCameraManager::AppendEvent(uint32_t handle, uint32_t code) {
    const uint32_t write = g_write.load(std::memory_order_relaxed);
    const uint32_t next = (write + 1) % kEventRingEntries;
    if (next == g_read.load(std::memory_order_acquire)) {
        // Full: publishing would make every pending event read as gone.
        g_dropped.fetch_add(1);
        return;
    }
    g_ring[next] = EventEntry{handle, code};
    g_write.store(next, std::memory_order_release);
}

uint32_t RevAvazCameraManager::DetermineOS() {
    // Every Linux system this builds for has what the manager needs.
    return 0;
}

uint32_t RevAvazCameraManager::InitializeInterface() {
    const uint32_t s = FireWireLibrary::Load();
    setupLibrary_ = s == 0;
    return s;
}

uint32_t RevAvazCameraManager::Initialize(CameraEventCallback callback) {
    if (initialised_) return VQ_ERR_FW_ALREADY_INITIALIZED;
    uint32_t s = DetermineOS();
    if (!s) s = InitializeInterface();
    if (!s) s = ManagerMutex().IsOpen() ? 0 : ManagerMutex().Open("RevAvazMutex");
    if (s) {
        if (setupLibrary_) FireWireLibrary::Free();
        setupLibrary_ = false;
        return s;
    }
    CreateConnectionWindow();
    callback_ = callback;
    FindDrivers();
    initialised_ = true;
    return 0;
}

void RevAvazCameraManager::CreateConnectionWindow() {
    const FireWireEntryPoints& calls = FireWireLibrary::Calls();
    if (!calls.registerNotification) return;
    notification_ = calls.registerNotification(&kCameraInterface, &RevAvazCameraManager::OnDeviceChange, this);
}

void RevAvazCameraManager::OnDeviceChange(void* manager, uint32_t event) {
    auto* m = static_cast<RevAvazCameraManager*>(manager);
    if (event == FW_DEVICE_ARRIVAL) HandleDeviceAdded(m);
    else if (event == FW_DEVICE_REMOVE_COMPLETE) HandleDeviceRemoved(m);
}

void RevAvazCameraManager::FindDrivers() {
    const FireWireEntryPoints& calls = FireWireLibrary::Calls();
    if (!calls.getClassDevs) return;
    void* set = calls.getClassDevs(&kCameraInterface, nullptr, nullptr, FW_DIGCF_PRESENT_INTERFACES);
    if (!set) return;
    for (uint32_t index = 0;; ++index) {
        FwDeviceInterfaceData data{};
        data.size = sizeof data;
        if (!calls.enumDeviceInterfaces(set, nullptr, &kCameraInterface, index, &data)) break;
        uint32_t required = 0;
        (void)calls.getDeviceInterfaceDetail(set, &data, nullptr, 0, &required, nullptr);
        if (required < sizeof(FwInterfaceDetail)) required = sizeof(FwInterfaceDetail);
        std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[required]());
        if (!bytes) continue;
        auto* detail = reinterpret_cast<FwInterfaceDetail*>(bytes.get());
        detail->size = kDetailSizeField;
        FwDeviceInfoData info{};
        info.size = kDeviceInfoSize;
        if (!calls.getDeviceInterfaceDetail(set, &data, detail, required, nullptr, &info)) continue;
        detail->devicePath[FW_PATH_BYTES - 1] = 0;
        if (data.flags == FW_INTERFACE_ACTIVE) MapDrivers(detail->devicePath, info.devInst);
    }
    (void)calls.destroyDeviceInfoList(set);
}

void RevAvazCameraManager::MapDrivers(const char* devicePath, uint32_t driverId) {
    if (RevAvazCamera* listed = FindCameraByDriverID(driverId)) {
        listed->missing = false;
        return;
    }
    const FireWireEntryPoints& calls = FireWireLibrary::Calls();
    uint32_t handle = 0;
    if (!calls.openDevice || calls.openDevice(devicePath, &handle) != 0) return;
    if (CreateCamera(driverId, handle) == 0) {
        if (RevAvazCamera* c = FindCameraByDriverID(driverId)) c->missing = false;
    }
}

void RevAvazCameraManager::HandleDeviceAdded(RevAvazCameraManager* manager) {
    if (ManagerMutex().Acquire(FwEvent::kInfinite) != 0) return;
    manager->FindDrivers();
    const int count = manager->CountCameras();
    uint32_t handle = 0;
    if (count > 0 && manager->GetCamera(count, &handle) == 0 && handle != 0) AppendEvent(handle, kEventArrived);
    ManagerMutex().Release();
}

void RevAvazCameraManager::HandleDeviceRemoved(RevAvazCameraManager* manager) {
    if (ManagerMutex().Acquire(FwEvent::kInfinite) != 0) return;
    for (RevAvazCamera* c = GetFirstCamera(); c; c = c->next) c->missing = true;
    manager->FindDrivers();
    for (RevAvazCamera* c = GetFirstCamera(); c; c = c->next)
        if (c->missing && c->deviceHandle != 0) AppendEvent(c->deviceHandle, kEventRemoved);
    ManagerMutex().Release();
}

uint32_t RevAvazCameraManager::LookForCameraEvents() {
    const FireWireEntryPoints& calls = FireWireLibrary::Calls();
    for (;;) {
        const uint32_t read = g_read.load(std::memory_order_relaxed);
        if (read == g_write.load(std::memory_order_acquire)) break;
        const uint32_t next = (read + 1) % kEventRingEntries;
        const EventEntry entry = g_ring[next];
        g_read.store(next, std::memory_order_release);
        if (entry.code == kEventRemoved) {
            RevAvazCamera* camera = nullptr;
            if (ValidateCameraHandle(entry.handle, camera)) {
                (void)RemoveCamera(camera->driverId);
                if (calls.closeDevice) (void)calls.closeDevice(entry.handle);
            }
        }
        if (callback_) {
            const uint8_t bytes[4] = {uint8_t(entry.code >> 24), uint8_t(entry.code >> 16), uint8_t(entry.code >> 8),
                                      uint8_t(entry.code)};
            callback_(entry.handle, bytes);
        }
    }
    GetUnsolicitedStatus();
    return 0;
}

void RevAvazCameraManager::CloseManager() {
    const FireWireEntryPoints& calls = FireWireLibrary::Calls();
    // The manager opened every listed camera's device, so it closes them too:
    // dropping the cameras alone would leave their devices open.
    while (RevAvazCamera* first = GetFirstCamera()) {
        const uint32_t handle = first->deviceHandle;
        (void)RemoveCamera(first->driverId);
        if (handle && calls.closeDevice) (void)calls.closeDevice(handle);
    }
    // Events of the cameras just closed mean nothing to a later manager.
    g_read.store(g_write.load(std::memory_order_acquire), std::memory_order_release);
    ManagerMutex().Close();
    if (notification_ && calls.unregisterNotification) (void)calls.unregisterNotification(notification_);
    notification_ = nullptr;
    if (setupLibrary_) FireWireLibrary::Free();
    setupLibrary_ = false;
    initialised_ = false;
}

} // namespace lumora::vq
