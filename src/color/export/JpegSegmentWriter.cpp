#include "JpegSegmentWriter.h"

#include <algorithm>

namespace NimbalCore {

JpegSegmentWriter::JpegSegmentWriter(uint8_t marker, uint32_t maxLength)
    : maxLength_(std::min(maxLength, kMaxLength)) {
    bytes_ = {0xFF, marker, 0x00, 0x00};
}

bool JpegSegmentWriter::Fits(uint64_t count) {
    if (overflow_ || uint64_t(bytes_.size()) + count > uint64_t(maxLength_) + 2) {
        overflow_ = true;
        return false;
    }
    return true;
}

void JpegSegmentWriter::Put8(uint8_t value) {
    if (Fits(1)) bytes_.push_back(value);
}

void JpegSegmentWriter::Put16(uint16_t value) {
    if (!Fits(2)) return;
    bytes_.push_back(uint8_t(value >> 8));
    bytes_.push_back(uint8_t(value));
}

void JpegSegmentWriter::Put32(uint32_t value) {
    if (!Fits(4)) return;
    for (int shift = 24; shift >= 0; shift -= 8) bytes_.push_back(uint8_t(value >> shift));
}

void JpegSegmentWriter::PutBytes(const void* bytes, uint64_t count) {
    if (count == 0 || !Fits(count)) return;
    const auto* p = static_cast<const uint8_t*>(bytes);
    bytes_.insert(bytes_.end(), p, p + count);
}

void JpegSegmentWriter::PutZeros(uint64_t count) {
    if (count == 0 || !Fits(count)) return;
    bytes_.insert(bytes_.end(), size_t(count), 0);
}

std::vector<uint8_t> JpegSegmentWriter::Finish() {
    if (overflow_) return {};
    const uint32_t length = uint32_t(bytes_.size() - 2);
    if (length > maxLength_) return {};
    bytes_[2] = uint8_t(length >> 8);
    bytes_[3] = uint8_t(length);
    return std::move(bytes_);
}

} // namespace NimbalCore
