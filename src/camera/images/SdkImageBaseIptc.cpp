// The picture's IPTC block: read with the head, answered and replaced through
// extension 26, and written back into the file in place.
#include "SdkImageBase.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "ByteView.h"
#include "RawTag.h"
#include "SdkCamera.h"

namespace lumora::vq {

namespace {

constexpr uint16_t kTypeLong = 4;

} // namespace

VqStatus SdkImageBase::SetIptcLocation(const uint8_t* header, uint32_t length, uint32_t dataOffset,
                                       uint32_t byteLength, uint32_t entryOffset, uint32_t spareEntry,
                                       bool outOfOrder) {
    iptcOffset_ = dataOffset;
    iptcEntry_ = entryOffset;
    if (spareEntry) iptcSpareEntry_ = spareEntry;
    if (outOfOrder) iptcDirty_ = true;
    iptcLength_ = 0;
    iptcField_ = 0;
    iptc_.clear();
    if (byteLength == 0) return 0;
    try {
        iptc_.assign(byteLength, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_NO_MEMORY;
    }
    if (dataOffset != 0 && ReadHeaderOrFile(lumora::ByteView(header, length), dataOffset, iptc_.data(),
                                            byteLength) != 0) {
        // An unreadable block is as good as none.
        iptc_.clear();
        return 0;
    }
    iptcLength_ = byteLength;
    // The block's own bytes in the file: what a later block may fill again.
    iptcField_ = dataOffset != 0 ? byteLength : 0;
    return 0;
}

void SdkImageBase::GetIptc(VqIptcRecord* out) const {
    out->length = iptcLength_;
    out->data = iptcLength_ ? iptc_.data() : nullptr;
    out->word = iptcWord_;
}

void SdkImageBase::BuildIptcEntry(uint32_t offset, uint32_t length, uint8_t (&entry)[12]) const {
    const bool big = bigEndian_ != 0 && info_.modelFamily != 0;
    auto put = [&](int at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) entry[at + (big ? bytes - 1 - i : i)] = uint8_t(v >> (8 * i));
    };
    put(0, uint16_t(RawTag::IptcNaa), 2);
    put(2, kTypeLong, 2);
    put(4, (length + 3) / 4, 4);
    put(8, offset, 4);
}

VqStatus SdkImageBase::SetIptc(const VqIptcRecord& record) {
    if (record.length != 0 && !record.data) return VQ_ERR_BAD_HANDLE;
    if (record.word > 3) return VQ_ERR_BAD_ARGUMENT;
    const uint64_t rounded = (uint64_t(record.length) + 3) & ~uint64_t(3);
    if (rounded > UINT32_MAX) return VQ_ERR_BAD_ARGUMENT;
    const uint32_t L = uint32_t(rounded);
    const bool same = L == iptcLength_ &&
                      (L == 0 || std::memcmp(iptc_.data(), record.data, record.length) == 0);
    if (!same || iptcDirty_) {
        const CameraRecord* cam = camera_ ? &camera_->record() : nullptr;
        const bool writes = (record.word & 1) == 0;
        if (writes && cam && cam->cameraType == 3 && cam->cameraKind == 1) return VQ_ERR_IPTC_NOT_WRITABLE;
        std::vector<uint8_t> block;
        try {
            block.assign(L, 0);
        } catch (const std::bad_alloc&) {
            return VQ_ERR_NO_MEMORY;
        }
        if (record.length) std::memcpy(block.data(), record.data, record.length);
        std::swap(iptc_, block);
        const uint32_t previous = iptcLength_;
        iptcLength_ = L;
        if (writes) {
            if (VqStatus status = SaveIptc(L)) {
                // The file was left as it was: so is the image's copy.
                std::swap(iptc_, block);
                iptcLength_ = previous;
                return status;
            }
            iptcDirty_ = false;
        }
    }
    iptcWord_ = record.word;
    return 0;
}

// The block is written over the bytes the file's block already has; a longer
// block, or a file without one, would have to grow the file and is refused.
// The entry is rewritten last, after the block is in place.
VqStatus SdkImageBase::SaveIptc(uint32_t length) {
    if (iptcOffset_ == 0 || iptcEntry_ == 0 || length > iptcField_) return VQ_ERR_IPTC_NOT_WRITABLE;
    std::vector<uint8_t> field(iptcField_, 0);
    if (length) std::memcpy(field.data(), iptc_.data(), length);
    uint8_t entry[12];
    BuildIptcEntry(iptcOffset_, length, entry);
    if (VqStatus status = WriteInsideFile(iptcOffset_, field.data(), iptcField_)) return status;
    if (VqStatus status = WriteInsideFile(iptcEntry_, entry, sizeof entry)) return status;
    return SaveResolution();
}

} // namespace lumora::vq
