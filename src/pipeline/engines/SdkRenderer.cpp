#include "SdkRenderer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "IntOps.h"
#include "LutStage.h"
#include "RawUnpackStage.h"
#include "RendererImage.h"
#include "ShadingStage.h"
#include "VqOutputTypes.h"
#include "WorkerPool.h"

namespace lumora {

namespace {

constexpr uint32_t kFourCcLab = 0x4C616220u; // "Lab "
constexpr uint32_t kFourCcLuv = 0x4C757620u; // "Luv "

} // namespace

SdkRenderer::SdkRenderer() {
    // Each cell records where it lives and how many bytes it holds.
    auto cell = [this](uint32_t id, auto& member) {
        parameters_[id] = &member;
        parameterSizes_[id] = sizeof member;
    };
    cell(RP_IS_COLOR, isColor_);
    cell(RP_SENSOR_GROUP, sensorGroup_);
    cell(RP_IMAGE, image_);
    cell(RP_SUBSAMPLE, subsample_);
    cell(RP_OUTPUT_TYPE, outputType_);
    cell(RP_ROTATION, rotation_);
    cell(RP_PAD_BYTES, padBytes_);
    cell(RP_OUTPUT_WINDOW, outputWindow_);
    cell(RP_SAMPLE_BALANCE, sampleBalance_);
    cell(RP_WHITE_BALANCE, whiteBalance_);
    cell(RP_MONO_BALANCE, monoBalance_);
    cell(RP_UNPACK_OFFSET, unpackOffset_);
    cell(RP_UNPACK_TABLE, unpackTable_);
    cell(RP_RAW_WIDTH, rawWidth_);
    cell(RP_RAW_HEIGHT, rawHeight_);
    cell(RP_SHADING_POLY_1, shadingPoly1_);
    cell(RP_SHADING_POLY_2, shadingPoly2_);
    cell(RP_PROCESSING_DIRECTORY, processingDirectory_);
    cell(RP_MODEL_NAME, modelName_);
    cell(RP_CALIBRATION_FILE, calibrationFile_);
    cell(RP_THUMBNAIL_MONO, thumbnailMono_);
    cell(RP_THUMBNAIL_INFO, thumbnailInfo_);
    cell(RP_DATA_OFFSET, dataOffset_);
    cell(RP_COLOR_MATRIX, colorMatrix_);
    cell(RP_COLOR_MATRIX_2, colorMatrix2_);
    cell(RP_COLOR_MATRIX_3, colorMatrix3_);
    cell(RP_COLOR_MATRICES, colorMatrices_);
    cell(RP_TONE_CURVE, toneCurve_);
    cell(RP_DATA_SIZE, dataSize_);
    cell(RP_DATA_COMPRESSED, dataCompressed_);
    cell(RP_MAX_VALUE, maxValue_);
    cell(RP_PRIVATE_1018, private1018_);
    cell(RP_CAMERA_PRESET, cameraPreset_);
    cell(RP_UNPACK_TABLE_SIZE, unpackTableSize_);
    cell(RP_LINEAR_LIMIT, linearLimit_);
    cell(RP_LINEAR_TABLE_32, linearTable32_);
    cell(RP_TONE_CURVE_SIZE, toneCurveSize_);
    cell(RP_OUTPUT_CURVE, outputCurve_);
    cell(RP_OUTPUT_CURVE_SIZE, outputCurveSize_);
    cell(RP_F2_CURVE_A_SIZE, f2CurveASize_);
    cell(RP_F2_CURVE_A, f2CurveA_);
    cell(RP_F2_CURVE_B_SIZE, f2CurveBSize_);
    cell(RP_F2_CURVE_B, f2CurveB_);
    cell(RP_OFFSET_TABLE_SIZE, offsetTableSize_);
    cell(RP_ROW_OFFSETS, rowOffsets_);
    cell(RP_ROW_OFFSETS_32, rowOffsets32_);
    cell(RP_COLUMN_OFFSETS, columnOffsets_);
    cell(RP_COLUMN_OFFSETS_32, columnOffsets32_);
    cell(RP_PRECISION_FACTOR, precisionFactor_);
    cell(RP_LOOK, look_);
    cell(RP_THUMB_TABLE_ON, thumbTableOn_);
    cell(RP_GAIN_TILE_WIDTH, gainTileWidth_);
    cell(RP_GAIN_TILE_HEIGHT, gainTileHeight_);
    cell(RP_GAIN_MAP_SIZE, gainMapSize_);
    cell(RP_GAIN_MAP, gainMap_);
    cell(RP_THUMB_TABLE_SIZE, thumbTableSize_);
    cell(RP_THUMB_TABLE, thumbTable_);
    cell(RP_LINEAR_GAIN, linearGain_);
    cell(RP_THUMBNAIL_DATA, thumbnailData_);
    cell(RP_BALANCE_IS_LINEAR, balanceIsLinear_);
    cell(RP_BALANCE_STATE, balanceState_);
    cell(RP_DIRECTION_THRESHOLD_H, directionThresholdH_);
    cell(RP_DIRECTION_THRESHOLD_V, directionThresholdV_);
    cell(RP_SHARPEN_KERNEL, sharpenKernel_);
    cell(RP_SHARPEN_ON, sharpenOn_);
    cell(RP_SHARPEN_1, sharpen_[0]);
    cell(RP_SHARPEN_2, sharpen_[1]);
    cell(RP_SHARPEN_3, sharpen_[2]);
    cell(RP_SHARPEN_4, sharpen_[3]);
    cell(RP_SHARPEN_5, sharpen_[4]);
    cell(RP_SHARPEN_ALLOWED, sharpenAllowed_);
    cell(RP_CMS_TRANSFORM, cmsTransform_);
    cell(RP_CFA_TABLE_SIZE, cfaTableSize_);
    cell(RP_CFA_TABLE_1, cfaTable1_);
    cell(RP_CFA_TABLE_2, cfaTable2_);
    cell(RP_CFA_TABLE_3, cfaTable3_);
    cell(RP_BYTE_TABLE, byteTable_);
    cell(RP_BYTE_TABLE_SIZE, byteTableSize_);
    cell(RP_CAMERA_RGB_MODE, cameraRgbMode_);
    cell(RP_DEMOSAIC_THRESHOLD, demosaicThreshold_);
    cell(RP_CURVE_STATE, curveState_);
    cell(RP_SHIFTED_TABLE, shiftedTable_);
    cell(RP_SHIFTED_TABLE_SIZE, shiftedTableSize_);
    cell(RP_FINAL_TABLE, finalTable_);
    cell(RP_FINAL_TABLE_SIZE, finalTableSize_);
    cell(RP_SENSITIVITY_PAIRS, sensitivityPairs_);
    cell(RP_MODEL_ID, modelId_);
    cell(RP_LINEAR_MAX, linearMax_);
    cell(RP_BAD_COLUMNS, badColumns_);
    cell(RP_CACHE_SAMPLE_BYTES, cacheSampleBytes_);
    cell(RP_DATA_FORMAT, dataFormat_);
    cell(RP_IMAGE_DATA, imageData_);
    cell(RP_CHROMA_SETTINGS, chromaSettings_);
}

SdkRenderer::~SdkRenderer() {
    FreeCache();
    delete[] linearLut_;
    for (void* b : ownedBuffers_) std::free(b);
    std::free(rowOffsets_);
    std::free(rowOffsets32_);
    std::free(columnOffsets_);
    std::free(columnOffsets32_);
}

VqStatus SdkRenderer::IsGreyPatch(const uint16_t*, int32_t*, int16_t, float) { return VQ_OK; }
VqStatus SdkRenderer::DecodeCache(void*, int32_t, int32_t, int32_t) { return VQ_OK; }

VqStatus SdkRenderer::GetOutputFormat(uint32_t type, int32_t* bytesPerSample, int32_t* channels) {
    int32_t b = 0, c = 0;
    switch (type) {
    case VQ_TYPE_RAW:
    case VQ_TYPE_GRAY8:
    case VQ_TYPE_MONO8: b = 1; c = 1; break;
    case VQ_TYPE_GRAY16:
    case VQ_TYPE_MONO16: b = 2; c = 1; break;
    case VQ_TYPE_RGB8:
    case VQ_TYPE_BGR8:
    case VQ_TYPE_CAMERA_RGB8:
    case VQ_TYPE_LAB8: b = 1; c = 3; break;
    case VQ_TYPE_XRGB8:
    case VQ_TYPE_BGRX8:
    case VQ_TYPE_CMYK8: b = 1; c = 4; break;
    case VQ_TYPE_RGB16:
    case VQ_TYPE_BGR16:
    case VQ_TYPE_CAMERA_RGB16:
    case VQ_TYPE_CAMERA_RGB12:
    case VQ_TYPE_LAB16: b = 2; c = 3; break;
    case VQ_TYPE_XRGB16:
    case VQ_TYPE_BGRX16:
    case VQ_TYPE_CMYK16: b = 2; c = 4; break;
    default: break;
    }
    if (bytesPerSample) *bytesPerSample = b;
    if (channels) *channels = c;
    return b == 0 ? VQ_ERR_BAD_IMAGE_TYPE : VQ_OK;
}

VqStatus SdkRenderer::GetStripBufferSizes(StripBufferSizes* sizes, int16_t width, uint32_t height,
                                          int16_t subsample, int32_t bytesPerSample) {
    if (!sizes) return VQ_ERR_NULL_OUTPUT;
    if (subsample < 1) return VQ_ERR_BAD_SUBSAMPLE;
    if (width < 0 || bytesPerSample < 0) return VQ_ERR_BAD_ARGUMENT;
    const uint64_t w = uint64_t(width), h = height;
    const uint64_t window = w * h * uint64_t(bytesPerSample);
    const uint64_t unpacked = w * h * 2;
    const uint64_t plane = (w / uint64_t(subsample)) * (h / uint64_t(subsample) + 2) * 2;
    // Counts are 32-bit; a strip whose buffers do not fit cannot be allocated.
    if (window > UINT32_MAX || unpacked > UINT32_MAX || plane > UINT32_MAX)
        return VQ_ERR_PROCESS_NO_MEMORY;
    sizes->windowBytes = uint32_t(window);
    sizes->unpackedBytes = uint32_t(unpacked);
    sizes->firstPlaneBytes = uint32_t(plane);
    sizes->secondPlaneBytes = isColor_ ? uint32_t(plane) : 0;
    sizes->thirdPlaneBytes = isColor_ ? uint32_t(plane) : 0;
    return VQ_OK;
}

VqStatus SdkRenderer::FitStripHeight(int16_t subsample, uint32_t* stripSize, uint32_t total) {
    if (!stripSize) return VQ_ERR_NULL_OUTPUT;
    uint32_t n = *stripSize;
    if (subsample > 1) {
        const uint32_t s = uint32_t(subsample);
        if (n < s) return VQ_ERR_STRIP_TOO_SMALL;
        // Lowered in even steps; stop before passing below one factor so an odd
        // start can never run past zero.
        while (n >= s && n % s != 0) n -= 2;
        *stripSize = n;
        return n < s ? VQ_ERR_STRIP_TOO_SMALL : VQ_OK;
    }
    // A strip taller than the window would be lowered two rows at a time until it
    // fits; jump there at once.
    if (n > total && total % n >= 1 && total % n <= 5) n -= ((n - total + 1) / 2) * 2;
    while (n != 0 && total % n >= 1 && total % n <= 5) {
        if (n < 2) {
            n = 0;
            break;
        }
        n -= 2;
    }
    *stripSize = n;
    if (n == 0 || n < 6) return VQ_ERR_STRIP_TOO_SMALL;
    return VQ_OK;
}

VqStatus SdkRenderer::ConfigureOutput(uint32_t bufferBytes, int32_t, int32_t, int32_t w, int32_t h,
                                      StripPlan* plan, float rotation, uint8_t padBytes,
                                      uint32_t type) {
    if (!plan) return VQ_ERR_NULL_OUTPUT;
    const int32_t s = subsample_;
    if (s < 1) return VQ_ERR_BAD_SUBSAMPLE;
    if (w < 0 || h < 0) return VQ_ERR_STRIP_TOO_SMALL;
    const uint32_t W = uint32_t((w / s) * s);
    const uint32_t H = uint32_t((h / s) * s);
    int32_t b = 0, c = 0;
    const VqStatus fs = GetOutputFormat(type, &b, &c);
    if (fs != VQ_OK) return fs;
    const bool rows = rotation == 0.0f || rotation == 180.0f;
    const uint64_t across = uint64_t(rows ? w : h) / uint64_t(s);
    const uint64_t rowBytes = across * uint64_t(b) * uint64_t(c) + padBytes;
    if (rowBytes == 0) return VQ_ERR_STRIP_TOO_SMALL;
    uint64_t n64 = (uint64_t(bufferBytes) / rowBytes) * uint64_t(s);
    if (n64 > 0x7FFFFFFEu) n64 = 0x7FFFFFFEu;
    uint32_t n = uint32_t(n64);
    if (n & 1) --n;
    if (n == 0) return VQ_ERR_STRIP_TOO_SMALL;
    // A buffer larger than the picture gives one strip of the picture's size:
    // the strip buffers are made for the strip, and a strip taller than the
    // picture would make them larger than any picture needs (or than they can
    // be) for nothing.
    const uint32_t total = rows ? H : W;
    if (total > 0 && n > total) n = total + (total & 1);
    const VqStatus ft = FitStripHeight(int16_t(s), &n, total);
    if (ft != VQ_OK) return ft;
    if (rows) {
        plan->stripSize = int32_t(n);
        plan->stripWidth = int32_t(W);
        plan->lastWidth = int32_t(W);
        plan->stripCount = int32_t((H + n - 1) / n);
        plan->lastRows = H % n ? int32_t(H % n) : int32_t(n);
    } else {
        plan->stripSize = int32_t(H);
        plan->lastRows = int32_t(H);
        plan->stripWidth = int32_t(n);
        plan->stripCount = int32_t((W + n - 1) / n);
        plan->lastWidth = W % n ? int32_t(W % n) : int32_t(n);
    }
    // Every processed type reads context rows around each strip (the demosaicers
    // look three rows beyond it); margin columns are only needed for
    // full-resolution colour.
    plan->rowMargin = outputType_ != VQ_TYPE_RAW ? 4 : 0;
    plan->colMargin = (outputType_ != VQ_TYPE_RAW && isColor_ && s <= 1) ? 4 : 0;
    return VQ_OK;
}

VqStatus SdkRenderer::SourceRectForRotation(int32_t i, StripPlan plan, int32_t x, int32_t y,
                                            int32_t, int32_t, SdkRect* rect, float rotation,
                                            const ClipRecord* clip) {
    if (!rect) return VQ_ERR_NULL_OUTPUT;
    const int32_t e = clip ? clip->extraRowMargin : 0;
    const bool rows = rotation == 0.0f || rotation == 180.0f;
    const bool columns = rotation == 90.0f || rotation == 270.0f;
    if (!rows && !columns) return VQ_ERR_BAD_ROTATION;
    if (rotation == 180.0f || rotation == 270.0f) i = plan.stripCount - 1 - i;
    const bool last = i == plan.stripCount - 1;
    int64_t rx, ry, rw, rh;
    if (rows) {
        const int64_t n = last ? plan.lastRows : plan.stripSize;
        rx = int64_t(x) - plan.colMargin;
        ry = int64_t(y) + int64_t(i) * plan.stripSize - e - plan.rowMargin;
        rw = int64_t(plan.stripWidth) + 2 * int64_t(plan.colMargin);
        rh = n + 2 * (int64_t(plan.rowMargin) + e);
    } else {
        const int64_t n = last ? plan.lastWidth : plan.stripWidth;
        rx = int64_t(x) + int64_t(i) * plan.stripWidth - plan.colMargin;
        ry = int64_t(y) - plan.rowMargin - e;
        rw = n + 2 * int64_t(plan.colMargin);
        rh = int64_t(plan.stripSize) + 2 * int64_t(plan.rowMargin) + 2 * int64_t(e);
    }
    rect->x = wrap16(int32_t(rx));
    rect->y = wrap16(int32_t(ry));
    rect->width = wrap16(int32_t(rw));
    rect->height = wrap16(int32_t(rh));
    return VQ_OK;
}

uint64_t SdkRenderer::RequiredCacheBytes(uint32_t bytesPerSample) const {
    if (rawWidth_ < 0 || rawHeight_ < 0 || dataOffset_ < 0 || dataSize_ < 0) return 0;
    const uint64_t offset = uint64_t(dataOffset_);
    const uint64_t sensor = uint64_t(rawWidth_) * uint64_t(rawHeight_) * bytesPerSample;
    return std::max(offset + sensor, offset + uint64_t(dataSize_));
}

VqStatus SdkRenderer::LoadCache(uint8_t* buffer, uint32_t stepCount, int32_t* done,
                                uint32_t bytesPerSample) {
    if (done) *done = 0;
    if (!cache_) {
        loadedBytes_ = 0;
        cacheDecoded_ = 0;
        const uint64_t required = RequiredCacheBytes(bytesPerSample);
        if (required == 0 && (rawWidth_ < 0 || rawHeight_ < 0 || dataOffset_ < 0 || dataSize_ < 0))
            return VQ_ERR_BAD_FILE;
        if (buffer) {
            cache_ = buffer;
            cacheOwned_ = 0;
        } else {
            cache_ = AllocateCacheBytes(required);
            if (!cache_) return VQ_ERR_PROCESS_NO_MEMORY;
            cacheOwned_ = 1;
            // The stored bytes are read over the start; past them the sensor
            // area is cleared, so what the data does not reach reads as black
            // rather than as leftover memory. A decoder that writes the sensor
            // area clears it itself.
            const uint64_t stored = uint64_t(dataOffset_) + uint64_t(dataSize_);
            if (!DecodeWritesSensor() && stored < required)
                std::memset(cache_ + stored, 0, size_t(required - stored));
        }
        cacheBytes_ = required;
    }
    if (dataOffset_ < 0 || dataSize_ < 0) return VQ_ERR_BAD_FILE;
    const int64_t total = int64_t(dataOffset_) + int64_t(dataSize_);
    int64_t chunk = total - int64_t(loadedBytes_);
    if (stepCount != 0 && int64_t(stepCount) * kCacheStepBytes < chunk)
        chunk = int64_t(stepCount) * kCacheStepBytes;
    if (chunk > 0) {
        // The data grew after the cache was made: never read past its end.
        if (uint64_t(loadedBytes_) + uint64_t(chunk) > cacheBytes_) return VQ_ERR_READ_PAST_BUFFER;
        VqStatus s = image_ ? image_->ReadFileBytes(cache_ + loadedBytes_, loadedBytes_,
                                                    uint32_t(chunk), 0)
                            : VQ_ERR_BAD_HANDLE;
        if (s != VQ_OK) {
            FreeCache();
            return s;
        }
        loadedBytes_ += uint32_t(chunk);
    }
    if (total - int64_t(loadedBytes_) <= 0 && done) *done = 1;
    return VQ_OK;
}

uint8_t* SdkRenderer::AllocateCacheBytes(uint64_t bytes) {
    constexpr uint64_t kHugePage = uint64_t(2) << 20;
    if (bytes > uint64_t(SIZE_MAX) - kHugePage) return nullptr;
    if (bytes < kHugePage) return static_cast<uint8_t*>(std::malloc(size_t(bytes ? bytes : 1)));
    const size_t rounded = size_t((bytes + kHugePage - 1) & ~(kHugePage - 1));
    void* block = std::aligned_alloc(size_t(kHugePage), rounded);
    // Only advice: without huge pages the block works as it is.
    if (block) (void)::madvise(block, rounded, MADV_HUGEPAGE);
    // The kernel clears each page when it is first written, which for a
    // sensor's worth of samples costs more than decoding them; the lanes of the
    // worker pool take that clearing in parallel before the one-stream decode
    // or the file read fills the block.
    WorkerPool& pool = WorkerPool::Shared();
    if (block && pool.LanesFor(rounded / kHugePage) > 1) {
        auto* const base = static_cast<uint8_t*>(block);
        pool.ForEach(rounded / kHugePage, [base](size_t i, unsigned) {
            volatile uint8_t* const page = base + i * kHugePage;
            for (size_t at = 0; at < kHugePage; at += 4096) page[at] = 0;
        });
    }
    return static_cast<uint8_t*>(block);
}

void SdkRenderer::FreeCacheBytes(uint8_t* cache) { std::free(cache); }

void SdkRenderer::FreeCache() {
    loadedBytes_ = 0;
    cacheDecoded_ = 0;
    if (cache_) {
        if (cacheOwned_ == 1) FreeCacheBytes(cache_);
        cache_ = nullptr;
    }
    cacheOwned_ = 0;
    cacheBytes_ = 0;
}

VqStatus SdkRenderer::ResetCacheState() {
    if (cacheDecoded_ != 0) {
        loadedBytes_ = 0;
        cacheDecoded_ = 0;
    }
    return VQ_OK;
}

bool SdkRenderer::ColourManagementActive() const {
    return cmsTransform_ && cmsTransform_->mode != 0 && cmsTransform_->mode != 1;
}

VqStatus SdkRenderer::ConfigurePipeline(uint32_t type, int32_t isColour, PipelineModes* modes,
                                        int16_t subsample, int32_t look) {
    look_ = look;
    PipelineModes m;
    m.subsampled = uint16_t(subsample) > 1 ? 1 : 0;
    VqStatus status = VQ_OK;
    const bool cms = ColourManagementActive();
    const int32_t monoMode = isColour ? 0 : 1;
    if (type == VQ_TYPE_RAW) {
        m.unpackMode = m.shadingMode = monoMode;
        m.passThrough = 1;
        m.demosaicMode = 1;
        m.transformMode = 2;
        m.lutMode = 2;
    } else if (type >= VQ_TYPE_GRAY8 && type <= VQ_TYPE_BGRX16) {
        if (!isColour) {
            m.unpackMode = m.shadingMode = 1;
            m.demosaicMode = 0;
            m.transformMode = 1;
            m.lutMode = 0;
        } else if (cms) {
            m.demosaicMode = 1;
            m.transformMode = 4;
            m.lutMode = 0;
        } else {
            m.demosaicMode = 0;
            m.transformMode = look_ == 1 ? 3 : 0;
            m.lutMode = 2;
        }
    } else if (type >= VQ_TYPE_CAMERA_RGB8 && type <= VQ_TYPE_CAMERA_RGB12) {
        m.unpackMode = m.shadingMode = monoMode;
        m.demosaicMode = 1;
        m.transformMode = 2;
        m.lutMode = 0;
        if (cms) status = VQ_ERR_OCMS_TYPE_CONFLICT;
    } else {
        status = VQ_ERR_BAD_IMAGE_TYPE;
    }
    if (modes) *modes = m;
    return status;
}

uint32_t SdkRenderer::MapColorManagedType(uint32_t type) const {
    if (!ColourManagementActive()) return type;
    if (cmsTransform_->channels == 4) {
        switch (type) {
        case VQ_TYPE_RGB16: case VQ_TYPE_XRGB16: case VQ_TYPE_BGR16: case VQ_TYPE_BGRX16: return VQ_TYPE_CMYK16;
        case VQ_TYPE_RGB8: case VQ_TYPE_XRGB8: case VQ_TYPE_BGR8: case VQ_TYPE_BGRX8: return VQ_TYPE_CMYK8;
        default: return type;
        }
    }
    const uint32_t space = cmsTransform_->colourSpace;
    if (space == kFourCcLab || space == kFourCcLuv) {
        switch (type) {
        case VQ_TYPE_RGB8: case VQ_TYPE_BGR8: return VQ_TYPE_LAB8;
        case VQ_TYPE_RGB16: case VQ_TYPE_BGR16: return VQ_TYPE_LAB16;
        default: return type;
        }
    }
    return type;
}

VqStatus SdkRenderer::PassStripOn(const ImageBufferRecord* record, uint8_t*& out, uint64_t bytes) {
    if (!record->stripCallback) return VQ_OK;
    out = static_cast<uint8_t*>(record->stripCallback(out, uint32_t(bytes), record->userValue));
    return out ? VQ_OK : VQ_ERR_BAD_HANDLE;
}

VqStatus SdkRenderer::PrepareLinearLut(LutStage& lut, int32_t lutMode) {
    lut.mode = lutMode;
    // Counted in 32 bits: a maximum of 65535 needs all 65536 entries.
    lut.size = uint32_t(maxValue_) + 1;
    if (lutMode != 0) return VQ_OK;
    delete[] linearLut_;
    linearLut_ = new (std::nothrow) uint16_t[lut.size];
    if (!linearLut_) return VQ_ERR_PROCESS_NO_MEMORY;
    return lut.BuildLinear(linearLut_, 65535, 1.0f);
}

VqStatus SdkRenderer::CopyWindow(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* destination,
                                 uint32_t c, uint32_t d, uint32_t offset, ClipRecord* clip) {
    if (clip) {
        clip->rowsAbove = 0;
        clip->rowsBelow = 0;
    }
    if (!destination) return VQ_ERR_NULL_PLANES;
    uint8_t* const start = destination;
    if (cache_ && w > 0 && h > 0 && c > 0) {
        int32_t top = 0, bottom = 0;
        if (y < 0) {
            top = int32_t(std::min<int64_t>(-int64_t(y), h));
            destination += size_t(w) * size_t(top) * c;
            h -= top;
            y = 0;
        }
        if (int64_t(y) + h > rawHeight_) bottom = int32_t(int64_t(y) + h - rawHeight_);
        if (clip) {
            clip->rowsAbove = top;
            clip->rowsBelow = bottom;
        }
        const int64_t rw = rawWidth_;
        // Columns outside the raw row repeat its edge sample, and no byte is read
        // from outside the cache.
        const int64_t inFirst = std::clamp<int64_t>(x, 0, rw);
        const int64_t inEnd = std::clamp<int64_t>(int64_t(x) + w, 0, rw);
        for (int64_t r = 0; r < int64_t(h) - bottom; ++r) {
            uint8_t* out = destination + size_t(r) * size_t(w) * c;
            const uint64_t rowStart = uint64_t(offset) + uint64_t(c) * uint64_t((y + r) * rw);
            const bool inside = rw > 0 && rowStart + uint64_t(rw) * c <= cacheBytes_;
            if (!inside) {
                std::memset(out, 0, size_t(w) * c);
                continue;
            }
            const uint8_t* row = cache_ + rowStart;
            for (int64_t col = x; col < int64_t(x) + w && col < inFirst; ++col)
                std::memcpy(out + size_t(col - x) * c, row, c);
            if (inEnd > inFirst)
                std::memcpy(out + size_t(inFirst - x) * c, row + size_t(inFirst) * c,
                            size_t(inEnd - inFirst) * c);
            for (int64_t col = std::max<int64_t>(inEnd, x); col < int64_t(x) + w; ++col)
                std::memcpy(out + size_t(col - x) * c, row + size_t(rw - 1) * c, c);
        }
    }
    if (c == 1 && d == 2 && w > 0 && h > 0) {
        // Widened in place from the last sample back, so nothing is overwritten
        // before it is read.
        const size_t n = size_t(w) * size_t(h);
        for (size_t k = n; k-- > 0;) {
            const uint16_t v = start[k];
            std::memcpy(start + 2 * k, &v, 2);
        }
    }
    return VQ_OK;
}

} // namespace lumora
