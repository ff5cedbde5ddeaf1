// The picture's IPTC block: read with the head, answered and replaced through
// extension 26, and written back into the file in place.
#include "SdkImageBase.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "ByteView.h"
#include "RawTag.h"
#include "FolderCamera.h"
#include "RawTiffReader.h"
#include "SdkCamera.h"

namespace lumora::vq {

namespace {

constexpr uint16_t kTypeLong = 4;
constexpr uint32_t kEntryBytes = 12;
// Layout of the oldest models' IFD0.
constexpr uint32_t kOldestIfdOffset = 768;
constexpr uint32_t kOldestIfdBytes = 256;
constexpr uint32_t kOldestRationalAt = 248;
constexpr uint32_t kOldestMaxEntries = 20;

uint16_t Get16(const uint8_t* at, bool big) { return big ? uint16_t(at[0] << 8 | at[1]) : uint16_t(at[1] << 8 | at[0]); }
uint32_t Get32(const uint8_t* at, bool big) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(at[big ? 3 - i : i]) << (8 * i);
    return v;
}
void Put16(uint8_t* at, uint16_t v, bool big) {
    at[big ? 0 : 1] = uint8_t(v >> 8);
    at[big ? 1 : 0] = uint8_t(v);
}
void Put32(uint8_t* at, uint32_t v, bool big) {
    for (int i = 0; i < 4; ++i) at[big ? 3 - i : i] = uint8_t(v >> (8 * i));
}

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
    Put16(entry, uint16_t(RawTag::IptcNaa), false);
    Put16(entry + 2, kTypeLong, false);
    Put32(entry + 4, (length + 3) / 4, false);
    Put32(entry + 8, offset, false);
}

// The oldest models keep IFD0 in the 256 bytes at 768, with the resolution
// rational in its last 8 bytes: the new entry goes after the last one.
VqStatus SdkImageBase::AppendIptcEntry(FileEdit& edit, const uint8_t (&entry)[12], uint32_t* position) {
    if (ifd0Offset_ != kOldestIfdOffset) return VQ_ERR_TOO_MANY_ENTRIES;
    const uint64_t at = uint64_t(tiffOffset_) + kOldestIfdOffset;
    if (at + kOldestIfdBytes > edit.size) return VQ_ERR_TOO_MANY_ENTRIES;
    uint8_t area[kOldestIfdBytes];
    if (VqStatus status = ReadPlanned(edit, at, area, sizeof area)) return status;
    const uint32_t count = Get16(area, false);
    // A 21st entry would run into the resolution rational.
    if (count >= kOldestMaxEntries) return VQ_ERR_TOO_MANY_ENTRIES;
    const uint32_t end = 2 + kEntryBytes * count;
    // The bytes after the entries are cleared; a value of the directory's own
    // that lies there would be lost, so there is then no room for the entry.
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = area + 2 + kEntryBytes * i;
        const uint16_t tag = Get16(e, false);
        if (tag == uint16_t(RawTag::XResolution) || tag == uint16_t(RawTag::YResolution)) continue;
        const uint64_t bytes = uint64_t(RawTiffReader::TypeSize(Get16(e + 2, false))) * Get32(e + 4, false);
        if (bytes <= 4) continue;
        const uint64_t value = Get32(e + 8, false);
        if (value < kOldestIfdOffset + kOldestIfdBytes && value + bytes > kOldestIfdOffset + end)
            return VQ_ERR_TOO_MANY_ENTRIES;
    }
    uint8_t link[4];
    std::memcpy(link, area + end, 4);
    std::memset(area + end, 0, sizeof area - end);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* e = area + 2 + kEntryBytes * i;
        const uint16_t tag = Get16(e, false);
        if (tag == uint16_t(RawTag::XResolution) || tag == uint16_t(RawTag::YResolution))
            Put32(e + 8, kOldestIfdOffset + kOldestRationalAt, false);
    }
    Put32(area + kOldestRationalAt, 72, false);
    Put32(area + kOldestRationalAt + 4, 1, false);
    std::memcpy(area + end, entry, kEntryBytes);
    // The link to a following directory moves behind the new entry.
    std::memcpy(area + end + kEntryBytes, link, 4);
    Put16(area, uint16_t(count + 1), false);
    edit.Put(at, area, sizeof area);
    *position = kOldestIfdOffset + end;
    return 0;
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
            iptcWord_ = record.word;
            // The block is in the file whatever becomes of the resolution
            // written after it; a refusal there is answered on its own.
            return SaveResolution();
        }
    }
    iptcWord_ = record.word;
    return 0;
}

void SdkImageBase::FileEdit::Put(uint64_t at, const uint8_t* bytes, uint32_t count) {
    patches.emplace_back(at, std::vector<uint8_t>(bytes, bytes + count));
    newSize = std::max(newSize, at + count);
}

VqStatus SdkImageBase::ReadPlanned(const FileEdit& edit, uint64_t at, uint8_t* out, uint32_t count) {
    if (at + count > edit.newSize) return VQ_ERR_READ_PAST_BUFFER;
    std::memset(out, 0, count);
    const uint64_t inFile = at < edit.size ? std::min<uint64_t>(count, edit.size - at) : 0;
    if (inFile) {
        if (!camera_) return VQ_ERR_BAD_HANDLE;
        if (at + inFile > uint64_t(INT32_MAX)) return VQ_ERR_READ_PAST_BUFFER;
        if (VqStatus status = camera_->ReadImageBytes(imageIndex_, uint32_t(inFile), out, 0, int32_t(at), 0))
            return status;
    }
    for (const auto& [where, bytes] : edit.patches) {
        const uint64_t from = std::max(where, at), to = std::min(where + bytes.size(), at + count);
        if (from < to) std::memcpy(out + (from - at), bytes.data() + (from - where), size_t(to - from));
    }
    return 0;
}

VqStatus SdkImageBase::ApplyEdit(const FileEdit& edit) {
    if (!camera_) return VQ_ERR_BAD_HANDLE;
    if (edit.newSize <= edit.size) {
        // Every patch lies inside the file: written in place, in order.
        for (const auto& [at, bytes] : edit.patches)
            if (VqStatus status = WriteInsideFile(at - tiffOffset_, bytes.data(), uint32_t(bytes.size())))
                return status;
        return 0;
    }
    auto* folder = dynamic_cast<FolderCamera*>(camera_);
    if (!folder) return VQ_ERR_IPTC_NOT_WRITABLE;
    if (edit.newSize > uint64_t(INT32_MAX)) return VQ_ERR_READ_PAST_BUFFER;
    std::vector<uint8_t> whole;
    try {
        whole.assign(size_t(edit.newSize), 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_NO_MEMORY;
    }
    if (VqStatus status = ReadPlanned(edit, 0, whole.data(), uint32_t(whole.size()))) return status;
    if (VqStatus status = folder->ReplaceImageFile(imageIndex_, whole.data(), whole.size())) return status;
    fileSize_ = uint32_t(edit.newSize);
    return 0;
}

// Everything the block needs is planned first: its bytes, its entry (kept,
// taken over or appended) and the directory's order. A block that does not fit
// its old place goes to the end of the file, never over the bytes after it.
VqStatus SdkImageBase::SaveIptc(uint32_t length) {
    if (!camera_) return VQ_ERR_BAD_HANDLE;
    FileEdit edit;
    uint32_t size = fileSize_;
    if (size == 0) {
        uint16_t date = 0, time = 0;
        if (VqStatus status = camera_->GetEntryFacts(imageIndex_, &size, &date, &time)) return status;
    }
    if (size < tiffOffset_) return VQ_ERR_READ_PAST_BUFFER;
    edit.size = edit.newSize = size;

    const uint64_t oldStart = uint64_t(tiffOffset_) + iptcOffset_;
    const bool hasField = iptcOffset_ != 0 && oldStart + iptcField_ <= size;
    uint64_t blockAt = 0;  // TIFF offset
    uint32_t fieldBytes = length;
    if (hasField && (length <= iptcField_ || oldStart + iptcField_ == size)) {
        blockAt = iptcOffset_;
        fieldBytes = std::max(length, iptcField_);
    } else {
        if (hasField && iptcField_) {
            // The old block's bytes are cleared, not left behind.
            const std::vector<uint8_t> zeros(iptcField_, 0);
            edit.Put(oldStart, zeros.data(), iptcField_);
        }
        // Directory offsets point at word boundaries.
        blockAt = ((uint64_t(size) + 3) & ~uint64_t(3)) - tiffOffset_;
    }
    if (tiffOffset_ + blockAt + fieldBytes > uint64_t(INT32_MAX)) return VQ_ERR_READ_PAST_BUFFER;
    std::vector<uint8_t> field(fieldBytes, 0);
    if (length) std::memcpy(field.data(), iptc_.data(), length);
    if (fieldBytes) edit.Put(tiffOffset_ + blockAt, field.data(), fieldBytes);
    // Between the old end and a word-aligned block: zeros.
    if (edit.newSize > size && tiffOffset_ + blockAt > size) {
        const std::vector<uint8_t> pad(size_t(tiffOffset_ + blockAt - size), 0);
        edit.Put(size, pad.data(), uint32_t(pad.size()));
    }

    uint8_t entry[kEntryBytes];
    // The entry is built from the file offset; the raw classes take the TIFF base off.
    BuildIptcEntry(uint32_t(tiffOffset_ + blockAt), length, entry);
    uint32_t position = iptcEntry_ ? iptcEntry_ : iptcSpareEntry_;
    if (position) {
        if (uint64_t(tiffOffset_) + position + kEntryBytes > size) return VQ_ERR_READ_PAST_BUFFER;
        edit.Put(tiffOffset_ + position, entry, kEntryBytes);
    } else if (VqStatus status = AppendIptcEntry(edit, entry, &position)) {
        return status;
    }

    // The directory put in tag order; the entry may move.
    uint8_t countBytes[2];
    const bool big = bigEndian_ != 0;
    const uint64_t dirAt = uint64_t(tiffOffset_) + ifd0Offset_;
    if (ifd0Offset_ != 0 && ReadPlanned(edit, dirAt, countBytes, 2) == 0) {
        uint16_t count = Get16(countBytes, big);
        const uint32_t dirBytes = kEntryBytes * count + 6;
        std::vector<uint8_t> directory(dirBytes);
        if (dirAt + dirBytes <= size && ReadPlanned(edit, dirAt, directory.data(), dirBytes) == 0) {
            RawTiffReader reader;
            reader.setOrder(big ? lumora::ByteOrder::Big : lumora::ByteOrder::Little);
            bool changed = false;
            uint32_t at = 0;
            if (reader.SortEntries(directory.data(), dirBytes, changed, count, uint16_t(RawTag::IptcNaa), at) == 0 &&
                changed) {
                edit.Put(dirAt, directory.data(), dirBytes);
                if (at) position = ifd0Offset_ + at;
            }
        }
    }

    if (VqStatus status = ApplyEdit(edit)) return status;
    if (!iptcEntry_ && position == iptcSpareEntry_) iptcSpareEntry_ = 0;
    iptcOffset_ = uint32_t(blockAt);
    iptcField_ = fieldBytes;
    iptcEntry_ = position;
    return 0;
}

} // namespace lumora::vq
