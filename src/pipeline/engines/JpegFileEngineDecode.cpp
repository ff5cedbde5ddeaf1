// The camera JPEG stream decoded with libjpeg from memory, through the
// interface's error manager: a libjpeg failure comes back to the return point
// set here and is answered as the phase the decode was in.
//
// Between setjmp and the end of the libjpeg calls only plain data lives on the
// stack (the non-local return skips destructors).
#include "JpegFileEngine.h"

#include <cstring>
#include <new>

#include "SdkJpegErrorManager.h"

#include <jerror.h>
#include "VqOutputTypes.h"

namespace lumora {

namespace {

// libjpeg's source manager first, so the library's pointer is the record.
struct MemorySource {
    jpeg_source_mgr manager;
    const JOCTET* start;
    size_t length;
    size_t handed; // bytes of the stream given to libjpeg or skipped so far
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    src->manager.next_input_byte = src->start;
    src->manager.bytes_in_buffer = 0;
    src->handed = 0;
}

// The rest of the stream; once it is all handed over, an end-of-image marker
// (with a warning), so a cut stream ends instead of being read again.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    if (src->handed >= src->length) {
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->manager.next_input_byte = kEndOfImage;
        src->manager.bytes_in_buffer = sizeof kEndOfImage;
        return TRUE;
    }
    src->manager.next_input_byte = src->start + src->handed;
    src->manager.bytes_in_buffer = src->length - src->handed;
    src->handed = src->length;
    return TRUE;
}

// A skip past the end (a damaged segment length) stops at the end.
void SkipInputData(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    if (count <= 0) return;
    const size_t n = size_t(count);
    if (n <= src->manager.bytes_in_buffer) {
        src->manager.next_input_byte += n;
        src->manager.bytes_in_buffer -= n;
        return;
    }
    const size_t beyond = n - src->manager.bytes_in_buffer;
    src->manager.bytes_in_buffer = 0;
    // Bytes already handed over are behind the buffer's end: the skip goes on
    // from there within the stream.
    const size_t position = src->handed;
    src->handed = beyond >= src->length - position ? src->length : position + beyond;
}

void TermSource(j_decompress_ptr) {}

struct DecodeTarget {
    uint8_t* cache;
    uint64_t limit; // bytes of the cache the decoded rows may fill
    uint32_t width, height;
    int32_t colour, greyOutput;
};

// The libjpeg calls of one decode, each after its phase is set. Answers a
// status of its own (size mismatch, rows past the cache) or 0; a libjpeg
// failure does not come back here.
VqStatus RunDecode(j_decompress_ptr cinfo, MemorySource* source, const DecodeTarget& target,
                   volatile VqStatus* phase) {
    source->manager.init_source = InitSource;
    source->manager.fill_input_buffer = FillInputBuffer;
    source->manager.skip_input_data = SkipInputData;
    source->manager.resync_to_restart = jpeg_resync_to_restart;
    source->manager.term_source = TermSource;
    source->manager.next_input_byte = nullptr;
    source->manager.bytes_in_buffer = 0;
    cinfo->src = &source->manager;

    *phase = VQ_ERR_JPEG_FAILED_READ_HEADER;
    jpeg_read_header(cinfo, TRUE);
    if (cinfo->image_width != target.width || cinfo->image_height != target.height ||
        cinfo->num_components != (target.colour ? 3 : 1))
        return VQ_ERR_JPEG_SIZE_MISMATCH;
    if (target.colour && target.greyOutput) cinfo->out_color_space = JCS_GRAYSCALE;
    *phase = VQ_ERR_JPEG_FAILED_DIMENSIONS;
    jpeg_calc_output_dimensions(cinfo);
    cinfo->dct_method = JDCT_IFAST;
    *phase = VQ_ERR_JPEG_FAILED_DECODE_START;
    jpeg_start_decompress(cinfo);

    *phase = VQ_ERR_JPEG_FAILED_READ;
    const uint64_t rowBytes = uint64_t(cinfo->output_width) * uint64_t(cinfo->output_components);
    while (cinfo->output_scanline < cinfo->output_height) {
        const uint64_t at = uint64_t(cinfo->output_scanline) * rowBytes;
        if (at + rowBytes > target.limit) return VQ_ERR_JPEG_NO_MEMORY;
        JSAMPROW row = target.cache + at;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    *phase = VQ_ERR_JPEG_FAILED_DECODE_FINISH;
    jpeg_finish_decompress(cinfo);
    return VQ_OK;
}

} // namespace

VqStatus JpegFileEngine::DecodeJpeg() {
    if (!cache_) return VQ_ERR_NO_CACHE;
    if (!jpegScratch_) return VQ_ERR_JPEG_NO_MEMORY;
    DecodeTarget target{};
    target.cache = cache_;
    const uint64_t pixels = uint64_t(rawWidth_ > 0 ? rawWidth_ : 0) * uint64_t(rawHeight_ > 0 ? rawHeight_ : 0);
    const uint64_t components = isColor_ && outputType_ != int32_t(VQ_TYPE_GRAY8) ? 3 : 1;
    target.limit = pixels * components < cacheBytes_ ? pixels * components : cacheBytes_;
    target.width = uint32_t(rawWidth_ > 0 ? rawWidth_ : 0);
    target.height = uint32_t(rawHeight_ > 0 ? rawHeight_ : 0);
    target.colour = isColor_;
    target.greyOutput = outputType_ == int32_t(VQ_TYPE_GRAY8);

    jpeg_decompress_struct cinfo;
    SdkJpegError error;
    MemorySource source{};
    source.start = jpegScratch_;
    source.length = loadedBytes_;
    volatile VqStatus phase = VQ_ERR_JPEG_FAILED_SETUP;
    volatile VqStatus status = VQ_OK;
    volatile int created = 0;
    cinfo.err = SdkInitJpegErrorManager(&error);
    if (setjmp(error.returnPoint) == 0) {
        phase = VQ_ERR_JPEG_FAILED_DECODE_CREATE;
        jpeg_create_decompress(&cinfo);
        created = 1;
        status = RunDecode(&cinfo, &source, target, &phase);
    } else {
        status = phase;
    }
    if (created) {
        created = 0;
        const volatile VqStatus kept = status;
        phase = VQ_ERR_JPEG_FAILED_DECODE_DESTROY;
        if (setjmp(error.returnPoint) == 0) jpeg_destroy_decompress(&cinfo);
        else status = kept ? kept : VQ_ERR_JPEG_LIBRARY_ERROR;
    }
    lastWarnings_ = int32_t(error.manager.num_warnings);
    if (status == VQ_OK) {
        const long w = error.manager.num_warnings;
        if (w > 5) return VQ_ERR_JPEG_MANY_WARNINGS;
        if (w >= 2) return VQ_ERR_JPEG_SOME_WARNINGS;
        if (w == 1) return VQ_ERR_JPEG_ONE_WARNING;
    }
    return status;
}

VqStatus JpegFileEngine::DecodeCache(void* scratch, int32_t, int32_t, int32_t) {
    if (dataOffset_ < 0 || dataSize_ < 0 || int64_t(loadedBytes_) != int64_t(dataOffset_) + int64_t(dataSize_))
        return VQ_ERR_CACHE_INCOMPLETE;
    if (cacheDecoded_) return VQ_OK;
    if (!cache_) return VQ_ERR_NO_CACHE;
    uint8_t* owned = nullptr;
    if (scratch) {
        jpegScratch_ = static_cast<uint8_t*>(scratch);
    } else {
        owned = new (std::nothrow) uint8_t[loadedBytes_ ? loadedBytes_ : 1];
        if (!owned) return VQ_ERR_JPEG_NO_MEMORY;
        jpegScratch_ = owned;
    }
    std::memcpy(jpegScratch_, cache_, loadedBytes_);
    const VqStatus status = DecodeJpeg();
    delete[] owned;
    jpegScratch_ = nullptr;
    if (status == VQ_OK || (status >= VQ_ERR_JPEG_ONE_WARNING && status <= VQ_ERR_JPEG_MANY_WARNINGS)) {
        cacheDecoded_ = 1;
        return VQ_OK;
    }
    // The decode may have written over the file's bytes: the next rendering
    // loads them again instead of decoding what is left.
    loadedBytes_ = 0;
    return status;
}

} // namespace lumora
