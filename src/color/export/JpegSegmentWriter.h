#pragma once
// Assembles one JPEG marker segment: the marker, a 16-bit big-endian length
// that counts itself and what follows, then the content. Every put is checked
// against the largest segment a length can describe; a segment that grows
// past it, or past a smaller limit of its own, comes out empty and is left
// out of the file rather than written with a length that lies.
#include <cstdint>
#include <string>
#include <vector>

namespace NimbalCore {

class JpegSegmentWriter {
public:
    static constexpr uint32_t kMaxLength = 65535;
    static constexpr uint32_t kHeaderBytes = 4; // marker and length

    explicit JpegSegmentWriter(uint8_t marker, uint32_t maxLength = kMaxLength);

    void Put8(uint8_t value);
    void Put16(uint16_t value);
    void Put32(uint32_t value);
    void PutBytes(const void* bytes, uint64_t count);
    void PutText(const std::string& text) { PutBytes(text.data(), text.size()); }
    void PutZeros(uint64_t count);
    uint64_t Size() const { return bytes_.size(); }

    // The segment with its length filled in, or nothing when it does not fit.
    std::vector<uint8_t> Finish();

private:
    bool Fits(uint64_t count);

    std::vector<uint8_t> bytes_;
    uint32_t maxLength_;
    bool overflow_ = false;
};

} // namespace NimbalCore
