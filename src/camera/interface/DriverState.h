#pragma once
// The process-wide state of the Vq interface: what VqOpenDriver creates and the
// last VqCloseDriver destroys, plus the counters that outlive both. Nothing is
// locked: callers serialise their Vq calls.
#include <cstdint>

namespace lumora::vq {

class CameraHandleMap;
class DriverSettings;
class ImageHandleMap;
class RevAvazCameraManager;
struct DriverState;

// Starts the FireWire camera manager while the interface opens: answers 0 with
// the manager in place, or a status without one.
using FireWireStarter = uint32_t (*)(DriverState& state);

struct DriverState {
    // VqOpenDriver calls not yet matched by VqCloseDriver.
    uint32_t openCount = 0;
    DriverSettings* settings = nullptr;
    CameraHandleMap* cameras = nullptr;
    ImageHandleMap* images = nullptr;
    RevAvazCameraManager* fireWireManager = nullptr;
    // Bytes held by the interface's objects; never below 0.
    int32_t memoryUsage = 0;
    // Last image handle and camera id issued; they only ever grow (and wrap).
    uint32_t imageHandleCounter = 0;
    uint32_t cameraIdCounter = 0;
    FireWireStarter startFireWire = nullptr;

    // Adds delta (which may be negative) to the memory usage; the result is
    // held between 0 and the largest 32-bit value instead of wrapping.
    void ChangeMemory(int64_t delta);
};

// The one instance.
DriverState& Driver();

} // namespace lumora::vq
