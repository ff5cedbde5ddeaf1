#pragma once
// The 58-byte settings record a raw file keeps at the offset of private tag
// 1021: a 34-byte process block (output type, balance, rotation, window, look,
// sharpening, exposure, chroma) and the 24-byte settings block (settings word
// and sharpening triple). Multi-byte values are big-endian in the file; both
// blocks carry a checksum byte.
#include <cstdint>

#include "VqStatus.h"

namespace lumora::vq {

class SdkCamera;

class StoredSettingsRecord {
public:
    static constexpr uint32_t kProcessBytes = 34;
    static constexpr uint32_t kSettingsBytes = 24;
    static constexpr uint32_t kRecordBytes = kProcessBytes + kSettingsBytes;
    static constexpr uint8_t kVersion = 3;
    // Writes to a busy camera are tried this many times, this far apart.
    static constexpr int kWriteAttempts = 50;
    static constexpr int kWriteWaitMilliseconds = 200;

    struct ProcessBlock {
        uint8_t version = kVersion;
        uint8_t outputType = 0;
        uint8_t balanceCode = 0;
        uint16_t red = 0, green = 0, blue = 0;
        uint16_t rotation = 0;
        uint16_t windowX = 0, windowY = 0, windowWidth = 0, windowHeight = 0;
        uint16_t usableWidth = 0, usableHeight = 0;
        uint8_t topMargin = 0, leftMargin = 0;
        uint8_t look = 0;
        uint8_t sharpenMode = 0, sharpenLevel = 0;
        int16_t exposure = 0; // stops x 10000
        uint8_t chroma = 0;
    };

    // Sum of the bytes after the first, modulo 256.
    static uint8_t Checksum(const uint8_t* bytes, uint32_t count);

    // Lays the block out as stored, checksum included.
    static void EncodeProcessBlock(const ProcessBlock& block, uint8_t* out);
    // Reads the fields back; answers false for a block whose checksum does not
    // match or whose bytes after the checksum are all zero (the fields are read
    // in either case).
    static bool DecodeProcessBlock(const uint8_t* in, ProcessBlock* block);

    // The settings block: version 2, length 24, the settings word and the triple.
    static VqStatus MakeSettingsBlock(uint32_t settingsWord, const uint32_t* triple, uint8_t* out);
    // The settings word, and the triple when the block's length says it holds
    // one (hasTriple); the checksum is not looked at.
    static VqStatus ReadSettingsBlock(const uint8_t* in, uint32_t* settingsWord, uint32_t* triple,
                                      bool* hasTriple);

    // Writes bytes of an image's entry through its camera, waiting and trying
    // again while the camera answers busy; the last answer is the result.
    static VqStatus WriteWithRetry(SdkCamera* camera, int32_t entryIndex, const void* bytes, uint32_t length,
                                   uint32_t fileOffset, int waitMilliseconds = kWriteWaitMilliseconds);
};

} // namespace lumora::vq
