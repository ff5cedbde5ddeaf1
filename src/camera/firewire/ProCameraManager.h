#pragma once
// The FireWire camera manager as outside programs link against it: the list of
// cameras (one per process), the vendor commands by camera handle, and the
// events a user collects with LookForCameraEvents.
#include <cstdint>

namespace lumora::vq {

class RevAvazCamera;

// Called with a camera handle and either a 4-byte big-endian event code or a
// 24-byte unsolicited status block.
using CameraEventCallback = void (*)(uint32_t cameraHandle, const uint8_t* bytes);

class ProCameraManager {
public:
    static constexpr uint32_t kEventRemoved = 0x100;
    static constexpr uint32_t kEventArrived = 0x101;
    static constexpr uint32_t kCloseRetries = 3;
    static constexpr int32_t kCloseRetryDelayMs = 1000;

    ProCameraManager();
    ProCameraManager(const ProCameraManager& other);
    ProCameraManager& operator=(const ProCameraManager& other);

    virtual uint32_t LookForCameraEvents() = 0;
    virtual uint32_t Initialize(CameraEventCallback callback) = 0;
    virtual int CountCameras();
    virtual uint32_t GetCamera(int index, uint32_t* handle);
    virtual uint32_t Inquiry(uint32_t handle, uint8_t* data);
    virtual uint32_t Open(uint32_t handle, const char* name, const uint16_t& sessionId);
    virtual uint32_t Read(uint32_t handle, uint8_t* data, uint32_t length, uint16_t sessionId, uint32_t offset);
    virtual uint32_t Write(uint32_t handle, uint8_t* data, uint32_t length, uint16_t sessionId, uint32_t offset);
    virtual uint32_t Close(uint32_t handle, uint16_t sessionId);
    virtual uint32_t Get(uint32_t handle, uint8_t* data, uint32_t length, uint16_t sessionId);
    virtual uint32_t Set(uint32_t handle, uint8_t* data, uint32_t length, uint16_t sessionId);
    virtual uint32_t Execute(uint32_t handle, uint8_t* data, uint32_t length, uint16_t sessionId);
    virtual uint32_t ExecuteAsync(uint32_t handle, uint8_t* data, uint32_t length, uint16_t sessionId);
    virtual void CloseManager();
    virtual void Delay(int32_t milliseconds);
    // Last, so the operations above keep their places; virtual so that a
    // manager deleted through this base is destroyed whole.
    virtual ~ProCameraManager();

protected:
    static uint32_t CreateCamera(uint32_t driverId);
    static uint32_t CreateCamera(uint32_t driverId, uint32_t deviceHandle);
    static uint32_t RemoveCamera(uint32_t driverId);
    static RevAvazCamera* FindCameraByDriverID(uint32_t driverId);
    static RevAvazCamera* GetFirstCamera();
    int ValidateCameraHandle(uint32_t handle, RevAvazCamera*& camera);
    void GetUnsolicitedStatus();

    CameraEventCallback callback_ = nullptr;
};

} // namespace lumora::vq
