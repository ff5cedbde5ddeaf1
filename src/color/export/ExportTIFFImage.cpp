#include "ExportTIFFImage.h"

#include "BlockOMemory.h"
#include "BlockOMemoryLock.h"
#include "ColorEngine.h"
#include "ColorProfile.h"
#include "ExportImageArray.h"
#include "ExportOutputFile.h"
#include "ExportTags.h"
#include "File.h"
#include "Image.h"
#include "NbErrorCodes.h"
#include "ProgressAccumulator.h"
#include "StaticProfileTable.h"
#include "Thumbnail.h"
#include "TiffBuilder.h"
#include "TiffTag.h"
#include "WorkerPool.h"
#include "YlmErrp.h"
#include "YlmRefPtr.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

namespace NimbalCore {

namespace {

constexpr const char* kSaveFile = "ExportTIFFImage::SaveFile";
constexpr const char* kWhiteLines = "ExportTIFFImage::WriteWhiteLinesOnTopOrBottom";
constexpr uint64_t kMaxTiffBytes = 0xFFFFFFFFull;
constexpr int kThumbnailLimit = 156;

constexpr uint32_t Signature(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) << 24 | uint32_t(uint8_t(b)) << 16 | uint32_t(uint8_t(c)) << 8 | uint32_t(uint8_t(d));
}

// Entries whose value the builder reads while the entry is added.
void AddLong(TiffBuilder& b, uint16_t tag, uint32_t value) {
    TiffEntry e{tag, TiffTypeLong, 1, &value};
    b.AddEntry(&e);
}

void AddShort(TiffBuilder& b, uint16_t tag, uint16_t value) {
    const uint32_t word = value;
    TiffEntry e{tag, TiffTypeShort, 1, &word};
    b.AddEntry(&e);
}

void AddBitsPerSample(TiffBuilder& b, int samples, uint16_t bits) {
    if (samples == 3) {
        const uint16_t three[3] = {bits, bits, bits};
        TiffEntry e{TagBitsPerSample, TiffTypeShort, 3, three};
        b.AddEntry(&e);
    } else {
        AddShort(b, TagBitsPerSample, bits);
    }
}

void AddResolution(TiffBuilder& b, int32_t resolution) {
    const float value = float(int64_t(resolution) * 100 / 100);
    for (uint16_t tag : {uint16_t(TagXResolution), uint16_t(TagYResolution)}) {
        TiffEntry e{tag, TiffTypeFloat, 1, &value};
        b.AddEntry(&e);
    }
}

// 16-bit samples to big-endian in place, eight bytes at a step: the rows of
// a 16-bit export all pass through here.
void SwapRow16(uint8_t* row, uint64_t bytes) {
    constexpr uint64_t kLow = 0x00FF00FF00FF00FFull;
    uint64_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
        uint64_t v;
        std::memcpy(&v, row + i, 8);
        v = ((v >> 8) & kLow) | ((v & kLow) << 8);
        std::memcpy(row + i, &v, 8);
    }
    for (; i + 2 <= bytes; i += 2) std::swap(row[i], row[i + 1]);
}

} // namespace

ExportTIFFImage::ExportTIFFImage(ImageRendering& rendering, const FilePathSpec& target, ExportImageArray* array)
    : ExportImage(rendering, target, array) {
    exportFormat_ = FormatTIFF;
}

ExportTIFFImage::~ExportTIFFImage() = default;

std::unique_ptr<File> ExportTIFFImage::MakeOutputStream(const FilePathSpec& path) {
    return std::unique_ptr<File>(new File(path));
}

ColorProfile* ExportTIFFImage::FindWorkingSpace() {
    if (!workingSpace_) {
        workingSpace_.reset(new YlmRefPtr<ColorSpaceDesc>());
        const std::string name = rendering_->GetProcessParamPtr()->GetWorkingSpaceName();
        if (!name.empty())
            if (ColorEngine* engine = ColorEngine::Instance(0, 1)) *workingSpace_ = engine->FindProfile(name);
    }
    return dynamic_cast<ColorProfile*>(workingSpace_->Get());
}

void ExportTIFFImage::SetupColorLayout() {
    Image* image = GetImage();
    const std::vector<int> modes = image->GetSupportedColorModes();
    const int32_t colorMode = rendering_->GetProcessParamPtr()->colorMode;
    if (std::find(modes.begin(), modes.end(), 0) == modes.end()) {
        array_->SetPixelType(PixelArray::Gray);
        array_->SetChannels(1);
    } else if (colorMode == 1) {
        array_->SetChannels(3);
    } else if (colorMode == 2) {
        array_->SetPixelType(PixelArray::Gray);
        array_->SetChannels(1);
    } else if (colorMode == 0) {
        // A working space the engine does not know leaves the layout.
        if (ColorProfile* profile = FindWorkingSpace()) {
            YlmRefPtr<ColorTransform> transform = profile->GetTransform(2);
            int32_t in = 0, out = 0;
            if (transform.Get()) transform->GetChannels(&in, &out);
            const int32_t channels = out;
            switch (profile->GetDeviceColorSpace()) {
            case Signature('R', 'G', 'B', ' '): case Signature('C', 'M', 'Y', ' '): array_->SetPixelType(PixelArray::RGB); break;
            case Signature('C', 'M', 'Y', 'K'): array_->SetPixelType(PixelArray::FourSample); break;
            case Signature('G', 'R', 'A', 'Y'): array_->SetPixelType(PixelArray::Gray); break;
            default: break;
            }
            if (channels > 0) array_->SetChannels(channels);
        }
    }
    // The file describes one or three samples a pixel; anything else (a
    // CMYK working space) would be written as an invalid TIFF.
    const int channels = array_->GetChannels();
    if (channels != 1 && channels != 3) YLM_THROW(kSaveFile, NbErrExportTooLarge);
}

NbRect ExportTIFFImage::WrittenRect() {
    if (outputRect_.Width() <= 1 || outputRect_.Height() <= 1) return rendering_->GetImageBounds();
    return outputRect_;
}

uint64_t ExportTIFFImage::MainImageBytes() {
    const NbRect r = WrittenRect();
    return uint64_t(array_->GetBytesPerSample()) * uint64_t(array_->GetChannels()) * uint64_t(r.Width()) *
           uint64_t(r.Height());
}

void ExportTIFFImage::WriteChecked(File& file, const void* data, uint64_t bytes, const char* operation) {
    try {
        if (file.Write(data, 1, size_t(bytes)) < bytes) YLM_THROW(operation, NbErrFileWriteFailed);
    } catch (const YlmErrp&) {
        throw;
    } catch (...) {
        YLM_THROW(operation, NbErrFileWriteFailed);
    }
}

void ExportTIFFImage::SaveFile() {
    if (!rendering_ || !array_) return;
    NbRect crop = rendering_->GetCropDimensions();
    if (crop.Width() <= 1 || crop.Height() <= 1) {
        rendering_->SetCrop(rendering_->GetImageBounds());
        crop = rendering_->GetCropDimensions();
    }
    cropRect_ = scaledRect_ = outputRect_ = crop;
    const int32_t bytesPerSample = array_->GetBytesPerSample();
    if (bytesPerSample != 1 && bytesPerSample != 2) YLM_THROW(kSaveFile, NbErrExportTooLarge);
    SetupColorLayout();
    if (SetupResize(array_->GetChannels()) != 0) YLM_THROW(kSaveFile, NbErrExportTooLarge);

    // Offsets are 32 bits: a file that cannot hold its own main image and
    // thumbnail is refused before anything is created.
    const uint64_t thumbnailBytes = uint64_t(kThumbnailLimit) * kThumbnailLimit * 3;
    if (MainImageBytes() + thumbnailBytes > kMaxTiffBytes) YLM_THROW(kSaveFile, NbErrExportTooLarge);

    ExportOutputFile output(target_);
    output.CheckWritable(kSaveFile);
    const FilePathSpec temporary = output.Create(kSaveFile);
    std::unique_ptr<File> file = MakeOutputStream(temporary);
    try {
        file->Open(File::WriteBinary);
        if (!file->IsOpen()) YLM_THROW(kSaveFile, NbErrFileOpenFailed);
        if (resizeEnabled_)
            WriteScaled(*file);
        else
            WriteUnscaled(*file);
        thumbnail_->Finish();
        {
            BlockOMemoryLock pin(thumbnail_.get());
            WriteChecked(*file, thumbnail_->GetPixels(), uint64_t(thumbnail_->GetSize()), kSaveFile);
        }
        file->Close();
        output.Commit(kSaveFile);
    } catch (...) {
        try {
            file->Close();
        } catch (...) {
        }
        output.Discard();
        throw;
    }
}

void ExportTIFFImage::WriteHeader(File& file) {
    builder_.reset(new TiffBuilder(TiffBuilder::TiffFile));
    BlockOMemoryLock pin(builder_.get());
    const uint64_t mainBytes = MainImageBytes();
    builder_->SetMainImageByteCount(int32_t(uint32_t(mainBytes)));
    AddExifIFD(ExifIFD);
    MergeCopyrightIntoIPTC();
    // The GPS directory is collected before the main directory points at
    // it: a source whose GPS entries cannot be had gets no pointer to a
    // directory that is not there.
    if (hasGPS_) {
        AddGPSIFD(GPSIFD);
        hasGPS_ = builder_->GetEntryCount(GPSIFD) > 0;
    }
    AddMainIFD(ThumbnailIFD);
    AddThumbnailIFD(0);
    AddPrivateIFD(0);
    builder_->Build();
    const uint64_t headerBytes = uint64_t(builder_->GetSize());
    if (headerBytes + mainBytes + uint64_t(thumbnail_ ? thumbnail_->GetSize() : 0) > kMaxTiffBytes)
        YLM_THROW(kSaveFile, NbErrExportTooLarge);
    WriteChecked(file, builder_->GetData(), headerBytes, kSaveFile);
}

void ExportTIFFImage::AddExifIFD(int ifdId) { BuildExifIFD(ifdId); }

uint32_t ExportTIFFImage::OutputColorSpaceCode() {
    const int32_t colorMode = rendering_->GetProcessParamPtr()->colorMode;
    if (colorMode == 1) return 1;
    if (colorMode == 3) return 3;
    const std::string name = rendering_->GetProcessParamPtr()->GetWorkingSpaceName();
    const std::string proPhoto = StaticProfileTable::Description("ProPhotoRGB.icm");
    const std::string zynRGB = StaticProfileTable::Description("ZynRGB.icm");
    if (!proPhoto.empty() && name == proPhoto) return 2;
    if (!zynRGB.empty() && name == zynRGB) return 0;
    return 4;
}

void ExportTIFFImage::AddMainIFD(int next) {
    TiffBuilder& b = *builder_;
    Image* image = GetImage();
    const NbRect r = WrittenRect();
    const uint32_t W = uint32_t(r.Width()), H = uint32_t(r.Height());
    const int S = array_->GetChannels(), B = array_->GetBytesPerSample();
    const ImageProcessParam* params = rendering_->GetProcessParamPtr();
    b.NewIFD(MainIFD);
    AddLong(b, TagNewSubfileType, 0);
    AddLong(b, TagImageWidth, W);
    AddLong(b, TagImageLength, H);
    AddBitsPerSample(b, S, B == 2 ? 16 : 8);
    AddShort(b, TagCompression, 1);
    AddShort(b, TagPhotometric, S == 3 ? 2 : 1);
    b.AddString(TagImageDescription, image->GetAnnotation());
    b.AddString(TagMake, image->GetCameraMake());
    AddModelEntry(&b);
    AddLong(b, TagStripOffsets, 0);
    AddShort(b, TagSamplesPerPixel, uint16_t(S));
    AddLong(b, TagRowsPerStrip, H);
    AddLong(b, TagStripByteCounts, uint32_t(MainImageBytes()));
    AddResolution(b, resolution_);
    if (S == 3) AddShort(b, TagPlanarConfiguration, 1);
    AddShort(b, TagResolutionUnit, GetResolutionUnitCode());
    b.AddString(TagSoftware, GetSoftwareName());
    std::string date;
    if (ToExifDateTime(image->GetDateTimeString(), &date)) b.AddString(TagDateTime, date);
    AddLong(b, TagPrivateIFD, 0);
    b.AddString(TagCopyright, copyright_);
    const uint8_t* start = nullptr;
    uint32_t capacity = 0;
    if (iptc_.GetBuffer(&start, &capacity) && start && capacity != 0) {
        // The whole record, padded with zeros to whole LONGs: cutting it to
        // a multiple of four would cut its last dataset.
        iptcBytes_.assign(start, start + capacity);
        iptcBytes_.resize((uint64_t(capacity) + 3) & ~uint64_t(3), 0);
        TiffEntry e{TagIPTC, TiffTypeLong, uint32_t(iptcBytes_.size() / 4), iptcBytes_.data()};
        b.AddEntry(&e);
    }
    AddLong(b, TagExifIFD, 0);
    if (embedProfile_ && rendering_->GetLookKind() == 3 && params->colorMode != 1 && params->colorMode != 2 &&
        !params->GetWorkingSpaceName().empty()) {
        if (ColorProfile* profile = FindWorkingSpace()) {
            const uint32_t size = profile->Size();
            iccBytes_.assign(size, 0);
            if (size && profile->CopyToBuffer(size, iccBytes_.data()) == 0) {
                TiffEntry e{TagICCProfile, TiffTypeUndefined, size, iccBytes_.data()};
                b.AddEntry(&e);
            }
        }
    }
    if (hasGPS_) AddLong(b, TagGPSInfoIFD, 0);
    b.SetNextIFD(next);
}

void ExportTIFFImage::AddThumbnailIFD(int next) {
    TiffBuilder& b = *builder_;
    b.NewIFD(ThumbnailIFD);
    if (thumbnail_) {
        const NbRect t = thumbnail_->GetBounds();
        const uint32_t tw = uint32_t(t.Width()), th = uint32_t(t.Height());
        const int tc = thumbnail_->GetChannels();
        AddLong(b, TagNewSubfileType, 1);
        AddLong(b, TagImageWidth, tw);
        AddLong(b, TagImageLength, th);
        AddBitsPerSample(b, array_->GetChannels() == 3 ? 3 : 1, 8);
        AddShort(b, TagCompression, 1);
        AddShort(b, TagPhotometric, tc == 3 ? 2 : 1);
        AddLong(b, TagStripOffsets, 1);
        AddShort(b, TagSamplesPerPixel, uint16_t(tc));
        AddLong(b, TagRowsPerStrip, th);
        AddLong(b, TagStripByteCounts, uint32_t(tc) * tw * th);
        AddResolution(b, resolution_);
        AddShort(b, TagPlanarConfiguration, 1);
    }
    AddShort(b, TagResolutionUnit, GetResolutionUnitCode());
    b.SetNextIFD(next);
}

void ExportTIFFImage::AddPrivateIFD(int next) {
    TiffBuilder& b = *builder_;
    b.NewIFD(PrivateIFD);
    const uint8_t version[4] = {1, 0, 0, 0};
    TiffEntry e{PrivTagDirectoryVersion, TiffTypeByte, 4, version};
    b.AddEntry(&e);
    b.AddString(PrivTagCameraSettingsText, GetCameraSettingsText());
    AddLong(b, PrivTagExportMarker, 2);
    const uint32_t code = OutputColorSpaceCode();
    const uint32_t pair[2] = {code, code};
    TiffEntry c{PrivTagOutputColorSpace, TiffTypeLong, 2, pair};
    b.AddEntry(&c);
    b.SetNextIFD(next);
}

void ExportTIFFImage::WriteUnscaled(File& file) {
    int32_t stripCount = 1, rowsPerStrip = 1;
    ComputeStrips(&stripCount, &rowsPerStrip);
    ProgressAccumulator accumulator(progress_, stripCount);
    const int S = array_->GetChannels(), B = array_->GetBytesPerSample();
    thumbnail_.reset(new Thumbnail());
    thumbnail_->Setup(cropRect_, S, B, Thumbnail::Normal, Thumbnail::Average, -1);
    BlockOMemoryLock pinThumbnail(thumbnail_.get());
    WriteHeader(file);

    BlockOMemoryLock pinArray(array_);
    const uint64_t rowBytes = uint64_t(S) * uint64_t(cropRect_.Width()) * uint64_t(B);
    // With more than one lane in the worker pool, a strip's bytes are copied
    // aside and written on another lane while the next strip renders here;
    // the file gets the same bytes in the same order.
    const uint64_t stripBytes = rowBytes * uint64_t(std::max(rowsPerStrip, 1));
    std::unique_ptr<uint8_t[]> aside[2];
    if (stripCount > 1 && lumora::WorkerPool::Shared().LanesFor(2) > 1 && stripBytes <= uint64_t(SIZE_MAX)) {
        aside[0].reset(new (std::nothrow) uint8_t[size_t(stripBytes)]);
        aside[1].reset(new (std::nothrow) uint8_t[size_t(stripBytes)]);
        if (!aside[0] || !aside[1]) aside[0].reset(), aside[1].reset();
    }
    const bool overlap = aside[0] != nullptr;
    uint64_t asideBytes[2] = {0, 0};
    int pending = -1; // the buffer aside still to be written

    // Strip i into the array, its thumbnail rows and its bytes in the file's
    // order: written here, or copied aside into `to`.
    auto renderStrip = [&](int64_t i, const NbRect& strip, uint8_t* to, uint64_t* toBytes) {
        rendering_->SetCrop(strip);
        array_->RenderFromRendering(rendering_.get(), &accumulator, 1);
        // Only rows that were rendered for this strip are written.
        const NbRect got = array_->GetBounds();
        if (!array_->GetPixels() || strip.left < got.left || strip.top < got.top || strip.right > got.right ||
            strip.bottom > got.bottom)
            YLM_THROW(kSaveFile, NbErrRenderFailed);
        const int32_t dx = strip.left - got.left, dy = strip.top - got.top;
        const int64_t rows = strip.Height();
        for (int64_t y = 0; y < rows; ++y) thumbnail_->AddRow(array_->GetPixelAddress(dx, int32_t(dy + y)));
        if (i == 0 && renderGPSText_) {
            const std::string text = GetImage()->GetGPSText();
            if (!text.empty()) array_->DrawTextLabel(text);
        }
        // Rows that lie back to back in the array go out as one block: one
        // write per strip instead of one per row.
        uint8_t* first = array_->GetPixelAddress(dx, dy);
        if (uint64_t(array_->GetRowBytes()) == rowBytes) {
            const uint64_t bytes = rowBytes * uint64_t(rows);
            if (B == 2) SwapRow16(first, bytes);
            if (to) {
                std::memcpy(to, first, size_t(bytes));
                *toBytes = bytes;
            } else {
                WriteChecked(file, first, bytes, kSaveFile);
            }
            return;
        }
        for (int64_t y = 0; y < rows; ++y) {
            uint8_t* row = array_->GetPixelAddress(dx, int32_t(dy + y));
            if (B == 2) SwapRow16(row, rowBytes);
            if (to)
                std::memcpy(to + uint64_t(y) * rowBytes, row, size_t(rowBytes));
            else
                WriteChecked(file, row, rowBytes, kSaveFile);
        }
        if (to) *toBytes = rowBytes * uint64_t(rows);
    };

    for (int64_t i = 0;; ++i) {
        const int64_t top = cropRect_.top + i * rowsPerStrip;
        if (top > cropRect_.bottom) break;
        const int64_t bottom = std::min<int64_t>(top + rowsPerStrip - 1, cropRect_.bottom);
        const NbRect strip(cropRect_.left, int32_t(top), cropRect_.right, int32_t(bottom));
        if (!overlap) {
            renderStrip(i, strip, nullptr, nullptr);
            continue;
        }
        const int next = int(i % 2);
        std::exception_ptr writeError, renderError;
        lumora::WorkerPool::Shared().ForEach(
            pending >= 0 ? 1 : 0, 2,
            [&](size_t, unsigned) {
                try {
                    WriteChecked(file, aside[pending].get(), asideBytes[pending], kSaveFile);
                } catch (...) {
                    writeError = std::current_exception();
                }
            },
            [&] {
                try {
                    renderStrip(i, strip, aside[next].get(), &asideBytes[next]);
                } catch (...) {
                    renderError = std::current_exception();
                }
            });
        // The strip before failed to be written before this one was done:
        // that failure is the export's, as when the strips go one by one.
        if (writeError) std::rethrow_exception(writeError);
        if (renderError) std::rethrow_exception(renderError);
        pending = next;
    }
    if (pending >= 0) WriteChecked(file, aside[pending].get(), asideBytes[pending], kSaveFile);
}

void ExportTIFFImage::WriteScaled(File& file) {
    int32_t stripCount = 1, rowsPerStrip = 1;
    ComputeStrips(&stripCount, &rowsPerStrip);
    ProgressAccumulator accumulator(progress_, stripCount);
    const int S = array_->GetChannels(), B = array_->GetBytesPerSample();
    NbRect thumbnailSource = outputRect_;
    thumbnailSource.MoveToOrigin();
    thumbnail_.reset(new Thumbnail());
    thumbnail_->Setup(thumbnailSource, S, B, Thumbnail::Normal, Thumbnail::Average, -1);
    BlockOMemoryLock pinThumbnail(thumbnail_.get());
    WriteHeader(file);

    NbRect destination(scaledRect_.left, scaledRect_.top, scaledRect_.right,
                       int32_t(std::min<int64_t>(int64_t(scaledRect_.top) + rowsPerStrip - 1, scaledRect_.bottom)));
    BlockOMemory work, receiving, line;
    BlockOMemoryLock pinWork(&work), pinReceiving(&receiving), pinLine(&line);
    const uint64_t pixelBytes = uint64_t(S) * uint64_t(B);
    const uint64_t lineBytes = pixelBytes * uint64_t(outputRect_.Width());
    const bool sideMargins = padding_.left != 0 || padding_.right != 0;
    if (!padding_.IsNull()) {
        line.Create(lineBytes);
        std::memset(line.GetData(), 0xFF, size_t(lineBytes));
    }
    WriteWhiteLinesOnTopOrBottom(file, padding_.top, line);

    BlockOMemoryLock pinArray(array_);
    const uint64_t rowOut = pixelBytes * uint64_t(scaledRect_.Width());
    for (bool first = true; destination.top <= scaledRect_.bottom; first = false) {
        size_t destinationBytes = 0;
        const NbRect source = BeginScaledStrip(first, destination, work, receiving, &destinationBytes, kSaveFile);
        rendering_->SetCrop(source);
        array_->SetBounds(source);
        array_->RenderFromRendering(rendering_.get(), &accumulator, 1);
        const NbRect got = array_->GetBounds();
        if (!array_->GetPixels() || source.left < got.left || source.top < got.top || source.right > got.right ||
            source.bottom > got.bottom)
            YLM_THROW(kSaveFile, NbErrRenderFailed);
        if (first && renderGPSText_) {
            const std::string text = GetImage()->GetGPSText();
            if (!text.empty()) array_->DrawTextLabel(text);
        }
        VrelSharpenPlanes from = InterleavedPlanes(S, B, array_->GetRowBytes(), source,
                                                   array_->GetPixelAddress(source.left - got.left, source.top - got.top));
        auto* receive = static_cast<uint8_t*>(receiving.GetData());
        VrelSharpenPlanes to = InterleavedPlanes(S, B, int32_t(rowOut), destination, receive);
        if (int code = scaler_->ProcessStrip(work.GetData(), source, &from, destination, &to, &ExportImage::ContinueProgress,
                                             this))
            throw int(code);
        // The scaler may have moved the destination to an aligned address.
        auto* rows = static_cast<uint8_t*>(to.plane[0]);
        if (!rows || rows < receive || uint64_t(rows - receive) + rowOut * uint64_t(destination.Height()) > destinationBytes)
            YLM_THROW(kSaveFile, NbErrScalerNoBuffers);
        if (!sideMargins) {
            // The resampled rows lie back to back: the thumbnail takes them
            // in native order (the high byte of each 16-bit sample), then the
            // strip goes out as one block.
            const uint64_t bytes = rowOut * uint64_t(destination.Height());
            for (int64_t y = 0; y < destination.Height(); ++y) thumbnail_->AddRow(rows + uint64_t(y) * rowOut);
            if (B == 2) SwapRow16(rows, bytes);
            WriteChecked(file, rows, bytes, kSaveFile);
        }
        for (int64_t y = 0; sideMargins && y < destination.Height(); ++y) {
            uint8_t* written = static_cast<uint8_t*>(line.GetData());
            std::memcpy(written + uint64_t(padding_.left) * pixelBytes, rows + uint64_t(y) * rowOut, size_t(rowOut));
            thumbnail_->AddRow(written);
            if (B == 2) SwapRow16(written, lineBytes);
            WriteChecked(file, written, lineBytes, kSaveFile);
        }
        destination.top = destination.bottom + 1;
        destination.bottom = int32_t(std::min<int64_t>(int64_t(destination.bottom) + rowsPerStrip, scaledRect_.bottom));
    }
    WriteWhiteLinesOnTopOrBottom(file, padding_.bottom, line);
}

void ExportTIFFImage::WriteWhiteLinesOnTopOrBottom(File& file, int lineCount, BlockOMemory& line) {
    if (lineCount < 1) return;
    if (!line.GetData() || line.GetSize() == 0) YLM_THROW(kWhiteLines, NbErrFileWriteFailed);
    std::memset(line.GetData(), 0xFF, size_t(line.GetSize()));
    for (int i = 0; i < lineCount; ++i) {
        if (thumbnail_) thumbnail_->AddRow(static_cast<const uint8_t*>(line.GetData()));
        try {
            if (file.Write(line.GetData(), 1, size_t(line.GetSize())) < size_t(line.GetSize()))
                YLM_THROW(kWhiteLines, NbErrFileWriteFailed);
        } catch (const YlmErrp& e) {
            if (e.Get() && std::string(e.Get()->GetMessage()) == kWhiteLines) throw;
            YLM_THROW(kWhiteLines, NbErrFileWriteFailed);
        } catch (...) {
            YLM_THROW(kWhiteLines, NbErrFileWriteFailed);
        }
    }
}

} // namespace NimbalCore
