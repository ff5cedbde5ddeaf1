#pragma once
// A raw file of the oldest models (family 0): little-endian, IFD0 at byte 768
// with the descriptive tags, the stored 16-bit expansion table (tag 291) and
// the settings records (tag 65535, whose value also holds the 22-byte stored
// settings block at +40, or tag 1021 pointing at the block); a colour file's
// first sub-directory holds the three thumbnail planes and its second the
// 8-bit sensor codes; a monochrome file's IFD0 strip is the thumbnail and its
// only sub-directory the sensor codes.
#include <cstdint>
#include <string>
#include <vector>

#include "ZyrWriter.h"

struct ZyrOldestOptions {
    std::string model = "ZYNM01";
    std::string description = "A123 synthetic";
    uint32_t sensorWidth = 1280; // 1280 x 1024 is sensor group 0
    uint32_t sensorHeight = 1024;
    bool colour = true;
    uint8_t sensorCode = 100;       // every sensor sample
    uint8_t thumbnailCode = 100;    // every thumbnail sample
    std::vector<uint16_t> table;    // tag 291; empty: ZyrOldestSample::Table()
    enum class Block { None, InSettingsRecords, Tag1021 } block = Block::InSettingsRecords;
    std::vector<uint8_t> storedBlock; // 22 bytes as written (checksum included); empty: all zero
    bool records = true;              // shading and unpack-offset records in tag 65535
    uint16_t unpackOffset = 0;        // code-5 record
    bool iptc = false;                // tag 33723: one caption record
    bool resolution = false;          // 282, 283, 296 in the sensor directory
    // IFD0 alone in its 256 bytes at 768 with its values before it, and
    // 282, 283 (72/1) and 296 of its own, as the cameras wrote it.
    bool classicHead = false;
    uint32_t fillerEntries = 0;       // further inline IFD0 entries (tags 40000 up)
};

class ZyrOldestSample {
public:
    static constexpr uint32_t kFirstIfdOffset = 768;
    static constexpr uint32_t kStoredBlockBytes = 22;
    static constexpr uint32_t kRecordsBytes = 64;
    static constexpr uint32_t kBlockInRecords = 40;

    static std::vector<uint8_t> Make(const ZyrOldestOptions& options);
    // 256 entries from 0 up to 4095 (entry 0 is 0).
    static std::vector<uint16_t> Table();
    // A stored settings block with its checksum in byte 0.
    static std::vector<uint8_t> StoredBlock(uint8_t outputType, uint8_t balanceType, const uint16_t (&triple)[3],
                                            uint16_t rotation, const uint16_t (&window)[4], uint8_t look);
    // Byte 0 := the sum of bytes 1..21 modulo 256.
    static void SetChecksum(std::vector<uint8_t>& block);
};
