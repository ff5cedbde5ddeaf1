// JPEG conversion of an open image, strip by strip.
//
// Between setjmp and the end of the libjpeg calls the converter keeps its state
// in its own members (never in locals with destructors): a libjpeg failure
// comes back to the return point and is answered as the stage in force.
#include "JpegConverter.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>
#include <new>

#include "DriverState.h"
#include "JpegQuantTables.h"
#include "ModelTable.h"
#include "SdkCamera.h"
#include "SdkImage.h"
#include "SdkPhotoshopBlock.h"
#include "VqCall.h"
#include "VqStatus.h"
#include "Win32Error.h"

namespace lumora::vq {

namespace {

// The converter of the strip callback in progress (callbacks carry a 32-bit
// user value, too small for a pointer; strips arrive in the converting thread).
thread_local JpegConverter* gActive = nullptr;

} // namespace

JpegConverter::JpegConverter(ImageInfoRecord* record, const VqPathRecord* path, ImageBufferRecord* buffer,
                             ProgressRecord* progress, const JpegOptionsRecord* options)
    : record_(record), path_(path), buffer_(buffer), callerBuffer_(*buffer), progress_(progress),
      options_(*options) {
    std::memset(&cinfo_, 0, sizeof cinfo_);
    std::memset(&destination_, 0, sizeof destination_);
}

JpegConverter::~JpegConverter() {
    if (created_) jpeg_destroy_compress(&cinfo_);
    if (gActive == this) gActive = nullptr;
}

void JpegConverter::ScaleTwoThirds(const uint8_t* in, uint8_t* out, uint32_t rows, uint32_t width, uint32_t c) {
    const size_t stride = size_t(width) * c;
    const uint32_t outWidth = width / 3 * 2;
    const size_t outStride = size_t(outWidth) * c;
    for (uint32_t g = 0; g < rows / 3; ++g) {
        const uint8_t* r0 = in + size_t(3 * g) * stride;
        const uint8_t* r1 = r0 + stride;
        const uint8_t* r2 = r1 + stride;
        uint8_t* o0 = out + size_t(2 * g) * outStride;
        uint8_t* o1 = o0 + outStride;
        for (uint32_t x = 0; x < width / 3; ++x) {
            const size_t a = size_t(3 * x) * c, b = a + c, d = b + c;
            uint8_t* p0 = o0 + size_t(2 * x) * c;
            uint8_t* p1 = o1 + size_t(2 * x) * c;
            for (uint32_t k = 0; k < c; ++k) {
                if (c == 1) {
                    p0[0] = r0[a];
                    p0[1] = r0[b];
                    p1[0] = uint8_t((r1[a] + r2[a]) / 2);
                    p1[1] = uint8_t((r1[b] + r2[b]) / 2);
                } else {
                    p0[k] = r0[a + k];
                    p0[c + k] = uint8_t((r0[b + k] + r0[d + k]) / 2);
                    p1[k] = uint8_t((r1[a + k] + r2[a + k]) / 2);
                    p1[c + k] = uint8_t((r1[b + k] + r1[d + k] + r2[b + k] + r2[d + k]) / 4);
                }
            }
        }
    }
}

void JpegConverter::ScaleHalf(const uint8_t* in, uint8_t* out, uint32_t rows, uint32_t width, uint32_t c) {
    const size_t stride = size_t(width) * c;
    const size_t outStride = size_t(width / 2) * c;
    for (uint32_t g = 0; g < rows / 2; ++g) {
        const uint8_t* r0 = in + size_t(2 * g) * stride;
        const uint8_t* r1 = r0 + stride;
        uint8_t* o = out + size_t(g) * outStride;
        for (uint32_t x = 0; x < width / 2; ++x) {
            const size_t a = size_t(2 * x) * c, b = a + c;
            for (uint32_t k = 0; k < c; ++k)
                o[size_t(x) * c + k] = c == 1 ? uint8_t((r0[a] + r1[a]) / 2)
                                              : uint8_t((r0[a + k] + r0[b + k] + r1[a + k] + r1[b + k]) / 4);
        }
    }
}

uint32_t JpegConverter::Prepare() {
    renderType_ = record_->isColour && record_->outputType != VQ_TYPE_GRAY8 && record_->outputType != VQ_TYPE_GRAY16
                      ? VQ_TYPE_RGB8
                      : VQ_TYPE_GRAY8;
    components_ = renderType_ == VQ_TYPE_RGB8 ? 3 : 1;
    if ((record_->flags & VQ_IMAGE_JPEG_CONVERSION) == 0) {
        if (record_->fileKind == kFileCameraJpeg) return VQ_ERR_JPEG_FROM_JPEG_FILE;
        if (record_->fileKind == kFileRgbTiff) return VQ_ERR_NOT_FOR_THIS_KIND;
    }
    if (options_.size < 0 || options_.size > 2 || options_.quality < 0 || options_.quality > 2)
        return VQ_ERR_JPEG_BAD_QUALITY;
    if (uint32_t s = VqGetSubSample(record_, &savedSubsample_)) return s;
    if (uint32_t s = VqGetImageType(record_, &savedType_)) return s;
    if (uint32_t s = VqGetImagePadBytes(record_, &savedPad_)) return s;
    saved_ = true;
    if (renderType_ != savedType_)
        if (uint32_t s = VqSetImageType(record_, renderType_)) return s;
    if (savedSubsample_ != 1)
        if (uint32_t s = VqSetSubSample(record_, 1)) return s;
    if (uint32_t s = VqSetImagePadBytes(record_, 0)) return s;
    int32_t resolution[3] = {};
    if (uint32_t s = VqGetExtension(record_, VQ_EXT_RESOLUTION, resolution)) return s;
    resolutionValue_ = uint16_t(resolution[0]);
    resolutionUnit_ = uint8_t(resolution[1]);

    VqIptcRecord iptc{};
    if (VqGetExtension(record_, VQ_EXT_IPTC, &iptc) == 0 && iptc.length != 0 && iptc.data) {
        const uint32_t r[2] = {resolutionValue_, resolutionUnit_};
        if (uint32_t s = SdkBuildPhotoshopBlock(static_cast<const uint8_t*>(iptc.data), iptc.length, r, 0, &block_))
            return s;
    }

    tables_ = ChooseTables();

    width_ = uint32_t(std::max(record_->geometry.outputWidth, 0));
    height_ = uint32_t(std::max(record_->geometry.outputHeight, 0));
    if (width_ == 0 || height_ == 0) return VQ_ERR_JPEG_BAD_FILE;
    const uint64_t row = uint64_t(components_) * width_;
    uint32_t rows = uint32_t(std::min<uint64_t>(callerBuffer_.bufferBytes / row, UINT32_MAX)) & ~1u;
    if (options_.size == 1) rows -= rows % 3;
    // Two rows are kept free for left-overs; a buffer without room for one
    // scaling group besides them cannot be used.
    const uint32_t group = options_.size == 1 ? 3 : options_.size == 2 ? 2 : 1;
    if (!callerBuffer_.buffer || rows < group + 2) return VQ_ERR_JPEG_BUFFER_TOO_SMALL;
    rowsPerStrip_ = rows;
    switch (options_.size) {
    case 1: jpegWidth_ = width_ / 3 * 2, jpegHeight_ = height_ / 3 * 2; break;
    case 2: jpegWidth_ = width_ / 2, jpegHeight_ = height_ / 2; break;
    default: jpegWidth_ = width_, jpegHeight_ = height_; break;
    }
    if (jpegWidth_ == 0 || jpegHeight_ == 0) return VQ_ERR_JPEG_BAD_FILE;
    try {
        output_.assign(kOutputBufferBytes, 0);
        if (options_.size != 0) scaled_.assign(size_t(rows) * row, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_JPEG_NO_MEMORY;
    }
    return 0;
}

JpegQuantTables JpegConverter::ChooseTables() const {
    // The image's hidden properties: its compatibility word, the tag finder
    // (in: tag, occurrence, directory limit; out: words of the found entry) and
    // the file's bytes at an offset.
    constexpr uint32_t kHiddenTagLookup = 10, kHiddenFileBytes = 11, kHiddenCompatibility = 19;
    constexpr uint32_t kLookupValue = 2, kLookupByteSize = 4, kLookupPosition = 7, kLookupWords = 8;
    constexpr uint16_t kPrivateDirectoryLimit = 4;

    // The camera's own tables when the image asks for them and the file has a
    // usable record for this size and quality.
    int32_t compatibility = 1;
    if (record_->modelFamily != 0 && VqGetHidden(record_, kHiddenCompatibility, &compatibility) == 0 &&
        compatibility == 0) {
        uint32_t lookup[kLookupWords] = {};
        const uint16_t request[3] = {JpegQuantTables::CameraTag(options_.size, options_.quality), 0,
                                     kPrivateDirectoryLimit};
        std::memcpy(lookup, request, sizeof request);
        if (VqGetHidden(record_, kHiddenTagLookup, lookup) == 0 && lookup[kLookupPosition] != 0) {
            const uint32_t bytes = lookup[kLookupByteSize];
            uint32_t values[JpegQuantTables::kRecordMaxBytes / 4 + 1] = {};
            values[0] = lookup[kLookupValue];
            values[1] = bytes;
            JpegQuantTables camera{};
            if (bytes >= JpegQuantTables::kRecordMinBytes && bytes <= JpegQuantTables::kRecordMaxBytes &&
                VqGetHidden(record_, kHiddenFileBytes, values) == 0 &&
                JpegQuantTables::FromCameraRecord(reinterpret_cast<const uint8_t*>(values), bytes, &camera))
                return camera;
        }
    }
    return JpegQuantTables::BuiltIn(record_->modelId, options_.size, options_.quality);
}

void JpegConverter::InstallTables() {
    const int scale = jpeg_quality_scaling(tables_.qualityNumber);
    unsigned luminance[JpegQuantTables::kTableBytes], chrominance[JpegQuantTables::kTableBytes];
    for (uint32_t i = 0; i < JpegQuantTables::kTableBytes; ++i) {
        luminance[i] = tables_.luminance[i];
        chrominance[i] = tables_.chrominance[i];
    }
    jpeg_add_quant_table(&cinfo_, 0, luminance, scale, TRUE);
    jpeg_add_quant_table(&cinfo_, 1, chrominance, scale, TRUE);
}

void JpegConverter::WriteBuffer(uint32_t bytes) {
    if (writeError_ || bytes == 0) return;
    const uint8_t* data = output_.data();
    if (buffersWritten_ == 0 && !block_.empty() && bytes >= kBlockInsertAt) {
        writeError_ = file_.Write(data, kBlockInsertAt);
        if (!writeError_) writeError_ = file_.Write(block_.data(), uint32_t(block_.size()));
        if (!writeError_) writeError_ = file_.Write(data + kBlockInsertAt, bytes - kBlockInsertAt);
    } else {
        writeError_ = file_.Write(data, bytes);
    }
    ++buffersWritten_;
}

void JpegConverter::InitDestination(j_compress_ptr cinfo) {
    auto* self = static_cast<JpegConverter*>(cinfo->client_data);
    self->destination_.next_output_byte = self->output_.data();
    self->destination_.free_in_buffer = self->output_.size();
    self->buffersWritten_ = 0;
}

boolean JpegConverter::EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto* self = static_cast<JpegConverter*>(cinfo->client_data);
    self->WriteBuffer(uint32_t(self->output_.size()));
    self->destination_.next_output_byte = self->output_.data();
    self->destination_.free_in_buffer = self->output_.size();
    return TRUE;
}

void JpegConverter::TermDestination(j_compress_ptr cinfo) {
    auto* self = static_cast<JpegConverter*>(cinfo->client_data);
    self->WriteBuffer(uint32_t(self->output_.size() - self->destination_.free_in_buffer));
    if (!self->writeError_) self->writeError_ = self->file_.Flush();
}

// Runs inside the rendering's strip callback: a libjpeg failure returns here,
// not across the rendering's frames, and stops the rendering instead.
uint32_t JpegConverter::WriteRows(uint8_t* rows, uint32_t count) {
    if (failed_) return failed_;
    if (setjmp(error_.returnPoint) != 0) return failed_ = stage_;
    const size_t stride = size_t(jpegWidth_) * components_;
    for (uint32_t i = 0; i < count && cinfo_.next_scanline < cinfo_.image_height; ++i) {
        JSAMPROW row = rows + size_t(i) * stride;
        jpeg_write_scanlines(&cinfo_, &row, 1);
    }
    return 0;
}

// Scales the rows that arrived (with those left from the last strip) and
// hands them to libjpeg; rows that do not fill a scaling group wait at the
// buffer's start for the next strip.
uint8_t* JpegConverter::OnStrip(uint8_t* at, uint32_t bytes) {
    uint8_t* const start = static_cast<uint8_t*>(callerBuffer_.buffer);
    const size_t row = size_t(components_) * width_;
    const uint32_t rows = uint32_t(bytes / row) + leftover_;
    if (options_.size == 0) {
        leftover_ = 0;
        return WriteRows(start, rows) ? nullptr : start;
    }
    (void)at;
    const uint32_t group = options_.size == 1 ? 3 : 2;
    const uint32_t whole = rows / group * group;
    if (options_.size == 1) ScaleTwoThirds(start, scaled_.data(), whole, width_, components_);
    else ScaleHalf(start, scaled_.data(), whole, width_, components_);
    if (WriteRows(scaled_.data(), options_.size == 1 ? whole / 3 * 2 : whole / 2)) return nullptr;
    leftover_ = rows - whole;
    if (leftover_) std::memmove(start, start + size_t(whole) * row, size_t(leftover_) * row);
    return start + size_t(leftover_) * row;
}

void* JpegConverter::StripCallback(void* at, uint32_t bytes, int32_t) {
    JpegConverter* self = gActive;
    if (!self) return nullptr;
    return self->OnStrip(static_cast<uint8_t*>(at), bytes);
}

uint32_t JpegConverter::Compress() {
    volatile uint32_t status = 0;
    stage_ = VQ_ERR_JPEG_FAILED_CREATE;
    cinfo_.err = SdkInitJpegErrorManager(&error_);
    if (setjmp(error_.returnPoint) != 0) return stage_ ? stage_ : VQ_ERR_JPEG_LIBRARY_ERROR;
    jpeg_create_compress(&cinfo_);
    created_ = true;
    cinfo_.client_data = this;
    destination_.init_destination = InitDestination;
    destination_.empty_output_buffer = EmptyOutputBuffer;
    destination_.term_destination = TermDestination;
    cinfo_.dest = &destination_;
    cinfo_.image_width = jpegWidth_;
    cinfo_.image_height = jpegHeight_;
    cinfo_.input_components = int(components_);
    cinfo_.in_color_space = components_ == 3 ? JCS_RGB : JCS_GRAYSCALE;
    stage_ = VQ_ERR_JPEG_FAILED_DEFAULTS;
    jpeg_set_defaults(&cinfo_);
    cinfo_.write_JFIF_header = TRUE;
    cinfo_.density_unit = resolutionUnit_;
    cinfo_.X_density = resolutionValue_;
    cinfo_.Y_density = resolutionValue_;
    cinfo_.optimize_coding = TRUE;
    stage_ = VQ_ERR_JPEG_FAILED_TABLES;
    InstallTables();
    stage_ = VQ_ERR_JPEG_FAILED_START;
    jpeg_start_compress(&cinfo_, TRUE);

    stage_ = VQ_ERR_JPEG_FAILED_WRITE;
    ImageBufferRecord strips = callerBuffer_;
    strips.stripCallback = &StripCallback;
    strips.userValue = 0;
    strips.bufferBytes = uint32_t(size_t(rowsPerStrip_ - 2) * components_ * width_);
    gActive = this;
    status = VqGetImage(record_, &strips, progress_);
    gActive = nullptr;
    if (failed_) return failed_;
    if (status) return status;
    if (setjmp(error_.returnPoint) != 0) return stage_;
    // Rows still missing (a last group that was not whole): the rows left are
    // completed by repeating the last of them.
    if (cinfo_.next_scanline < cinfo_.image_height && leftover_ > 0) {
        uint8_t* start = static_cast<uint8_t*>(callerBuffer_.buffer);
        const size_t row = size_t(components_) * width_;
        const uint32_t group = options_.size == 1 ? 3 : options_.size == 2 ? 2 : 1;
        for (uint32_t r = leftover_; r < group; ++r)
            std::memcpy(start + size_t(r) * row, start + size_t(leftover_ - 1) * row, row);
        leftover_ = 0;
        OnStrip(start, uint32_t(group * row));
        if (failed_) return failed_;
    }
    stage_ = VQ_ERR_JPEG_FAILED_FINISH;
    if (cinfo_.next_scanline < cinfo_.image_height) return VQ_ERR_JPEG_FAILED_WRITE;
    jpeg_finish_compress(&cinfo_);
    stage_ = VQ_ERR_JPEG_FAILED_DESTROY;
    return 0;
}

void JpegConverter::Restore() {
    if (!saved_) return;
    VqSetImagePadBytes(record_, savedPad_);
    if (renderType_ != savedType_) VqSetImageType(record_, savedType_);
    if (savedSubsample_ != 1) VqSetSubSample(record_, savedSubsample_);
    saved_ = false;
}

uint32_t JpegConverter::Run() {
    stage_ = VQ_ERR_JPEG_EXPORT_FAILED;
    uint32_t status = Prepare();
    // A file to be replaced keeps its bytes until the new one is complete: the
    // conversion writes beside it and takes its name at the end.
    std::string written = path_->path;
    struct stat existing {};
    const bool replacing = options_.overwrite && ::stat(path_->path, &existing) == 0 && S_ISREG(existing.st_mode);
    if (!status && replacing) {
        std::string temporary = written + ".XXXXXX";
        const int fd = ::mkstemp(temporary.data());
        if (fd < 0) {
            status = win32::fromErrno(errno);
        } else {
            (void)::fchmod(fd, existing.st_mode & 07777);
            ::close(fd);
            written = temporary;
        }
    }
    if (!status) {
        status = file_.Create(written.c_str(), options_.overwrite ? 1 : 0);
        fileCreated_ = status == 0;
    } else if (replacing && written != path_->path) {
        std::remove(written.c_str());
    }
    if (!status) status = Compress();
    if (!status && writeError_) status = writeError_;
    if (!status && !options_.keepFileDate && record_->name) {
        SdkCamera* camera = nullptr;
        uint16_t date = 0, time = 0;
        uint32_t size = 0;
        // The camera of the image, reached through the interface's image table.
        SdkImage* image = nullptr;
        if (VqCall::FindImage(Driver().images, record_, image) == 0 && image) camera = image->camera();
        if (camera && camera->GetEntryFactsByName(record_->name, &size, &date, &time) == 0 && date > 0x1421 &&
            time != 0)
            file_.SetTimes(date, time);
    }
    if (fileCreated_) {
        const uint32_t closed = file_.Close();
        if (!status) status = closed;
        if (!status && written != path_->path && std::rename(written.c_str(), path_->path) != 0)
            status = win32::fromErrno(errno);
        // A failed conversion leaves no file behind (and a replaced file as it was).
        if (status) std::remove(written.c_str());
    }
    Restore();
    if (created_) {
        jpeg_destroy_compress(&cinfo_);
        created_ = false;
    }
    *buffer_ = callerBuffer_;
    return status;
}

} // namespace lumora::vq
