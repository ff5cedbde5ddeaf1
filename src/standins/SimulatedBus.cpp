#include "SimulatedBus.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace lumora::standins {

namespace {

constexpr uint32_t kNotConnected = 1167;   // the device is not connected
constexpr uint32_t kInvalidHandle = 6;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint64_t kConfigRom = 0xFFFFF0000400ull;
constexpr uint64_t kManagementAgent = 0xFFFFF0010000ull;
constexpr uint64_t kCommandAgent = 0xFFFFF0020000ull;
constexpr uint32_t kOrbPointer = 0x08;

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

std::vector<uint32_t> DefaultRom() {
    std::vector<uint32_t> rom(27, 0);
    rom[0] = 0x04040000;
    rom[1] = 0x31333934;  // "1394"
    rom[5] = 0xD1000008;  // unit directory from quadlet 8 on
    rom[10] = 0x54004000; // management agent at 0xF0010000
    return rom;
}

uint64_t RealMicros() {
    return uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

struct DeviceSet {
    std::vector<std::pair<uint32_t, std::string>> devices;
};

std::string PathOf(uint32_t id) { return "/sim1394/camera" + std::to_string(id); }

} // namespace

SimulatedBus& SimulatedBus::Instance() {
    static SimulatedBus bus;
    return bus;
}

SimulatedBus::Camera* SimulatedBus::CameraOf(uint32_t handle) {
    auto h = handles_.find(handle);
    if (h == handles_.end()) return nullptr;
    auto c = cameras_.find(h->second);
    return c == cameras_.end() ? nullptr : &c->second;
}

void* SimulatedBus::GetClassDevs() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    auto* set = new DeviceSet;
    for (auto& [id, camera] : cameras_)
        if (camera.present) set->devices.emplace_back(id, PathOf(id));
    return set;
}

int SimulatedBus::EnumInterface(void* set, uint32_t index, FwDeviceInterfaceData* data) {
    auto* s = static_cast<DeviceSet*>(set);
    if (!s || !data || index >= s->devices.size()) return 0;
    data->flags = FW_INTERFACE_ACTIVE;
    data->reserved = index;
    return 1;
}

int SimulatedBus::InterfaceDetail(void* set, FwDeviceInterfaceData* data, FwInterfaceDetail* detail, uint32_t size,
                                  uint32_t* required, FwDeviceInfoData* info) {
    auto* s = static_cast<DeviceSet*>(set);
    if (!s || !data || data->reserved >= s->devices.size()) return 0;
    if (required) *required = sizeof(FwInterfaceDetail);
    if (!detail || size < sizeof(FwInterfaceDetail)) return 0;
    const auto& [id, path] = s->devices[data->reserved];
    std::memset(detail->devicePath, 0, sizeof detail->devicePath);
    std::memcpy(detail->devicePath, path.data(), std::min<size_t>(path.size(), FW_PATH_BYTES - 1));
    if (info) info->devInst = id;
    return 1;
}

int SimulatedBus::DestroySet(void* set) {
    delete static_cast<DeviceSet*>(set);
    return 1;
}

void* SimulatedBus::RegisterNotification(FwDeviceNotifyFn notify, void* context) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    const uint32_t id = nextNotification_++;
    notifications_[id] = Notification{notify, context};
    return reinterpret_cast<void*>(uintptr_t(id));
}

int SimulatedBus::UnregisterNotification(void* registration) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    return notifications_.erase(uint32_t(reinterpret_cast<uintptr_t>(registration))) ? 1 : 0;
}

void SimulatedBus::Notify(uint32_t event) {
    std::vector<Notification> targets;
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        for (auto& [id, n] : notifications_) targets.push_back(n);
    }
    // Outside the lock: the handlers enumerate and open devices again.
    for (const Notification& n : targets) n.notify(n.context, event);
}

uint32_t SimulatedBus::OpenDevice(const char* path, uint32_t* handle) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!path || !handle) return kInvalidParameter;
    for (auto& [id, camera] : cameras_) {
        if (camera.present && PathOf(id) == path) {
            *handle = nextHandle_++;
            handles_[*handle] = id;
            return 0;
        }
    }
    return 2; // file not found
}

uint32_t SimulatedBus::CloseDevice(uint32_t handle) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    CancelIo(handle);
    std::erase_if(ranges_, [&](const HostRange& r) { return r.handle == handle; });
    return handles_.erase(handle) ? 0 : kInvalidHandle;
}

uint32_t SimulatedBus::Read(uint32_t handle, uint64_t address, void* buffer, uint32_t length, uint32_t* done) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (done) *done = 0;
    Camera* camera = CameraOf(handle);
    if (!camera) return kInvalidHandle;
    if (!camera->present) return kNotConnected;
    if (address != kConfigRom) return kInvalidParameter;
    const uint32_t n = std::min<uint32_t>(length / 4, uint32_t(camera->rom.size()));
    auto* out = static_cast<uint8_t*>(buffer);
    for (uint32_t i = 0; i < n; ++i) PutBe32(out + 4 * i, camera->rom[i]);
    if (done) *done = 4 * n;
    return 0;
}

bool SimulatedBus::HostWrite(uint32_t handle, uint64_t address, const uint8_t* bytes, uint32_t length) {
    const uint16_t high = uint16_t(address >> 32);
    const uint32_t low = uint32_t(address);
    for (const HostRange& r : ranges_) {
        if (r.handle != handle || r.high != high || low < r.low || uint64_t(low) + length > uint64_t(r.low) + r.length)
            continue;
        std::memcpy(r.buffer + (low - r.low), bytes, length);
        // Watches on the range complete once; they are signalled under the lock
        // so that a cancelled request is never signalled afterwards.
        for (auto p = pending_.begin(); p != pending_.end();) {
            if (!p->busReset && p->handle == handle && p->high == r.high && p->low == r.low) {
                p->completion->signal(p->completion->context);
                p = pending_.erase(p);
            } else {
                ++p;
            }
        }
        return true;
    }
    return false;
}

bool SimulatedBus::HostRead(uint32_t handle, uint64_t address, uint8_t* bytes, uint32_t length) {
    const uint16_t high = uint16_t(address >> 32);
    const uint32_t low = uint32_t(address);
    for (const HostRange& r : ranges_) {
        if (r.handle != handle || r.high != high || low < r.low || uint64_t(low) + length > uint64_t(r.low) + r.length)
            continue;
        std::memcpy(bytes, r.buffer + (low - r.low), length);
        return true;
    }
    return false;
}

void SimulatedBus::WriteStatus(uint32_t handle, uint64_t fifo, uint32_t resp, uint32_t status, uint16_t orbHigh,
                               uint32_t orbLow, uint32_t word, uint32_t word2) {
    uint8_t block[32] = {};
    PutBe32(block, resp << 28 | 1u << 24 | (status & 0xFF) << 16 | orbHigh);
    PutBe32(block + 4, orbLow);
    PutBe32(block + 8, word);
    PutBe32(block + 12, word2);
    (void)HostWrite(handle, fifo, block, sizeof block);
}

void SimulatedBus::ManagementOrb(uint32_t handle, Camera& camera, uint64_t orbAddress) {
    uint8_t orb[32];
    if (!HostRead(handle, orbAddress, orb, sizeof orb)) return;
    uint32_t q[8];
    for (int i = 0; i < 8; ++i) q[i] = Be32(orb + 4 * i);
    const uint32_t function = (q[4] >> 16) & 0xF;
    const uint64_t fifo = uint64_t(q[6] & 0xFFFF) << 32 | q[7];
    const uint16_t orbHigh = uint16_t(orbAddress >> 32);
    const uint32_t orbLow = uint32_t(orbAddress);
    if (function == 0) {
        ++camera.logins;
        camera.statusFifo = fifo;
        if (camera.failLogins > 0) {
            --camera.failLogins;
            WriteStatus(handle, fifo, 0, 9, orbHigh, orbLow, 0, 0); // function rejected
            return;
        }
        camera.loginId = uint16_t(camera.logins);
        uint8_t response[12];
        PutBe32(response, 12u << 16 | camera.loginId);
        PutBe32(response + 4, uint32_t(kCommandAgent >> 32));
        PutBe32(response + 8, uint32_t(kCommandAgent));
        (void)HostWrite(handle, uint64_t(q[2] & 0xFFFF) << 32 | q[3], response, sizeof response);
        WriteStatus(handle, fifo, 0, 0, orbHigh, orbLow, 0, 0);
    } else if (function == 3) {
        ++camera.reconnects;
        WriteStatus(handle, fifo, 0, 0, orbHigh, orbLow, 0, 0);
    } else if (function == 7) {
        WriteStatus(handle, fifo, 0, 0, orbHigh, orbLow, 0, 0);
    }
}

void SimulatedBus::CommandOrb(uint32_t handle, Camera& camera, uint64_t orbAddress) {
    uint8_t orb[32];
    if (!HostRead(handle, orbAddress, orb, sizeof orb)) return;
    uint32_t q[8];
    for (int i = 0; i < 8; ++i) q[i] = Be32(orb + 4 * i);
    const uint64_t dataAddress = uint64_t(q[2] & 0xFFFF) << 32 | q[3];
    const bool fromCamera = (q[4] & 0x08000000u) != 0;
    const uint32_t orbLength = q[4] & 0xFFFF;
    uint8_t block[12];
    PutBe32(block, q[5]);
    PutBe32(block + 4, q[6]);
    PutBe32(block + 8, q[7]);
    SimulatedCommand command{block[0],
                             uint16_t(block[2] << 8 | block[3]),
                             uint32_t(block[4]) << 16 | uint32_t(block[5]) << 8 | block[6],
                             uint32_t(block[7]) << 16 | uint32_t(block[8]) << 8 | block[9],
                             orbLength,
                             fromCamera,
                             {},
                             RealMicros()};
    if (!fromCamera && orbLength) {
        command.data.resize(orbLength);
        (void)HostRead(handle, dataAddress, command.data.data(), orbLength);
    }
    camera.log.push_back(command);

    SimulatedAnswer answer;
    if (!camera.script.empty()) {
        answer = camera.script.front();
        camera.script.pop_front();
    }
    const uint16_t orbHigh = uint16_t(orbAddress >> 32);
    const uint32_t orbLow = uint32_t(orbAddress);
    const uint64_t fifo = camera.statusFifo;
    switch (answer.kind) {
    case SimulatedAnswer::Busy: WriteStatus(handle, fifo, 1, 4, orbHigh, orbLow, 0, 0); return;
    case SimulatedAnswer::Transport16: WriteStatus(handle, fifo, 1, 16, orbHigh, orbLow, 0, 0); return;
    case SimulatedAnswer::DataError: WriteStatus(handle, fifo, 1, 13, orbHigh, orbLow, 0, 0); return;
    case SimulatedAnswer::CameraWord: WriteStatus(handle, fifo, 0, 0x10, orbHigh, orbLow, answer.word, 0); return;
    case SimulatedAnswer::Silence: return;
    case SimulatedAnswer::BusReset: BusResetLocked(); return;
    default: break;
    }

    // Carry the command out.
    std::vector<uint8_t> out(orbLength, 0);
    const uint8_t opcode = command.opcode;
    if (opcode == 0xE0) {
        const std::string name(reinterpret_cast<const char*>(command.data.data()),
                               strnlen(reinterpret_cast<const char*>(command.data.data()), command.data.size()));
        if (!camera.files.count(name)) {
            WriteStatus(handle, fifo, 0, 0x10, orbHigh, orbLow, 0x20000, 0); // no such file
            return;
        }
        camera.openFiles[command.sessionId] = name;
    } else if (opcode == 0xE1) {
        camera.openFiles.erase(command.sessionId);
    } else if (opcode == 0xE2) {
        auto open = camera.openFiles.find(command.sessionId);
        if (open == camera.openFiles.end()) {
            WriteStatus(handle, fifo, 0, 0x10, orbHigh, orbLow, 0x30000, 0); // not open
            return;
        }
        const std::vector<uint8_t>& file = camera.files[open->second];
        for (uint32_t i = 0; i < command.blockLength && uint64_t(command.blockOffset) + i < file.size(); ++i)
            if (i < out.size()) out[i] = file[command.blockOffset + i];
    } else if (opcode == 0x12) {
        const char text[] = "SIM1394 SBP-2 CAMERA";
        std::memcpy(out.data(), text, std::min(out.size(), sizeof text));
    } else if (opcode == 0xE4) {
        for (size_t i = 0; i < out.size(); ++i) out[i] = uint8_t(i);
    }
    uint32_t check = 0;
    if (fromCamera && orbLength) {
        (void)HostWrite(handle, dataAddress, out.data(), orbLength);
        for (uint32_t i = 0; i + 4 <= orbLength; i += 4) check ^= Be32(out.data() + i);
        if (answer.kind == SimulatedAnswer::BadChecksum) check ^= 0x5A5A5A5A;
    }
    WriteStatus(handle, fifo, 0, 0, orbHigh, orbLow, check, fromCamera ? 1 : 0);
}

uint32_t SimulatedBus::Write(uint32_t handle, uint64_t address, const void* buffer, uint32_t length) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    Camera* camera = CameraOf(handle);
    if (!camera) return kInvalidHandle;
    if (!camera->present) return kNotConnected;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    if (length == 8 && (address == kManagementAgent || address == kCommandAgent + kOrbPointer)) {
        const uint64_t orbAddress = uint64_t(Be32(bytes) & 0xFFFF) << 32 | Be32(bytes + 4);
        if (address == kManagementAgent) ManagementOrb(handle, *camera, orbAddress);
        else CommandOrb(handle, *camera, orbAddress);
    }
    return 0;
}

uint32_t SimulatedBus::DeviceControl(uint32_t handle, uint32_t code, FwRangeRecord* range, FwCompletion* completion) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    Camera* camera = CameraOf(handle);
    if (!camera) return kInvalidHandle;
    switch (code) {
    case FW_IOCTL_ALLOCATE_ADDRESS_RANGE:
        if (!range || !range->buffer) return kInvalidParameter;
        ranges_.push_back(HostRange{handle, range->addressHigh, range->addressLow, range->length, range->buffer});
        return 0;
    case FW_IOCTL_FREE_ADDRESS_RANGE:
        if (!range) return kInvalidParameter;
        std::erase_if(pending_, [&](const Pending& p) {
            return p.handle == handle && !p.busReset && p.high == range->addressHigh && p.low == range->addressLow;
        });
        std::erase_if(ranges_, [&](const HostRange& r) {
            return r.handle == handle && r.high == range->addressHigh && r.low == range->addressLow;
        });
        return 0;
    case FW_IOCTL_WATCH_ADDRESS_RANGE:
        if (!range || !completion) return kInvalidParameter;
        pending_.push_back(Pending{handle, false, range->addressHigh, range->addressLow, range->length, completion});
        return FW_IO_PENDING;
    case FW_IOCTL_BUS_RESET_NOTIFY:
        if (!completion) return kInvalidParameter;
        pending_.push_back(Pending{handle, true, 0, 0, 0, completion});
        return FW_IO_PENDING;
    default: return 1; // invalid function
    }
}

uint32_t SimulatedBus::CancelIo(uint32_t handle) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    std::erase_if(pending_, [&](const Pending& p) { return p.handle == handle; });
    return 0;
}

void SimulatedBus::BusResetLocked() {
    for (auto p = pending_.begin(); p != pending_.end();) {
        if (p->busReset) {
            p->completion->signal(p->completion->context);
            p = pending_.erase(p);
        } else {
            ++p;
        }
    }
}

uint32_t SimulatedBus::Plug() {
    uint32_t id;
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        id = nextCamera_++;
        Camera& c = cameras_[id];
        c.id = id;
        c.rom = DefaultRom();
    }
    Notify(FW_DEVICE_ARRIVAL);
    return id;
}

void SimulatedBus::Unplug(uint32_t camera) {
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        auto c = cameras_.find(camera);
        if (c == cameras_.end()) return;
        c->second.present = false;
    }
    Notify(FW_DEVICE_REMOVE_COMPLETE);
}

void SimulatedBus::Replug(uint32_t camera) {
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        auto c = cameras_.find(camera);
        if (c == cameras_.end()) return;
        c->second.present = true;
    }
    Notify(FW_DEVICE_ARRIVAL);
}

void SimulatedBus::ResetBus() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    BusResetLocked();
}

void SimulatedBus::Clear() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    cameras_.clear();
    handles_.clear();
    ranges_.clear();
    pending_.clear();
}

void SimulatedBus::Script(uint32_t camera, const std::vector<SimulatedAnswer>& answers) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    auto c = cameras_.find(camera);
    if (c != cameras_.end()) c->second.script.assign(answers.begin(), answers.end());
}

void SimulatedBus::FailLogins(uint32_t camera, int count) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    auto c = cameras_.find(camera);
    if (c != cameras_.end()) c->second.failLogins = count;
}

void SimulatedBus::SetConfigRom(uint32_t camera, const std::vector<uint32_t>& quadlets) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    auto c = cameras_.find(camera);
    if (c != cameras_.end()) c->second.rom = quadlets;
}

void SimulatedBus::PutFile(uint32_t camera, const std::string& name, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    auto c = cameras_.find(camera);
    if (c != cameras_.end()) c->second.files[name] = bytes;
}

bool SimulatedBus::SendUnsolicited(uint32_t camera, const uint32_t (&quadlets)[8]) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    auto c = cameras_.find(camera);
    if (c == cameras_.end()) return false;
    const uint64_t fifo = c->second.statusFifo;
    bool sent = false;
    for (auto& [handle, id] : handles_) {
        if (id != camera) continue;
        // A named copy: clang 14 cannot capture a structured binding.
        const auto watchedHandle = handle;
        const bool watched = std::any_of(pending_.begin(), pending_.end(), [&](const Pending& p) {
            return p.handle == watchedHandle && !p.busReset && p.high == uint16_t(fifo >> 32) && p.low == uint32_t(fifo);
        });
        if (!watched) continue;
        sent = true;
        uint8_t block[32];
        for (int i = 0; i < 8; ++i) PutBe32(block + 4 * i, i == 0 ? quadlets[0] | 0x80000000u : quadlets[i]);
        (void)HostWrite(handle, fifo, block, sizeof block);
    }
    return sent;
}

std::vector<SimulatedCommand> SimulatedBus::Commands(uint32_t camera) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    auto c = cameras_.find(camera);
    return c == cameras_.end() ? std::vector<SimulatedCommand>{} : c->second.log;
}

int SimulatedBus::Logins(uint32_t camera) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    auto c = cameras_.find(camera);
    return c == cameras_.end() ? 0 : c->second.logins;
}

int SimulatedBus::Reconnects(uint32_t camera) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    auto c = cameras_.find(camera);
    return c == cameras_.end() ? 0 : c->second.reconnects;
}

int SimulatedBus::OpenDevices() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    return int(handles_.size());
}

int SimulatedBus::PendingRequests(uint32_t camera) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    int n = 0;
    for (const Pending& p : pending_) {
        auto h = handles_.find(p.handle);
        if (h != handles_.end() && h->second == camera) ++n;
    }
    return n;
}

} // namespace lumora::standins
