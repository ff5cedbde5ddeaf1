// Camera JPEG files: opening the TIFF structure inside APP1, the output types
// and operations these files allow, and fitting stored windows to the image.
#include "JpegFileImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "ByteView.h"
#include "JpegFileEngine.h"
#include "JpegFileStatus.h"
#include "RawIfdRecord.h"
#include "RawTiffReader.h"
#include "ResolutionRecord.h"
#include "SdkRenderer.h"
#include "SdkUtilities.h"
#include "VqOutputTypes.h"

namespace lumora::vq {

namespace {
constexpr uint32_t kJpegConversionAllowed = VQ_IMAGE_JPEG_CONVERSION;
constexpr uint32_t kHiddenJpegConversion = 17;
constexpr uint32_t kPixelBytes = 3;
} // namespace

JpegFileImage::JpegFileImage(const CameraRecord* record, DriverSettings* settings) : RawImageF2(record, settings) {
    ResetKindFields();
}

JpegFileImage::~JpegFileImage() = default;

VqStatus JpegFileImage::ResetKindFields() {
    info_.fileKind = kFileCameraJpeg;
    state_ = {1, 0, 0, 0, 0, 0, 0};
    info_.colourSpace = SdkFourCC("sRGB");
    exposureAvailable_ = 0;
    info_.whiteBalanceFileStatus = int32_t(JpegFileImage::WhiteBalanceFileStatus());
    return 0;
}

VqStatus JpegFileImage::MapStatus(VqStatus status) const {
    if (status == 0x6002u || status == 0x6003u) return VQ_ERR_JPEG_BAD_FILE;
    if (status >= 0x6004u && status <= 0x6010u) return 0x6800u | (status & 0xFFu);
    return status;
}

VqStatus JpegFileImage::SetColourFlags() {
    info_.flags = 0x800;
    return 0;
}

lumora::RawEngineF2* JpegFileImage::NewEngine() const { return new (std::nothrow) lumora::JpegFileEngine(); }

VqStatus JpegFileImage::LoadCache(void* buffer, int32_t steps, int32_t* done) {
    if (!renderer_) return VQ_ERR_PROCESS_NO_MEMORY;
    return renderer_->LoadCache(static_cast<uint8_t*>(buffer), uint32_t(steps < 0 ? 0 : steps), done, kPixelBytes);
}

void JpegFileImage::ResetDefaults(VqWhiteBalanceMode* out) {
    RawImageF2::ResetDefaults(out);
    if (!info_.isColour) {
        info_.outputType = VQ_TYPE_GRAY8;
        SetParameter<int32_t>(RP_OUTPUT_TYPE, int32_t(info_.outputType));
    }
}

VqStatus JpegFileImage::ParseHeader(const uint8_t* header, uint32_t length) {
    headerLength_ = length;
    VqStatus status = CreateEngine();
    if (status) return MapStatus(status);
    if ((status = SetParameter<lumora::RendererImage*>(RP_IMAGE, static_cast<lumora::RendererImage*>(this))))
        return MapStatus(status);

    const ByteView view(header, length);
    RawTiffReader reader;
    reader.Clear();
    uint32_t first = 0;
    if ((status = reader.ReadHeader(view, first))) return MapStatus(status);
    ifd0Offset_ = first;
    std::unique_ptr<RawIfdRecord> record(new (std::nothrow) RawIfdRecord());
    if (!record) return MapStatus(VQ_ERR_FILE_NO_MEMORY);
    RawIfdRecord& ifd = *record;

    ResolutionRecord resolution;
    if ((status = reader.ReadIfd(view, first, ifd, &resolution, nullptr, false))) return MapStatus(status);
    if (ifd.nextIfd > kMaxNextIfd) return MapStatus(VQ_ERR_BAD_FILE);
    entryCounts_[0] = ifd.entryCount;
    LoadResolution(resolution);
    bigEndian_ = reader.bigEndian() ? 1 : 0;
    unknownModel_ = 0;
    if ((status = ReadMainIfd(header, ifd))) return MapStatus(status);

    const uint32_t thumbnailIfd = ifd.nextIfd;
    privateIfdOffset_ = ifd.privateIfd;
    if ((status = reader.ReadIfd(view, privateIfdOffset_, ifd, nullptr, nullptr, false))) return MapStatus(status);
    if (ifd.nextIfd > kMaxNextIfd) return MapStatus(VQ_ERR_BAD_FILE);
    entryCounts_[3] = ifd.entryCount;
    newFormat_ = false;
    if ((status = SetUpFromPrivateIfd(header, reader, ifd, length))) return MapStatus(status);

    if ((status = reader.ReadIfd(view, thumbnailIfd, ifd, nullptr, nullptr, false))) return MapStatus(status);
    if (ifd.nextIfd > kMaxNextIfd) return MapStatus(VQ_ERR_BAD_FILE);
    entryCounts_[1] = ifd.entryCount;
    if ((status = ReadThumbnailIfd(header, ifd, length))) return MapStatus(status);
    // The record's full size is the thumbnail's here: the main picture is the
    // JPEG stream, sized by its own directory.
    storedWidth_ = uint32_t(std::max(thumbnailInfo_[6], 0));
    storedHeight_ = uint32_t(std::max(thumbnailInfo_[7], 0));

    if ((status = renderer_->PrepareStages())) return MapStatus(status);
    const uint32_t geometry[9] = {rawDataOffset_, rawWidth_, rawHeight_, rawByteCount_, 0, 0, 0, 0, bytesPerSample_};
    std::memcpy(savedGeometry_, geometry, sizeof geometry);
    SetRawClassFlag();
    info_.flags &= ~kJpegConversionAllowed;
    return MapStatus(unknownModel_);
}

VqStatus JpegFileImage::ReadMainIfd(const uint8_t* header, const RawIfdRecord& ifd) {
    VqStatus status = RawImage::ReadMainIfd(header, ifd);
    // A model this interface does not know still opens; the open answers it.
    if (status == VQ_ERR_BAD_FILE && !model_.empty()) unknownModel_ = UnknownModelStatus(), status = 0;
    if (status) return status;
    if (info_.modelFamily == kFamilyUnknown) unknownModel_ = UnknownModelStatus();
    // Fields rewritten in place are addressed in the file: the TIFF structure
    // starts inside APP1.
    descriptionOffset_ = ifd.descriptionOffset ? tiffOffset_ + ifd.descriptionOffset : 0;
    // The image, its place in the file (the TIFF base counted in) and its size.
    rawWidth_ = ifd.width;
    rawHeight_ = ifd.height;
    if (rawWidth_ == 0 || rawHeight_ == 0 || rawWidth_ > 0xFFFF || rawHeight_ > 0xFFFF) return VQ_ERR_BAD_FILE;
    const uint64_t offset = uint64_t(tiffOffset_) + ifd.stripOffsets[0];
    const uint64_t end = offset + ifd.stripByteCounts[0];
    if (end > uint64_t(INT32_MAX)) return VQ_ERR_BAD_FILE;
    rawDataOffset_ = uint32_t(offset);
    rawByteCount_ = ifd.stripByteCounts[0];
    bytesPerSample_ = kPixelBytes;
    info_.geometry.activeWidth = int32_t(rawWidth_);
    info_.geometry.activeHeight = int32_t(rawHeight_);
    info_.geometry.reserved = int32_t(end);
    reservedGeometryWord_ = uint32_t(end);
    dataOffset_ = rawDataOffset_;
    dataWidth_ = rawWidth_;
    dataHeight_ = rawHeight_;
    dataBytes_ = rawByteCount_;
    bytesPerStoredSample_ = kPixelBytes;
    fullWidth_ = rawWidth_;
    fullHeight_ = rawHeight_;
    if ((status = HandSensorLayoutToRenderer())) return status;
    if ((status = SetParameter<int32_t>(RP_DATA_COMPRESSED, ifd.compression == 7 ? 1 : 0))) return status;
    if ((status = SetParameter<uint16_t*>(RP_UNPACK_TABLE, nullptr))) return status;
    if ((status = SetParameter<int32_t>(RP_UNPACK_TABLE_SIZE, 0))) return status;
    if ((status = SetParameter<int32_t>(RP_CACHE_SAMPLE_BYTES, int32_t(kPixelBytes)))) return status;
    // The IPTC record of the APP13 segment, which lies before the TIFF structure
    // in the same head: addressed from the file's start. It is kept for reading;
    // there is no directory entry to rewrite.
    if (jpeg_.app13Data != 0 && tiffOffset_ != 0)
        return SetIptcLocation(header - tiffOffset_, headerLength_ + tiffOffset_, jpeg_.app13Data, jpeg_.app13Value,
                               0, 0, false);
    return 0;
}

VqStatus JpegFileImage::SetUpFromPrivateIfd(const uint8_t* header, const RawTiffReader&, const RawIfdRecord& ifd,
                                            uint32_t length) {
    TakePrivateCameraValues(ifd, tiffOffset_);

    // The camera's text; one that cannot be had is left empty.
    if (ifd.cameraText.count != 0 && ByteView(header, length).contains(ifd.cameraText.offset, ifd.cameraText.count)) {
        try {
            std::string text(reinterpret_cast<const char*>(header) + ifd.cameraText.offset, ifd.cameraText.count);
            cameraText_.assign(text.c_str());
            cameraText_.push_back('\0');
            info_.cameraText = cameraText_.data();
            info_.cameraTextLength = uint32_t(cameraText_.size() - 1);
        } catch (const std::bad_alloc&) {
        }
    }

    // The camera's settings data (tag 1009), at most 512 bytes: data of four
    // bytes or less sits in the entry's own value word, in file order; longer
    // data must lie in the head.
    if (ifd.settingsData.offset != uint32_t(kRawAbsent)) {
        const uint32_t n = std::min(ifd.settingsData.count, kMaxSettingsData);
        std::string data;
        try {
            data.assign(n, '\0');
        } catch (const std::bad_alloc&) {
            return MapStatus(VQ_ERR_FILE_NO_MEMORY);
        }
        VqStatus copied = 0;
        if (ifd.settingsData.count > 4) {
            if (!ByteView(header, length).contains(ifd.settingsData.offset, n)) return MapStatus(VQ_ERR_BAD_FILE);
            copied = CopyFromHeader(header, length, ifd.settingsData.offset, data.data(), n);
        } else {
            const uint32_t word = ifd.settingsData.offset;
            for (uint32_t i = 0; i < n; ++i)
                data[i] = char(bigEndian_ ? uint8_t(word >> (24 - 8 * i)) : uint8_t(word >> (8 * i)));
        }
        if (copied) return MapStatus(copied);
        settingsData_ = std::move(data);
        info_.settingsData = settingsData_.data();
        info_.settingsDataLength = n;
    }

    // The window is the whole image: these files have no margins.
    topMargin_ = leftMargin_ = bottomMargin_ = rightMargin_ = 0;
    marginTop_ = marginLeft_ = marginBottom_ = marginRight_ = 0;
    for (int32_t& m : savedMargins_) m = 0;
    outputWindow_ = {0, 0, int16_t(rawWidth_), int16_t(rawHeight_)};
    activeWidthTag_ = rawWidth_;
    activeHeightTag_ = rawHeight_;
    if (!info_.isColour) info_.outputType = VQ_TYPE_GRAY8;
    int32_t bytes = 0, channels = 0;
    if (renderer_->GetOutputFormat(info_.outputType, &bytes, &channels) == 0) {
        info_.geometry.channels = channels;
        info_.geometry.bytesPerSample = bytes;
    }
    info_.dataBytes = 0;

    VqStatus status = 0;
    storedSettingsOffset_ = 0;
    if (ifd.storedSettings.offset != 0) {
        status = CopyFromHeader(header, length, ifd.storedSettings.offset, storedSettings_, kStoredSettingsBytes);
        if (status) return status;
        storedSettingsOffset_ = tiffOffset_ + ifd.storedSettings.offset;
    }
    // The image keeps its own balance state: the record's is dropped.
    VqWhiteBalanceMode scratch{};
    const VqWhiteBalanceMode kept = state_;
    if ((status = ApplyStoredSettings(storedSettingsOffset_ != 0, &scratch))) return status;
    state_ = kept;

    if ((status = SetParameter(RP_OUTPUT_WINDOW, outputWindow_))) return status;
    const uint16_t zeros[3] = {0, 0, 0};
    if ((status = SetParameterBytes(RP_SAMPLE_BALANCE, zeros, sizeof zeros))) return status;
    if ((status = SetParameterBytes(RP_WHITE_BALANCE, zeros, sizeof zeros))) return status;
    if ((status = SetParameterBytes(RP_MONO_BALANCE, zeros, sizeof zeros))) return status;
    if ((status = SetParameter<uint16_t*>(RP_TONE_CURVE, nullptr))) return status;
    if ((status = SetParameter<int32_t>(RP_TONE_CURVE_SIZE, 0))) return status;
    std::memcpy(balanceTriples_, ifd.balanceTriples, sizeof balanceTriples_);
    if ((status = SetParameter<int32_t>(RP_PRIVATE_1018, int32_t(int16_t(ifd.rendererPrivate))))) return status;
    cameraPreset_ = uint32_t(ifd.cameraPreset);
    if ((status = SetParameter<int32_t>(RP_CAMERA_PRESET, int32_t(ifd.cameraPreset)))) return status;
    return SetParameter<int32_t>(RP_OUTPUT_TYPE, int32_t(info_.outputType));
}

VqStatus JpegFileImage::SetImageType(uint32_t type, int32_t) {
    const bool accepted = info_.isColour ? (type == VQ_TYPE_GRAY8 || type == VQ_TYPE_RGB8 || type == VQ_TYPE_XRGB8 ||
                                            type == VQ_TYPE_BGR8 || type == VQ_TYPE_BGRX8)
                                         : type == VQ_TYPE_GRAY8;
    if (!accepted) return VQ_ERR_BAD_IMAGE_TYPE;
    const uint32_t previous = info_.outputType;
    // The decoded form (grey or RGB) follows the type: it is made again.
    if ((previous == VQ_TYPE_GRAY8) != (type == VQ_TYPE_GRAY8)) ResetCacheState();
    info_.outputType = type;
    int32_t bytes = 0, channels = 0;
    if (renderer_ && renderer_->GetOutputFormat(type, &bytes, &channels) == 0) {
        info_.geometry.channels = channels;
        info_.geometry.bytesPerSample = bytes;
    }
    return SetParameter<int32_t>(RP_OUTPUT_TYPE, int32_t(type));
}

VqStatus JpegFileImage::GetExtension(uint32_t id, void* out) {
    const bool shared = id <= 1 || (id >= 3 && id <= 18) || id == VQ_EXT_WHITE_BALANCE || id == VQ_EXT_IPTC ||
                        id == VQ_EXT_RESOLUTION || id == VQ_EXT_FILE_DATE;
    if (shared) return RawImage::GetExtension(id, out);
    if (id == VQ_EXT_LOOK_COUNT) {
        if (!out) return VQ_ERR_BAD_HANDLE;
        const int32_t none = 0;
        std::memcpy(out, &none, sizeof none);
        return 0;
    }
    return VQ_ERR_UNKNOWN_EXTENSION;
}

VqStatus JpegFileImage::SetExtension(uint32_t id, void* data, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4) {
    if (id == 3 || id == VQ_EXT_WHITE_BALANCE || id == VQ_EXT_IPTC || id == VQ_EXT_RESOLUTION)
        return RawImage::SetExtension(id, data, w1, w2, w3, w4);
    return VQ_ERR_EXTENSION_READ_ONLY;
}

VqStatus JpegFileImage::GetHidden(uint32_t id, void* out) {
    if (id == 10 || id == 11 || id == 14) return SdkImageBase::GetHidden(id, out);
    if (id == kHiddenJpegConversion) {
        if (!out) return VQ_ERR_BAD_HANDLE;
        const int32_t allowed = (info_.flags & kJpegConversionAllowed) ? 1 : 0;
        std::memcpy(out, &allowed, sizeof allowed);
        return 0;
    }
    return NotSupportedStatus();
}

VqStatus JpegFileImage::SetHidden(uint32_t id, void* value) {
    if (id != kHiddenJpegConversion) return NotSupportedStatus();
    if (value) info_.flags |= kJpegConversionAllowed;
    else info_.flags &= ~kJpegConversionAllowed;
    return 0;
}

bool JpegFileImage::AdjustStoredWindow(int32_t* x, int32_t* y, int32_t* w, int32_t* h, int32_t SW, int32_t SH,
                                       int32_t ST, int32_t SL) {
    const int32_t U = int32_t(rawWidth_) - rightMargin_ - leftMargin_;
    const int32_t V = int32_t(rawHeight_) - bottomMargin_ - topMargin_;
    if (SW < U) return false;
    if (SW == U) return true;
    double f = double(U) / double(SW);
    // Exactly half is half: a half-size image is scaled by one half.
    if (f <= 0.5) f = 0.5;
    else if (f < 0.67) f = 2.0 / 3.0;
    else if (f > 0.91) f = 1.0;
    const auto even = [](int64_t v) { return v < 0 ? 0 : int32_t(v & ~int64_t(1)); };
    const int64_t ox = std::max<int64_t>(0, (int64_t(SW) - int64_t(std::floor(U / f))) / 2);
    const int64_t oy = std::max<int64_t>(0, (int64_t(SH) - int64_t(std::floor(V / f))) / 2);
    *x = even(int64_t(std::floor(f * double(*x - ox - SL))) + leftMargin_);
    *y = even(int64_t(std::floor(f * double(*y - oy - ST))) + topMargin_);
    *w = even(int64_t(std::floor(f * *w)));
    *h = even(int64_t(std::floor(f * *h)));
    if (*x + *w > U) *w = even(int64_t(U) - *x);
    if (*y + *h > V) *h = even(int64_t(V) - *y);
    return true;
}

} // namespace lumora::vq
