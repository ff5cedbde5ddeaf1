#include "ExportJPEGImage.h"

#include "BlockOMemory.h"
#include "BlockOMemoryLock.h"
#include "ExportImageArray.h"
#include "ExportOutputFile.h"
#include "File.h"
#include "FilePathSpec.h"
#include "Image.h"
#include "JPEGCompressor.h"
#include "JpegQualityPreset.h"
#include "NbErrorCodes.h"
#include "ProgressAccumulator.h"
#include "StBlockOMemoryPoolExceptionDisabler.h"
#include "Thumbnail.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace NimbalCore {

namespace {

constexpr const char* kSaveFile = "ExportJPEGImage::SaveFile";
constexpr const char* kWhiteLines = "ExportJPEGImage::WriteWhiteLinesOnTopOrBottom";
constexpr const char* kTemporaryPattern = "LumoraXXXXXX";

uint16_t Density(int32_t resolution) { return uint16_t(std::clamp<int32_t>(resolution, 0, 0xFFFF)); }

NbRect AtOrigin(NbRect r) {
    r.MoveToOrigin();
    return r;
}

} // namespace

ExportJPEGImage::ExportJPEGImage(ImageRendering& rendering, const FilePathSpec& target, ExportImageArray* array)
    : ExportImage(rendering, target, array) {
    exportFormat_ = FormatJPEG;
    densityUnit_ = JPEGCompressor::DotsPerInch;
    const ImageProcessParam* params = rendering_->GetProcessParamPtr();
    grayscale_ = params && params->colorMode == 2;
}

ExportJPEGImage::~ExportJPEGImage() {
    // The compressors hold no library state past Finish; an export that
    // stopped half-way releases it here.
    previewCompressor_.reset();
    exifThumbnailCompressor_.reset();
    mainCompressor_.reset();
    exifThumbnail_.reset();
    RemoveTemporaryFile();
}

std::unique_ptr<File> ExportJPEGImage::MakeOutputStream(const FilePathSpec& path) {
    return std::unique_ptr<File>(new File(path));
}

// ---- Files --------------------------------------------------------------------

// The compressed stream's file: a new name in the temporary folder for every
// export, made exclusively, so exports never share or follow one.
std::string ExportJPEGImage::MakeTemporaryFile() {
    std::string pattern = GetTempFolderPath();
    if (pattern.empty() || pattern.back() != '/') pattern += '/';
    pattern += kTemporaryPattern;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) YLM_THROW(kSaveFile, NbErrFileOpenFailed);
    ::close(fd);
    temporaryPath_ = name.data();
    return temporaryPath_;
}

void ExportJPEGImage::RemoveTemporaryFile() {
    if (temporaryPath_.empty()) return;
    ::unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
}

// ---- SaveFile -------------------------------------------------------------------

void ExportJPEGImage::SaveFile() {
    if (!rendering_ || !array_) return;
    NbRect crop = rendering_->GetCropDimensions();
    if (crop.Width() <= 1 || crop.Height() <= 1) {
        rendering_->SetCrop(rendering_->GetImageBounds());
        crop = rendering_->GetCropDimensions();
    }
    cropRect_ = scaledRect_ = outputRect_ = crop;
    densityUnit_ = units_ == 1 ? JPEGCompressor::DotsPerCentimetre : JPEGCompressor::DotsPerInch;

    // Nothing is rendered before both files are known to be writable; the
    // target itself is replaced only at the very end.
    ExportOutputFile output(target_);
    output.CheckWritable(kSaveFile);
    std::unique_ptr<File> target, temporary;
    try {
        const FilePathSpec targetPath = output.Create(kSaveFile);
        const FilePathSpec temporaryPath(MakeTemporaryFile());
        target = MakeOutputStream(targetPath);
        temporary = MakeOutputStream(temporaryPath);
        target->Open(File::WriteBinary);
        temporary->Open(File::WriteBinary);
        if (!target->IsOpen() || !temporary->IsOpen()) YLM_THROW(kSaveFile, NbErrFileOpenFailed);

        SaveArrayFormat();
        SetupArrayFormat();
        if (SetupResize(outputChannels_) != 0) YLM_THROW(kSaveFile, NbErrExportTooLarge);
        if (resizeEnabled_)
            WriteScaled(*temporary);
        else
            WriteUnscaled(*temporary);
        WriteHeaders(*target);
        CopyCompressedStream(*target, *temporary);
        temporary->Close();
        RemoveTemporaryFile();
        target->Close();
        output.Commit(kSaveFile);
        rendering_->SetCrop(cropRect_);
        if (formatChanged_) RestoreArrayFormat();
    } catch (...) {
        for (File* file : {target.get(), temporary.get()}) {
            if (!file) continue;
            try {
                file->Close();
            } catch (...) {
            }
        }
        RemoveTemporaryFile();
        output.Discard();
        if (formatChanged_) RestoreArrayFormat();
        throw;
    }
}

void ExportJPEGImage::SaveArrayFormat() {
    savedPixelType_ = array_->GetPixelType();
    savedChannels_ = array_->GetChannels();
    savedBytesPerSample_ = array_->GetBytesPerSample();
    const ImageProcessParam* params = rendering_->GetProcessParamPtr();
    savedColorMode_ = params ? params->colorMode : 0;
}

void ExportJPEGImage::SetupArrayFormat() {
    const std::vector<int> modes = GetImage()->GetSupportedColorModes();
    const bool colourOffered = std::find(modes.begin(), modes.end(), 0) != modes.end();
    outputChannels_ = (savedColorMode_ == 2 || (savedColorMode_ == 1 && !colourOffered)) ? 1 : 3;
    array_->SetPixelType(outputChannels_ == 1 ? PixelArray::Gray : PixelArray::RGB);
    array_->SetChannels(outputChannels_);
    array_->SetBytesPerSample(1);
    formatChanged_ = true;
}

void ExportJPEGImage::RestoreArrayFormat() {
    array_->SetPixelType(savedPixelType_);
    array_->SetChannels(savedChannels_);
    array_->SetBytesPerSample(savedBytesPerSample_);
    formatChanged_ = false;
}

void ExportJPEGImage::GetQuantTables() {
    // The export's quality code is the preset's column, of row 0.
    const int code = NormalizePresetCode(qualityCode_);
    Image* image = GetImage();
    tablesValid_ = image->GetJPEGQuantizationTables(false, 0, code, lumaTable_, &quality_);
    if (tablesValid_) tablesValid_ = image->GetJPEGQuantizationTables(true, 0, code, chromaTable_, &quality_);
}

// ---- Compression ----------------------------------------------------------------

void ExportJPEGImage::MakeThumbnails() {
    // The thumbnails see the rows the compressor gets: the written picture,
    // margins included, at the output's size.
    const NbRect source = AtOrigin(outputRect_);
    const int channels = array_->GetChannels();
    thumbnail_.reset(new Thumbnail());
    thumbnail_->SetLimitsForModel(GetImage()->GetCameraModel());
    thumbnail_->Setup(source, channels, 1, Thumbnail::Normal, Thumbnail::Average, -1);
    exifThumbnail_.reset(new Thumbnail());
    exifThumbnail_->Setup(source, channels, 1, kExifThumbnailKind, Thumbnail::Average, -1);
    thumbnailsReady_ = thumbnailsCompressed_ = false;
}

void ExportJPEGImage::StartMainCompressor(File& temporary) {
    GetQuantTables();
    mainCompressor_.reset(new JPEGCompressor(
        int(outputRect_.Width()), int(outputRect_.Height()), outputChannels_, tablesValid_ ? lumaTable_ : nullptr,
        tablesValid_ ? chromaTable_ : nullptr, quality_, Density(resolution_), densityUnit_, kMainChunkBytes,
        exifThumbnail_.get(), thumbnail_.get(), false, grayscale_, &temporary));
    if (const int status = mainCompressor_->Start()) YLM_THROW(kSaveFile, status);
}

void ExportJPEGImage::WriteMainRow(const uint8_t* row) {
    if (const int status = mainCompressor_->WriteRow(row)) YLM_THROW(kSaveFile, status);
}

void ExportJPEGImage::FinishMainCompressor() {
    if (const int status = mainCompressor_->Finish()) YLM_THROW(kSaveFile, status);
    thumbnail_->Finish();
    exifThumbnail_->Finish();
    thumbnailsReady_ = true;
    CompressThumbnails();
}

void ExportJPEGImage::RenderStrip(const NbRect& strip, ProgressCB* progress, int32_t* dx, int32_t* dy) {
    rendering_->SetCrop(strip);
    // Empty bounds first: a strip the array did not render is never taken
    // for the pixels of an earlier one.
    array_->SetBounds(NbRect(0, 0, -1, -1));
    array_->RenderFromRendering(rendering_.get(), progress, 1);
    const NbRect got = array_->GetBounds();
    if (!array_->GetPixels() || strip.left < got.left || strip.top < got.top || strip.right > got.right ||
        strip.bottom > got.bottom)
        YLM_THROW(kSaveFile, NbErrRenderFailed);
    *dx = strip.left - got.left;
    *dy = strip.top - got.top;
}

void ExportJPEGImage::LimitUnscaledStrips(int32_t* stripCount, int32_t* rowsPerStrip) {
    const uint64_t rowBytes = uint64_t(cropRect_.Width()) * uint64_t(std::max(array_->GetChannels(), 1));
    if (rowBytes == 0) return;
    const uint64_t fit = kUnscaledStripBytes / rowBytes / kStripRowMultiple * kStripRowMultiple;
    const int32_t limit = int32_t(std::min<uint64_t>(std::max<uint64_t>(fit, kStripRowMultiple), INT32_MAX));
    if (*rowsPerStrip <= limit) return;
    *rowsPerStrip = limit;
    *stripCount = int32_t((uint64_t(cropRect_.Height()) + uint64_t(limit) - 1) / uint64_t(limit));
}

void ExportJPEGImage::WriteUnscaled(File& temporary) {
    int32_t stripCount = 1, rowsPerStrip = 1;
    ComputeStrips(&stripCount, &rowsPerStrip);
    LimitUnscaledStrips(&stripCount, &rowsPerStrip);
    ProgressAccumulator accumulator(progress_, stripCount);
    MakeThumbnails();
    BlockOMemoryLock pinPreview(thumbnail_.get()), pinExif(exifThumbnail_.get());
    StartMainCompressor(temporary);

    BlockOMemoryLock pinArray(array_);
    // Every strip, however short, is rendered and each of its rows written
    // once: the compressor must get exactly the picture's height.
    for (int32_t i = 0; i < stripCount; ++i) {
        const int64_t top = int64_t(cropRect_.top) + int64_t(i) * rowsPerStrip;
        if (top > cropRect_.bottom) break;
        const int64_t bottom = std::min<int64_t>(top + rowsPerStrip - 1, cropRect_.bottom);
        const NbRect strip(cropRect_.left, int32_t(top), cropRect_.right, int32_t(bottom));
        int32_t dx = 0, dy = 0;
        RenderStrip(strip, &accumulator, &dx, &dy);
        StBlockOMemoryPoolExceptionDisabler quiet;
        for (int64_t y = 0; y < strip.Height(); ++y) WriteMainRow(array_->GetPixelAddress(dx, int32_t(dy + y)));
    }
    FinishMainCompressor();
}

void ExportJPEGImage::WriteScaled(File& temporary) {
    int32_t stripCount = 1, rowsPerStrip = 1;
    ComputeStrips(&stripCount, &rowsPerStrip);
    ProgressAccumulator accumulator(progress_, stripCount);
    MakeThumbnails();
    BlockOMemoryLock pinPreview(thumbnail_.get()), pinExif(exifThumbnail_.get());
    StartMainCompressor(temporary);

    const int S = array_->GetChannels();
    const uint64_t pixelBytes = uint64_t(S);
    const uint64_t lineBytes = pixelBytes * uint64_t(outputRect_.Width());
    const uint64_t rowOut = pixelBytes * uint64_t(scaledRect_.Width());
    BlockOMemory work, receiving, line;
    BlockOMemoryLock pinWork(&work), pinReceiving(&receiving), pinLine(&line);
    const bool sideMargins = padding_.left != 0 || padding_.right != 0;
    if (!padding_.IsNull()) {
        line.Create(lineBytes);
        std::memset(line.GetData(), 0xFF, size_t(lineBytes));
    }
    WriteWhiteLinesOnTopOrBottom(padding_.top, line);

    NbRect destination(scaledRect_.left, scaledRect_.top, scaledRect_.right,
                       int32_t(std::min<int64_t>(int64_t(scaledRect_.top) + rowsPerStrip - 1, scaledRect_.bottom)));
    BlockOMemoryLock pinArray(array_);
    for (bool first = true; destination.top <= scaledRect_.bottom; first = false) {
        size_t destinationBytes = 0;
        const NbRect source = BeginScaledStrip(first, destination, work, receiving, &destinationBytes, kSaveFile);
        int32_t dx = 0, dy = 0;
        RenderStrip(source, &accumulator, &dx, &dy);
        VrelSharpenPlanes from =
            InterleavedPlanes(S, 1, array_->GetRowBytes(), source, array_->GetPixelAddress(dx, dy));
        auto* receive = static_cast<uint8_t*>(receiving.GetData());
        VrelSharpenPlanes to = InterleavedPlanes(S, 1, int32_t(rowOut), destination, receive);
        if (int code = scaler_->ProcessStrip(work.GetData(), source, &from, destination, &to,
                                             &ExportImage::ContinueProgress, this))
            YLM_THROW(kSaveFile, code);
        // The scaler may have moved the destination to an aligned address.
        auto* rows = static_cast<uint8_t*>(to.plane[0]);
        if (!rows || rows < receive ||
            uint64_t(rows - receive) + rowOut * uint64_t(destination.Height()) > uint64_t(receiving.GetSize()))
            YLM_THROW(kSaveFile, NbErrScalerNoBuffers);
        StBlockOMemoryPoolExceptionDisabler quiet;
        for (int64_t y = 0; y < destination.Height(); ++y) {
            const uint8_t* row = rows + uint64_t(y) * rowOut;
            if (sideMargins) {
                auto* padded = static_cast<uint8_t*>(line.GetData());
                std::memcpy(padded + uint64_t(padding_.left) * pixelBytes, row, size_t(rowOut));
                row = padded;
            }
            WriteMainRow(row);
        }
        destination.top = destination.bottom + 1;
        destination.bottom = int32_t(std::min<int64_t>(int64_t(destination.bottom) + rowsPerStrip, scaledRect_.bottom));
    }
    WriteWhiteLinesOnTopOrBottom(padding_.bottom, line);
    FinishMainCompressor();
}

void ExportJPEGImage::WriteWhiteLinesOnTopOrBottom(int rows, BlockOMemory& row) {
    if (rows < 1) return;
    if (!row.GetData() || row.GetSize() == 0 || !mainCompressor_) YLM_THROW(kWhiteLines, NbErrFileWriteFailed);
    std::memset(row.GetData(), 0xFF, size_t(row.GetSize()));
    for (int i = 0; i < rows; ++i)
        if (mainCompressor_->WriteRow(static_cast<const uint8_t*>(row.GetData())) != 0)
            YLM_THROW(kWhiteLines, NbErrFileWriteFailed);
}

void ExportJPEGImage::CompressThumbnails() {
    if (!thumbnail_ || !exifThumbnail_ || !thumbnail_->IsFinished() || !exifThumbnail_->IsFinished() ||
        thumbnailsCompressed_ || !thumbnailsReady_)
        throw kThumbnailsNotReady;
    if (exifThumbnail_->GetChannels() == 1) exifThumbnail_->ConvertGrayToRGB();
    CompressThumbnail(*exifThumbnail_, exifThumbnailCompressor_, &exifThumbnailUsable_);
    exifThumbnail_->Free();
    CompressThumbnail(*thumbnail_, previewCompressor_, &previewUsable_);
    thumbnail_->Free();
    thumbnailsCompressed_ = true;
}

void ExportJPEGImage::CompressThumbnail(Thumbnail& thumbnail, std::unique_ptr<JPEGCompressor>& compressor,
                                        bool* usable) {
    *usable = false;
    try {
        BlockOMemoryLock pin(&thumbnail);
        const NbRect bounds = thumbnail.GetBounds();
        const int width = int(bounds.Width()), height = int(bounds.Height());
        compressor.reset(new JPEGCompressor(width, height, thumbnail.GetChannels(), nullptr, nullptr, quality_,
                                            Density(resolution_), densityUnit_, kThumbnailChunkBytes, nullptr,
                                            nullptr, false, false, nullptr));
        int status = compressor->Start();
        for (int y = 0; status == 0 && y < height; ++y) status = compressor->WriteRow(thumbnail.GetPixelAddress(0, y));
        const int finished = compressor->Finish();
        // A stream that did not complete is kept out of the file.
        *usable = status == 0 && finished == 0 && compressor->GetCompressedData() != nullptr;
    } catch (...) {
        throw kShortTransfer;
    }
}

void ExportJPEGImage::CopyCompressedStream(File& target, File& temporary) {
    temporary.Seek(0, 2);
    const int64_t size = temporary.GetPosition();
    temporary.Close();
    temporary.Open(File::ReadBinary);
    target.Seek(0, 2);
    temporary.Seek(0, 0);
    std::vector<uint8_t> buffer(kCopyBufferBytes);
    bool first = true;
    for (int64_t left = size; left > 0; first = false) {
        const size_t n = size_t(std::min<int64_t>(left, kCopyBufferBytes));
        if (temporary.Read(buffer.data(), 1, n) != n) throw kShortTransfer;
        // The stream's own start-of-image marker: the headers wrote one.
        const size_t skip = first && n >= 2 && buffer[0] == 0xFF && buffer[1] == 0xD8 ? 2 : 0;
        if (target.Write(buffer.data() + skip, 1, n - skip) != n - skip) throw kShortTransfer;
        left -= int64_t(n);
    }
}

} // namespace NimbalCore
