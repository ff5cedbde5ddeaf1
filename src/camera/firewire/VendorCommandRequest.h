#pragma once
// One command to the camera: filled by the camera layer, run by the session.
#include <cstdint>

namespace lumora::vq {

struct VendorCommandRequest {
    // Bytes of the command block sent in every ORB.
    static constexpr uint32_t kCommandBlockBytes = 12;
    static constexpr uint32_t kStatusBytes = 24;

    uint8_t opcode = 0;
    // true: the data goes to the camera; false: it comes from the camera.
    bool toCamera = false;
    uint8_t* data = nullptr;
    uint32_t length = 0;
    uint32_t offset = 0;
    uint8_t commandBlock[kCommandBlockBytes] = {};
    uint32_t timeoutMs = 10000;
    // Quadlets 2 to 7 of the status block that ended the command, host order.
    uint32_t status[6] = {};

    // Writes the 24-bit length into command block bytes 7 to 9, big-endian.
    void SetBlockLength(uint32_t n) {
        commandBlock[7] = uint8_t(n >> 16);
        commandBlock[8] = uint8_t(n >> 8);
        commandBlock[9] = uint8_t(n);
    }
    void SetBlockOffset(uint32_t n) {
        commandBlock[4] = uint8_t(n >> 16);
        commandBlock[5] = uint8_t(n >> 8);
        commandBlock[6] = uint8_t(n);
    }
};

} // namespace lumora::vq
