#pragma once
// The simulated IEEE 1394 bus behind the stand-in setup library: the device
// list the setup calls enumerate, the device driver's reads, writes and
// device-control requests, and the SBP-2 cameras on it, each answering login,
// reconnect, logout and the vendor commands from its own little file store.
#include "FireWireServices.h"
#include "SimulatedBusControl.h"

#include <deque>
#include <map>
#include <mutex>

namespace lumora::standins {

class SimulatedBus final : public SimulatedBusControl {
public:
    static SimulatedBus& Instance();

    // Setup calls.
    void* GetClassDevs();
    int EnumInterface(void* set, uint32_t index, FwDeviceInterfaceData* data);
    int InterfaceDetail(void* set, FwDeviceInterfaceData* data, FwInterfaceDetail* detail, uint32_t size,
                        uint32_t* required, FwDeviceInfoData* info);
    int DestroySet(void* set);
    void* RegisterNotification(FwDeviceNotifyFn notify, void* context);
    int UnregisterNotification(void* registration);

    // Device driver.
    uint32_t OpenDevice(const char* path, uint32_t* handle);
    uint32_t CloseDevice(uint32_t handle);
    uint32_t Read(uint32_t handle, uint64_t address, void* buffer, uint32_t length, uint32_t* done);
    uint32_t Write(uint32_t handle, uint64_t address, const void* buffer, uint32_t length);
    uint32_t DeviceControl(uint32_t handle, uint32_t code, FwRangeRecord* range, FwCompletion* completion);
    uint32_t CancelIo(uint32_t handle);

    // SimulatedBusControl
    uint32_t Plug() override;
    void Unplug(uint32_t camera) override;
    void Replug(uint32_t camera) override;
    void ResetBus() override;
    void Clear() override;
    void Script(uint32_t camera, const std::vector<SimulatedAnswer>& answers) override;
    void FailLogins(uint32_t camera, int count) override;
    void SetConfigRom(uint32_t camera, const std::vector<uint32_t>& quadlets) override;
    void PutFile(uint32_t camera, const std::string& name, const std::vector<uint8_t>& bytes) override;
    bool SendUnsolicited(uint32_t camera, const uint32_t (&quadlets)[8]) override;
    std::vector<SimulatedCommand> Commands(uint32_t camera) override;
    int Logins(uint32_t camera) override;
    int Reconnects(uint32_t camera) override;
    int OpenDevices() override;
    int PendingRequests(uint32_t camera) override;

private:
    struct HostRange {
        uint32_t handle;
        uint16_t high;
        uint32_t low;
        uint32_t length;
        uint8_t* buffer;
    };
    struct Pending {
        uint32_t handle;
        bool busReset;
        uint16_t high;
        uint32_t low;
        uint32_t length;
        FwCompletion* completion;
    };
    struct Camera {
        uint32_t id = 0;
        bool present = true;
        std::vector<uint32_t> rom;
        std::map<std::string, std::vector<uint8_t>> files;
        std::map<uint16_t, std::string> openFiles;
        std::deque<SimulatedAnswer> script;
        std::vector<SimulatedCommand> log;
        int failLogins = 0;
        int logins = 0;
        int reconnects = 0;
        uint16_t loginId = 0;
        uint64_t statusFifo = 0;
        uint16_t nextSession = 1;
    };
    struct Notification {
        FwDeviceNotifyFn notify;
        void* context;
    };

    Camera* CameraOf(uint32_t handle);
    void Notify(uint32_t event);
    // Host memory as the camera writes and reads it; writes complete watches.
    bool HostWrite(uint32_t handle, uint64_t address, const uint8_t* bytes, uint32_t length);
    bool HostRead(uint32_t handle, uint64_t address, uint8_t* bytes, uint32_t length);
    void WriteStatus(uint32_t handle, uint64_t fifo, uint32_t resp, uint32_t status, uint16_t orbHigh,
                     uint32_t orbLow, uint32_t word, uint32_t word2);
    void ManagementOrb(uint32_t handle, Camera& camera, uint64_t orbAddress);
    void CommandOrb(uint32_t handle, Camera& camera, uint64_t orbAddress);
    void BusResetLocked();

    std::recursive_mutex lock_;
    std::map<uint32_t, Camera> cameras_;
    std::map<uint32_t, uint32_t> handles_;  // device handle -> camera id
    std::vector<HostRange> ranges_;
    std::vector<Pending> pending_;
    std::map<uint32_t, Notification> notifications_;
    uint32_t nextCamera_ = 1;
    uint32_t nextHandle_ = 0x100;
    uint32_t nextNotification_ = 1;
};

} // namespace lumora::standins
