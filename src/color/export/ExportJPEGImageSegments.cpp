// ExportJPEGImage: the header segments of the exported file, in the order the
// file holds them, and the Exif block behind the first of them.
#include "ExportJPEGImage.h"

#include "BlockOMemoryLock.h"
#include "ColorEngine.h"
#include "ColorProfile.h"
#include "ExportTags.h"
#include "File.h"
#include "Image.h"
#include "JPEGCompressor.h"
#include "JpegQualityPreset.h"
#include "JpegSegmentWriter.h"
#include "NbErrorCodes.h"
#include "TiffBuilder.h"
#include "TiffTag.h"
#include "YlmRefPtr.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace NimbalCore {

namespace {

enum JpegMarker : uint8_t {
    MarkerSOI = 0xD8,
    MarkerAPP1 = 0xE1,
    MarkerAPP2 = 0xE2,
    MarkerAPP4 = 0xE4,
    MarkerAPP5 = 0xE5,
    MarkerAPP13 = 0xED,
};

// Tags of the Exif block's own directories.
enum ExifBlockTag : uint16_t {
    TagOrientation = 274,
    TagJPEGInterchangeFormat = 513,
    TagJPEGInterchangeFormatLength = 514,
    TagYCbCrPositioning = 531,
    TagSerialNumber = 33405,
    TagImageNumber = 37393,
    TagInteroperabilityIndex = 1,
    TagInteroperabilityVersion = 2,
};

enum PhotoshopResource : uint16_t {
    ResourceResolutionInfo = 0x03ED,
    ResourceIPTC = 0x0404,
    ResourceJPEGQuality = 0x0406,
};

constexpr uint16_t kCompressionJPEG = 6;
constexpr uint16_t kYCbCrCosited = 2;
// Largest contents: APP1 by its 65532-byte limit, APP13 below 65534 bytes in all.
constexpr uint32_t kMaxExifLength = 65532;
constexpr uint32_t kMaxPhotoshopTotal = 65533;
constexpr uint32_t kPhotoshopFixedBytes = 66;     // header, resolution and quality resources
constexpr uint32_t kResourceHeaderBytes = 12;     // "8BIM", id, empty name, size
constexpr uint32_t kICCChunkBytes = 32000;
constexpr uint32_t kMaxICCChunks = 255;
constexpr uint32_t kCameraSettingsValueOffset = 26;
constexpr uint32_t kCameraSettingsTrailingZeros = 2;
constexpr double kCentimetreFixed = 166461.44;    // 2.54 x 65536
constexpr double kInchFixed = 65536.0;

const char kExifName[] = {'E', 'x', 'i', 'f', 0, 0};
const char kPhotoshopName[] = "Photoshop 3.0"; // with its NUL
const char kZELT1Name[] = "ZELT1";              // with its NUL
const char kICCName[] = "ICC_PROFILE";          // with its NUL
const char kPreviewName[] = {'L', 'M', 'B', 'i', 'g', 'T', 'N'};

void AddShort(TiffBuilder& b, uint16_t tag, uint16_t value) {
    const uint32_t word = value;
    TiffEntry e{tag, TiffTypeShort, 1, &word};
    b.AddEntry(&e);
}

void AddLong(TiffBuilder& b, uint16_t tag, uint32_t value) {
    TiffEntry e{tag, TiffTypeLong, 1, &value};
    b.AddEntry(&e);
}

void AddResolution(TiffBuilder& b, int32_t resolution) {
    const float value = float(resolution);
    for (uint16_t tag : {uint16_t(TagXResolution), uint16_t(TagYResolution)}) {
        TiffEntry e{tag, TiffTypeFloat, 1, &value};
        b.AddEntry(&e);
    }
}

// A 16.16 resolution, cut toward zero and held inside 32 bits.
uint32_t FixedResolution(int32_t resolution, double factor) {
    const double v = std::trunc(double(resolution) * factor);
    if (!(v > 0)) return 0;
    if (v >= double(std::numeric_limits<uint32_t>::max())) return std::numeric_limits<uint32_t>::max();
    return uint32_t(v);
}

} // namespace

// ---- The order of the file --------------------------------------------------------

void ExportJPEGImage::WriteHeaders(File& target) {
    BuildExifBlock();
    WriteSOI(target);
    WriteExifSegment(target);
    exifThumbnailCompressor_.reset();
    WritePhotoshopSegment(target);
    WriteCameraSettingsSegment(target);
    WriteICCProfileSegments(target);
    WritePreviewSegment(target);
    previewCompressor_.reset();
}

void ExportJPEGImage::WriteSegment(File& target, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return;
    if (target.Write(bytes.data(), 1, bytes.size()) != bytes.size()) throw kShortTransfer;
}

// ---- Exif -------------------------------------------------------------------------

void ExportJPEGImage::BuildExifBlock() {
    if (!builder_) builder_.reset(new TiffBuilder(TiffBuilder::JpegExif));
    BlockOMemoryLock pin(builder_.get());
    BuildExifIFD(ExifIFD);
    MergeCopyrightIntoIPTC();
    // The GPS directory is collected before IFD0 points at it, so a source
    // whose GPS entries cannot be had gets no pointer to a missing directory.
    if (hasGPS_) {
        AddGPSIFD(GPSIFD);
        hasGPS_ = builder_->GetEntryCount(GPSIFD) > 0;
    }
    AddIFD0();
    AddThumbnailIFD();
    AddInteroperabilityIFD();
    builder_->Build();
}

void ExportJPEGImage::AddIFD0() {
    TiffBuilder& b = *builder_;
    Image* image = GetImage();
    b.NewIFD(IFD0);
    b.AddString(TagImageDescription, image->GetAnnotation());
    const std::string make = image->GetCameraMake();
    b.AddString(TagMake, make.empty() ? "Unknown" : make);
    AddModelEntry(&b);
    AddShort(b, TagOrientation, 1);
    AddResolution(b, resolution_);
    AddShort(b, TagResolutionUnit, GetResolutionUnitCode());
    b.AddString(TagSoftware, GetSoftwareName());
    std::string date;
    if (ToExifDateTime(image->GetDateTimeString(), &date)) b.AddString(TagDateTime, date);
    if (mainCompressor_ && mainCompressor_->GetChannels() == 3) AddShort(b, TagYCbCrPositioning, kYCbCrCosited);
    b.AddString(TagSerialNumber, image->GetSerialNumber());
    b.AddString(TagCopyright, copyright_);
    AddLong(b, TagExifIFD, ExifIFD);
    if (hasGPS_) AddLong(b, TagGPSInfoIFD, GPSIFD);
    const int32_t number = image->GetImageNumber();
    if (number != -1) AddLong(b, TagImageNumber, uint32_t(number));
    b.SetNextIFD(ThumbnailIFD);
}

void ExportJPEGImage::AddThumbnailIFD() {
    TiffBuilder& b = *builder_;
    const JPEGCompressor* small = exifThumbnailUsable_ ? exifThumbnailCompressor_.get() : nullptr;
    b.NewIFD(ThumbnailIFD);
    AddShort(b, TagCompression, kCompressionJPEG);
    AddShort(b, TagOrientation, 1);
    AddResolution(b, resolution_);
    AddShort(b, TagResolutionUnit, GetResolutionUnitCode());
    b.AddString(TagSoftware, GetImage()->GetFirmwareVersion());
    // Without a stream (a thumbnail that could not be compressed) the
    // directory points at nothing.
    if (small) {
        AddLong(b, TagJPEGInterchangeFormat, 0);
        AddLong(b, TagJPEGInterchangeFormatLength, uint32_t(small->GetCompressedSize()));
        if (small->GetChannels() == 3) AddShort(b, TagYCbCrPositioning, kYCbCrCosited);
    }
    b.SetNextIFD(0);
}

void ExportJPEGImage::AddInteroperabilityIFD() {
    TiffBuilder& b = *builder_;
    b.NewIFD(InteroperabilityIFD);
    b.AddString(TagInteroperabilityIndex, "R98");
    const char version[4] = {'0', '1', '0', '0'};
    TiffEntry e{TagInteroperabilityVersion, TiffTypeUndefined, 4, version};
    b.AddEntry(&e);
    b.SetNextIFD(0);
}

void ExportJPEGImage::WriteSOI(File& target) { WriteSegment(target, {0xFF, MarkerSOI}); }

std::vector<uint8_t> ExportJPEGImage::BuildExifSegment(const uint8_t* block, uint32_t blockBytes,
                                                        const uint8_t* thumbnail, uint32_t thumbnailBytes) {
    JpegSegmentWriter w(MarkerAPP1, kMaxExifLength);
    w.PutBytes(kExifName, sizeof kExifName);
    w.PutBytes(block, blockBytes);
    if (thumbnail) w.PutBytes(thumbnail, thumbnailBytes);
    return w.Finish();
}

void ExportJPEGImage::WriteExifSegment(File& target) {
    if (!builder_ || builder_->GetSize() == 0 || !builder_->GetData()) return;
    const JPEGCompressor* small = exifThumbnailUsable_ ? exifThumbnailCompressor_.get() : nullptr;
    const std::vector<uint8_t> segment =
        BuildExifSegment(static_cast<const uint8_t*>(builder_->GetData()), uint32_t(builder_->GetSize()),
                         small ? small->GetCompressedData() : nullptr, small ? uint32_t(small->GetCompressedSize()) : 0);
    builder_.reset();
    WriteSegment(target, segment);
}

// ---- Photoshop ----------------------------------------------------------------------

uint16_t ExportJPEGImage::PhotoshopQuality(int qualityCode) {
    switch (NormalizePresetCode(qualityCode)) {
    case 0: return 10;
    case 2: return 6;
    default: return 8;
    }
}

std::vector<uint8_t> ExportJPEGImage::BuildPhotoshopSegment(const IPTCNAARecord2& iptc, int32_t resolution,
                                                            int32_t units, int qualityCode) {
    // The IPTC resource carries the whole record, its trailing zeros too,
    // while they fit; a record whose zeros alone would not fit gives its
    // datasets only. Resources start on even offsets: an odd size is
    // followed by one pad byte.
    const uint8_t* start = nullptr;
    uint32_t capacity = 0;
    uint64_t size = 0;
    if (iptc.GetBuffer(&start, &capacity) && start) size = capacity;
    auto total = [](uint64_t n) { return n ? kPhotoshopFixedBytes + kResourceHeaderBytes + n + (n & 1) : kPhotoshopFixedBytes; };
    if (total(size) > kMaxPhotoshopTotal) size = (uint64_t(iptc.GetLength()) + 1) & ~uint64_t(1);
    if (total(size) > kMaxPhotoshopTotal) return {};

    JpegSegmentWriter w(MarkerAPP13);
    w.PutBytes(kPhotoshopName, sizeof kPhotoshopName);
    if (size != 0) {
        w.PutText("8BIM");
        w.Put16(ResourceIPTC);
        w.Put16(0); // empty name
        w.Put32(uint32_t(size));
        const uint64_t copied = std::min<uint64_t>(size, capacity);
        w.PutBytes(start, copied);
        w.PutZeros(size - copied + (size & 1));
    }
    w.PutText("8BIM");
    w.Put16(ResourceResolutionInfo);
    w.Put16(0);
    w.Put32(16);
    const bool centimetres = units == 1;
    const uint32_t fixed = FixedResolution(resolution, centimetres ? kCentimetreFixed : kInchFixed);
    const uint16_t unit = centimetres ? 2 : 1;
    w.Put32(fixed);
    w.Put16(unit);
    w.Put16(unit);
    w.Put32(fixed);
    w.Put16(unit);
    w.Put16(unit);
    w.PutText("8BIM");
    w.Put16(ResourceJPEGQuality);
    w.Put16(0);
    w.Put32(7);
    w.Put16(PhotoshopQuality(qualityCode));
    w.Put16(0);
    w.Put16(1);
    w.Put8(1);
    w.Put8(0); // pad
    return w.Finish();
}

void ExportJPEGImage::WritePhotoshopSegment(File& target) {
    WriteSegment(target, BuildPhotoshopSegment(iptc_, resolution_, units_, qualityCode_));
}

// ---- Camera settings ------------------------------------------------------------------

std::vector<uint8_t> ExportJPEGImage::BuildCameraSettingsSegment(const std::string& text) {
    if (text.empty()) return {};
    const uint64_t L = text.size();
    if (L > JpegSegmentWriter::kMaxLength) return {};
    JpegSegmentWriter w(MarkerAPP5);
    w.PutBytes(kZELT1Name, sizeof kZELT1Name);
    w.PutBytes("MM\0\x2A", 4);
    w.Put32(8);
    w.Put16(1);
    w.Put16(PrivTagCameraSettingsText);
    w.Put16(TiffTypeAscii);
    w.Put32(uint32_t(L));
    w.Put32(kCameraSettingsValueOffset);
    w.Put32(0);
    w.PutText(text);
    // The segment is 38 + L bytes, plus the pad byte of an odd text: the
    // text ends in zeros.
    w.PutZeros(kCameraSettingsTrailingZeros + (L & 1));
    return w.Finish();
}

void ExportJPEGImage::WriteCameraSettingsSegment(File& target) {
    std::string text = GetImage()->GetCameraSettingsBlock();
    if (text.empty()) return;
    RewriteDimensionsInText(text, int(outputRect_.Width()), int(outputRect_.Height()));
    WriteSegment(target, BuildCameraSettingsSegment(text));
}

namespace {

// The digits after a label: their start and length; false when the label,
// a digit after it or the end of the digits is missing.
bool FindNumber(const std::string& text, const char* label, size_t* start, size_t* length) {
    static const char kDigits[] = "0123456789";
    const size_t at = text.find(label);
    if (at == std::string::npos) return false;
    const size_t first = text.find_first_of(kDigits, at);
    if (first == std::string::npos) return false;
    const size_t end = text.find_first_not_of(kDigits, first);
    if (end == std::string::npos) return false;
    *start = first;
    *length = end - first;
    return true;
}

// Whether the digits say value; a run too long for an int says no int.
bool DigitsEqual(const std::string& text, size_t start, size_t length, int value) {
    int64_t v = 0;
    for (size_t i = 0; i < length; ++i) {
        v = v * 10 + (text[start + i] - '0');
        if (v > std::numeric_limits<int32_t>::max()) return false;
    }
    return v == value;
}

} // namespace

void RewriteDimensionsInText(std::string& text, int width, int height) {
    size_t widthAt = 0, widthLength = 0, heightAt = 0, heightLength = 0;
    if (!FindNumber(text, "Width:", &widthAt, &widthLength) || !FindNumber(text, "Height:", &heightAt, &heightLength))
        return;
    if (DigitsEqual(text, widthAt, widthLength, width) || DigitsEqual(text, heightAt, heightLength, height)) return;
    const std::string newWidth = std::to_string(width), newHeight = std::to_string(height);
    text.replace(widthAt, widthLength, newWidth);
    if (heightAt > widthAt) heightAt = heightAt + newWidth.size() - widthLength;
    if (heightAt > text.size()) return;
    text.replace(heightAt, heightLength, newHeight);
}

// ---- ICC profile ----------------------------------------------------------------------

std::vector<std::vector<uint8_t>> ExportJPEGImage::BuildICCProfileSegments(const uint8_t* profile, uint64_t bytes) {
    std::vector<std::vector<uint8_t>> segments;
    if (!profile || bytes == 0) return segments;
    const uint64_t count = (bytes + kICCChunkBytes - 1) / kICCChunkBytes;
    // The sequence numbers are single bytes.
    if (count > kMaxICCChunks) return segments;
    for (uint64_t k = 0; k < count; ++k) {
        const uint64_t at = k * kICCChunkBytes;
        const uint64_t chunk = std::min<uint64_t>(kICCChunkBytes, bytes - at);
        JpegSegmentWriter w(MarkerAPP2);
        w.PutBytes(kICCName, sizeof kICCName);
        w.Put8(uint8_t(k + 1));
        w.Put8(uint8_t(count));
        w.PutBytes(profile + at, chunk);
        segments.push_back(w.Finish());
        if (segments.back().empty()) return {};
    }
    return segments;
}

void ExportJPEGImage::WriteICCProfileSegments(File& target) {
    if (!embedProfile_ || rendering_->GetLookKind() != 3) return;
    // An RGB profile does not describe a one-component picture.
    if (!mainCompressor_ || mainCompressor_->GetChannels() != 3) return;
    const ImageProcessParam* params = rendering_->GetProcessParamPtr();
    const std::string name = params ? params->GetWorkingSpaceName() : std::string();
    if (name.empty()) return;
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    if (!engine) return;
    YlmRefPtr<ColorSpaceDesc> found = engine->FindProfile(name);
    auto* profile = dynamic_cast<ColorProfile*>(found.Get());
    if (!profile) return;
    const uint32_t size = profile->Size();
    if (size == 0) return;
    std::vector<uint8_t> bytes(size);
    if (const int status = profile->CopyToBuffer(size, bytes.data())) throw NbErrorCodes(status);
    for (const std::vector<uint8_t>& segment : BuildICCProfileSegments(bytes.data(), bytes.size()))
        WriteSegment(target, segment);
}

// ---- Preview --------------------------------------------------------------------------

std::vector<uint8_t> ExportJPEGImage::BuildPreviewSegment(int width, int height, const uint8_t* stream,
                                                          uint64_t bytes) {
    if (!stream || bytes == 0 || width < 1 || height < 1 || width > 0xFFFF || height > 0xFFFF) return {};
    JpegSegmentWriter w(MarkerAPP4);
    w.PutBytes(kPreviewName, sizeof kPreviewName);
    w.PutZeros(5);
    w.Put16(uint16_t(width));
    w.Put16(uint16_t(height));
    w.Put8(0);
    w.Put8(1);
    w.PutBytes(stream, bytes);
    return w.Finish();
}

void ExportJPEGImage::WritePreviewSegment(File& target) {
    const JPEGCompressor* preview = previewUsable_ ? previewCompressor_.get() : nullptr;
    if (!preview) return;
    WriteSegment(target, BuildPreviewSegment(preview->GetWidth(), preview->GetHeight(), preview->GetCompressedData(),
                                             uint64_t(preview->GetCompressedSize())));
}

} // namespace NimbalCore
