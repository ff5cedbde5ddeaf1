#include "ExportImage.h"

#include "BlockOMemory.h"
#include "ExportImageArray.h"
#include "ExportTags.h"
#include "Image.h"
#include "NbErrorCodes.h"
#include "Thumbnail.h"
#include "TiffBuilder.h"
#include "TiffTag.h"
#include "TiffTypeSize.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace NimbalCore {

namespace {

constexpr uint32_t Bytes4(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

int32_t Trunc32(double v) {
    if (!(v > -2147483648.0 && v < 2147483648.0)) return 0;
    return int32_t(v);
}

bool IsDateTimeTag(uint16_t tag) {
    return tag == TagDateTime || tag == TagDateTimeOriginal || tag == TagDateTimeDigitized;
}

} // namespace

ExportImage::ExportImage(ImageRendering& rendering, const FilePathSpec& target, ExportImageArray* array)
    : rendering_(new ImageRendering(rendering)), target_(target), array_(array) {
    if (Image* image = GetImage()) {
        if (IPTCNAARecord2* record = image->GetIPTCRecord()) iptc_ = *record;
    }
}

ExportImage::~ExportImage() {
    exif_.Close();
    // The scaler goes first: it may still hold an open strip sequence.
    scaler_.reset();
}

const void* ExportImage::KeepBytes(std::vector<uint8_t> bytes) {
    kept_.push_back(std::move(bytes));
    return kept_.back().data();
}

int ExportImage::SetSizeOptions(ExportSizeOptions options) {
    if (options.IsValid()) {
        resizeEnabled_ = options.resizeEnabled;
        resizeMode_ = options.resizeMode;
        units_ = options.units;
        resolution_ = options.resolution;
        percent_ = options.percent;
        targetWidth_ = options.pixelWidth;
        targetHeight_ = options.pixelHeight;
    }
    return 0;
}

uint16_t ExportImage::GetResolutionUnitCode() const { return units_ == 1 ? 3 : 2; }

std::string ExportImage::GetSoftwareName() { return std::string("ORVEX PROFESSIONAL ZYN Lumora 4.3.0.8") + " W"; }

std::string ExportImage::GetCameraSettingsText() {
    Image* image = GetImage();
    return image ? image->GetCameraSettingsBlock() : std::string();
}

void ExportImage::WriteBigEndian16(uint16_t value, uint8_t* out) {
    out[0] = uint8_t(value >> 8);
    out[1] = uint8_t(value);
}

void ExportImage::WriteBigEndian32(uint32_t value, uint8_t* out) {
    out[0] = uint8_t(value >> 24);
    out[1] = uint8_t(value >> 16);
    out[2] = uint8_t(value >> 8);
    out[3] = uint8_t(value);
}

short ExportImage::ContinueProgress(int, void*) { return 1; }

bool ExportImage::ToExifDateTime(const std::string& text, std::string* out) {
    if (text.size() != 19) return false;
    for (size_t i = 0; i < 19; ++i) {
        const char c = text[i];
        const bool ok = (i == 4 || i == 7 || i == 13 || i == 16) ? c == ':'
                        : i == 10                                 ? (c == ' ' || c == ':')
                                                                  : (c >= '0' && c <= '9');
        if (!ok) return false;
    }
    *out = text;
    (*out)[10] = ' ';
    return true;
}

// ---- Output geometry -------------------------------------------------------

int ExportImage::SetupResize(int channels) {
    if (!resizeEnabled_) return 0;
    int result;
    switch (resizeMode_) {
    case ResizeByPercent: result = SetupResizeByPercent(); break;
    case ResizeToFill: result = SetupResizeToFill(); break;
    case ResizeToFit: result = SetupResizeToFit(); break;
    case ResizeToFitAndPad: result = SetupResizeToFitAndPad(); break;
    default: result = NbErrBadArgument; break;
    }
    if (result == kNothingToResize) {
        resizeEnabled_ = false;
        scale_ = 1.0;
        scaledRect_ = outputRect_ = cropRect_;
        return 0;
    }
    if (result == 0 && resizeEnabled_ && cropRect_ == scaledRect_ && outputRect_ == scaledRect_) resizeEnabled_ = false;
    if (result == 0 && resizeEnabled_) {
        if (outputRect_.Width() > kMaxOutputPixels || outputRect_.Height() > kMaxOutputPixels) return NbErrExportTooLarge;
        scaler_ = MakeExportScaler();
        result = scaler_ ? scaler_->Setup(false, rendering_->GetImageBounds(), scaledRect_,
                                          array_ ? array_->GetBytesPerSample() : 1, channels, scaleNumerator_,
                                          scaleDenominator_)
                         : int(NbErrScalerNotSetUp);
        if (result != 0) {
            resizeEnabled_ = false;
            scale_ = 1.0;
            scaler_.reset();
        }
    }
    if (!resizeEnabled_) scaledRect_ = outputRect_ = cropRect_;
    return result;
}

bool ExportImage::CommonSizeSetup(int64_t* cw, int64_t* ch, bool* heightLed) {
    *cw = cropRect_.Width();
    *ch = cropRect_.Height();
    if (targetWidth_ <= 0 || targetHeight_ <= 0 || *cw <= 0 || *ch <= 0) return false;
    const double wr = double(targetWidth_) / double(*cw), hr = double(targetHeight_) / double(*ch);
    *heightLed = hr > wr && std::fabs(hr - wr) / wr >= 0.02;
    return true;
}

// The scaled image's rectangle, and a box centred on the crop's scaled centre
// and kept inside it.
void ExportImage::GrowStripBuffer(BlockOMemory& buffer, uint64_t bytes) {
    if (uint64_t(buffer.GetSize()) >= bytes && buffer.GetData()) return;
    buffer.Free();
    buffer.Create(std::max<uint64_t>(bytes, 1));
}

NbRect ExportImage::BeginScaledStrip(bool first, const NbRect& destination, BlockOMemory& work,
                                     BlockOMemory& receiving, size_t* destinationBytes, const char* op) {
    if (first)
        if (int code = scaler_->StripBegin()) YLM_THROW(op, code);
    NbRect source, second, asked = destination;
    if (int code = scaler_->GetSourceRect(&source, &asked, &second)) YLM_THROW(op, code);
    size_t workBytes = 0;
    *destinationBytes = 0;
    if (int code = scaler_->GetBufferSizes(&workBytes, destinationBytes)) YLM_THROW(op, code);
    GrowStripBuffer(receiving, *destinationBytes);
    GrowStripBuffer(work, workBytes);
    return source;
}

VrelSharpenPlanes ExportImage::InterleavedPlanes(int channels, int bytesPerSample, int32_t rowStride,
                                                 const NbRect& rect, uint8_t* origin) {
    VrelSharpenPlanes planes{};
    planes.channels = channels;
    planes.bitsPerSample = bytesPerSample * 8;
    planes.pixelStride = int32_t(uint64_t(channels) * uint64_t(bytesPerSample));
    planes.rowStride = rowStride;
    planes.rows = int32_t(rect.Height());
    planes.columns = int32_t(rect.Width());
    for (int k = 0; k < channels && k < 3; ++k) planes.plane[k] = origin + k * bytesPerSample;
    return planes;
}

void ExportImage::CenterInScaledImage(NbRect& box) {
    const NbRect image = rendering_->GetImageBounds();
    scaledImageRect_ = NbRect(0, 0, Trunc32(double(image.Width()) * scale_) - 1, Trunc32(double(image.Height()) * scale_) - 1);
    const int32_t cx = int32_t(cropRect_.left + cropRect_.Width() / 2);
    const int32_t cy = int32_t(cropRect_.top + cropRect_.Height() / 2);
    box.CenterOn(NbPoint{Trunc32(scale_ * cx), Trunc32(scale_ * cy)});
    box.MoveInside(scaledImageRect_);
}

int ExportImage::SetupResizeByPercent() {
    const int64_t p = percent_;
    if (p == 100) return kNothingToResize;
    const int64_t cw = cropRect_.Width(), ch = cropRect_.Height();
    if (p <= 0 || cw <= 0 || ch <= 0) return NbErrBadArgument;
    const int64_t left = cropRect_.left * p / 100, top = cropRect_.top * p / 100;
    const int64_t newWidth = cw * p / 100, newHeight = ch * p / 100;
    if (newWidth <= 0 || newHeight <= 0) return NbErrBadArgument;
    scaledRect_ = NbRect(int32_t(left), int32_t(top), int32_t(newWidth + left - 1), int32_t(newHeight + top - 1));
    outputRect_ = scaledRect_;
    const NbRect crop = rendering_->GetCropDimensions();
    if (double(newHeight) / double(crop.Height()) > double(newWidth) / double(crop.Width())) {
        scaleNumerator_ = int32_t(newHeight);
        scaleDenominator_ = int32_t(crop.Height());
    } else {
        scaleNumerator_ = int32_t(newWidth);
        scaleDenominator_ = int32_t(crop.Width());
    }
    scale_ = double(scaleNumerator_) / scaleDenominator_;
    padding_.Clear();
    return 0;
}

int ExportImage::SetupResizeToFill() {
    int64_t cw, ch;
    bool heightLed;
    if (!CommonSizeSetup(&cw, &ch, &heightLed)) return NbErrBadArgument;
    const NbRect crop = rendering_->GetCropDimensions();
    if (heightLed) {
        scaleNumerator_ = targetHeight_;
        scaleDenominator_ = int32_t(crop.Height());
    } else {
        scaleNumerator_ = targetWidth_;
        scaleDenominator_ = int32_t(crop.Width());
    }
    scale_ = double(scaleNumerator_) / scaleDenominator_;
    NbRect box(0, 0, targetWidth_ - 1, targetHeight_ - 1);
    CenterInScaledImage(box);
    scaledRect_ = outputRect_ = box;
    padding_.Clear();
    return 0;
}

int ExportImage::SetupResizeToFit() {
    int64_t cw, ch;
    bool heightLed;
    if (!CommonSizeSetup(&cw, &ch, &heightLed)) return NbErrBadArgument;
    const NbRect crop = rendering_->GetCropDimensions();
    NbRect box;
    if (heightLed) {
        scaleNumerator_ = targetWidth_;
        scaleDenominator_ = int32_t(crop.Width());
        scale_ = double(scaleNumerator_) / scaleDenominator_;
        box = NbRect(0, 0, targetWidth_ - 1, Trunc32(double(ch) * scale_) - 1);
    } else {
        scaleNumerator_ = targetHeight_;
        scaleDenominator_ = int32_t(crop.Height());
        scale_ = double(scaleNumerator_) / scaleDenominator_;
        box = NbRect(0, 0, Trunc32(double(cw) * scale_) - 1, targetHeight_ - 1);
    }
    if (box.Width() <= 0 || box.Height() <= 0) return NbErrBadArgument;
    CenterInScaledImage(box);
    scaledRect_ = outputRect_ = box;
    padding_.Clear();
    return 0;
}

int ExportImage::SetupResizeToFitAndPad() {
    int64_t cw, ch;
    bool heightLed;
    if (!CommonSizeSetup(&cw, &ch, &heightLed)) return NbErrBadArgument;
    const NbRect crop = rendering_->GetCropDimensions();
    const int64_t W = targetWidth_, H = targetHeight_;
    // Padding must fit the picture inside W x H: within the 2 % band the
    // width-led box could come out taller than H (or the height-led one
    // wider than W), so the smaller of the two ratios is taken then.
    bool byWidth = heightLed;
    if (!byWidth && Trunc32(double(cw) * (double(H) / double(crop.Height()))) > W) byWidth = true;
    NbRect box;
    if (byWidth) {
        scaleNumerator_ = int32_t(W);
        scaleDenominator_ = int32_t(crop.Width());
        scale_ = double(scaleNumerator_) / scaleDenominator_;
        box = NbRect(0, 0, int32_t(W - 1), std::min<int32_t>(Trunc32(double(ch) * scale_), int32_t(H)) - 1);
    } else {
        scaleNumerator_ = int32_t(H);
        scaleDenominator_ = int32_t(crop.Height());
        scale_ = double(scaleNumerator_) / scaleDenominator_;
        box = NbRect(0, 0, std::min<int32_t>(Trunc32(double(cw) * scale_), int32_t(W)) - 1, int32_t(H - 1));
    }
    if (box.Width() <= 0 || box.Height() <= 0) return NbErrBadArgument;
    const int64_t bw = box.Width(), bh = box.Height();
    outputRect_ = NbRect(0, 0, int32_t(W - 1), int32_t(H - 1));
    CenterInScaledImage(box);
    scaledRect_ = box;
    padding_ = NbRect(int32_t(W / 2 - bw / 2), int32_t(H / 2 - bh / 2), int32_t((W - W / 2) - (bw - bw / 2)),
                      int32_t((H - H / 2) - (bh - bh / 2)));
    return 0;
}

void ExportImage::ComputeStrips(int32_t* stripCount, int32_t* rowsPerStrip) {
    NbRect source = rendering_->GetCropDimensions();
    if (source.Width() <= 1 || source.Height() <= 1) {
        source = rendering_->GetImageBounds();
        scaledRect_ = source;
    }
    const uint64_t channels = array_ ? uint64_t(array_->GetChannels()) : 3;
    const uint64_t bytesPerSample = array_ ? uint64_t(array_->GetBytesPerSample()) : 1;
    const uint64_t bytes = bytesPerSample * channels * uint64_t(source.Width()) * uint64_t(source.Height());
    uint64_t total = bytes;
    if (resizeEnabled_)
        total = bytes + uint64_t(double(bytes) * scale_ * scale_) + uint64_t(double(bytes) * scale_);
    total = (total + 3) & ~uint64_t(3);
    uint64_t count = (total + kStripBytes - 1) / kStripBytes;
    if (count < 1) count = 1;
    const uint64_t height = uint64_t(source.Height());
    const uint64_t sourceRows = (height + count - 1) / count;
    *stripCount = int32_t(count);
    *rowsPerStrip = int32_t(std::ceil(double(sourceRows) * scale_));
    if (*rowsPerStrip < 1) *rowsPerStrip = 1;
}

// ---- Metadata ---------------------------------------------------------------

int ExportImage::BuildExifIFD(int ifdId) {
    Image* image = GetImage();
    exif_.ReadFromFile(image->GetFilePathSpec());
    const int channels = array_ ? array_->GetChannels() : 3;
    const bool jpeg = exportFormat_ == FormatJPEG;
    if (int s = exif_.SetPixelDimensions(int(outputRect_.Width()), int(outputRect_.Height()))) return s;
    if (int s = exif_.SetResolution(float(resolution_), float(resolution_), GetResolutionUnitCode())) return s;
    if (int s = exif_.SetEntry(ExifEntry{TagExifVersion, TiffTypeUndefined, 4, Bytes4('0', '2', '2', '1'), nullptr}))
        return s;
    if (channels == 3 || jpeg)
        if (int s = exif_.SetEntry(ExifEntry{TagComponentsConfiguration, TiffTypeUndefined, 4, Bytes4(1, 2, 3, 0), nullptr}))
            return s;
    if (int s = exif_.SetEntry(ExifEntry{TagFlashpixVersion, TiffTypeUndefined, 4, Bytes4('0', '1', '0', '0'), nullptr}))
        return s;
    if (int s = exif_.SetEntry(ExifEntry{TagColorSpace, TiffTypeShort, 1, (channels == 3 || jpeg) ? 1u : 65535u, nullptr}))
        return s;
    if (jpeg)
        if (int s = exif_.SetEntry(ExifEntry{TagInteroperabilityIFD, TiffTypeLong, 1, 0, nullptr})) return s;
    // A source directory that cannot be read ends the collection, but not
    // the directory: the export's own entries are written all the same, so
    // the main directory never points at an Exif directory that is not
    // there. The collector's status is still answered.
    const int collected = exif_.CollectEntries(0xFF & ~int(Exif::CollectGPS));
    AddRelatedSoundFiles();
    hasGPS_ = false;
    if (exif_.HasTag(TagGPSInfoIFD)) {
        hasGPS_ = exif_.IsGPSValid();
        if (!hasGPS_) exif_.RemoveTag(TagGPSInfoIFD);
    }
    copyright_.clear();
    exif_.GetString(TagCopyright, copyright_);
    std::string date;
    if (ToExifDateTime(image->GetDateTimeString(), &date))
        if (int s = exif_.SetString(date, TagDateTimeOriginal)) return s;
    ExifEntry index;
    if (!exif_.HasTag(TagISOSpeedRatings) && exif_.GetEntry(TagExposureIndex, &index) == 0) {
        uint32_t value = 0;
        switch (index.type) {
        case TiffTypeByte: case TiffTypeSByte: value = index.value & 0xFF; break;
        case TiffTypeShort: case TiffTypeSShort: value = index.value & 0xFFFF; break;
        case TiffTypeLong: case TiffTypeSLong: value = index.value; break;
        case TiffTypeRational: case TiffTypeSRational:
            if (index.data) {
                uint32_t num, den;
                std::memcpy(&num, index.data, 4);
                std::memcpy(&den, index.data + 4, 4);
                if (num && den) value = num / den;
            }
            break;
        default: break;
        }
        if (value) exif_.SetEntry(ExifEntry{TagISOSpeedRatings, TiffTypeShort, 1, value & 0xFFFF, nullptr});
    }
    if (exif_.HasTag(TagDateTimeOriginal)) exif_.CopyEntry(TagDateTimeDigitized, TagDateTimeOriginal);
    if (jpeg) exif_.RemoveTag(TagFurtherSettingsData);
    exif_.RemoveTag(TagCFAPattern);
    // One sample a pixel has no components to order: a configuration
    // collected from a colour source would describe the file wrongly.
    if (channels != 3 && !jpeg) exif_.RemoveTag(TagComponentsConfiguration);
    // A TIFF has no Interoperability directory: a pointer collected from
    // the source would be fixed up to the Exif directory itself, a loop.
    if (!jpeg) exif_.RemoveTag(TagInteroperabilityIFD);
    const std::vector<ExifEntry>* entries = nullptr;
    if (int s = exif_.GetEntriesForIFD(Exif::KindExif, &entries)) return s;
    AddIFDFromEntries(entries, ifdId);
    return collected;
}

int ExportImage::AddGPSIFD(int ifdId) {
    if (!hasGPS_ || !exif_.IsOpen()) return 0;
    exif_.ClearEntries();
    if (int s = exif_.CollectEntries(Exif::CollectGPS)) return s;
    const std::vector<ExifEntry>* entries = nullptr;
    if (int s = exif_.GetEntriesForIFD(Exif::KindGPS, &entries)) return s;
    AddIFDFromEntries(entries, ifdId);
    return 0;
}

void ExportImage::AddIFDFromEntries(const std::vector<ExifEntry>* entries, int ifdId) {
    if (!entries || entries->empty() || !builder_) return;
    builder_->NewIFD(ifdId);
    for (const ExifEntry& e : *entries) {
        TiffEntry t{e.tag, e.type, e.count, nullptr};
        if (IsDateTimeTag(e.tag)) {
            // Dates go out in the Exif form or not at all.
            std::string text, date;
            if (e.type != TiffTypeAscii || exif_.GetString(e.tag, text) != 0 || !ToExifDateTime(text, &date)) continue;
            std::vector<uint8_t> bytes(date.begin(), date.end());
            bytes.push_back(0);
            t.count = uint32_t(bytes.size());
            t.value = KeepBytes(std::move(bytes));
        } else {
            const uint64_t length = uint64_t(TiffTypeSize(e.type)) * e.count;
            if (length > 4 && !e.data) continue;
            t.value = length <= 4 ? static_cast<const void*>(&e.value) : static_cast<const void*>(e.data);
        }
        builder_->AddEntry(&t);
    }
    builder_->SetNextIFD(0);
}

void ExportImage::AddRelatedSoundFiles() {
    Image* image = GetImage();
    if (exif_.HasTag(TagRelatedSoundFile) || image->GetSoundCount() == 0) return;
    soundNames_.clear();
    const std::vector<FilePathSpec>* sounds = image->GetSounds();
    for (const FilePathSpec& sound : *sounds) {
        const std::string name = sound.GetFileName();
        if (name.empty()) return;
        soundNames_.insert(soundNames_.end(), name.begin(), name.end());
        soundNames_.push_back(0);
    }
    if (sounds->size() >= 2) soundNames_.push_back(0);
    if (soundNames_.size() < 2) return;
    const uint32_t count = uint32_t(sounds->size() >= 2 ? soundNames_.size() - 1 : soundNames_.size());
    ExifEntry e{TagRelatedSoundFile, TiffTypeAscii, count, 0, soundNames_.data()};
    if (count <= 4)
        for (uint32_t i = 0; i < count; ++i) e.value |= uint32_t(soundNames_[i]) << (8 * i);
    exif_.SetEntry(e);
}

void ExportImage::AddModelEntry(TiffBuilder* builder) {
    Image* image = GetImage();
    std::string model = image->GetCameraModel();
    if (model.empty()) model = "Unknown";
    if (image->GetCameraMake() == "Orvex" && model.find("Orvex") == std::string::npos) model = "Orvex " + model;
    builder->AddString(TagModel, model);
}

void ExportImage::MergeCopyrightIntoIPTC() {
    int index;
    const uint8_t* data;
    uint16_t length;
    bool found = false;
    for (bool more = iptc_.GetFirstDataset(&index, &data, &length); more;
         more = iptc_.GetNextDataset(&index, &data, &length)) {
        if (index == IPTCNAARecord2::kCopyrightNotice && data && length > 0) {
            copyright_.assign(reinterpret_cast<const char*>(data), length);
            found = true;
            break;
        }
    }
    const uint8_t* start;
    uint32_t capacity;
    if (!found && iptc_.GetBuffer(&start, &capacity) && !copyright_.empty()) {
        const std::string text = copyright_.substr(0, kCopyrightMaxBytes);
        iptc_.AddDataset(IPTCNAARecord2::kCopyrightNotice, reinterpret_cast<const uint8_t*>(text.data()),
                         uint32_t(text.size()));
    }
}

} // namespace NimbalCore
