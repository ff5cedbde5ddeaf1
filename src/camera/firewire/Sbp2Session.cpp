#include "Sbp2Session.h"

#include "FireWireClock.h"
#include "FireWireLibrary.h"
#include "VqStatus.h"
#include "Win32Error.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <random>

namespace lumora::vq {

namespace {

constexpr uint32_t kLoginWaitMs = 2000;
constexpr uint32_t kReconnectWaitMs = 5000;
constexpr uint32_t kThreadStartWaitMs = 5000;
// Status quadlet 1 of a status block that answers the session's ORB.
constexpr uint32_t kOrbOffsetLow = Sbp2Session::kOrbLow;
constexpr uint32_t kCameraBusyWord = 0x11021A;
constexpr uint32_t kUnsolicitedEnableOffset = 0x14;
constexpr uint32_t kOrbPointerOffset = 0x08;
constexpr uint32_t kVendorRegisterOffset = 0x100;
constexpr uint32_t kVendorRegisterValue = 5000;

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
uint64_t Address(uint16_t high, uint32_t low) { return uint64_t(high) << 32 | low; }

const FireWireEntryPoints& Calls() { return FireWireLibrary::Calls(); }

} // namespace

Sbp2Session::Sbp2Session() = default;

Sbp2Session::~Sbp2Session() {
    // The camera tears the session down first; this only makes sure no thread
    // or range outlives the object if it did not.
    Teardown();
}

bool Sbp2Session::Setup(uint32_t deviceHandle) {
    device_ = deviceHandle;
    setupStatus_ = ReadConfigRom();
    if (!setupStatus_) setupStatus_ = AllocateRanges();
    if (!setupStatus_) setupStatus_ = CreateEvents();
    if (!setupStatus_) setupStatus_ = StartStatusThread();
    return setupStatus_ == 0;
}

uint32_t Sbp2Session::ReadConfigRom() {
    if (!Calls().readBus) return lumora::win32::ERROR_INVALID_FUNCTION;
    uint8_t bytes[kConfigRomQuadlets * 4] = {};
    uint32_t done = 0;
    if (uint32_t s = Calls().readBus(device_, kConfigRomAddress, bytes, sizeof bytes, &done)) return s;
    // Only what the device actually delivered is searched.
    const uint32_t n = std::min<uint32_t>(done, sizeof bytes) / 4;
    uint32_t rom[kConfigRomQuadlets] = {};
    for (uint32_t i = 0; i < n; ++i) rom[i] = Be32(bytes + 4 * i);
    uint32_t unitDirectory = UINT32_MAX;
    for (uint32_t i = 0; i < std::min<uint32_t>(26, n); ++i) {
        if (rom[i] >> 24 == 0xD1) {
            unitDirectory = rom[i] & 0xFFFFFF;
            break;
        }
    }
    if (unitDirectory == UINT32_MAX) return lumora::win32::ERROR_INVALID_DATA;
    for (uint32_t i = unitDirectory; i < n; ++i) {
        if (rom[i] >> 24 == 0x54) {
            managementAgent_ = Address(0xFFFF, uint32_t(0xF0000000u + 4u * (rom[i] & 0xFFFFFF)));
            return 0;
        }
    }
    return lumora::win32::ERROR_INVALID_DATA;
}

uint32_t Sbp2Session::AllocateRanges() {
    if (tag_ == 0) {
        std::minstd_rand random;
        uint32_t r = 0;
        do {
            random.seed(uint32_t(FireWireClock::NowMs()) | 1u);
            r = uint32_t(random());
            tag_ = uint16_t((r + 1) & 0xFFFF);
        } while ((r & 0xFFFF) == 0xFFFF);
    }
    struct Layout {
        Range range;
        uint32_t low, length, access, notify;
        uint8_t* buffer;
    };
    data_.assign(kDataBufferBytes, 0);
    const Layout layouts[] = {
        {StatusBlock, 0, 32, 2, 2, statusBlock_},     {CommandStatus, 64, 32, 2, 2, commandStatus_},
        {LoginResponse, 32, 12, 3, 0, loginResponse_}, {Orb, kOrbLow, 32, 3, 0, orb_},
        {Data, 128, kDataBufferBytes, 3, 0, data_.data()},
    };
    for (const Layout& l : layouts) {
        FwRangeRecord& r = ranges_[l.range];
        r = FwRangeRecord{l.length, tag_, 0, l.low, l.access, l.notify, l.buffer};
        const uint32_t s = Calls().deviceControl(device_, FW_IOCTL_ALLOCATE_ADDRESS_RANGE, &r, nullptr);
        if (s) {
            FreeRanges();
            return s;
        }
        allocated_[l.range] = true;
    }
    return 0;
}

void Sbp2Session::FreeRanges() {
    for (int i = 0; i < RangeCount; ++i) {
        if (!allocated_[i]) continue;
        FwRangeRecord r = ranges_[i];
        r.accessFlags = 0;
        r.notifyFlags = 0;
        (void)Calls().deviceControl(device_, FW_IOCTL_FREE_ADDRESS_RANGE, &r, nullptr);
        allocated_[i] = false;
    }
    data_.clear();
    data_.shrink_to_fit();
}

uint32_t Sbp2Session::CreateEvents() {
    statusEvent_ = new (std::nothrow) FwEvent(true);
    busReset_ = new (std::nothrow) FwEvent(false);
    reconnectStatus_ = new (std::nothrow) FwEvent(true);
    started_ = new (std::nothrow) FwEvent(false);
    stop_ = new (std::nothrow) FwEvent(false);
    busResetWait_ = new (std::nothrow) FwEvent(true);
    statusArrival_ = new (std::nothrow) FwEvent(true);
    startEvent_ = new (std::nothrow) FwEvent(false, true);
    if (statusEvent_ && busReset_ && reconnectStatus_ && started_ && stop_ && busResetWait_ && statusArrival_ &&
        startEvent_)
        return 0;
    for (FwEvent** e : {&statusEvent_, &busReset_, &reconnectStatus_, &started_, &stop_, &busResetWait_,
                        &statusArrival_, &startEvent_}) {
        delete *e;
        *e = nullptr;
    }
    return lumora::win32::ERROR_NOT_ENOUGH_MEMORY;
}

uint32_t Sbp2Session::StartStatusThread() {
    try {
        thread_ = std::thread([this] { StatusThread(); });
    } catch (...) {
        return lumora::win32::ERROR_NOT_ENOUGH_MEMORY;
    }
    return started_->Wait(kThreadStartWaitMs);
}

uint32_t Sbp2Session::WriteQuadlet(uint64_t address, uint32_t value) {
    uint8_t bytes[4];
    PutBe32(bytes, value);
    return Calls().writeBus(device_, address, bytes, 4);
}

uint32_t Sbp2Session::WriteOrbAddress(uint64_t agent) {
    uint8_t bytes[8];
    PutBe32(bytes, tag_);
    PutBe32(bytes + 4, kOrbLow);
    return Calls().writeBus(device_, agent, bytes, 8);
}

void Sbp2Session::BuildOrb(const uint32_t (&q)[8]) {
    for (int i = 0; i < 8; ++i) PutBe32(orb_ + 4 * i, q[i]);
}

uint32_t Sbp2Session::StartRangeWait(Range range, FwEvent* event) {
    const uint32_t i = (waitIndex_.fetch_add(1) + 1) % kRangeWaits;
    waits_[i] = FwCompletion{&FwEvent::SignalCompletion, event};
    FwRangeRecord r = ranges_[range];
    const uint32_t s = Calls().deviceControl(device_, FW_IOCTL_WATCH_ADDRESS_RANGE, &r, &waits_[i]);
    return s == FW_IO_PENDING ? 0 : s;
}

uint32_t Sbp2Session::StartBusResetWait(FwEvent* event) {
    const uint32_t i = (waitIndex_.fetch_add(1) + 1) % kRangeWaits;
    waits_[i] = FwCompletion{&FwEvent::SignalCompletion, event};
    const uint32_t s = Calls().deviceControl(device_, FW_IOCTL_BUS_RESET_NOTIFY, nullptr, &waits_[i]);
    return s == FW_IO_PENDING ? 0 : s;
}

uint32_t Sbp2Session::Login() {
    std::memset(statusBlock_, 0, sizeof statusBlock_);
    std::memset(loginResponse_, 0, sizeof loginResponse_);
    BuildOrb({0, 0, tag_, 32, 0x90300000u, 12, tag_, 0});
    statusEvent_->Reset();
    commandInFlight_ = true;
    uint32_t s = WriteOrbAddress(managementAgent_);
    if (!s) s = statusEvent_->Wait(kLoginWaitMs);
    commandInFlight_ = false;
    if (s) return s;
    uint32_t response[3];
    for (int i = 0; i < 3; ++i) response[i] = Be32(loginResponse_ + 4 * i);
    uint32_t status[6];
    if (uint32_t d = DecodeStatus(status)) return d;
    loginId_ = uint16_t(response[0] & 0xFFFF);
    agentBase_ = Address(uint16_t(response[1] & 0xFFFF), response[2]);
    if (WriteQuadlet(agentBase_ + kUnsolicitedEnableOffset, 0)) return VQ_ERR_FW_STATUS_ENABLE_FAILED;
    if (WriteQuadlet(agentBase_ + kVendorRegisterOffset, kVendorRegisterValue)) return VQ_ERR_FW_AGENT_SETUP_FAILED;
    (void)StartRangeWait(CommandStatus, reconnectStatus_);
    loggedIn_ = true;
    return 0;
}

void Sbp2Session::Logout() {
    if (!statusEvent_) return;
    std::memset(statusBlock_, 0, sizeof statusBlock_);
    BuildOrb({0, 0, 0, 0, 0x80070000u | loginId_, 0, tag_, 0});
    statusEvent_->Reset();
    commandInFlight_ = true;
    const uint32_t written = WriteOrbAddress(managementAgent_);
    const uint32_t waited = written ? written : statusEvent_->Wait(kLoginWaitMs);
    commandInFlight_ = false;
    uint32_t status[6];
    if (!written && !waited && DecodeStatus(status) == 0) loggedIn_ = false;
}

uint32_t Sbp2Session::Reconnect() {
    BuildOrb({0, 0, 0, 0, 0x80030000u | loginId_, 0, tag_, 64});
    uint32_t answer = WriteOrbAddress(managementAgent_);
    if (!answer) {
        answer = reconnectStatus_->Wait(kReconnectWaitMs);
        if (!answer) {
            for (int i = 0; i < 8; ++i) lastStatus_[i] = Be32(commandStatus_ + 4 * i);
            uint32_t status[6];
            if (lastStatus_[1] == kOrbOffsetLow && (lastStatus_[0] & 0xFFFF) == tag_) answer = DecodeStatus(status);
        }
    }
    commandInFlight_ = false;
    return answer;
}

uint32_t Sbp2Session::DecodeStatus(uint32_t* out) {
    std::memcpy(out, lastStatus_ + 2, 24);
    const uint32_t q0 = lastStatus_[0];
    const uint32_t resp = (q0 >> 28) & 3;
    const uint32_t s = (q0 >> 16) & 0xFF;
    switch (resp) {
    case 0:
        switch (s) {
        case 0:
        case 11: return 0;
        case 1: return VQ_ERR_SBP2_REQUEST_TYPE_NOT_SUPPORTED;
        case 2: return VQ_ERR_SBP2_SPEED_NOT_SUPPORTED;
        case 3: return VQ_ERR_SBP2_PAGE_SIZE_NOT_SUPPORTED;
        case 4: return VQ_ERR_SBP2_ACCESS_DENIED;
        case 5: return VQ_ERR_SBP2_LUN_NOT_SUPPORTED;
        case 6: return VQ_ERR_SBP2_MAX_PAYLOAD_TOO_SMALL;
        case 8: return VQ_ERR_SBP2_RESOURCES_UNAVAILABLE;
        case 9: return VQ_ERR_SBP2_FUNCTION_REJECTED;
        case 10: return VQ_ERR_SBP2_LOGIN_ID_NOT_RECOGNIZED;
        case 12: return VQ_ERR_SBP2_REQUEST_ABORTED;
        default: {
            // The camera's own status word.
            const uint32_t word = lastStatus_[2];
            return word == kCameraBusyWord ? VQ_ERR_SBP2_BUSY : word;
        }
        }
    case 1:
        switch (s) {
        case 4:
        case 5:
        case 6: return VQ_ERR_SBP2_BUSY;
        case 12: return VQ_ERR_SBP2_CONFLICT_ERROR;
        case 13: return VQ_ERR_SBP2_DATA_ERROR;
        case 15: return VQ_ERR_SBP2_ADDRESS_ERROR;
        case 16: return VQ_ERR_SBP2_TRANSPORT_STATUS_16;
        default: return 0;
        }
    case 2: return VQ_ERR_SBP2_ILLEGAL_REQUEST;
    default: return VQ_ERR_SBP2_VENDOR_DEPENDENT;
    }
}

uint32_t Sbp2Session::ExecuteOrb(VendorCommandRequest& request) {
    if (!statusEvent_ || data_.empty()) return VQ_ERR_FW_CAMERA_NOT_OPEN;
    while (busResetInProgress_.load()) std::this_thread::yield();
    // Everything moves through the one data buffer, and the ORB carries the
    // length in 16 bits: a longer transfer is refused rather than overflowing
    // the buffer or sending a wrapped length.
    const uint64_t rounded = (uint64_t(request.length) + 3) & ~uint64_t(3);
    if (rounded > kDataBufferBytes) return VQ_ERR_BAD_ARGUMENT;
    if (request.length && !request.data) return VQ_ERR_NULL_OUTPUT;
    if (request.toCamera && request.length) std::memcpy(data_.data(), request.data, request.length);
    if (rounded != request.length) request.SetBlockLength(uint32_t(rounded));
    const uint8_t* cb = request.commandBlock;
    const uint32_t control = 0x80000000u | (request.toCamera ? 0u : 0x08000000u) | orbSpeed_ | orbPayload_ |
                             uint32_t(rounded & 0xFFFF);
    BuildOrb({0x80000000u, 0, tag_, 128, control, Be32(cb), Be32(cb + 4), Be32(cb + 8)});

    statusEvent_->Reset();
    // A reset that came before this ORB was written does not concern it.
    busReset_->Reset();
    commandInFlight_ = true;
    if (uint32_t s = WriteOrbAddress(agentBase_ + kOrbPointerOffset)) {
        commandInFlight_ = false;
        return s;
    }
    const uint32_t woke = FwEvent::WaitAny({busReset_, statusEvent_}, request.timeoutMs);
    commandInFlight_ = false;
    uint32_t answer;
    if (woke == 1) {
        answer = DecodeStatus(request.status);
    } else if (woke == 0) {
        // The bus reset lost the ORB: the camera never answered it. Busy makes
        // the camera layer send it again once the login is reconnected.
        return VQ_ERR_SBP2_BUSY;
    } else {
        return woke;
    }
    if (answer || request.toCamera || !request.data || !request.length) return answer;
    if (request.status[1] != 0) {
        uint32_t check = 0;
        for (uint64_t i = 0; i < rounded; i += 4) check ^= Be32(data_.data() + i);
        if (check != request.status[0]) return VQ_ERR_FW_DATA_CHECKSUM;
    }
    std::memcpy(request.data, data_.data(), request.length);
    return 0;
}

uint32_t Sbp2Session::TakeUnsolicitedStatus(uint8_t* buffer, uint32_t length) {
    const uint32_t read = unsolicitedRead_.load(std::memory_order_relaxed);
    if (read == unsolicitedWrite_.load(std::memory_order_acquire)) return VQ_ERR_FW_NO_UNSOLICITED_STATUS;
    const uint32_t next = (read + 1) % kUnsolicitedQueueEntries;
    uint8_t bytes[24];
    for (int i = 0; i < 6; ++i) PutBe32(bytes + 4 * i, unsolicited_[next][i]);
    if (buffer) std::memcpy(buffer, bytes, std::min<uint32_t>(length, 24));
    unsolicitedRead_.store(next, std::memory_order_release);
    return 0;
}

void Sbp2Session::StatusThread() {
    (void)StartRangeWait(StatusBlock, statusArrival_);
    (void)StartBusResetWait(busResetWait_);
    for (;;) {
        const uint32_t woke =
            FwEvent::WaitAny({busResetWait_, statusArrival_, startEvent_, stop_}, FwEvent::kInfinite);
        if (woke == 0) {
            OnBusReset();
        } else if (woke == 1) {
            OnStatusArrival();
        } else if (woke == 2) {
            started_->Set();
        } else {
            return;
        }
    }
}

void Sbp2Session::OnBusReset() {
    if (loggedIn_.load()) {
        // In progress before the waiting command hears of it, so that the
        // command's retry waits for the reconnect.
        busResetInProgress_ = true;
        busReset_->Set();
        if (Reconnect() == 0) {
            reconnectStatus_->Reset();
            std::memset(commandStatus_, 0, sizeof commandStatus_);
            (void)StartRangeWait(CommandStatus, reconnectStatus_);
            (void)StartRangeWait(StatusBlock, statusArrival_);
            (void)StartBusResetWait(busResetWait_);
        }
        busResetInProgress_ = false;
    }
    busResetWait_->Reset();
    statusArrival_->Reset();
}

void Sbp2Session::OnStatusArrival() {
    uint32_t q[8];
    for (int i = 0; i < 8; ++i) q[i] = Be32(statusBlock_ + 4 * i);
    std::memcpy(lastStatus_, q, sizeof q);
    statusArrival_->Reset();
    (void)StartRangeWait(StatusBlock, statusArrival_);
    if (q[0] & 0x80000000u) {
        const uint32_t write = unsolicitedWrite_.load(std::memory_order_relaxed);
        const uint32_t next = (write + 1) % kUnsolicitedQueueEntries;
        if (next == unsolicitedRead_.load(std::memory_order_acquire)) {
            // Full: publishing would make the queue read as empty and lose all
            // of it. The new block is dropped and counted instead.
            dropped_.fetch_add(1);
        } else {
            std::memcpy(unsolicited_[next], q + 2, 24);
            unsolicitedWrite_.store(next, std::memory_order_release);
        }
        if (commandInFlight_.load()) return;
        (void)WriteQuadlet(agentBase_ + kUnsolicitedEnableOffset, 0);
        return;
    }
    if (q[1] == kOrbOffsetLow && (q[0] & 0xFFFF) == tag_) statusEvent_->Set();
    if (loggedIn_.load()) (void)WriteQuadlet(agentBase_ + kUnsolicitedEnableOffset, 0);
}

void Sbp2Session::Teardown() {
    if (thread_.joinable()) {
        stop_->Set();
        thread_.join();
    }
    if (device_ && Calls().cancelIo) (void)Calls().cancelIo(device_);
    for (FwEvent** e : {&statusEvent_, &busReset_, &reconnectStatus_, &started_, &stop_, &busResetWait_,
                        &statusArrival_, &startEvent_}) {
        delete *e;
        *e = nullptr;
    }
    if (Calls().deviceControl) FreeRanges();
    tag_ = 0;
}

} // namespace lumora::vq
