#include "RevAvazCamera.h"

#include "FireWireClock.h"
#include "Sbp2Session.h"
#include "VqStatus.h"
#include "Win32Error.h"

#include <cstring>
#include <new>
#include <string_view>

namespace lumora::vq {

namespace {

constexpr uint32_t kLoginAttempts = 2;
// Camera status words the camera recovers from when asked again.
constexpr uint32_t kRetryWordA = 0x50000, kRetryWordShortPause = 0xD0000, kRetryWordB = 0x110313;
// The answer an Execute gets when the camera reports its resource file.
constexpr uint32_t kResourceFileWord = 0x70000;
constexpr std::string_view kResourceFile = "resource.frk";

uint32_t TimeoutFor(uint8_t opcode) {
    switch (opcode) {
    case RevAvazCamera::kRead: return 20000;
    case RevAvazCamera::kWrite: return 30000;
    case RevAvazCamera::kSet: return 45000;
    case RevAvazCamera::kExecute:
    case RevAvazCamera::kExecuteAsync: return 60000;
    default: return 10000;
    }
}

bool Retryable(uint32_t s) {
    return s == VQ_ERR_FW_DATA_CHECKSUM || s == VQ_ERR_SBP2_BUSY || s == VQ_ERR_SBP2_DATA_ERROR ||
           s == VQ_ERR_SBP2_TRANSPORT_STATUS_16 || s == kRetryWordA || s == kRetryWordShortPause || s == kRetryWordB;
}

// Whether the data holds the resource file's name, looking no further than
// the data's own length.
bool MentionsResourceFile(const uint8_t* data, uint32_t length) {
    if (!data) return false;
    const std::string_view text(reinterpret_cast<const char*>(data), length);
    return text.find(kResourceFile) != std::string_view::npos;
}

} // namespace

RevAvazCamera::RevAvazCamera(uint32_t id) : driverId(id) {}

RevAvazCamera::~RevAvazCamera() {
    if (session_) session_->Teardown();
    delete session_;
}

uint32_t RevAvazCamera::Open(uint32_t handle) {
    if (open_) return 0;
    deviceHandle = handle;
    session_ = new (std::nothrow) Sbp2Session;
    if (!session_) return lumora::win32::ERROR_NOT_ENOUGH_MEMORY;
    if (!session_->Setup(handle)) {
        // Nothing is logged in: release what the set-up made and say why.
        const uint32_t s = session_->SetupStatus();
        session_->Teardown();
        delete session_;
        session_ = nullptr;
        return s ? s : lumora::win32::ERROR_GEN_FAILURE;
    }
    uint32_t status = 0;
    for (uint32_t attempt = 0; attempt < kLoginAttempts; ++attempt) {
        status = session_->Login();
        if (status == 0) break;
        session_->Logout();
    }
    if (status) {
        session_->Teardown();
        delete session_;
        session_ = nullptr;
        return status;
    }
    (void)mutex_.Open("RevAvazMutex");
    open_ = true;
    return 0;
}

uint32_t RevAvazCamera::Close() {
    if (!open_) return VQ_ERR_FW_CAMERA_NOT_OPEN;
    if (session_) {
        session_->Logout();
        session_->Teardown();
        delete session_;
        session_ = nullptr;
    }
    mutex_.Close();
    open_ = false;
    return 0;
}

uint32_t RevAvazCamera::Inquiry(uint8_t* data) {
    if (!open_) return VQ_ERR_FW_CAMERA_NOT_OPEN;
    VendorCommandRequest r;
    r.opcode = 0x12;
    r.toCamera = false;
    r.data = data;
    r.length = 48;
    r.timeoutMs = 10000;
    r.commandBlock[0] = 0x12;
    r.commandBlock[4] = 0x30;
    return session_->ExecuteOrb(r);
}

uint32_t RevAvazCamera::OpenCommand(const char* name, uint16_t sessionId) {
    if (!open_) return VQ_ERR_FW_CAMERA_NOT_OPEN;
    if (!name) return VQ_ERR_NULL_OUTPUT;
    const size_t length = std::strlen(name) + 1;
    if (length > Sbp2Session::kDataBufferBytes) return VQ_ERR_BAD_ARGUMENT;
    return SendVendorCommand(reinterpret_cast<uint8_t*>(const_cast<char*>(name)), uint32_t(length), sessionId, 0,
                             kOpen, true);
}

uint32_t RevAvazCamera::CloseCommand(uint16_t sessionId) {
    if (!open_) return VQ_ERR_FW_CAMERA_NOT_OPEN;
    return SendVendorCommand(nullptr, 0, sessionId, 0, kClose, true);
}

uint32_t RevAvazCamera::ReadCommand(uint8_t* data, uint32_t length, uint16_t sessionId, uint32_t offset) {
    if (!open_) return VQ_ERR_FW_CAMERA_NOT_OPEN;
    return SendVendorCommand(data, length, sessionId, offset, kRead, false);
}

uint32_t RevAvazCamera::WriteCommand(uint8_t* data, uint32_t length, uint16_t sessionId, uint32_t offset) {
    if (!open_) return VQ_ERR_FW_CAMERA_NOT_OPEN;
    return SendVendorCommand(data, length, sessionId, offset, kWrite, true);
}

uint32_t RevAvazCamera::GetCommand(uint8_t* data, uint32_t length, uint16_t sessionId) {
    if (!open_) return VQ_ERR_FW_CAMERA_NOT_OPEN;
    return SendVendorCommand(data, length, sessionId, 0, kGet, false);
}

uint32_t RevAvazCamera::SetCommand(uint8_t* data, uint32_t length, uint16_t sessionId) {
    if (!open_) return VQ_ERR_FW_CAMERA_NOT_OPEN;
    return SendVendorCommand(data, length, sessionId, 0, kSet, true);
}

uint32_t RevAvazCamera::ExecuteCommand(uint8_t* data, uint32_t length, uint16_t sessionId) {
    if (!open_) return VQ_ERR_FW_CAMERA_NOT_OPEN;
    return SendVendorCommand(data, length, sessionId, 0, kExecute, true);
}

uint32_t RevAvazCamera::ExecuteAsyncCommand(uint8_t* data, uint32_t length, uint16_t sessionId) {
    if (!open_) return VQ_ERR_FW_CAMERA_NOT_OPEN;
    return SendVendorCommand(data, length, sessionId, 0, kExecuteAsync, true);
}

uint32_t RevAvazCamera::TakeUnsolicitedStatus(uint8_t* buffer, uint32_t length) {
    if (!open_ || !session_) return VQ_ERR_FW_CAMERA_NOT_OPEN;
    return session_->TakeUnsolicitedStatus(buffer, length);
}

uint32_t RevAvazCamera::SendVendorCommand(uint8_t* data, uint32_t length, uint16_t sessionId, uint32_t offset,
                                          uint8_t opcode, bool toCamera) {
    if (uint32_t s = mutex_.Acquire(kMutexWaitMs)) return s;
    if (missing) {
        mutex_.Release();
        return kDeviceMissing;
    }
    VendorCommandRequest r;
    r.opcode = opcode;
    r.timeoutMs = TimeoutFor(opcode);
    r.toCamera = toCamera;
    r.data = data;
    r.length = length;
    r.offset = offset;
    r.commandBlock[0] = opcode;
    r.commandBlock[2] = uint8_t(sessionId >> 8);
    r.commandBlock[3] = uint8_t(sessionId);
    r.SetBlockOffset(offset);
    r.SetBlockLength(length);

    uint32_t answer = 0;
    uint32_t attempts = kAttempts;
    for (uint32_t attempt = 1; attempt <= attempts; ++attempt) {
        answer = RunCommand(r);
        if (!Retryable(answer) || attempt == attempts) break;
        // A fault of the transport allows one more attempt only.
        if (answer == VQ_ERR_SBP2_TRANSPORT_STATUS_16) attempts = attempt + 1;
        const bool shortPause = answer == kRetryWordShortPause || answer == VQ_ERR_SBP2_TRANSPORT_STATUS_16;
        FireWireClock::Sleep(shortPause ? 250 : 500);
    }
    mutex_.Release();
    return answer;
}

uint32_t RevAvazCamera::RunCommand(VendorCommandRequest& request) {
    uint32_t answer = 0;
    if (request.toCamera || request.length < 65025) {
        // The length in the block is the caller's; the session rounds it.
        request.SetBlockLength(request.length);
        answer = session_->ExecuteOrb(request);
    } else {
        if (!request.data) return VQ_ERR_NULL_OUTPUT;
        VendorCommandRequest part = request;
        const uint32_t whole = request.length / kTransferBytes;
        const uint32_t rest = request.length % kTransferBytes;
        for (uint32_t k = 0; k <= whole; ++k) {
            const uint32_t n = k < whole ? kTransferBytes : rest;
            if (n == 0) break;
            part.data = request.data + uint64_t(k) * kTransferBytes;
            part.length = n;
            part.offset = request.offset + k * kTransferBytes;
            part.SetBlockLength(n);
            part.SetBlockOffset(part.offset);
            answer = session_->ExecuteOrb(part);
            if (answer) break;
        }
        std::memcpy(request.status, part.status, sizeof request.status);
    }
    if (answer == kResourceFileWord && request.opcode == kExecute && MentionsResourceFile(request.data, request.length))
        return 0;
    return answer;
}

} // namespace lumora::vq
