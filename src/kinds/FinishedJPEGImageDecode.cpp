// FinishedJPEGImage: libjpeg decoding, the thumbnail sources and the strip
// rendering.
#include "FinishedJPEGImage.h"

#include "ExportImageArray.h"
#include "File.h"
#include "PixelArray.h"
#include "ProgressCB.h"
#include "YlmErrp.h"
#include "YlmError.h"

#include <algorithm>
#include <cstring>

namespace NimbalCore {

namespace {

struct ClosableFlag {
    Image& image;
    bool saved;
    explicit ClosableFlag(Image& i) : image(i), saved(i.IsClosable()) { image.SetClosable(false); }
    ~ClosableFlag() { image.SetClosable(saved); }
};

struct RenderingFlag {
    Image& image;
    bool saved;
    explicit RenderingFlag(Image& i) : image(i), saved(i.IsRendering()) { image.SetRendering(true); }
    ~RenderingFlag() { image.SetRendering(saved); }
};

// A whole decode of `crop`, unturned, in colour or grey by the channels.
ImageProcessParam WholeDecode(const NbRect& crop, int channels) {
    ImageProcessParam params;
    params.rotation = 0.0f;
    params.crop = crop;
    params.colorMode = channels == 1 ? 2 : 1;
    return params;
}

// Any position past the data finds an end-of-image marker at most one byte
// later.
void FillWithEndMarkers(uint8_t* at, int64_t count) {
    for (int64_t i = 0; i < count; ++i) at[i] = (i & 1) ? 0xD9 : 0xFF;
}

} // namespace

template <class Body> int FinishedJPEGImage::Guarded(int failure, Body&& body) {
    if (setjmp(error_.returnPoint)) return failure;
    body();
    return 0;
}

std::pair<int32_t, int32_t> FinishedJPEGImage::GetOutputSize(int denominator) const {
    if (denominator < 0 || denominator >= kOutputSizes) return {0, 0};
    return {outputSizes_[denominator][0], outputSizes_[denominator][1]};
}

void FinishedJPEGImage::SourceInit(j_decompress_ptr decompressor) {
    auto* source = reinterpret_cast<FileSource*>(decompressor->src);
    source->manager.next_input_byte = source->buffer;
    source->manager.bytes_in_buffer = 0;
}

boolean FinishedJPEGImage::SourceFill(j_decompress_ptr decompressor) {
    auto* source = reinterpret_cast<FileSource*>(decompressor->src);
    size_t got = 0;
    bool failed = false;
    try {
        got = source->file->Read(source->buffer, 1, size_t(source->bufferSize));
    } catch (...) {
        failed = true;
    }
    FillWithEndMarkers(source->buffer + got, source->bufferSize - int64_t(got));
    source->manager.next_input_byte = source->buffer + source->startOffset;
    if (failed) {
        source->manager.bytes_in_buffer = 0;
        return FALSE;
    }
    // At the end of the file the source hands out an end-of-image marker.
    source->manager.bytes_in_buffer = got == 0 ? 2 : got;
    return TRUE;
}

void FinishedJPEGImage::SourceSkip(j_decompress_ptr decompressor, long count) {
    auto* source = reinterpret_cast<FileSource*>(decompressor->src);
    if (count <= 0) return;
    while (size_t(count) > source->manager.bytes_in_buffer) {
        count -= long(source->manager.bytes_in_buffer);
        if (!SourceFill(decompressor)) return;
    }
    source->manager.next_input_byte += count;
    source->manager.bytes_in_buffer -= size_t(count);
}

int FinishedJPEGImage::InitializeDecompressor() {
    DestroyDecompressor();
    std::memset(&decompressor_, 0, sizeof decompressor_);
    std::memset(&source_, 0, sizeof source_);
    const int64_t size = file_->GetSize();
    if (size <= 0) return NbErrJPEGEmptyFile;
    const int64_t bufferSize = std::max<int64_t>(2, std::min(size, kSourceBufferBytes));
    if (int64_t(sourceBuffer_.size()) != bufferSize) sourceBuffer_.assign(size_t(bufferSize), 0);
    FillWithEndMarkers(sourceBuffer_.data(), bufferSize);
    decompressor_.err = SdkInitJpegErrorManager(&error_);
    if (const int r = Guarded(NbErrJPEGCreateFailed, [this] { jpeg_create_decompress(&decompressor_); })) return r;
    decompressorCreated_ = true;
    source_.file = file_;
    source_.buffer = sourceBuffer_.data();
    source_.bufferSize = bufferSize;
    source_.startOffset = 0;
    source_.manager.init_source = SourceInit;
    source_.manager.fill_input_buffer = SourceFill;
    source_.manager.skip_input_data = SourceSkip;
    source_.manager.resync_to_restart = jpeg_resync_to_restart;
    source_.manager.term_source = SourceTerm;
    decompressor_.src = &source_.manager;
    return 0;
}

int FinishedJPEGImage::ReadHeader() {
    int status = JPEG_SUSPENDED;
    if (Guarded(NbErrJPEGHeaderFailed, [&] { status = jpeg_read_header(&decompressor_, TRUE); }) ||
        status != JPEG_HEADER_OK)
        return NbErrJPEGHeaderFailed;
    return 0;
}

int FinishedJPEGImage::ReadHeaderAtScale(int denominator) {
    if (const int r = ReadHeader()) return r;
    decompressor_.scale_num = 1;
    decompressor_.scale_denom = unsigned(denominator);
    return Guarded(NbErrJPEGScaleFailed, [this] { jpeg_calc_output_dimensions(&decompressor_); });
}

int FinishedJPEGImage::SetImageGeometryFromHeader() {
    nativeRect_ = NbRect(0, 0, int32_t(decompressor_.image_width) - 1, int32_t(decompressor_.image_height) - 1);
    samplesPerPixel_ = decompressor_.num_components;
    isColor_ = samplesPerPixel_ == 3;
    bytesPerSample_ = 1;
    return 0;
}

int FinishedJPEGImage::CheckHeaderMatchesGeometry() {
    const int64_t w = decompressor_.image_width, h = decompressor_.image_height;
    if (w != nativeRect_.Width() && w == nativeRect_.Height() && h == nativeRect_.Width() &&
        h != nativeRect_.Height()) {
        nativeRect_ = NbRect(0, 0, int32_t(w - 1), int32_t(h - 1));
        dimensionsSwapped_ = true;
    }
    if (w == nativeRect_.Width() && h == nativeRect_.Height() && decompressor_.num_components == samplesPerPixel_)
        return 0;
    return NbErrJPEGHeaderMismatch;
}

int FinishedJPEGImage::StartDecompressor() {
    decompressor_.dct_method = JDCT_IFAST;
    // A progressive decode keeps every coefficient block of the picture at
    // once, 128 bytes each. Each block takes at least a bit of a complete
    // stream, so a file holding under an eighth of that is a damaged header
    // that would make the library reserve memory for a picture that is not
    // there (a few hundred bytes asking for gigabytes).
    if (decompressor_.progressive_mode) {
        uint64_t blocks = 0;
        for (int c = 0; c < decompressor_.num_components; ++c)
            blocks += uint64_t(decompressor_.comp_info[c].width_in_blocks) *
                      uint64_t(decompressor_.comp_info[c].height_in_blocks);
        const int64_t fileSize = file_->GetSize();
        if (fileSize <= 0 || blocks / 64 > uint64_t(fileSize)) return NbErrJPEGStartFailed;
    }
    int started = 0;
    if (Guarded(NbErrJPEGStartFailed, [&] { started = jpeg_start_decompress(&decompressor_); }) || !started)
        return NbErrJPEGStartFailed;
    return 0;
}

int FinishedJPEGImage::FinishDecompressor() {
    return Guarded(NbErrJPEGFinishFailed, [this] { jpeg_finish_decompress(&decompressor_); });
}

int FinishedJPEGImage::DestroyDecompressor() {
    if (!decompressorCreated_) return 0;
    decompressorCreated_ = false;
    return Guarded(NbErrJPEGDestroyFailed, [this] { jpeg_destroy_decompress(&decompressor_); });
}

int FinishedJPEGImage::ReadJPEGHeaderJustForOpenImage() {
    ClosableFlag closable(*this);
    try {
        file_->Seek(0, SEEK_SET);
    } catch (const YlmErrp&) {
        return NbErrFileSeekFailed;
    }
    int result = InitializeDecompressor();
    if (result == 0) result = ReadHeader();
    // Only gray and three-component (YCbCr, RGB) files: four components
    // would not fit the buffers and layouts made for one or three.
    if (result == 0 && (decompressor_.image_width < 8 || decompressor_.image_height < 8 ||
                        (decompressor_.num_components != 1 && decompressor_.num_components != 3)))
        result = NbErrJPEGHeaderFailed;
    if (result == 0) SetImageGeometryFromHeader();
    std::memset(outputSizes_, 0, sizeof outputSizes_);
    for (int d : {8, 4, 2, 1}) {
        if (result != 0) break;
        decompressor_.scale_num = 1;
        decompressor_.scale_denom = unsigned(d);
        result = Guarded(NbErrJPEGScaleFailed, [this] { jpeg_calc_output_dimensions(&decompressor_); });
        outputSizes_[d][0] = int32_t(decompressor_.output_width);
        outputSizes_[d][1] = int32_t(decompressor_.output_height);
    }
    DestroyDecompressor();
    return result;
}

int FinishedJPEGImage::ReadThumbnailJPEGHeader() {
    if (thumbnailOffset_ == 0) return 0;
    ClosableFlag closable(*this);
    try {
        file_->Seek(int64_t(thumbnailOffset_), SEEK_SET);
    } catch (const YlmErrp&) {
        return NbErrFileSeekFailed;
    }
    int result = InitializeDecompressor();
    if (result == 0) result = ReadHeader();
    if (result == 0 && decompressor_.num_components != 1 && decompressor_.num_components != 3)
        result = NbErrJPEGHeaderFailed;
    if (result == 0) {
        const int32_t w = int32_t(decompressor_.image_width), h = int32_t(decompressor_.image_height);
        thumbnailBounds_ = NbRect(0, 0, w - 1, h - 1);
        thumbnailChannels_ = decompressor_.num_components;
        outputSizes_[0][0] = w, outputSizes_[0][1] = h;
        thumbnailScaleDenominator_ = 0;
        thumbnailNeedsResampling_ = true;
    }
    DestroyDecompressor();
    return result;
}

int FinishedJPEGImage::SetThumbnailParameters() {
    thumbnailNeedsResampling_ = true;
    thumbnailScaleDenominator_ = 0;
    if (thumbnailOffset_ == 0) {
        if (photoshopThumbnailPosition_ != 0 && thumbnailKind_ != ThumbnailLarge) {
            thumbnailOffset_ = photoshopThumbnailPosition_;
            thumbnailKind_ = ThumbnailPhotoshop;
            if (ReadThumbnailJPEGHeader() != 0) {
                thumbnailKind_ = ThumbnailFromMainImage;
                thumbnailOffset_ = 0;
            } else {
                // Shown with the main image's channels.
                thumbnailChannels_ = isColor_ ? 3 : 1;
            }
        } else if (thumbnailKind_ != ThumbnailLarge) {
            thumbnailKind_ = ThumbnailFromMainImage;
        }
    } else if (thumbnailCompression_ == 6) {
        if (PreviewComplete()) {
            thumbnailKind_ = ThumbnailPreview;
            thumbnailBounds_ = NbRect(0, 0, processing_.previewWidth - 1, processing_.previewHeight - 1);
            thumbnailChannels_ = 3;
        } else if (thumbnailKind_ != ThumbnailLarge) {
            thumbnailKind_ = ThumbnailJpegIFD1;
        }
        // An embedded JPEG whose header does not read gives way to the
        // main image.
        if (thumbnailKind_ != ThumbnailPreview && thumbnailHeaderStatus_ != 0) {
            thumbnailKind_ = ThumbnailFromMainImage;
            thumbnailOffset_ = 0;
        }
    } else {
        const uint64_t size = uint64_t(thumbnailChannels_) * uint64_t(thumbnailBounds_.Width()) *
                              uint64_t(thumbnailBounds_.Height());
        if (thumbnailOffset_ > fileLength_ || size > fileLength_ - thumbnailOffset_ || size == 0) {
            thumbnailKind_ = ThumbnailFromMainImage;
            thumbnailOffset_ = 0;
        } else {
            thumbnailKind_ = ThumbnailUncompressedIFD1;
        }
    }
    // An embedded thumbnail larger than the image itself is not taken (its
    // pixels would be allocated from a size the file claims).
    if ((thumbnailKind_ == ThumbnailJpegIFD1 || thumbnailKind_ == ThumbnailPhotoshop ||
         thumbnailKind_ == ThumbnailLarge) &&
        int64_t(thumbnailBounds_.Width()) * thumbnailBounds_.Height() >
            int64_t(nativeRect_.Width()) * nativeRect_.Height()) {
        thumbnailKind_ = ThumbnailFromMainImage;
        thumbnailOffset_ = 0;
    }
    if (thumbnailKind_ == ThumbnailFromMainImage) {
        const int64_t w = nativeRect_.Width(), h = nativeRect_.Height();
        const int64_t limitW = thumbnail_.GetMaxWidth(), limitH = thumbnail_.GetMaxHeight();
        int d = 1;
        if (w >= 2048 || h >= 2048) d = 8;
        else if (w >= 1024 || h >= 1024) d = 4;
        else if (w >= 512 || h >= 512) d = 2;
        else if (w > 2 * limitW || h > 2 * limitH) d = 1;
        else if (w > limitW || h > limitH) d = 2, thumbnailNeedsResampling_ = false;
        else d = 1, thumbnailNeedsResampling_ = false;
        thumbnailScaleDenominator_ = d;
        thumbnailChannels_ = isColor_ ? 3 : 1;
        NbRect rect(0, 0, outputSizes_[d][0] - 1, outputSizes_[d][1] - 1);
        thumbnail_.ForceRectToThumbnailLimits(rect, thumbnailChannels_, -1);
        thumbnailBounds_ = rect;
    }
    return 0;
}

void FinishedJPEGImage::SetVisibleThumbnailRect() {
    visibleThumbnailRect_ = thumbnailBounds_;
    const NbRect& t = thumbnailBounds_;
    if (extendedRange_ && nativeRect_.Width() > 0 && nativeRect_.Height() > 0 && t.Width() == 160 &&
        t.Height() == 120) {
        const double x = double(nativeRect_.Height()) / double(nativeRect_.Width());
        if (std::abs(x - 0.75) < 0.02) return;
        if (x > 0.75) visibleThumbnailRect_.right = t.left + int32_t(0.75 / x * 160) - 1;
        else visibleThumbnailRect_.bottom = t.top + int32_t(x * 1.3333334 * 120) - 1;
    }
    ComputeThumbnailScale(int(visibleThumbnailRect_.Height()), int(visibleThumbnailRect_.Width()));
}

void FinishedJPEGImage::ComputeThumbnailScale(int a, int b) {
    const int m = std::max(a, b);
    if (m <= 0) return;
    const float f = 156.0f / float(m);
    if (f < 0.2f) thumbnailScale_ = 0.125f;
    else if (f < 0.38f) thumbnailScale_ = 0.25f;
    else if (f < 0.45f) thumbnailScale_ = 0.4f;
    else if (f < 0.7f) thumbnailScale_ = 0.5f;
    else thumbnailScale_ = f;
}

NbRect FinishedJPEGImage::GetThumbnailRect() {
    const int r = int(processParams_.rotation);
    if (r == 90 || r == 270) return NbRect(0, 0, visibleThumbnailRect_.bottom, visibleThumbnailRect_.right);
    return NbRect(0, 0, visibleThumbnailRect_.right, visibleThumbnailRect_.bottom);
}

void FinishedJPEGImage::AllocateThumbnailPixels() {
    const int channels = thumbnailChannels_ == 1 ? 1 : 3;
    thumbnail_.SetPixelType(channels == 3 ? PixelArray::RGB : PixelArray::Gray);
    thumbnail_.SetBytesPerSample(1);
    thumbnail_.SetBounds(thumbnailBounds_);
    thumbnail_.SetRowBytes(int32_t(channels * thumbnailBounds_.Width()));
    thumbnail_.Create(uint64_t(channels) * uint64_t(thumbnailBounds_.Width()) * uint64_t(thumbnailBounds_.Height()));
}

void FinishedJPEGImage::RenderThumbnail(const ImageProcessParam& params, PixelArray& destination) {
    if (!thumbnail_.GetPixels()) {
        int result = 0;
        switch (thumbnailKind_) {
        // A strip that cannot be read is an error, not a picture of whatever
        // the pixels held.
        case ThumbnailUncompressedIFD1: result = ReadTiffTypeThumbnailFromFile(); break;
        case ThumbnailJpegIFD1:
        case ThumbnailPhotoshop:
        case ThumbnailLarge: result = DecompressJPEGThumbnail(); break;
        case ThumbnailPreview: result = RenderWQXPreview(); break;
        default: result = BuildThumbnailFromMainJPEGImage(); break;
        }
        if (result != 0) {
            // A failed build is not kept as the thumbnail of later calls.
            thumbnail_.Free();
            throw int(result);
        }
    }
    CopyThumbnailToPixelArray(params, destination);
}

int FinishedJPEGImage::ReadTiffTypeThumbnailFromFile() {
    ClosableFlag closable(*this);
    if (const int status = EnsureOpen()) YLM_THROW("FinishedJPEGImage::ReadTiffTypeThumbnailFromFile", status);
    AllocateThumbnailPixels();
    try {
        file_->Seek(int64_t(thumbnailOffset_), SEEK_SET);
        file_->ReadExactly(thumbnail_.GetPixels(), 1, size_t(thumbnail_.GetSize()));
    } catch (const YlmErrp&) {
        thumbnail_.Free();
        return NbErrThumbnailReadFailed;
    }
    return 0;
}

int FinishedJPEGImage::BuildThumbnailFromMainJPEGImage() {
    ClosableFlag closable(*this);
    if (const int status = EnsureOpen()) YLM_THROW("FinishedJPEGImage::BuildThumbnailFromMainJPEGImage", status);
    const int d = thumbnailScaleDenominator_ == 0 ? 1 : thumbnailScaleDenominator_;
    const int32_t w = outputSizes_[d][0], h = outputSizes_[d][1];
    const int channels = isColor_ ? 3 : 1;
    ExportImageArray array;
    array.SetPixelType(channels == 3 ? PixelArray::RGB : PixelArray::Gray);
    array.SetBytesPerSample(1);
    const NbRect decoded(0, 0, w - 1, h - 1);
    array.SetBounds(decoded);
    array.SetRowBytes(channels * w);
    const ImageProcessParam params = WholeDecode(decoded, channels);
    int result = 0;
    const int32_t savedPriority = thumbnail_.GetPurgePriority();
    thumbnail_.SetPurgePriority(0);
    try {
        array.Create(uint64_t(h) * uint64_t(array.GetRowBytes()));
        RenderImageInternal(params, array, true, nullptr, 0, d);
        thumbnail_.Setup(decoded, channels, 1, Thumbnail::Normal,
                         thumbnailNeedsResampling_ ? Thumbnail::Average : Thumbnail::Copy, -1);
        const auto* pixels = static_cast<const uint8_t*>(array.GetPixels());
        for (int32_t y = 0; y < h; ++y) thumbnail_.AddRow(pixels + int64_t(y) * array.GetRowBytes());
        thumbnail_.Finish();
    } catch (int code) {
        result = code;
    } catch (const YlmErrp& e) {
        result = e.GetCode();
    }
    thumbnail_.Touch();
    thumbnail_.SetPurgePriority(savedPriority);
    if (result != 0) thumbnail_.Free();
    return result;
}

int FinishedJPEGImage::DecompressJPEGThumbnail() {
    ClosableFlag closable(*this);
    if (const int status = EnsureOpen()) YLM_THROW("FinishedJPEGImage::DecompressJPEGThumbnail", status);
    thumbnailScaleDenominator_ = 0;
    AllocateThumbnailPixels();
    const ImageProcessParam params = WholeDecode(thumbnailBounds_, thumbnailChannels_);
    int result = 0;
    const int32_t savedPriority = thumbnail_.GetPurgePriority();
    thumbnail_.SetPurgePriority(0);
    try {
        RenderImageInternal(params, thumbnail_, true, nullptr, 2, 1);
    } catch (int code) {
        result = code;
    } catch (const YlmErrp&) {
        // The pixels keep what was decoded.
    }
    thumbnail_.SetPurgePriority(savedPriority);
    if (result == 0) ComputeThumbnailScale(int(thumbnailBounds_.Height()), int(thumbnailBounds_.Width()));
    return result;
}

void FinishedJPEGImage::CopyThumbnailToPixelArray(const ImageProcessParam& params, PixelArray& destination) {
    if (!destination.GetData() || !thumbnail_.GetPixels()) throw int(NbErrBadThumbnailRect);
    const NbRect bounds = thumbnail_.GetBounds();
    const int64_t vertical = (bounds.Height() - visibleThumbnailRect_.Height()) / 2;
    const int64_t horizontal = (bounds.Width() - visibleThumbnailRect_.Width() + 1) / 2;
    if (vertical < 0 || horizontal < 0 || (vertical != 0 && horizontal != 0)) throw int(NbErrBadThumbnailRect);
    VrelSharpenPlanes target;
    DescribePixelArray(destination, target);
    RotatePixelLayout(target, int(params.rotation));
    const int channels = thumbnail_.GetChannels() == 1 ? 1 : 3;
    VrelSharpenPlanes from{};
    from.channels = channels;
    from.bitsPerSample = 8;
    from.pixelStride = channels;
    from.rowStride = thumbnail_.GetRowBytes();
    from.columns = int32_t(visibleThumbnailRect_.Width());
    from.rows = int32_t(visibleThumbnailRect_.Height());
    uint8_t* origin = static_cast<uint8_t*>(thumbnail_.GetPixels()) + vertical * thumbnail_.GetRowBytes() +
                      horizontal * channels;
    for (int k = 0; k < 3; ++k) from.plane[k] = origin + (channels == 1 ? 0 : k);
    // The extended-range preview is in the space its output profile kind
    // names; every other thumbnail in the image's own.
    const std::string space =
        thumbnailKind_ == ThumbnailPreview ? GetDefaultProfileName(processing_.outputProfileKind) : sourceColorSpaceName_;
    const YlmRefPtr<ColorTransform> transform =
        BuildFinishedColorTransform(params, space, 2, target.bitsPerSample == 8 ? 8 : 16);
    ConvertPixels(transform.Get(), from, target);
}

void FinishedJPEGImage::RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                                    ProgressCB* progress, int) {
    RenderImageInternal(params, destination, useCrop, progress, 0, 1);
}

void FinishedJPEGImage::RenderImageInternal(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                                            ProgressCB* progress, int source) {
    RenderImageInternal(params, destination, useCrop, progress, source, 1);
}

void FinishedJPEGImage::RenderImageInternal(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                                            ProgressCB* progress, int source, int denominator) {
    static constexpr const char* kOp = "FinishedJPEGImage::RenderImageInternal";
    RenderingFlag renderingFlag(*this);
    ClosableFlag closableFlag(*this);
    if (const int status = EnsureOpen()) YLM_THROW(kOp, status);
    if (progress && !progress->Progress(0)) YLM_THROW(kOp, NbErrRenderCancelled);
    if (denominator != 1 && denominator != 2 && denominator != 4 && denominator != 8) YLM_THROW(kOp, NbErrRenderFailed);
    if (source == 2 && thumbnailOffset_ == 0) YLM_THROW(kOp, NbErrRenderFailed);
    try {
        file_->Seek(source == 2 ? int64_t(thumbnailOffset_) : 0, SEEK_SET);
    } catch (const YlmErrp&) {
        YLM_THROW(kOp, NbErrFileSeekFailed);
    }
    VrelSharpenPlanes target;
    DescribePixelArray(destination, target);
    RotatePixelLayout(target, int(params.rotation));

    // The rows asked for must be there to decode.
    const NbRect rect = useCrop ? params.crop : nativeRect_;
    const NbRect decoded = source == 2 ? thumbnailBounds_
                                       : NbRect(0, 0, outputSizes_[denominator][0] - 1,
                                                outputSizes_[denominator][1] - 1);
    if (rect.Width() <= 0 || rect.Height() <= 0 || rect.left < 0 || rect.top < 0 || rect.right > decoded.right ||
        rect.bottom > decoded.bottom)
        YLM_THROW(kOp, NbErrRenderFailed);
    const int components = source == 2 ? (thumbnailChannels_ == 1 ? 1 : 3) : samplesPerPixel_;

    // The decompressor goes however the render ends.
    struct Decompressor {
        FinishedJPEGImage& image;
        ~Decompressor() { image.DestroyDecompressor(); }
    } decompressorGuard{*this};
    int error = InitializeDecompressor();
    if (error == 0) error = ReadHeaderAtScale(source == 2 ? 1 : denominator);
    if (error == 0 && source == 2 && components == 1 && decompressor_.num_components != 1) {
        decompressor_.out_color_space = JCS_GRAYSCALE;
        decompressor_.output_components = 1;
    }
    if (error == 0) error = StartDecompressor();
    // The rows libjpeg gives must be the ones the buffers are made for.
    if (error == 0 && (int64_t(decompressor_.output_width) != decoded.Width() ||
                       int64_t(decompressor_.output_height) != decoded.Height() ||
                       decompressor_.output_components != components))
        error = NbErrJPEGHeaderMismatch;
    if (error != 0) YLM_THROW(kOp, error);

    const int64_t height = rect.Height();
    const int64_t stripRows = std::min<int64_t>(height, kStripRows);
    const int64_t fullStrips = height / stripRows;
    const int64_t strips = fullStrips + (height % stripRows ? 1 : 0);
    const int64_t rowBytes = int64_t(decompressor_.output_width) * components;
    std::vector<uint8_t> buffer(size_t(stripRows * rowBytes));

    VrelSharpenPlanes from{};
    from.channels = components;
    from.bitsPerSample = 8;
    from.pixelStride = components;
    from.rowStride = int32_t(rowBytes);
    from.columns = int32_t(rect.Width());
    uint8_t* first = buffer.data() + int64_t(rect.left) * components;
    for (int k = 0; k < 3; ++k) from.plane[k] = first + (components == 1 ? 0 : k);

    const YlmRefPtr<ColorTransform> transform =
        BuildFinishedColorTransform(params, sourceColorSpaceName_, source, target.bitsPerSample == 8 ? 8 : 16);
    // Whole decoded rows that the destination holds as they are (no
    // conversion, 8-bit, interleaved alike, the same way up) are decoded
    // straight into it.
    const bool direct =
        !transform && target.bitsPerSample == 8 && target.pixelStride == components && target.rowStride > 0 &&
        rect.left == 0 && int64_t(rect.Width()) == int64_t(decompressor_.output_width) &&
        target.columns >= rect.Width() &&
        (components == 1 ? target.channels == 1
                         : (target.plane[1] == static_cast<uint8_t*>(target.plane[0]) + 1 &&
                            target.plane[2] == static_cast<uint8_t*>(target.plane[0]) + 2));

    int64_t rowsLeft = height;
    int64_t done = 0;
    for (int64_t i = 0; i < strips && error == 0; ++i) {
        const int64_t rows = std::min(rowsLeft, stripRows);
        uint8_t* base = buffer.data();
        const int64_t skip = i == 0 ? rect.top : 0;
        // Never past the destination's last row.
        VrelSharpenPlanes to = target;
        to.rows = int32_t(std::clamp<int64_t>(target.rows - done, 0, rows));
        uint8_t* straight = direct ? static_cast<uint8_t*>(to.plane[0]) : nullptr;
        const int64_t straightRows = direct ? to.rows : 0;
        const int64_t straightStride = to.rowStride;
        JDIMENSION got = 1;
        error = Guarded(NbErrJPEGReadFailed, [&] {
            for (int64_t r = 0; r < skip && got == 1; ++r) {
                JSAMPROW row = base;
                got = jpeg_read_scanlines(&decompressor_, &row, 1);
            }
            for (int64_t r = 0; r < rows && got == 1; ++r) {
                JSAMPROW row = r < straightRows ? straight + r * straightStride : base + r * rowBytes;
                got = jpeg_read_scanlines(&decompressor_, &row, 1);
            }
        });
        if (error == 0 && got != 1) error = NbErrJPEGReadFailed;
        if (error != 0) break;
        from.rows = int32_t(rows);
        try {
            if (!direct) ConvertPixels(transform.Get(), from, to);
        } catch (int code) {
            error = code;
            break;
        } catch (const YlmErrp&) {
            throw;
        } catch (...) {
            error = NbErrJPEGReadFailed;
            break;
        }
        for (void*& plane : target.plane)
            if (plane) plane = static_cast<uint8_t*>(plane) + rows * int64_t(target.rowStride);
        done += rows;
        rowsLeft -= rows;
        if (progress && !progress->Progress(int(i * 100 / (fullStrips + 1)))) error = NbErrRenderCancelled;
    }
    // A crop that ends above the last row leaves rows unread: libjpeg
    // complains, harmlessly.
    if (error == 0 && int64_t(decompressor_.output_scanline) == int64_t(decompressor_.output_height))
        FinishDecompressor();
    DestroyDecompressor();
    if (error == 0 && progress && !progress->Progress(100)) error = NbErrRenderCancelled;
    if (error != 0) YLM_THROW(kOp, error);
}

} // namespace NimbalCore
