#pragma once
// The SBP-2 login of one camera: set-up of the host address ranges the camera
// writes into, login, reconnect after a bus reset, logout, the command ORBs,
// and a status thread that collects the status blocks the camera writes back.
#include "FireWireServices.h"
#include "FwEvent.h"
#include "VendorCommandRequest.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace lumora::vq {

class Sbp2Session {
public:
    // The data buffer every command moves its data through.
    static constexpr uint32_t kDataBufferBytes = 0xFFFC;
    static constexpr uint32_t kUnsolicitedQueueEntries = 256;
    static constexpr uint32_t kRangeWaits = 64;
    // Bus address of the configuration ROM and how much of it is read.
    static constexpr uint64_t kConfigRomAddress = 0xFFFFF0000400ull;
    static constexpr uint32_t kConfigRomQuadlets = 27;
    // Offset of the host ranges' ORB; ORB addresses written to agents point there.
    static constexpr uint32_t kOrbLow = 96;

    Sbp2Session();
    ~Sbp2Session();
    Sbp2Session(const Sbp2Session&) = delete;
    Sbp2Session& operator=(const Sbp2Session&) = delete;

    bool Setup(uint32_t deviceHandle);
    uint32_t Login();
    void Logout();
    void Teardown();
    uint32_t ExecuteOrb(VendorCommandRequest& request);
    uint32_t TakeUnsolicitedStatus(uint8_t* buffer, uint32_t length);

    bool LoggedIn() const { return loggedIn_.load(); }
    uint16_t Tag() const { return tag_; }
    uint64_t ManagementAgent() const { return managementAgent_; }
    // Unsolicited status blocks dropped because the queue was full.
    uint32_t DroppedUnsolicited() const { return dropped_.load(); }
    // The status the last set-up step failed with (0 after a good set-up).
    uint32_t SetupStatus() const { return setupStatus_; }

private:
    enum Range { StatusBlock, LoginResponse, CommandStatus, Orb, Data, RangeCount };

    uint32_t ReadConfigRom();
    uint32_t AllocateRanges();
    void FreeRanges();
    uint32_t CreateEvents();
    uint32_t StartStatusThread();
    uint32_t Reconnect();
    uint32_t DecodeStatus(uint32_t* out);
    uint32_t WriteQuadlet(uint64_t address, uint32_t value);
    uint32_t WriteOrbAddress(uint64_t agent);
    void BuildOrb(const uint32_t (&q)[8]);
    uint32_t StartRangeWait(Range range, FwEvent* event);
    uint32_t StartBusResetWait(FwEvent* event);
    void StatusThread();
    void OnBusReset();
    void OnStatusArrival();

    uint32_t device_ = 0;
    uint16_t tag_ = 0;
    FwRangeRecord ranges_[RangeCount] = {};
    bool allocated_[RangeCount] = {};
    uint8_t statusBlock_[32] = {};
    uint8_t loginResponse_[12] = {};
    uint8_t commandStatus_[32] = {};
    uint8_t orb_[32] = {};
    std::vector<uint8_t> data_;
    uint32_t orbSpeed_ = 0x02000000;
    uint32_t orbPayload_ = 0x00800000;
    uint32_t lastStatus_[8] = {};
    uint64_t managementAgent_ = 0;
    uint16_t loginId_ = 0;
    uint64_t agentBase_ = 0;

    FwEvent* statusEvent_ = nullptr;
    FwEvent* busReset_ = nullptr;
    FwEvent* reconnectStatus_ = nullptr;
    FwEvent* started_ = nullptr;
    FwEvent* stop_ = nullptr;
    // The status thread's own events.
    FwEvent* busResetWait_ = nullptr;
    FwEvent* statusArrival_ = nullptr;
    FwEvent* startEvent_ = nullptr;
    std::thread thread_;

    std::atomic<bool> loggedIn_{false};
    std::atomic<bool> commandInFlight_{false};
    std::atomic<bool> busResetInProgress_{false};

    FwCompletion waits_[kRangeWaits] = {};
    std::atomic<uint32_t> waitIndex_{0};

    uint32_t unsolicited_[kUnsolicitedQueueEntries][6] = {};
    std::atomic<uint32_t> unsolicitedWrite_{0};
    std::atomic<uint32_t> unsolicitedRead_{0};
    std::atomic<uint32_t> dropped_{0};
    uint32_t setupStatus_ = 0;
};

} // namespace lumora::vq
