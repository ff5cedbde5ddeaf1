// The open-ended channels every image answers: extensions (white-balance mode,
// sharpening, chroma filter, exposure, looks, version) and the hidden
// properties for service access to file data. The raw classes handle their own
// ids first and pass the rest here.
#include "SdkImageBase.h"

#include <algorithm>
#include <cstddef>
#include <ctime>
#include <cstring>
#include <new>
#include <vector>

#include "ByteView.h"
#include "ChromaSettings.h"
#include "LookTable.h"
#include "RawTiffReader.h"
#include "SdkCamera.h"
#include "SdkRenderer.h"
#include "SdkUtilities.h"
#include "SharpenStage.h"

namespace lumora::vq {

namespace {

constexpr uint16_t kSdkVersion[5] = {2, 1, 2, 0, 28};
constexpr uint32_t kTagLookupBytes = 49152;
constexpr int32_t kChromaOn = 100;

// Hidden property ids.
enum HiddenId : uint32_t {
    kHiddenStoredTable = 4,
    kHiddenFindTag = 10,
    kHiddenFileBytes = 11,
    kHiddenFileValues = 14,
    kHiddenLayout = 16,
    kHiddenOne = 17,
    kHiddenCompatibility = 19,
    kHiddenCount = 20,
};

// An image without looks of its own answers the built-in pair.
const LookTable& BuiltInLooks() {
    static const LookTable looks;
    return looks;
}

uint32_t TypeSize(uint16_t type) {
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
    }
}

template <typename T>
VqStatus Answer(void* out, const T& value) {
    if (!out) return VQ_ERR_BAD_HANDLE;
    std::memcpy(out, &value, sizeof value);
    return 0;
}

} // namespace

bool SdkImageBase::ClampExposure(double* e) {
    if (*e >= -2.0 && *e <= 2.0) return true;
    if (*e >= -2.05 && *e < -2.0) {
        *e = -2.0;
        return true;
    }
    if (*e > 2.0 && *e <= 2.05) {
        *e = 2.0;
        return true;
    }
    *e = 0;
    return false;
}

const uint32_t* SdkImageBase::GetRangeTriple(int32_t level) const {
    if (level <= 15) return rangeTriples_[0];
    if (level <= 49) return rangeTriples_[1];
    if (level <= 82) return rangeTriples_[2];
    return rangeTriples_[3];
}

VqStatus SdkImageBase::RationalTripleToShorts(const uint32_t (&w)[6], uint16_t* r, uint16_t* g, uint16_t* b) {
    if (w[1] == 0 || w[3] == 0 || w[5] == 0) return VQ_ERR_BAD_NUMBER;
    if (r) *r = uint16_t(w[0] / w[1]);
    if (g) *g = uint16_t(w[2] / w[3]);
    if (b) *b = uint16_t(w[4] / w[5]);
    return 0;
}

VqStatus SdkImageBase::SetWhiteBalanceMode(int32_t enabled, int32_t preset, int32_t custom, uint32_t rg,
                                           uint16_t b) {
    if ((enabled != 0 && enabled != 1) || (custom != 0 && custom != 1) || enabled == custom)
        return VQ_ERR_BAD_BALANCE_MODE;
    uint32_t type = VQ_WB_NONE;
    const uint16_t triple[3] = {uint16_t(rg), uint16_t(rg >> 16), b};
    if (enabled) {
        if (preset < 0 || preset > 3) return VQ_ERR_BAD_BALANCE_KIND;
        type = uint32_t(preset) + VQ_WB_DAYLIGHT;
    } else if (triple[0] || triple[1] || triple[2]) {
        type = VQ_WB_CUSTOM;
    }
    return SetWhiteBalance(type, triple);
}

void SdkImageBase::GetWhiteBalanceMode(VqWhiteBalanceMode* out) const {
    *out = {};
    out->r = whiteBalance_[0];
    out->g = whiteBalance_[1];
    out->b = whiteBalance_[2];
    if (!(info_.flags & VQ_IMAGE_COLOUR)) return;
    if (whiteBalanceType_ >= VQ_WB_DAYLIGHT && whiteBalanceType_ <= VQ_WB_FLASH) {
        out->mode = 1;
        out->preset = int32_t(whiteBalanceType_ - VQ_WB_DAYLIGHT);
    } else if (whiteBalanceType_ == VQ_WB_CUSTOM || whiteBalanceType_ == VQ_WB_NONE) {
        out->kind = 1;
    }
}

void SdkImageBase::GetSharpening(VqSharpeningRecord* out) const {
    out->mode = sharpenMode_;
    out->level = sharpenLevel_;
    out->available = (info_.flags & VQ_IMAGE_SHARPEN_AVAILABLE) ? sharpeningAvailable_ : 0;
    out->secondMode = sharpenSecondMode_;
}

VqStatus SdkImageBase::SetSharpening(int32_t mode, int32_t level) {
    auto off = [&](VqStatus status) {
        sharpenMode_ = 0;
        sharpenLevel_ = 0;
        const int32_t zero = 0;
        SetRendererParameter(lumora::RP_SHARPEN_ON, &zero, sizeof zero);
        return status;
    };
    if (mode == 0) return off(0);
    if (mode != 1 && mode != 2) return off(VQ_ERR_VALUE_OUT_OF_RANGE);
    if (!sharpeningAvailable_ || !(info_.flags & VQ_IMAGE_SHARPEN_AVAILABLE) || !renderer_)
        return off(VQ_ERR_NOT_AVAILABLE);
    int16_t presets[28] = {};
    std::memcpy(presets, renderer_->Parameter(lumora::RP_SHARPEN_KERNEL), sizeof presets);
    int32_t mapped = level, band = 0;
    if (VqStatus status = lumora::SharpenStage::MapLevel(presets, &mapped, &band)) return off(status);
    if (level == 0 || (mode == 2 && sharpenSecondMode_ == 0)) return off(0);
    sharpenMode_ = mode;
    sharpenLevel_ = level;
    const int32_t on = presets[band];
    return SetRendererParameter(lumora::RP_SHARPEN_ON, &on, sizeof on);
}

VqStatus SdkImageBase::SetChromaFilter(int32_t level, uint32_t word) {
    VqStatus status = 0;
    if (level == 0) {
        const uint16_t size = 0;
        status = SetRendererParameter(lumora::RP_CFA_TABLE_SIZE, &size, sizeof size);
        chromaLevel_ = 0;
        chromaWord_ = word;
    } else if (level == kChromaOn) {
        if (chromaAvailable_ == 0) {
            status = VQ_ERR_CHROMA_NOT_AVAILABLE;
        } else {
            status = SetRendererParameter(lumora::RP_CFA_TABLE_SIZE, &chromaAvailable_, sizeof chromaAvailable_);
            chromaLevel_ = kChromaOn;
            chromaWord_ = word;
        }
    } else {
        status = VQ_ERR_VALUE_OUT_OF_RANGE;
    }
    if (renderer_) {
        // The chroma filter's own record follows the level as it now stands.
        void* settings = nullptr;
        std::memcpy(&settings, renderer_->Parameter(lumora::RP_CHROMA_SETTINGS), sizeof settings);
        if (settings)
            std::memcpy(static_cast<uint8_t*>(settings) + offsetof(lumora::ChromaSettings, level), &chromaLevel_,
                        sizeof chromaLevel_);
    }
    return status;
}

VqStatus SdkImageBase::GetFileDate(void* out) {
    if (!out) return VQ_ERR_BAD_HANDLE;
    if (!camera_) return VQ_ERR_BAD_HANDLE;
    uint16_t date = 0, time = 0;
    uint32_t size = 0;
    if (VqStatus status = camera_->GetEntryFacts(imageIndex_, &size, &date, &time)) return status;
    SdkDosToTime(date, time, static_cast<time_t*>(out));
    return 0;
}

VqStatus SdkImageBase::GetExtension(uint32_t id, void* out) {
    switch (id) {
    case VQ_EXT_LOOK:
    case VQ_EXT_LOOK_SET: return Answer(out, lookIndex_);
    case VQ_EXT_WHITE_BALANCE: {
        VqWhiteBalanceMode m;
        GetWhiteBalanceMode(&m);
        return Answer(out, m);
    }
    case VQ_EXT_SHARPENING: {
        VqSharpeningRecord r;
        GetSharpening(&r);
        return Answer(out, r);
    }
    case VQ_EXT_CHROMA_FILTER: return Answer(out, VqChromaRecord{chromaLevel_, chromaAvailable_, 0});
    case VQ_EXT_EXPOSURE: return Answer(out, VqExposureRecord{float(exposure_), exposureAvailable_, 0});
    case VQ_EXT_LOOK_COUNT: return Answer(out, int32_t(BuiltInLooks().CountLooks(false, false)));
    case VQ_EXT_LOOK_NAMES:
        if (!out) return VQ_ERR_BAD_HANDLE;
        return BuiltInLooks().GetName(*static_cast<LookTable::NameRecord*>(out), false, false);
    case VQ_EXT_IPTC: {
        VqIptcRecord r;
        GetIptc(&r);
        return Answer(out, r);
    }
    case VQ_EXT_RESOLUTION: return Answer(out, GetResolution());
    case VQ_EXT_BALANCE_PRESET: return Answer(out, presetIndex_);
    case VQ_EXT_FILE_DATE: return GetFileDate(out);
    case VQ_EXT_SDK_VERSION: return Answer(out, kSdkVersion);
    default: return VQ_ERR_UNKNOWN_EXTENSION;
    }
}

VqStatus SdkImageBase::SetExtension(uint32_t id, void* data, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4) {
    const uint32_t w0 = uint32_t(reinterpret_cast<uintptr_t>(data));
    switch (id) {
    case VQ_EXT_LOOK:
    case VQ_EXT_LOOK_SET: return SetLook(int32_t(w0));
    case VQ_EXT_WHITE_BALANCE: return SetWhiteBalanceMode(int32_t(w0), int32_t(w1), int32_t(w2), w3, uint16_t(w4));
    case VQ_EXT_SHARPENING: return SetSharpening(int32_t(w0), int32_t(w1));
    case VQ_EXT_CHROMA_FILTER: return SetChromaFilter(int32_t(w0), w1);
    case VQ_EXT_RESOLUTION: return SetResolution(w0, int32_t(w1), w2);
    case VQ_EXT_EXPOSURE: {
        if (!exposureAvailable_) return VQ_ERR_UNKNOWN_EXTENSION;
        float stops = 0;
        std::memcpy(&stops, &w0, sizeof stops);
        if (!(stops >= -2.0f && stops <= 2.0f)) return VQ_ERR_VALUE_OUT_OF_RANGE;
        const double previous = exposure_;
        exposure_ = stops;
        if (VqStatus status = ApplyExposure()) {
            exposure_ = previous;
            return status;
        }
        return 0;
    }
    case VQ_EXT_IPTC:
        if (!data) return VQ_ERR_BAD_HANDLE;
        return SetIptc(*static_cast<const VqIptcRecord*>(data));
    default: return VQ_ERR_UNKNOWN_EXTENSION;
    }
}

VqStatus SdkImageBase::GetHidden(uint32_t id, void* out) {
    switch (id) {
    case kHiddenStoredTable:
        if (!out) return VQ_ERR_BAD_HANDLE;
        if (!storedTable_.empty()) std::memcpy(out, storedTable_.data(), storedTable_.size() * 2);
        return 0;
    case kHiddenFindTag: return FindTagHidden(out);
    case kHiddenFileBytes:
    case kHiddenFileValues: return GetHiddenFileValues(id, out);
    case kHiddenLayout: {
        if (!out) return VQ_ERR_BAD_HANDLE;
        VqLayoutRecord r;
        std::memset(&r, 0, sizeof r);
        r.dataOffset = dataOffset_;
        r.cache = imageData_;
        r.bytesPerSample = bytesPerStoredSample_;
        r.width = dataWidth_;
        r.height = dataHeight_;
        r.headerStripOffset = headerStripOffset_;
        r.thumbnail = thumbnailPlanes_.empty() ? nullptr : thumbnailPlanes_.data();
        r.ifd0FirstStrip = ifd0FirstStrip_;
        VqStatus status = camera_ ? camera_->GetEntryFacts(imageIndex_, &r.fileSize, nullptr, nullptr)
                                  : VqStatus(VQ_ERR_BAD_HANDLE);
        std::memcpy(out, &r, sizeof r);
        return status;
    }
    case kHiddenOne: return Answer(out, int32_t(1));
    case kHiddenCompatibility: return Answer(out, compatibility_);
    default: return VQ_ERR_UNKNOWN_PROPERTY;
    }
}

VqStatus SdkImageBase::SetHidden(uint32_t id, void*) {
    if (id == 0 || id == kHiddenOne) return 0;
    return id < kHiddenCount ? VQ_ERR_PROPERTY_READ_ONLY : VQ_ERR_UNKNOWN_PROPERTY;
}

// File values: the record's offset and length (and for id 14 the field type)
// come in, the bytes go out over the record itself. The caller's record must
// hold the length, and the bytes must lie in the file.
VqStatus SdkImageBase::GetHiddenFileValues(uint32_t id, void* out) {
    if (!out) return VQ_ERR_BAD_HANDLE;
    uint32_t offset = 0, length = 0, type = 0;
    std::memcpy(&offset, out, 4);
    std::memcpy(&length, static_cast<uint8_t*>(out) + 4, 4);
    if (id == kHiddenFileValues) std::memcpy(&type, static_cast<uint8_t*>(out) + 8, 4);
    if (length == 0) return 0;
    const uint64_t end = uint64_t(offset) + length;
    if (fileSize_ != 0 && end > fileSize_) return VQ_ERR_READ_PAST_BUFFER;
    std::vector<uint8_t> bytes;
    try {
        bytes.assign(length, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_FILE_NO_MEMORY;
    }
    if (VqStatus status = ReadFileBytes(bytes.data(), offset, length, 0)) return status;
    if (id == kHiddenFileValues && bigEndian_) {
        size_t unit = 0;
        switch (type) {
        case 1: case 2: case 6: case 7: unit = 1; break;
        case 3: case 8: unit = 2; break;
        case 4: case 5: case 9: case 10: case 11: unit = 4; break;
        case 12: unit = 8; break;
        default: return VQ_ERR_BAD_FIELD_TYPE;
        }
        // Only whole units are turned; a tail shorter than a unit stays.
        for (size_t at = 0; unit > 1 && at + unit <= bytes.size(); at += unit)
            std::reverse(bytes.begin() + ptrdiff_t(at), bytes.begin() + ptrdiff_t(at + unit));
    }
    std::memcpy(out, bytes.data(), bytes.size());
    return 0;
}

VqStatus SdkImageBase::FindTagHidden(void* out) {
    if (!out) return VQ_ERR_BAD_HANDLE;
    uint16_t request[3] = {};
    std::memcpy(request, out, sizeof request);
    uint64_t available = kTagLookupBytes;
    if (fileSize_ != 0) available = std::min<uint64_t>(available, fileSize_);
    std::vector<uint8_t> head;
    try {
        head.assign(size_t(available), 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_FILE_NO_MEMORY;
    }
    if (VqStatus status = ReadFileBytes(head.data(), 0, uint32_t(available), 0)) return status;
    if (tiffOffset_ >= available) return VQ_ERR_BAD_FILE;
    const ByteView tiff(head.data() + tiffOffset_, available - tiffOffset_);
    RawTiffReader reader;
    reader.Clear();
    uint32_t first = 0;
    if (VqStatus status = reader.ReadHeader(tiff, first)) return status;
    RawTiffReader::Entry found;
    uint32_t position = 0;
    const VqStatus status = reader.FindTag(tiff, first, request[0], request[1], request[2], found, position);
    uint32_t record[8] = {};
    if (status == 0) {
        const uint32_t typeSize = TypeSize(found.type);
        const uint64_t byteSize = uint64_t(found.count) * typeSize;
        record[0] = uint32_t(found.tag) | uint32_t(found.type) << 16;
        record[2] = byteSize > 4 ? found.value + tiffOffset_ : found.value;
        record[3] = found.type;
        record[4] = uint32_t(std::min<uint64_t>(byteSize, UINT32_MAX));
        record[5] = found.count;
        record[6] = typeSize;
        record[7] = position;
    }
    std::memcpy(out, record, sizeof record);
    return status;
}

} // namespace lumora::vq
