#include "ProCameraManager.h"

#include "FireWireClock.h"
#include "RevAvazCamera.h"
#include "VqStatus.h"

#include <new>
#include <thread>

namespace lumora::vq {

namespace {
RevAvazCamera*& Head() {
    static RevAvazCamera* head = nullptr;
    return head;
}
constexpr uint32_t kUnsolicitedBytes = 24;
constexpr uint8_t kUnsolicitedMarker = 0x63;
} // namespace

ProCameraManager::ProCameraManager() { Head() = nullptr; }

ProCameraManager::ProCameraManager(const ProCameraManager& other) : callback_(other.callback_) {}

ProCameraManager& ProCameraManager::operator=(const ProCameraManager& other) {
    callback_ = other.callback_;
    return *this;
}

ProCameraManager::~ProCameraManager() = default;

int ProCameraManager::CountCameras() {
    int n = 0;
    for (RevAvazCamera* c = Head(); c; c = c->next) ++n;
    return n;
}

uint32_t ProCameraManager::GetCamera(int index, uint32_t* handle) {
    if (handle) *handle = 0;
    if (index <= 0) return VQ_ERR_FW_BAD_CAMERA_HANDLE;
    int i = 1;
    for (RevAvazCamera* c = Head(); c; c = c->next, ++i) {
        if (i == index) {
            if (handle) *handle = c->deviceHandle;
            return 0;
        }
    }
    return VQ_ERR_FW_BAD_CAMERA_HANDLE;
}

uint32_t ProCameraManager::Inquiry(uint32_t handle, uint8_t* data) {
    RevAvazCamera* c = nullptr;
    return ValidateCameraHandle(handle, c) ? c->Inquiry(data) : VQ_ERR_FW_BAD_CAMERA_HANDLE;
}

uint32_t ProCameraManager::Open(uint32_t handle, const char* name, const uint16_t& sessionId) {
    RevAvazCamera* c = nullptr;
    return ValidateCameraHandle(handle, c) ? c->OpenCommand(name, sessionId) : VQ_ERR_FW_BAD_CAMERA_HANDLE;
}

uint32_t ProCameraManager::Read(uint32_t handle, uint8_t* data, uint32_t length, uint16_t sessionId, uint32_t offset) {
    RevAvazCamera* c = nullptr;
    return ValidateCameraHandle(handle, c) ? c->ReadCommand(data, length, sessionId, offset)
                                           : VQ_ERR_FW_BAD_CAMERA_HANDLE;
}

uint32_t ProCameraManager::Write(uint32_t handle, uint8_t* data, uint32_t length, uint16_t sessionId,
                                 uint32_t offset) {
    RevAvazCamera* c = nullptr;
    return ValidateCameraHandle(handle, c) ? c->WriteCommand(data, length, sessionId, offset)
                                           : VQ_ERR_FW_BAD_CAMERA_HANDLE;
}

uint32_t ProCameraManager::Close(uint32_t handle, uint16_t sessionId) {
    RevAvazCamera* c = nullptr;
    if (!ValidateCameraHandle(handle, c)) return VQ_ERR_FW_BAD_CAMERA_HANDLE;
    uint32_t status = c->CloseCommand(sessionId);
    for (uint32_t retry = 0; status != 0 && retry < kCloseRetries; ++retry) {
        Delay(kCloseRetryDelayMs);
        status = c->CloseCommand(sessionId);
    }
    return status;
}

uint32_t ProCameraManager::Get(uint32_t handle, uint8_t* data, uint32_t length, uint16_t sessionId) {
    RevAvazCamera* c = nullptr;
    return ValidateCameraHandle(handle, c) ? c->GetCommand(data, length, sessionId) : VQ_ERR_FW_BAD_CAMERA_HANDLE;
}

uint32_t ProCameraManager::Set(uint32_t handle, uint8_t* data, uint32_t length, uint16_t sessionId) {
    RevAvazCamera* c = nullptr;
    return ValidateCameraHandle(handle, c) ? c->SetCommand(data, length, sessionId) : VQ_ERR_FW_BAD_CAMERA_HANDLE;
}

uint32_t ProCameraManager::Execute(uint32_t handle, uint8_t* data, uint32_t length, uint16_t sessionId) {
    RevAvazCamera* c = nullptr;
    return ValidateCameraHandle(handle, c) ? c->ExecuteCommand(data, length, sessionId)
                                           : VQ_ERR_FW_BAD_CAMERA_HANDLE;
}

uint32_t ProCameraManager::ExecuteAsync(uint32_t handle, uint8_t* data, uint32_t length, uint16_t sessionId) {
    RevAvazCamera* c = nullptr;
    return ValidateCameraHandle(handle, c) ? c->ExecuteAsyncCommand(data, length, sessionId)
                                           : VQ_ERR_FW_BAD_CAMERA_HANDLE;
}

void ProCameraManager::CloseManager() {
    while (Head()) (void)RemoveCamera(Head()->driverId);
}

void ProCameraManager::Delay(int32_t milliseconds) {
    const uint64_t start = FireWireClock::NowMs();
    while (FireWireClock::NowMs() - start < uint64_t(milliseconds < 0 ? 0 : milliseconds))
        std::this_thread::yield();
}

uint32_t ProCameraManager::CreateCamera(uint32_t driverId) {
    if (FindCameraByDriverID(driverId)) return VQ_ERR_FW_CAMERA_EXISTS;
    RevAvazCamera* camera = new (std::nothrow) RevAvazCamera(driverId);
    if (!camera) return VQ_ERR_NO_MEMORY;
    if (uint32_t s = camera->Open(driverId)) {
        delete camera;
        return s;
    }
    RevAvazCamera** link = &Head();
    while (*link) link = &(*link)->next;
    *link = camera;
    return 0;
}

uint32_t ProCameraManager::CreateCamera(uint32_t driverId, uint32_t deviceHandle) {
    if (FindCameraByDriverID(driverId)) return VQ_ERR_FW_CAMERA_EXISTS;
    RevAvazCamera* camera = new (std::nothrow) RevAvazCamera(driverId);
    if (!camera) return VQ_ERR_NO_MEMORY;
    RevAvazCamera** link = &Head();
    while (*link) link = &(*link)->next;
    *link = camera;
    return camera->Open(deviceHandle);
}

uint32_t ProCameraManager::RemoveCamera(uint32_t driverId) {
    for (RevAvazCamera** link = &Head(); *link; link = &(*link)->next) {
        RevAvazCamera* c = *link;
        if (c->driverId != driverId) continue;
        *link = c->next;
        const uint32_t status = c->Close();
        delete c;
        return status;
    }
    return VQ_ERR_FW_NO_SUCH_CAMERA;
}

RevAvazCamera* ProCameraManager::FindCameraByDriverID(uint32_t driverId) {
    for (RevAvazCamera* c = Head(); c; c = c->next)
        if (c->driverId == driverId) return c;
    return nullptr;
}

RevAvazCamera* ProCameraManager::GetFirstCamera() { return Head(); }

int ProCameraManager::ValidateCameraHandle(uint32_t handle, RevAvazCamera*& camera) {
    for (RevAvazCamera* c = Head(); c; c = c->next) {
        if (c->deviceHandle == handle) {
            camera = c;
            return 1;
        }
    }
    return 0;
}

void ProCameraManager::GetUnsolicitedStatus() {
    for (RevAvazCamera* c = Head(); c; c = c->next) {
        for (;;) {
            uint8_t buffer[kUnsolicitedBytes] = {kUnsolicitedMarker};
            if (c->TakeUnsolicitedStatus(buffer, sizeof buffer) != 0) break;
            if (buffer[0] == kUnsolicitedMarker || !callback_) break;
            callback_(c->deviceHandle, buffer);
        }
    }
}

} // namespace lumora::vq
