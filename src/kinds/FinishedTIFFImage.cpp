#include "FinishedTIFFImage.h"

#include "CameraSettingsStrings.h"
#include "File.h"
#include "PixelArray.h"
#include "ProgressCB.h"
#include "StImageClosableFlagRestorer.h"
#include "YlmErrp.h"
#include "YlmError.h"

#include <algorithm>
#include <cstring>

namespace NimbalCore {

namespace {

// Restores the rendering flag however the render ends.
struct RenderingFlag {
    Image& image;
    bool saved;
    explicit RenderingFlag(Image& i) : image(i), saved(i.IsRendering()) { image.SetRendering(true); }
    ~RenderingFlag() { image.SetRendering(saved); }
};

struct ClosableFlag {
    Image& image;
    bool saved;
    explicit ClosableFlag(Image& i) : image(i), saved(i.IsClosable()) { image.SetClosable(false); }
    ~ClosableFlag() { image.SetClosable(saved); }
};

} // namespace

FinishedTIFFImage::FinishedTIFFImage(const FilePathSpec& path) : FinishedImage(path) {
    containerKind_ = 2;
    fileType_ = 1;
    infoTextHead_ = CameraSettingsStrings().GetString(CameraSettingsStrings::TiffFile) + "\n";
}

FinishedTIFFImage::~FinishedTIFFImage() {
    if (file_ && file_->IsOpen()) file_->Close();
}

int FinishedTIFFImage::Open() {
    int result = 0;
    try {
        file_->Open(6);
        result = Image::Open();
        if (!headerRead_ && result == 0) {
            result = FindIFDOffsets();
            if (result == 0) result = ParseMainIFD();
            if (result == 0 && !finishedZyn_) result = NbErrNotFinishedImage;
            if (result == 0) result = ParsePrivateIFD();
            if (result == 0) result = ParseThumbnailIFD();
            if (result == 0) result = ParseExifIFD();
        }
        SetFileBytes({}, fileLength_);
        if (result == 0) CopyCopyrightToIPTC();
    } catch (...) {
        result = NbErrImageFileOpenFailed;
    }
    if (result != 0) {
        SetFileBytes({}, fileLength_);
        if (file_->IsOpen()) file_->Close();
        if (open_) Image::Close();
        return result;
    }
    headerRead_ = true;
    RemoveFileTypeLines(cameraSettingsBlock_);
    RemoveDimensionLines(cameraSettingsBlock_);
    return 0;
}

void FinishedTIFFImage::Close() {
    if (file_->IsOpen()) file_->Close();
    Image::Close();
}

void FinishedTIFFImage::CalculateClickBalance(int, int, uint16_t*, uint16_t*, uint16_t*) {
    YLM_THROW("FinishedTIFFImage", NbErrNotSupported);
}

void FinishedTIFFImage::SetCameraSettings() { YLM_THROW("FinishedImage::SetCameraSettings", NbErrNotSupported); }

int FinishedTIFFImage::FindIFDOffsets() {
    const int64_t fileSize = file_->GetSize();
    if (fileSize <= 0) return NbErrImageFileOpenFailed;
    const uint64_t size = std::min<uint64_t>(uint64_t(fileSize), kHeaderBytes);
    std::vector<uint8_t> bytes(size);
    try {
        file_->Seek(0, SEEK_SET);
        if (file_->ReadExactly(bytes.data(), 1, size) != size) return NbErrImageFileOpenFailed;
    } catch (...) {
        return NbErrImageFileOpenFailed;
    }
    SetFileBytes(std::move(bytes), uint64_t(fileSize));
    if (!DetectByteOrder(0)) return NbErrImageFileOpenFailed;
    tiffBase_ = 0;
    uint32_t ifd0 = 0;
    if (!view_.u32(4, order_, ifd0) || !view_.contains(ifd0, 2)) return NbErrImageFileOpenFailed;
    ifd0_ = ifd0;
    exifIFD_ = GetIFDValue(ifd0_, TagExifIFD);
    if (exifIFD_ == 0) return NbErrImageFileOpenFailed;
    privateIFD_ = GetIFDValue(ifd0_, TagPrivateIFD);
    ifd1_ = GetNextIFD(ifd0_);
    if (ifd1_ == 0) return NbErrImageFileOpenFailed;
    return 0;
}

int FinishedTIFFImage::RotatePixelRows(uint8_t* destination, const uint8_t* source, int width, int rows, int angle) {
    return RotatePixelRows(destination, source, width, rows, angle, samplesPerPixel_ * bytesPerSample_);
}

int FinishedTIFFImage::RotatePixelRows(uint8_t* destination, const uint8_t* source, int width, int rows, int angle,
                                       int p) {
    const int64_t w = width, h = rows;
    auto copyPixel = [&](int64_t to, int64_t from) { std::memcpy(destination + to * p, source + from * p, size_t(p)); };
    switch (angle) {
    case 0:
        std::memcpy(destination, source, size_t(w * h * p));
        return int(w * h * p);
    case 180:
    case -180:
        for (int64_t k = 0; k < w * h; ++k) copyPixel(w * h - 1 - k, k);
        return p;
    case 90:
    case -270:
        for (int64_t i = 0; i < h; ++i)
            for (int64_t j = 0; j < w; ++j) copyPixel(j * h + (h - 1 - i), i * w + j);
        return p;
    case 270:
    case -90:
        for (int64_t i = 0; i < h; ++i)
            for (int64_t j = 0; j < w; ++j) copyPixel((w - 1 - j) * h + i, i * w + j);
        return p;
    default: return p;
    }
}

void FinishedTIFFImage::SetBufferIntoPixelArray(PixelArray& destination, uint8_t* destinationRow,
                                                const uint8_t* sourceRows, int width, int rows) {
    ConvertRows(destination, destinationRow, sourceRows, width, rows, samplesPerPixel_, bytesPerSample_);
}

void FinishedTIFFImage::ConvertRows(PixelArray& destination, uint8_t* destinationRow, const uint8_t* sourceRows,
                                    int width, int rows, int sourceSamples, int sourceBytes) {
    const int type = destination.GetPixelType();
    if (type != PixelArray::RGB && type != PixelArray::BGR && type != PixelArray::XRGB && type != PixelArray::BGRX)
        YLM_THROW("finishedTIFFImage::SetBufferIntoPixelArray", NbErrRenderFailed);
    const int destBytes = destination.GetBytesPerSample();
    if (destBytes != 1 && destBytes != 2) return;
    const int d = sourceSamples * sourceBytes;
    const bool gray = sourceSamples == 1;
    // One source sample as a destination sample: 16 -> 8 keeps the high
    // byte, 8 -> 16 repeats the byte.
    auto sample = [&](const uint8_t* px, int k) -> uint16_t {
        const uint8_t* s = px + (gray ? 0 : k) * sourceBytes;
        uint16_t v;
        if (sourceBytes == 2) std::memcpy(&v, s, 2);
        else v = uint16_t(s[0] * 257);
        return v;
    };
    const int channels = (type == PixelArray::XRGB || type == PixelArray::BGRX) ? 4 : 3;
    int order[4];
    switch (type) {
    case PixelArray::RGB: order[0] = 0, order[1] = 1, order[2] = 2; break;
    case PixelArray::BGR: order[0] = 2, order[1] = 1, order[2] = 0; break;
    case PixelArray::XRGB: order[0] = -1, order[1] = 0, order[2] = 1, order[3] = 2; break;
    default: order[0] = 2, order[1] = 1, order[2] = 0, order[3] = -1; break;
    }
    const int64_t rowStride = destination.GetRowBytes();
    for (int r = 0; r < rows; ++r) {
        const uint8_t* src = sourceRows + int64_t(r) * width * d;
        uint8_t* dst = destinationRow + int64_t(r) * rowStride;
        for (int x = 0; x < width; ++x, src += d) {
            for (int c = 0; c < channels; ++c) {
                const uint16_t v = order[c] < 0 ? 0 : sample(src, order[c]);
                if (destBytes == 1) *dst++ = uint8_t(v >> 8);
                else std::memcpy(dst, &v, 2), dst += 2;
            }
        }
    }
}

void FinishedTIFFImage::GetImageData(int source, const NbRect& strip, VrelSharpenPlanes& layout) {
    ReadImageData(source, strip, layout, true);
}

void FinishedTIFFImage::ReadImageData(int source, const NbRect& strip, VrelSharpenPlanes& layout, bool toHostOrder) {
    if (const int status = EnsureOpen()) YLM_THROW("FinishedTIFFImage::GetImageData", status);
    uint8_t* buffer = static_cast<uint8_t*>(layout.plane[0]);
    if (source == 2) {
        const uint64_t size = uint64_t(thumbnailChannels_) * uint64_t(thumbnailBounds_.Width()) *
                              uint64_t(thumbnailBounds_.Height());
        // Each strip takes its own rows of the thumbnail.
        const uint64_t rowBytes = uint64_t(thumbnailChannels_) * uint64_t(thumbnailBounds_.Width());
        const uint64_t first = uint64_t(strip.top) * rowBytes;
        const uint64_t count = std::min<uint64_t>(uint64_t(strip.Height()) * rowBytes, size - first);
        file_->ReadExactlyAt(int64_t(thumbnailOffset_ + first), buffer, count);
        return;
    }
    const uint64_t pixel = uint64_t(samplesPerPixel_) * uint64_t(bytesPerSample_);
    const uint64_t imageWidth = uint64_t(nativeRect_.Width());
    const uint64_t bytes = pixel * uint64_t(strip.Width());
    if (uint64_t(strip.Width()) == imageWidth) {
        // Whole rows lie one after the other in the file: one read.
        const uint64_t total = bytes * uint64_t(strip.Height());
        file_->ReadExactlyAt(int64_t(imageDataOffset_ + pixel * imageWidth * uint64_t(strip.top)), buffer,
                             total);
    } else {
        for (int64_t r = 0; r < strip.Height(); ++r) {
            const uint64_t at =
                imageDataOffset_ + pixel * (imageWidth * uint64_t(strip.top + r) + uint64_t(strip.left));
            file_->ReadExactlyAt(int64_t(at), buffer + r * int64_t(bytes), bytes);
        }
    }
    if (toHostOrder && bytesPerSample_ == 2 && FileOrderIsNotHostOrder())
        SwapBytes16(reinterpret_cast<uint16_t*>(buffer), size_t(bytes / 2 * uint64_t(strip.Height())));
}

void FinishedTIFFImage::RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                                    ProgressCB* progress, int) {
    RenderImageInternal(params, destination, useCrop, progress, 0);
}

void FinishedTIFFImage::RenderThumbnail(const ImageProcessParam& params, PixelArray& destination) {
    RenderImageInternal(params, destination, false, nullptr, 2);
}

void FinishedTIFFImage::RenderImageInternal(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                                            ProgressCB* progress, int source) {
    static constexpr const char* kOp = "FinishedTIFFImage::RenderImageInternal";
    RenderingFlag renderingFlag(*this);
    ClosableFlag closableFlag(*this);
    if (const int status = EnsureOpen()) YLM_THROW(kOp, status);
    if (progress && !progress->Progress(0)) YLM_THROW(kOp, NbErrRenderCancelled);

    VrelSharpenPlanes target;
    DescribePixelArray(destination, target);
    RotatePixelLayout(target, int(params.rotation));

    NbRect rect = source == 2 ? thumbnailBounds_ : (useCrop ? params.crop : nativeRect_);
    if (source == 2 && thumbnailOffset_ == 0) YLM_THROW(kOp, NbErrRenderFailed);
    const NbRect& bounds = source == 2 ? thumbnailBounds_ : nativeRect_;
    if (rect.Width() <= 0 || rect.Height() <= 0 || rect.left < bounds.left || rect.top < bounds.top ||
        rect.right > bounds.right || rect.bottom > bounds.bottom)
        YLM_THROW(kOp, NbErrRenderFailed);
    const int64_t height = rect.Height(), width = rect.Width();
    const int64_t stripRows = std::min<int64_t>(height, kStripRows);
    const int64_t fullStrips = height / stripRows, remainder = height % stripRows;
    const int channels = source == 2 ? thumbnailChannels_ : samplesPerPixel_;
    const int bytes = source == 2 ? 1 : bytesPerSample_;
    // A strip is read and converted a few rows at a time, so that the rows
    // are still in the processor's cache when they are converted.
    const int64_t rowBytes = width * channels * bytes;
    const int64_t blockRows = std::clamp<int64_t>(kCacheBlockBytes / rowBytes, 1, stripRows);
    std::vector<uint8_t> buffer(uint64_t(blockRows) * uint64_t(rowBytes));

    // A thumbnail may hold other sample counts than the picture's 1 or 3:
    // fewer than three is grey (its first sample), more is colour with the
    // extra samples passed over.
    const bool grey = channels < 3;
    VrelSharpenPlanes from{};
    from.channels = grey ? 1 : 3;
    from.bitsPerSample = 8 * bytes;
    from.pixelStride = channels * bytes;
    from.rowStride = int32_t(int64_t(from.pixelStride) * width);
    from.columns = int32_t(width);
    for (int k = 0; k < 3; ++k) from.plane[k] = buffer.data() + (grey ? 0 : k * bytes);

    const YlmRefPtr<ColorTransform> transform = BuildFinishedColorTransform(
        params, sourceColorSpaceName_, source, target.bitsPerSample == 8 ? 8 : 16);
    // Copied 16-bit samples into 8-bit ones are taken as the file holds them.
    const bool narrow = !transform && bytes == 2 && target.bitsPerSample == 8;
    NbRect strip(rect.left, rect.top, rect.right, rect.top + int32_t(stripRows) - 1);
    auto runStrip = [&](int64_t rows) {
        for (int64_t done = 0; done < rows;) {
            const int64_t n = std::min(blockRows, rows - done);
            NbRect block(strip.left, strip.top, strip.right, strip.top + int32_t(n) - 1);
            from.rows = int32_t(n);
            // Never past the destination's last row.
            VrelSharpenPlanes to = target;
            to.rows = int32_t(std::clamp<int64_t>(target.rows - (strip.top - rect.top), 0, n));
            ReadImageData(source, block, from, !narrow);
            ConvertPixels(transform.Get(), from, to, narrow && FileOrderIsNotHostOrder());
            strip.top += int32_t(n);
            done += n;
            for (void*& plane : target.plane)
                if (plane) plane = static_cast<uint8_t*>(plane) + n * int64_t(target.rowStride);
        }
    };
    for (int64_t i = 0; i < fullStrips; ++i) {
        runStrip(stripRows);
        if (progress && !progress->Progress(int(i * 100 / fullStrips + 1))) YLM_THROW(kOp, NbErrRenderCancelled);
    }
    if (remainder) runStrip(remainder);
    if (progress && !progress->Progress(100)) YLM_THROW(kOp, NbErrRenderCancelled);
}

} // namespace NimbalCore
