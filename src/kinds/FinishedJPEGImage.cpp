#include "FinishedJPEGImage.h"

#include "CameraSettingsStrings.h"
#include "File.h"
#include "YlmErrp.h"
#include "YlmError.h"

#include <algorithm>
#include <cstring>

namespace NimbalCore {

using lumora::ByteOrder;

namespace {

constexpr uint16_t kTagSerialNumber = 33405;
constexpr uint16_t kTagCameraSettings = 1009;
constexpr uint16_t kTagExposureIndex = 41493;

struct ClosableFlag {
    Image& image;
    bool saved;
    explicit ClosableFlag(Image& i) : image(i), saved(i.IsClosable()) { image.SetClosable(false); }
    ~ClosableFlag() { image.SetClosable(saved); }
};

bool Matches(const lumora::ByteView& view, uint64_t at, const char* text, uint64_t length) {
    return view.contains(at, length) && std::memcmp(view.data() + at, text, length) == 0;
}

} // namespace

FinishedJPEGImage::FinishedJPEGImage(const FilePathSpec& path) : FinishedImage(path) {
    containerKind_ = 1;
    fileType_ = 2;
}

FinishedJPEGImage::~FinishedJPEGImage() {
    if (file_ && file_->IsOpen()) file_->Close();
    DestroyDecompressor();
}

std::vector<int> FinishedJPEGImage::GetSupportedColorModes() {
    if (isColor_) return {0, 2};
    return {2};
}

int FinishedJPEGImage::Open() {
    try {
        file_->Open(6);
    } catch (...) {
        return NbErrImageFileOpenFailed;
    }
    int result = Image::Open();
    const bool firstOpen = !headerRead_;
    if (firstOpen && result == 0) {
        try {
            result = ParseMajorJPEGMarkers();
            if (result == 0 && hasExif_) {
                const int r = ParseMainIFD();
                if (thumbnailKind_ != ThumbnailLarge) ParseThumbnailIFD();
                result = r != 0 ? r : ParseExifIFD();
                // The JPEG kind keeps nothing else of the private directory.
                if (result == 0) result = ParsePrivateIFD();
                if (result != 0) hasExif_ = false;
            }
            if (result == 0) {
                result = ReadJPEGHeaderJustForOpenImage();
                thumbnailHeaderStatus_ = ReadThumbnailJPEGHeader();
                if (result == 0) SetThumbnailParameters();
            }
        } catch (...) {
            result = NbErrImageFileOpenFailed;
        }
    }
    SetFileBytes({}, fileLength_);
    if (firstOpen && result == 0) {
        imageRect_ = nativeRect_;
        processParams_.colorMode = isColor_ ? 0 : 2;
    }
    if (result == 0 && photoshopIptcPosition_ != 0 && !iptcRead_)
        ReadIPTCRecord(photoshopIptcPosition_, photoshopIptcCount_);
    if (result == 0) CopyCopyrightToIPTC();
    if (result != 0) {
        if (file_->IsOpen()) file_->Close();
        if (open_) Image::Close();
        return result;
    }
    if (firstOpen) SetVisibleThumbnailRect();
    headerRead_ = true;
    const CameraSettingsStrings strings;
    infoTextHead_ = strings.GetString(extendedRange_ ? CameraSettingsStrings::WqxJpegFile
                                                    : CameraSettingsStrings::FinishedFile) + "\n";
    RemoveFileTypeLines(cameraSettingsBlock_);
    RemoveDimensionLines(cameraSettingsBlock_);
    if (!dateTimeRead_) UpdateDateTimeString();
    return 0;
}

void FinishedJPEGImage::Close() {
    SetFileBytes({}, fileLength_);
    sourceBuffer_.clear();
    sourceBuffer_.shrink_to_fit();
    if (file_->IsOpen()) file_->Close();
    Image::Close();
}

void FinishedJPEGImage::FreeCachedData() {
    thumbnail_.Free();
    SetFileBytes({}, fileLength_);
}

int FinishedJPEGImage::ParseMajorJPEGMarkers() {
    const int64_t n = file_->GetSize();
    if (n <= 0) return NbErrImageFileOpenFailed;
    std::vector<uint8_t> bytes;
    try {
        uint8_t start[2] = {0, 0};
        file_->Seek(0, SEEK_SET);
        if (file_->Read(start, 1, 2) != 2) return NbErrImageFileOpenFailed;
        if (!((start[0] == 0xFF && start[1] == 0xD8) || (start[0] == 0xD8 && start[1] == 0xFF)))
            return NbErrImageFileOpenFailed;
        // Two zero bytes after the data.
        bytes.assign(uint64_t(n) + 2, 0);
        file_->Seek(0, SEEK_SET);
        const size_t got = file_->Read(bytes.data(), 1, size_t(n));
        bytes.resize(got + 2);
    } catch (const YlmErrp&) {
        return NbErrImageFileOpenFailed;
    }
    const uint64_t count = bytes.size() - 2;
    SetFileBytes(std::move(bytes), uint64_t(n));
    const lumora::ByteView& v = view_;
    if (count < 2 || v.data()[0] != 0xFF || v.data()[1] != 0xD8) return NbErrImageFileOpenFailed;
    uint16_t length16 = 0;
    if (!v.u16(4, ByteOrder::Big, length16) || count < uint64_t(length16) + 6) return NbErrImageFileOpenFailed;
    uint64_t length = length16;
    uint64_t e = 2;
    bool sawApp1 = false;
    uint64_t exifHeader = 0;
    int result = 0;
    bool dataEnd = false;
    for (;;) {
        if (v.data()[e] != 0xFF || e + 4 > count) {
            dataEnd = true;
            break;
        }
        const uint8_t marker = v.data()[e + 1];
        // The segment's bytes: the handlers read nowhere else.
        const bool whole = e + 2 + length <= count;
        bool stop = false;
        switch (marker) {
        case 0xC0: case 0xC4: case 0xD9: case 0xDA: case 0xDB: case 0xDD:
        case 0xD0: case 0xD1: case 0xD2: case 0xD3: case 0xD4: case 0xD5: case 0xD6: case 0xD7:
            stop = true;
            break;
        case 0xFF: {
            uint64_t f = e + 1;
            while (f < count && v.data()[f] == 0xFF) ++f;
            if (f >= count) {
                stop = true;
                break;
            }
            e = f - 1;
            length = 0;
            v.u16(e + 2, ByteOrder::Big, length16);
            length = length16;
            continue;
        }
        case 0xFE:
            break;
        default:
            if (marker < 0xE0 || marker > 0xEF) return NbErrImageFileOpenFailed;
            if (!whole) {
                // A segment cut short by the end of the file: the data end.
                dataEnd = stop = true;
                break;
            }
            switch (marker) {
            case 0xE0:
                app0Position_ = e, app0Length_ = length;
                if (length >= 9) {
                    v.u8(e + length - 5, app0Units_);
                    v.u16(e + length - 4, ByteOrder::Big, app0Density_);
                }
                break;
            case 0xE1:
                sawApp1 = true;
                // An APP1 of another kind (XMP) after the Exif block keeps it.
                if (length >= 12 && DetectByteOrder(e + 10)) exifHeader = e + 10;
                break;
            case 0xE2:
                if (length >= 16 && Matches(v, e + 4, "ICC_PROFILE\0", 12)) AddICCProfileChunk(e + 16, length);
                break;
            case 0xE3:
                ParseMetaSegment(length, e);
                break;
            case 0xE4: case 0xE5: case 0xE6: case 0xE7: case 0xE9: case 0xEA: case 0xEB: case 0xEC: case 0xEE:
            case 0xEF:
                ParseApplicationSegment(length, e, marker);
                break;
            case 0xE8:
                app8Position_ = e, app8Length_ = length;
                break;
            case 0xED:
                result = ParsePhotoshopSegment(length, e);
                break;
            default:
                break;
            }
            break;
        }
        if (stop) break;
        e += length + 2;
        if (e + 2 > count) return NbErrImageFileOpenFailed;
        v.u16(e + 2, ByteOrder::Big, length16);
        length = length16;
    }
    if (dataEnd && !sawApp1) return NbErrImageFileOpenFailed;
    if (result != 0) return result;
    hasExif_ = false;
    if (exifHeader != 0 && DetectByteOrder(exifHeader)) {
        exifHeaderPosition_ = exifHeader;
        tiffBase_ = exifHeader;
        uint32_t ifd0 = 0;
        v.u32(exifHeader + 4, order_, ifd0);
        ifd0_ = ifd0;
        hasExif_ = true;
        exifIFD_ = GetIFDValue(ifd0_, TagExifIFD);
        privateIFD_ = GetIFDValue(ifd0_, TagPrivateIFD);
        ifd1_ = GetNextIFD(ifd0_);
    }
    return 0;
}

int FinishedJPEGImage::ParsePhotoshopSegment(uint64_t length, uint64_t p) {
    const lumora::ByteView& v = view_;
    const uint64_t end = p + length + 2;
    if (!Matches(v, p + 4, "Photoshop", 9)) return 0;
    app13Position_ = p;
    app13Length_ = length + 2;
    uint64_t r = 0;
    for (uint64_t i = p + 13; i < p + 21 && i < end; ++i)
        if (v.data()[i] == '8') {
            r = i;
            break;
        }
    if (r == 0) return 0;
    while (r + 4 <= end && Matches(v, r, "8BIM", 4)) {
        uint16_t id = 0;
        uint8_t nameLength = 0;
        if (!v.u16(r + 4, ByteOrder::Big, id) || !v.u8(r + 6, nameLength)) break;
        const uint64_t name = (uint64_t(nameLength) + 2) & ~uint64_t(1);
        uint32_t size = 0;
        if (!v.u32(r + 6 + name, ByteOrder::Big, size)) break;
        const uint64_t data = r + 10 + name;
        const uint64_t padded = (uint64_t(size) + 1) & ~uint64_t(1);
        if (data > end || padded > end - data) break;
        if (id == 1005) {
            resource1005Position_ = data;
        } else if (id == 1028) {
            photoshopIptcPosition_ = data;
            photoshopIptcCount_ = uint32_t((uint64_t(size) + 3) / 4);
        } else if (id == 1036 && size >= 28) {
            uint32_t w = 0, h = 0, format = 0;
            v.u32(data + 4, ByteOrder::Big, w);
            v.u32(data + 8, ByteOrder::Big, h);
            v.u32(data + 16, ByteOrder::Big, format);
            if (w == 64 && h == 64 && format == 0x3000) {
                photoshopThumbnailWidth_ = photoshopThumbnailHeight_ = 0;
                photoshopThumbnailPosition_ = 0;
            } else {
                photoshopThumbnailWidth_ = w, photoshopThumbnailHeight_ = h;
                photoshopThumbnailPosition_ = data + 28;
            }
        }
        r = data + padded;
    }
    return 0;
}

int FinishedJPEGImage::AddICCProfileChunk(uint64_t q, uint64_t length) {
    uint8_t sequence = 0, total = 0;
    view_.u8(q, sequence);
    view_.u8(q + 1, total);
    const uint64_t size = length - 16;
    profileComplete_ = false;
    ++profileChunkCount_;
    if (profileFailed_) return 0;
    if (size < 1 || size > 0xFFFD || sequence != profileChunkCount_ || total < sequence ||
        !view_.contains(q + 2, size)) {
        profileFailed_ = true;
        profileChunks_.clear();
        return 0;
    }
    if (sequence == 1) profileChunks_.clear();
    try {
        profileChunks_.insert(profileChunks_.end(), view_.data() + q + 2, view_.data() + q + 2 + size);
    } catch (const std::bad_alloc&) {
        profileFailed_ = true;
        profileChunks_.clear();
        return 0;
    }
    if (sequence == total) {
        profileComplete_ = true;
        SetEmbeddedProfile(std::move(profileChunks_));
        profileChunks_.clear();
    }
    return 0;
}

int FinishedJPEGImage::ParseLargeThumbnailSegment(uint64_t length, uint64_t position) {
    const lumora::ByteView& v = view_;
    if (!Matches(v, position + 4, "LMBigTN\0", 8) || length < 22) return 0;
    uint16_t w = 0, h = 0, last = 0;
    v.u16(position + 16, ByteOrder::Big, w);
    v.u16(position + 18, ByteOrder::Big, h);
    if (w == 0 || h == 0 || w > 500 || h > 500) return 0;
    if (!v.u16(position + length, ByteOrder::Big, last) || last != 0xFFD9) return 0;
    thumbnailBounds_ = NbRect(0, 0, w - 1, h - 1);
    visibleThumbnailRect_ = thumbnailBounds_;
    thumbnailKind_ = ThumbnailLarge;
    thumbnailCompression_ = 6;
    thumbnailOffset_ = position + 22;
    return 0;
}

bool FinishedJPEGImage::TestForFinishedZynImage(uint64_t ifd) {
    bool finished = true;
    if (copyright_.empty()) copyright_ = GetIFDString(ifd, TagCopyright);
    software_ = GetIFDString(ifd, TagSoftware);
    if (!software_.empty()) firmwareVersion_ = software_;
    else finished = false;
    cameraMake_ = GetIFDString(ifd, TagMake);
    cameraModel_ = GetIFDString(ifd, TagModel);
    if (cameraModel_ == "Zyn CorvidN") cameraModel_ = "Zyn Corvidn";
    const std::string settings = GetIFDString(ifd, kTagCameraSettings);
    if (!settings.empty()) cameraSettingsBlock_ += settings;
    ReadCaptureDate(ifd);
    if (!ReadCaptureDate(exifIFD_)) {
        path_.UpdateTime();
        captureTime_ = path_.GetCreationTime();
    }
    if (finished && GetIFDCount(ifd, TagSubIFDs) >= 2 && GetIFDValueOffset(ifd, TagSubIFDs) != 0) {
        const uint64_t list = tiffBase_ + GetIFDValueOffset(ifd, TagSubIFDs);
        uint32_t second = 0;
        if (view_.u32(list + 4, order_, second) && FindIFDEntry(second, TagPrivateCamera)) finished = false;
    }
    finishedZyn_ = finished;
    return finished;
}

int FinishedJPEGImage::ParseMainIFD() {
    const uint64_t ifd = ifd0_;
    const std::string serial = GetIFDString(ifd, kTagSerialNumber);
    if (!serial.empty()) serialNumber_ = serial;
    if (copyright_.empty()) copyright_ = GetIFDString(ifd, TagCopyright);
    TestForFinishedZynImage(ifd);
    const uint32_t iptcCount = GetIFDCount(ifd, TagIPTC);
    const uint32_t iptcAt = GetIFDValueOffset(ifd, TagIPTC);
    if (iptcCount > 1 && iptcAt != 0) ReadIPTCRecord(tiffBase_ + iptcAt, iptcCount);
    switch (GetIFDValue(ifd, TagOrientation)) {
    case 3: processParams_.rotation = 180.0f; break;
    case 6: processParams_.rotation = 90.0f; break;
    case 8: processParams_.rotation = 270.0f; break;
    default: processParams_.rotation = 0.0f; break;
    }
    const uint32_t iccCount = GetIFDCount(ifd, TagICCProfile);
    const uint32_t iccAt = GetIFDValueOffset(ifd, TagICCProfile);
    if (iccCount > 4 && iccAt != 0) {
        // A profile whose bytes are not in the file is ignored.
        std::vector<uint8_t> icc;
        try {
            if (ReadFileBytes(tiffBase_ + iccAt, iccCount, icc)) SetEmbeddedProfile(std::move(icc));
        } catch (const std::bad_alloc&) {
            return NbErrProfileAllocFailed;
        }
    }
    ReadCaptureDate(exifIFD_);
    return 0;
}

int FinishedJPEGImage::ParseExifIFD() {
    if (!ReadCaptureDate(exifIFD_)) {
        path_.UpdateTime();
        captureTime_ = path_.GetCreationTime();
    }
    exposureIndex_ = 0.0f;
    const uint32_t at = GetIFDValueOffset(exifIFD_, kTagExposureIndex);
    if (at != 0) exposureIndex_ = ReadRational(at);
    processing_.exposureIndex = exposureIndex_;
    if (copyright_.empty()) copyright_ = GetIFDString(exifIFD_, TagCopyright);
    return 0;
}

} // namespace NimbalCore
