#pragma once
// What a test can do with the simulated IEEE 1394 bus: plug and unplug SBP-2
// cameras, script their answers, put files on them and see what was sent.
// The bus lives in the stand-in setup library; a test reaches the one instance
// through the library's LumoraSimulatedBus entry point.
#include <cstdint>
#include <string>
#include <vector>

namespace lumora::standins {

struct SimulatedAnswer {
    enum Kind {
        Normal,       // the command is carried out
        Busy,         // transport failure with a busy acknowledge
        Transport16,  // transport failure, status 16
        DataError,    // transport failure, status 13
        CameraWord,   // the camera answers the status word `word`
        Silence,      // no status block at all
        BusReset,     // the bus resets instead of an answer
        BadChecksum,  // the data comes with a wrong check word
    };
    Kind kind = Normal;
    uint32_t word = 0;
};

struct SimulatedCommand {
    uint8_t opcode;
    uint16_t sessionId;
    uint32_t blockOffset;
    uint32_t blockLength;   // bytes 7 to 9 of the command block
    uint32_t orbLength;     // the length in the ORB's control word
    bool fromCamera;
    std::vector<uint8_t> data;  // what was sent to the camera
    uint64_t realMicros;    // steady clock, when the ORB pointer was written
};

class SimulatedBusControl {
public:
    // Plugs a new camera in; answers its device-instance number. Device
    // notifications go out before this returns.
    virtual uint32_t Plug() = 0;
    virtual void Unplug(uint32_t camera) = 0;
    virtual void Replug(uint32_t camera) = 0;
    virtual void ResetBus() = 0;
    // Removes every camera without notifications and forgets all scripts.
    virtual void Clear() = 0;
    // Answers for the camera's next commands, in order; Normal afterwards.
    virtual void Script(uint32_t camera, const std::vector<SimulatedAnswer>& answers) = 0;
    // Failed logins before the next one succeeds.
    virtual void FailLogins(uint32_t camera, int count) = 0;
    virtual void SetConfigRom(uint32_t camera, const std::vector<uint32_t>& quadlets) = 0;
    virtual void PutFile(uint32_t camera, const std::string& name, const std::vector<uint8_t>& bytes) = 0;
    // The camera writes an unsolicited status block (quadlet 0 gets bit 31);
    // false while the host is not watching its status address (the block is
    // then not written: the test sends it again).
    virtual bool SendUnsolicited(uint32_t camera, const uint32_t (&quadlets)[8]) = 0;
    virtual std::vector<SimulatedCommand> Commands(uint32_t camera) = 0;
    virtual int Logins(uint32_t camera) = 0;
    virtual int Reconnects(uint32_t camera) = 0;
    virtual int OpenDevices() = 0;
    // Number of requests still pending in the driver for the camera.
    virtual int PendingRequests(uint32_t camera) = 0;

protected:
    ~SimulatedBusControl() = default;
};

} // namespace lumora::standins

extern "C" lumora::standins::SimulatedBusControl* LumoraSimulatedBus();
