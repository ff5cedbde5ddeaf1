#include "JPEGCompressor.h"

#include "File.h"
#include "Thumbnail.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace NimbalCore {

// Every libjpeg call below runs after a setjmp on the error manager's return
// point, in a frame that holds only plain data: a library error comes back
// there with 1 and no destructor is skipped.

JPEGCompressor::JPEGCompressor(int width, int height, int channels, const int* lumaTable, const int* chromaTable,
                               int quality, uint16_t density, uint8_t densityUnit, uint32_t chunkSize,
                               Thumbnail* firstThumbnail, Thumbnail* secondThumbnail, bool writeAllTables,
                               bool expandGray, File* sink)
    : width_(width), height_(height), channels_(channels), quality_(quality), density_(density),
      densityUnit_(densityUnit), chunkSize_(std::max<uint32_t>(chunkSize, 1)), firstThumbnail_(firstThumbnail),
      secondThumbnail_(secondThumbnail), writeAllTables_(writeAllTables), expandGray_(expandGray), sink_(sink) {
    if (lumaTable) {
        std::copy(lumaTable, lumaTable + kTableSize, lumaTable_);
        hasLuma_ = true;
    }
    if (chromaTable) {
        std::copy(chromaTable, chromaTable + kTableSize, chromaTable_);
        hasChroma_ = true;
    }
    if (expandGray_) {
        channels_ = 3;
        // A width Start will refuse gets no row; WriteRow then answers 2100.
        if (width_ >= 1 && width_ <= kMaxSide) {
            try {
                expansion_.Create(uint64_t(width_) * 3);
            } catch (...) {
                expansion_.Free();
            }
        }
    }
}

JPEGCompressor::~JPEGCompressor() { Destroy(); }

void JPEGCompressor::Destroy() {
    if (!created_) return;
    created_ = false;
    if (setjmp(error_.returnPoint)) return;
    jpeg_destroy_compress(&cinfo_);
}

const uint8_t* JPEGCompressor::GetCompressedData() const {
    if (total_ == 0 || buffer_.empty()) return nullptr;
    return buffer_.data();
}

int JPEGCompressor::Start() {
    if (width_ < 1 || width_ > kMaxSide || height_ < 1 || height_ > kMaxSide || (channels_ != 1 && channels_ != 3))
        return BadGeometry;
    Destroy();
    cinfo_.err = SdkInitJpegErrorManager(&error_);
    destination_.manager.init_destination = &JPEGCompressor::DestinationInit;
    destination_.manager.empty_output_buffer = &JPEGCompressor::DestinationEmpty;
    destination_.manager.term_destination = &JPEGCompressor::DestinationTerm;
    destination_.owner = this;
    total_ = 0;
    chunkStart_ = 0;
    status_ = Ok;
    try {
        buffer_.assign(chunkSize_, 0);
    } catch (const std::bad_alloc&) {
        buffer_.clear();
        status_ = OutOfMemory;
        return OutOfMemory;
    }

    if (setjmp(error_.returnPoint)) {
        // A record half made: libjpeg releases whatever its memory manager holds.
        jpeg_destroy_compress(&cinfo_);
        return LibraryFailed;
    }
    jpeg_create_compress(&cinfo_);
    created_ = true;

    if (setjmp(error_.returnPoint)) {
        Destroy();
        return ParametersFailed;
    }
    SetParameters();

    if (setjmp(error_.returnPoint)) {
        Destroy();
        return TablesFailed;
    }
    AddTables();

    if (setjmp(error_.returnPoint)) {
        Destroy();
        return ParametersFailed;
    }
    jpeg_start_compress(&cinfo_, writeAllTables_ ? TRUE : FALSE);
    return Ok;
}

void JPEGCompressor::SetParameters() {
    cinfo_.dest = &destination_.manager;
    cinfo_.image_width = JDIMENSION(width_);
    cinfo_.image_height = JDIMENSION(height_);
    cinfo_.input_components = channels_;
    cinfo_.in_color_space = channels_ == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo_);
    cinfo_.X_density = density_;
    cinfo_.Y_density = density_;
    cinfo_.write_JFIF_header = FALSE;
    cinfo_.write_Adobe_marker = FALSE;
    cinfo_.density_unit = densityUnit_;
}

void JPEGCompressor::AddTables() {
    if (!hasLuma_ && !hasChroma_) return;
    const int scale = jpeg_quality_scaling(quality_);
    unsigned int basic[kTableSize];
    // Negative entries count as 0, which the baseline range makes 1.
    auto add = [&](int slot, const int* table) {
        for (int i = 0; i < kTableSize; ++i) basic[i] = table[i] < 0 ? 0u : unsigned(table[i]);
        jpeg_add_quant_table(&cinfo_, slot, basic, scale, TRUE);
    };
    if (hasLuma_) add(0, lumaTable_);
    if (hasChroma_) add(1, chromaTable_);
}

int JPEGCompressor::WriteRow(const uint8_t* row) {
    if (!created_ || !row) return LibraryFailed;
    if (status_ != Ok) return Ok;
    for (Thumbnail* thumbnail : {firstThumbnail_, secondThumbnail_}) {
        if (!thumbnail) continue;
        try {
            thumbnail->AddRow(row);
        } catch (...) {
            return ThumbnailFailed;
        }
    }
    JSAMPROW line = const_cast<JSAMPROW>(row);
    if (expandGray_) {
        auto* out = static_cast<uint8_t*>(expansion_.GetData());
        if (!out) return LibraryFailed;
        for (int x = 0; x < width_; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = row[x];
        line = out;
    }
    if (setjmp(error_.returnPoint)) return LibraryFailed;
    jpeg_write_scanlines(&cinfo_, &line, 1);
    return Ok;
}

int JPEGCompressor::Finish() {
    if (!created_) return status_ != Ok ? status_ : FinishFailed;
    int result = status_;
    if (status_ == Ok) {
        if (setjmp(error_.returnPoint)) {
            result = FinishFailed;
        } else {
            jpeg_finish_compress(&cinfo_);
            result = status_;
        }
    }
    Destroy();
    return result;
}

void JPEGCompressor::WriteChunk(const uint8_t* bytes, uint64_t count) {
    if (count == 0) return;
    try {
        if (sink_->Write(bytes, 1, size_t(count)) != count) status_ = SinkWriteFailed;
    } catch (...) {
        status_ = SinkWriteFailed;
    }
}

bool JPEGCompressor::GrowForNextChunk() {
    try {
        buffer_.resize(size_t(total_ + chunkSize_));
    } catch (...) {
        return false;
    }
    chunkStart_ = total_;
    return true;
}

void JPEGCompressor::DestinationInit(j_compress_ptr cinfo) {
    JPEGCompressor* self = reinterpret_cast<Destination*>(cinfo->dest)->owner;
    cinfo->dest->next_output_byte = self->buffer_.data() + self->chunkStart_;
    cinfo->dest->free_in_buffer = self->chunkSize_;
}

boolean JPEGCompressor::DestinationEmpty(j_compress_ptr cinfo) {
    JPEGCompressor* self = reinterpret_cast<Destination*>(cinfo->dest)->owner;
    if (self->status_ == Ok) {
        self->total_ += self->chunkSize_;
        if (self->sink_) {
            self->WriteChunk(self->buffer_.data(), self->chunkSize_);
        } else if (!self->GrowForNextChunk()) {
            // The bytes kept stay the count: size and data agree.
            self->status_ = OutOfMemory;
        }
    }
    // After a failure the library goes on into the same chunk, which is
    // dropped; the failure comes out of Finish.
    cinfo->dest->next_output_byte = self->buffer_.data() + self->chunkStart_;
    cinfo->dest->free_in_buffer = self->chunkSize_;
    return TRUE;
}

void JPEGCompressor::DestinationTerm(j_compress_ptr cinfo) {
    JPEGCompressor* self = reinterpret_cast<Destination*>(cinfo->dest)->owner;
    if (self->status_ != Ok) return;
    const uint64_t last = self->chunkSize_ - cinfo->dest->free_in_buffer;
    self->total_ += last;
    if (self->sink_) self->WriteChunk(self->buffer_.data(), last);
}

} // namespace NimbalCore
