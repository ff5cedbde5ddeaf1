#pragma once
// One FireWire camera as the manager lists it: its SBP-2 session and the vendor
// commands, serialised with every other camera's on the system-wide mutex,
// retried on the failures the cameras are known to recover from, and reads cut
// into transfers that fit the session's data buffer.
#include "SystemMutex.h"
#include "VendorCommandRequest.h"

#include <cstdint>

namespace lumora::vq {

class Sbp2Session;

class RevAvazCamera {
public:
    static constexpr uint8_t kOpen = 0xE0, kClose = 0xE1, kRead = 0xE2, kWrite = 0xE3, kGet = 0xE4, kSet = 0xE5,
                             kExecute = 0xE6, kExecuteAsync = 0xE7;
    // Largest piece of a read sent as one transfer.
    static constexpr uint32_t kTransferBytes = 0xFE00;
    static constexpr uint32_t kMutexWaitMs = 5000;
    static constexpr uint32_t kAttempts = 5;
    // Answer of a command to a camera whose device has gone.
    static constexpr uint32_t kDeviceMissing = 20;

    explicit RevAvazCamera(uint32_t driverId);
    virtual ~RevAvazCamera();
    RevAvazCamera(const RevAvazCamera&) = delete;
    RevAvazCamera& operator=(const RevAvazCamera&) = delete;

    uint32_t Open(uint32_t deviceHandle);
    uint32_t Close();
    bool IsOpen() const { return open_; }

    uint32_t Inquiry(uint8_t* data);
    uint32_t OpenCommand(const char* name, uint16_t sessionId);
    uint32_t CloseCommand(uint16_t sessionId);
    uint32_t ReadCommand(uint8_t* data, uint32_t length, uint16_t sessionId, uint32_t offset);
    uint32_t WriteCommand(uint8_t* data, uint32_t length, uint16_t sessionId, uint32_t offset);
    uint32_t GetCommand(uint8_t* data, uint32_t length, uint16_t sessionId);
    uint32_t SetCommand(uint8_t* data, uint32_t length, uint16_t sessionId);
    uint32_t ExecuteCommand(uint8_t* data, uint32_t length, uint16_t sessionId);
    uint32_t ExecuteAsyncCommand(uint8_t* data, uint32_t length, uint16_t sessionId);
    uint32_t TakeUnsolicitedStatus(uint8_t* buffer, uint32_t length);

    Sbp2Session* session() const { return session_; }

    // Read and written directly by the manager.
    uint32_t driverId;
    uint32_t deviceHandle = 0;
    RevAvazCamera* next = nullptr;
    bool missing = false;

private:
    uint32_t SendVendorCommand(uint8_t* data, uint32_t length, uint16_t sessionId, uint32_t offset, uint8_t opcode,
                               bool toCamera);
    uint32_t RunCommand(VendorCommandRequest& request);

    bool open_ = false;
    Sbp2Session* session_ = nullptr;
    SystemMutex mutex_;
};

} // namespace lumora::vq
