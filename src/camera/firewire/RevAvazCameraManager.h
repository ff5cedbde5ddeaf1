#pragma once
// The FireWire camera manager over the machine's setup library: it discovers
// the cameras' device interfaces, opens each one, follows arrivals and removals
// and queues them as events for LookForCameraEvents.
#include "ProCameraManager.h"

#include <atomic>
#include <cstdint>

namespace lumora::vq {

class SystemMutex;

class RevAvazCameraManager : public ProCameraManager {
public:
    static constexpr uint32_t kEventRingEntries = 10;

    RevAvazCameraManager();
    RevAvazCameraManager(const RevAvazCameraManager& other) = default;
    RevAvazCameraManager& operator=(const RevAvazCameraManager& other) = default;
    ~RevAvazCameraManager() override;

    uint32_t LookForCameraEvents() override;
    uint32_t Initialize(CameraEventCallback callback) override;
    void CloseManager() override;

    void FindDrivers();
    static void HandleDeviceAdded(RevAvazCameraManager* manager);
    static void HandleDeviceRemoved(RevAvazCameraManager* manager);

    // Events that arrived while the ring was full and were dropped.
    static uint32_t DroppedEvents();

protected:
    uint32_t DetermineOS();
    uint32_t InitializeInterface();
    void CreateConnectionWindow();
    void MapDrivers(const char* devicePath, uint32_t driverId);

private:
    static void OnDeviceChange(void* manager, uint32_t event);
    static void AppendEvent(uint32_t handle, uint32_t code);

    bool initialised_ = false;
    bool setupLibrary_ = false;
    // The device-notification registration (the stand-in of the hidden window).
    void* notification_ = nullptr;
};

} // namespace lumora::vq
