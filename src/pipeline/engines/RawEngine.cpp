#include "RawEngine.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "AdaptiveDemosaicer.h"
#include "BayerMeans.h"
#include "CfaTableStage.h"
#include "ColorTransformStage.h"
#include "HalfSizeDemosaicer.h"
#include "IntOps.h"
#include "LosslessJpegDecoder.h"
#include "LutStage.h"
#include "MonoSubsampler.h"
#include "OutputStage.h"
#include "RenderProgress.h"
#include "RendererImage.h"
#include "SharpenStage.h"
#include "ThresholdDemosaicer.h"
#include "VqOutputTypes.h"

namespace lumora {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Block = std::unique_ptr<T[], FreeDeleter>;

template <typename T>
Block<T> Allocate(uint64_t count) {
    if (count > (uint64_t(1) << 40) / sizeof(T)) return Block<T>();
    return Block<T>(static_cast<T*>(std::malloc(count ? size_t(count) * sizeof(T) : 1)));
}

bool IsFourChannel(uint32_t type) { return type == VQ_TYPE_CMYK8 || type == VQ_TYPE_CMYK16; }

// Samples outside the raw image (rows above or below it, columns left or right
// of it) are filled by mirroring the image about its edge row or column. The
// mirror keeps the colour-filter phase, so the demosaicers and the mosaic filter
// see a plausible continuation instead of stale memory.
void MirrorOutside(int16_t* strip, int32_t w, int32_t h, int32_t top, int32_t bottom, int32_t left,
                   int32_t right) {
    const int32_t firstRow = top, lastRow = h - bottom - 1;
    const int32_t firstCol = left, lastCol = w - right - 1;
    if (firstRow > lastRow || firstCol > lastCol) return;
    if (left > 0 || right > 0) {
        for (int32_t r = firstRow; r <= lastRow; ++r) {
            int16_t* row = strip + size_t(r) * size_t(w);
            for (int32_t c = 0; c < firstCol; ++c)
                row[c] = row[std::clamp(2 * firstCol - c, firstCol, lastCol)];
            for (int32_t c = lastCol + 1; c < w; ++c)
                row[c] = row[std::clamp(2 * lastCol - c, firstCol, lastCol)];
        }
    }
    const size_t rowBytes = size_t(w) * sizeof(int16_t);
    for (int32_t r = 0; r < firstRow; ++r)
        std::memcpy(strip + size_t(r) * w, strip + size_t(std::clamp(2 * firstRow - r, firstRow, lastRow)) * w,
                    rowBytes);
    for (int32_t r = lastRow + 1; r < h; ++r)
        std::memcpy(strip + size_t(r) * w, strip + size_t(std::clamp(2 * lastRow - r, firstRow, lastRow)) * w,
                    rowBytes);
}

void CopyBlock(int16_t* to, size_t toStride, const int16_t* from, size_t fromStride, size_t width,
               size_t rows) {
    for (size_t r = 0; r < rows; ++r)
        std::memcpy(to + r * toStride, from + r * fromStride, width * sizeof(int16_t));
}

uint16_t ReadHost16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

void WriteHost16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

} // namespace

VqStatus RawEngine::PrepareStages() { return VQ_OK; }

// Every stage is made for one call, so no parameter change needs an answer.
VqStatus RawEngine::ParameterChanged(uint32_t) { return VQ_OK; }

// Raw output (type 0) keeps the engine's 16-bit samples; every other type is
// packed as the frame packs it.
VqStatus RawEngine::GetOutputFormat(uint32_t type, int32_t* bytesPerSample, int32_t* channels) {
    if (type != VQ_TYPE_RAW) return SdkRenderer::GetOutputFormat(type, bytesPerSample, channels);
    if (bytesPerSample) *bytesPerSample = 2;
    if (channels) *channels = 1;
    return VQ_OK;
}

VqStatus RawEngine::GetProcessingModes(uint32_t type, int32_t isColour, int32_t, int32_t cameraRgbMode,
                                       ProcessingModes* out) {
    ProcessingModes m;
    VqStatus status = VQ_OK;
    const bool cms = ColourManagementActive();
    auto set = [&m](int32_t outMode, int32_t pass, int32_t demosaic, int32_t unpack, int32_t transform,
                    int32_t flag, int32_t balance, int32_t offset, int32_t gain, int32_t linear) {
        m.outMode = outMode;
        m.demosaicPassThrough = pass;
        m.demosaicMode = demosaic;
        m.unpackMode = unpack;
        m.transformMode = transform;
        m.transformFlag = flag;
        m.balanceMode = balance;
        m.offsetMode = offset;
        m.gainMapMode = gain;
        m.linearMode = linear;
    };
    if (type == VQ_TYPE_RAW) {
        set(2, 1, 1, 1, 2, 1, 2, 1, 1, 2);
    } else if ((type == VQ_TYPE_GRAY8 || type == VQ_TYPE_GRAY16) && !isColour) {
        set(1, 0, 0, 1, 1, 0, 2, 0, 1, 2);
    } else if (type >= VQ_TYPE_RGB8 && type <= VQ_TYPE_BGRX16) {
        set(0, 0, 1, 0, cms ? 4 : 3, 1, 0, 0, 0, 2);
    } else if (type >= VQ_TYPE_CAMERA_RGB8 && type <= VQ_TYPE_CAMERA_RGB12) {
        if (cameraRgbMode == 1) set(0, 0, 1, 0, 5, 1, 0, 0, 0, 2);
        else set(0, 0, 1, 0, 2, 1, 0, 0, 0, 0);
        if (cms) status = VQ_ERR_OCMS_TYPE_CONFLICT;
    } else if ((type == VQ_TYPE_MONO8 || type == VQ_TYPE_MONO16) && !isColour) {
        set(1, 0, 0, 1, 2, 0, 2, 0, 1, 1);
    } else {
        status = VQ_ERR_BAD_IMAGE_TYPE;
    }
    if (out) *out = m;
    return status;
}

uint16_t RawEngine::LastUnpackEntry() const {
    if (!unpackTable_ || unpackTableSize_ <= 0) return 0;
    return unpackTable_[unpackTableSize_ - 1];
}

VqStatus RawEngine::BalanceGains(uint16_t red, uint16_t green, uint16_t blue, float* gains,
                                 int32_t linearise) {
    if (!gains) return VQ_ERR_NULL_OUTPUT;
    int16_t triple[3] = {int16_t(red), int16_t(green), int16_t(blue)};
    if (linearise) {
        LutStage lut;
        lut.width = 3;
        lut.height = 1;
        lut.mode = 0;
        lut.table = unpackTable_;
        lut.size = unpackTableSize_ > 0 ? uint32_t(unpackTableSize_) : 0;
        if (VqStatus s = lut.ApplyOne(triple)) return s;
    }
    const float r = float(uint16_t(triple[0])), g = float(uint16_t(triple[1])), b = float(uint16_t(triple[2]));
    // A channel of 0 has no gain; nothing is divided by it.
    if (r == 0.0f || g == 0.0f || b == 0.0f) return VQ_ERR_BAD_CUSTOM_BALANCE;
    const float m = std::max(r, std::max(g, b));
    gains[0] = m / r;
    gains[1] = m / g;
    gains[2] = m / b;
    return VQ_OK;
}

VqStatus RawEngine::BuildBalanceTables(LutStage& stage, uint16_t red, uint16_t green, uint16_t blue,
                                       uint32_t maximum, int32_t linearise) {
    if (!ownedBuffers_[0] || !ownedBuffers_[1] || !ownedBuffers_[2]) {
        for (int i = 0; i < 3; ++i) {
            std::free(ownedBuffers_[i]);
            ownedBuffers_[i] = nullptr;
        }
        engineWords_[0] = engineWords_[1] = engineWords_[2] = -1;
        for (int i = 0; i < 3; ++i) {
            ownedBuffers_[i] = std::malloc(kBalanceTableSize * sizeof(uint16_t));
            if (!ownedBuffers_[i]) return VQ_ERR_PROCESS_NO_MEMORY;
        }
    }
    // The tables depend on the maximum and the linearisation as well as on the
    // triple: a new tone curve or balance kind must not reuse stale tables.
    if (engineWords_[0] == red && engineWords_[1] == green && engineWords_[2] == blue &&
        balanceMaximum_ == maximum && balanceLinearised_ == linearise)
        return VQ_OK;
    float gains[3];
    if (VqStatus s = BalanceGains(red, green, blue, gains, linearise)) return s;
    stage.size = kBalanceTableSize;
    const uint16_t top = uint16_t(std::min<uint32_t>(maximum, 65535));
    for (int i = 0; i < 3; ++i)
        if (VqStatus s = stage.BuildLinear(static_cast<uint16_t*>(ownedBuffers_[i]), top, gains[i])) return s;
    engineWords_[0] = red;
    engineWords_[1] = green;
    engineWords_[2] = blue;
    balanceMaximum_ = maximum;
    balanceLinearised_ = linearise;
    ++balanceBuilds_;
    return VQ_OK;
}

VqStatus RawEngine::FillLinearTable(uint16_t top, float gain) {
    if (gain == 0.0f) return VQ_ERR_LINEAR_GAIN_LOW;
    if (!linearLut_) {
        linearLut_ = new (std::nothrow) uint16_t[kLinearTableSize];
        if (!linearLut_) return VQ_ERR_PROCESS_NO_MEMORY;
    }
    LutStage lut;
    lut.size = kLinearTableSize;
    return lut.BuildLinear(linearLut_, top, gain);
}

VqStatus RawEngine::ConcealBadColumns(int16_t*, int32_t, int32_t, int32_t, int32_t, const void*) {
    return VQ_OK;
}

void RawEngine::Precision(int32_t* factor, uint32_t* shift) const {
    *factor = 1;
    *shift = 0;
    if (offsetTableSize_ != 0 && unpackTableSize_ != 0) {
        *factor = precisionFactor_;
        intLog2(precisionFactor_, *shift);
    }
}

VqStatus RawEngine::CheckPrecision(int32_t factor) const {
    uint32_t e = 0;
    // Samples are raised by the factor inside 16 bits: only small powers of two
    // leave room for a 12-bit sample.
    if (!intLog2(factor, e) || e > 4) return VQ_ERR_BAD_FILE;
    return VQ_OK;
}

VqStatus RawEngine::ApplyGainStage(LutStage& stage, int16_t* plane, int32_t c0, int32_t r0, int32_t maximum,
                                   int32_t factor, uint32_t shift) {
    if (stage.mode == 2) return VQ_OK;
    if (gainMapSize_ != 0 && gainMap_) {
        stage.table = gainMap_;
        stage.size = uint32_t(gainMapSize_);
        return stage.GainMap16(plane, c0, r0, maximum, gainTileWidth_, gainTileHeight_, rawWidth_, factor);
    }
    // Without a gain map the samples only have to come back from the raised
    // precision. The stage's own fallback divides by 8, which is right only for a
    // factor of 8; a file without offsets was never raised and is left alone.
    stage.table = nullptr;
    stage.size = 0;
    if (shift == 3) return stage.GainMap16(plane, c0, r0, maximum, gainTileWidth_, gainTileHeight_, rawWidth_, factor);
    if (!plane) return VQ_ERR_NULL_PLANES;
    const size_t n = size_t(stage.width) * stage.height;
    for (size_t i = 0; i < n; ++i) {
        uint32_t v = uint16_t(plane[i]);
        if (shift) v = (v + 1) >> shift;
        plane[i] = int16_t(int32_t(v) > maximum ? maximum : int32_t(v));
    }
    return VQ_OK;
}

VqStatus RawEngine::EnsureCacheBytes(uint64_t required) {
    if (cacheBytes_ >= required) return VQ_OK;
    // A lent cache cannot grow; the caller sized it.
    if (!cacheOwned_) return VQ_ERR_PROCESS_NO_MEMORY;
    uint8_t* bigger = new (std::nothrow) uint8_t[required]();
    if (!bigger) return VQ_ERR_PROCESS_NO_MEMORY;
    std::memcpy(bigger, cache_, size_t(std::min<uint64_t>(cacheBytes_, loadedBytes_)));
    delete[] cache_;
    cache_ = bigger;
    cacheBytes_ = required;
    return VQ_OK;
}

void RawEngine::PublishImageData() {
    if (imageData_ && cache_) *imageData_ = cache_ + dataOffset_;
}

VqStatus RawEngine::DecodeCache(void* scratch, int32_t swap, int32_t shift, int32_t expand) {
    if (dataOffset_ < 0 || dataSize_ < 0) return VQ_ERR_BAD_FILE;
    if (!cache_ || uint64_t(dataOffset_) + uint64_t(dataSize_) != loadedBytes_) return VQ_ERR_CACHE_INCOMPLETE;
    if (cacheDecoded_) return VQ_OK;
    const uint64_t offset = uint64_t(dataOffset_);
    const uint64_t size = uint64_t(dataSize_);
    if (dataCompressed_) {
        // The decoded sensor needs its full size in the cache, whatever the
        // coded stream's length.
        if (rawWidth_ <= 0 || rawHeight_ <= 0) return VQ_ERR_BAD_FILE;
        const uint64_t samples = uint64_t(rawWidth_) * uint64_t(rawHeight_);
        if (VqStatus s = EnsureCacheBytes(offset + std::max(size, samples * 2))) return s;
        Block<uint8_t> own;
        uint8_t* input = static_cast<uint8_t*>(scratch);
        if (!input) {
            own = Allocate<uint8_t>(size);
            if (!own) return VQ_ERR_PROCESS_NO_MEMORY;
            input = own.get();
        }
        std::memcpy(input, cache_ + offset, size_t(size));
        LosslessJpegDecoder decoder;
        *decoder.parameters()[LosslessJpegDecoder::InputBytes] = dataSize_;
        *decoder.parameters()[LosslessJpegDecoder::PassThrough] = 0;
        uint8_t* target = cache_ + offset;
        const uint64_t capacity = (cacheBytes_ - offset) / 2;
        VqStatus s;
        if (reinterpret_cast<uintptr_t>(target) % alignof(uint16_t) == 0) {
            s = decoder.Decode(input, reinterpret_cast<uint16_t*>(target), capacity, uint32_t(rawWidth_),
                               uint32_t(rawHeight_));
        } else {
            Block<uint16_t> aligned = Allocate<uint16_t>(capacity);
            if (!aligned) return VQ_ERR_PROCESS_NO_MEMORY;
            s = decoder.Decode(input, aligned.get(), capacity, uint32_t(rawWidth_), uint32_t(rawHeight_));
            const int32_t written = *decoder.parameters()[LosslessJpegDecoder::OutputBytes];
            if (written > 0) std::memcpy(target, aligned.get(), size_t(written));
        }
        if (s != VQ_OK) return s;
        const int32_t precision = *decoder.parameters()[LosslessJpegDecoder::Precision];
        const uint64_t count = uint64_t(std::max(*decoder.parameters()[LosslessJpegDecoder::OutputBytes], 0)) / 2;
        // The pipeline works on 12-bit samples: lower precisions are raised, and
        // higher ones are brought down the way plain 16-bit data is.
        if (precision != 12 && precision > 0) {
            for (uint64_t i = 0; i < count; ++i) {
                uint8_t* p = target + 2 * i;
                const uint32_t v = ReadHost16(p);
                WriteHost16(p, uint16_t(precision < 12 ? v << (12 - precision) : v >> (precision - 12)));
            }
        }
    } else {
        uint8_t* data = cache_ + offset;
        if (swap) {
            // The file's words are big-endian.
            for (uint64_t i = 0; i + 1 < size; i += 2) {
                const uint16_t v = uint16_t(uint16_t(data[i]) << 8 | data[i + 1]);
                WriteHost16(data + i, v);
            }
        }
        if (shift) {
            for (uint64_t i = 0; i + 1 < size; i += 2) WriteHost16(data + i, uint16_t(ReadHost16(data + i) >> 4));
        }
        if (expand) {
            if (VqStatus s = EnsureCacheBytes(offset + 2 * size)) return s;
            data = cache_ + offset;
            for (uint64_t i = size; i-- > 0;) WriteHost16(data + 2 * i, data[i]);
        }
    }
    cacheDecoded_ = 1;
    return VQ_OK;
}

// ---------------------------------------------------------------------------
// Rendering: the set-up steps, then each strip through the stages in order.

// Everything one rendering keeps from its set-up to its last strip.
struct RawEngine::RenderJob {
    const ImageBufferRecord* record = nullptr;
    LutStage unpackStage, gainStage, balanceStage, offsetStage;
    ColorTransformStage transform;
    LutStage linearStage;
    SharpenStage sharpen;
    CfaTableStage cfa;
    std::unique_ptr<Demosaicer> demosaicer;
    Block<int16_t> raw, planes[3], fourth, work, wide;
    RenderProgress progress;
    OutputStage output;
    StripPlan plan{};
    ClipRecord clip;
    ProcessingModes modes;
    StripBufferSizes sizes;
    int64_t bufferWidth = 0, bufferRows = 0;
    int32_t goOn = 1;
    int32_t factor = 1, extra = 0, sharpenSwitch = 1, bytesPerSample = 0, channels = 0, filterRows = 0;
    uint32_t shift = 0, packType = 0;
    int32_t s = 1;
    SdkRect window{};
    // Set once the set-up has passed.
    uint16_t lastEntry = 0;
    bool single = false;
    uint8_t* out = nullptr;
    int32_t badColumnsOn = 0;
};

// One strip on its way through the stages: the sensor rectangle read for it and
// how much of that lies outside the image.
struct RawEngine::StripWork {
    int32_t x = 0, y = 0, w = 0, h = 0; // the rectangle, margins included
    int32_t W = 0, H = 0;               // without the margins
    int32_t readW = 0, readH = 0;       // as read, with the mosaic filter's reach
    int16_t* read = nullptr;
    int32_t readTop = 0, readBottom = 0;
    int16_t* strip = nullptr;
    int32_t top = 0, bottom = 0, left = 0, right = 0; // rows and columns outside the image
    int16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    int32_t planeWidth = 0, planeRows = 0;
};

VqStatus RawEngine::CheckRenderRequest(RenderJob& job) {
    Precision(&job.factor, &job.shift);
    if (VqStatus status = CheckPrecision(job.factor)) return status;
    if (job.s < 1 || job.s > 32) return VQ_ERR_BAD_SUBSAMPLE;
    if (job.s > 1 && job.s % 2) return VQ_ERR_ODD_SUBSAMPLE;
    return VQ_OK;
}

VqStatus RawEngine::ChooseFormatsAndModes(RenderJob& job) {
    uint32_t type = uint32_t(outputType_);
    // The packer takes the grey from the colour result.
    if (isColor_ && (type == VQ_TYPE_GRAY8 || type == VQ_TYPE_GRAY16)) type = VQ_TYPE_RGB8;
    if (VqStatus status = GetOutputFormat(type, nullptr, nullptr)) return status;
    job.packType = MapColorManagedType(uint32_t(outputType_));
    if (VqStatus status = GetOutputFormat(job.packType, &job.bytesPerSample, &job.channels)) return status;
    return GetProcessingModes(type, isColor_, 2, cameraRgbMode_, &job.modes);
}

VqStatus RawEngine::ChooseDemosaicer(RenderJob& job) {
    const int32_t s = job.s;
    if (isColor_ && s > 1) {
        job.demosaicer.reset(new (std::nothrow) HalfSizeDemosaicer);
        if (!job.demosaicer) return VQ_ERR_PROCESS_NO_MEMORY;
        return job.demosaicer->SetStep(s / 2);
    }
    if (!isColor_) {
        job.demosaicer.reset(new (std::nothrow) MonoSubsampler);
        if (!job.demosaicer) return VQ_ERR_PROCESS_NO_MEMORY;
        return job.demosaicer->SetStep(s / 2);
    }
    if (demosaicThreshold_ != 0) {
        job.demosaicer.reset(new (std::nothrow) ThresholdDemosaicer);
        if (job.demosaicer) job.demosaicer->SetThreshold(demosaicThreshold_);
    } else {
        job.demosaicer.reset(new (std::nothrow) AdaptiveDemosaicer);
    }
    if (!job.demosaicer) return VQ_ERR_PROCESS_NO_MEMORY;
    const VqStatus status = job.demosaicer->SetMode(job.modes.demosaicMode);
    // Sharpening at full size reads two more rows on each side of the strip.
    if (sharpenOn_ != 0 && sharpenAllowed_ != 0) {
        job.extra = 2;
        job.sharpenSwitch = 0;
    }
    return status;
}

VqStatus RawEngine::PlanStrips(RenderJob& job) {
    job.clip.extraRowMargin = int16_t(job.extra);
    const SdkRect& window = job.window;
    return ConfigureOutput(job.record->bufferBytes, window.x, window.y, window.width, window.height, &job.plan,
                           rotation_, padBytes_, job.packType);
}

VqStatus RawEngine::PrepareColourStages(RenderJob& job) {
    const int32_t linearise = (thumbTableOn_ == 0 && balanceIsLinear_ == 0) ? 1 : 0;
    const uint32_t toneMaximum = uint32_t(std::clamp(toneCurveSize_ - 1, 0, 65535));
    if (VqStatus status = BuildBalanceTables(job.balanceStage, whiteBalance_[0], whiteBalance_[1], whiteBalance_[2],
                                             toneMaximum, linearise))
        return status;

    ColorTransformStage& transform = job.transform;
    transform.mode = job.modes.transformMode;
    transform.leftSkip = transform.rightSkip = job.plan.colMargin;
    std::copy(colorMatrix_, colorMatrix_ + 9, transform.firstMatrix);
    std::copy(colorMatrices_, colorMatrices_ + 9, transform.secondMatrix);
    transform.workingMaximum = toneCurveSize_ - 1;
    transform.subsampled = job.modes.transformFlag;
    transform.firstTone = transform.middleTone = transform.lastTone = toneCurve_;
    transform.outputTable = outputCurve_;
    transform.outputSize = outputCurveSize_;
    transform.transformRecord = cmsTransform_;
    if (VqStatus status = transform.Prepare()) return status;

    SharpenStage& sharpen = job.sharpen;
    *static_cast<int32_t*>(sharpen.Parameter(2)) = job.sharpenSwitch;
    std::memcpy(sharpen.Parameter(3), sharpenKernel_, sizeof sharpenKernel_);
    *static_cast<int32_t*>(sharpen.Parameter(4)) = sharpenOn_;
    for (int i = 0; i < 5; ++i) *static_cast<int32_t*>(sharpen.Parameter(5 + i)) = sharpen_[i];

    job.linearStage.mode = job.modes.linearMode;
    if (job.modes.linearMode != 2) {
        job.linearStage.size = kLinearTableSize;
        if (VqStatus status = FillLinearTable(ColourManagementActive() ? 4095 : 65535, linearGain_)) return status;
        job.linearStage.table = linearLut_;
    }
    return VQ_OK;
}

VqStatus RawEngine::SizeStripBuffers(RenderJob& job) {
    job.bufferWidth = int64_t(job.plan.stripWidth) + 2 * job.plan.colMargin;
    job.bufferRows = int64_t(job.plan.stripSize) + 2 * (int64_t(job.plan.rowMargin) + job.extra);
    if (job.bufferWidth > INT16_MAX || job.bufferRows > INT16_MAX) return VQ_ERR_STRIP_TOO_SMALL;
    return GetStripBufferSizes(&job.sizes, int16_t(job.bufferWidth), uint32_t(job.bufferRows), int16_t(job.s), 2);
}

VqStatus RawEngine::LoadSensorData() {
    if (cacheSampleBytes_ != 1 && cacheSampleBytes_ != 2) return VQ_ERR_BAD_FILE;
    int32_t done = 0;
    if (VqStatus status = LoadCache(nullptr, 0, &done, uint32_t(cacheSampleBytes_))) return status;
    const VqStatus status = dataFormat_ == 2 ? DecodeCache(nullptr, 0, 0, 0) : DecodeCache(nullptr, 1, 1, 0);
    if (status) return status;
    PublishImageData();
    return VQ_OK;
}

VqStatus RawEngine::AllocateStripBuffers(RenderJob& job) {
    // The mosaic filter reads two rows beyond each sample: the strip is read
    // with that many more rows, so its result does not depend on where the
    // strips happen to split the picture.
    job.filterRows = (cfaTableSize_ != 0 && cfaTable1_ && cfaTable2_ && cfaTable3_) ? 2 : 0;
    const StripBufferSizes& sizes = job.sizes;
    job.raw = Allocate<int16_t>(sizes.unpackedBytes / 2);
    job.work = Allocate<int16_t>(sizes.unpackedBytes / 2);
    if (job.filterRows) {
        job.wide = Allocate<int16_t>(uint64_t(job.bufferWidth + 2 * job.filterRows) *
                                     uint64_t(job.bufferRows + 2 * job.filterRows));
        if (!job.wide) job.raw.reset();
    }
    const uint32_t planeBytes[3] = {sizes.firstPlaneBytes, sizes.secondPlaneBytes, sizes.thirdPlaneBytes};
    bool failed = !job.raw || !job.work;
    for (int i = 0; i < 3 && !failed; ++i) {
        if (planeBytes[i] == 0) continue;
        job.planes[i] = Allocate<int16_t>(planeBytes[i] / 2);
        failed = !job.planes[i];
    }
    if (!failed && IsFourChannel(job.packType)) {
        job.fourth = Allocate<int16_t>(std::max(sizes.thirdPlaneBytes, sizes.firstPlaneBytes) / 2);
        failed = !job.fourth;
    }
    if (failed) {
        job.raw.reset();
        job.work.reset();
        job.wide.reset();
        for (auto& p : job.planes) p.reset();
        job.fourth.reset();
        return VQ_ERR_PROCESS_NO_MEMORY;
    }
    // The raw strip buffer holds the largest strip; every strip fits it.
    return VQ_OK;
}

VqStatus RawEngine::SetUpRender(RenderJob& job, const ProgressRecord* progressRecord) {
    VqStatus status;
    if ((status = CheckRenderRequest(job))) return status;
    if ((status = ChooseFormatsAndModes(job))) return status;
    if ((status = ChooseDemosaicer(job))) return status;
    if ((status = PlanStrips(job))) return status;
    if ((status = PrepareColourStages(job))) return status;
    if ((status = SizeStripBuffers(job))) return status;
    if ((status = LoadSensorData())) return status;
    if ((status = AllocateStripBuffers(job))) return status;
    if (progressRecord) {
        job.progress.Init(progressRecord->userValue, progressRecord->callback,
                          job.plan.stripCount == 1 ? 10u : uint32_t(job.plan.stripCount), 0, 100);
        job.goOn = job.progress.Start();
    }
    return VQ_OK;
}

VqStatus RawEngine::ReadStrip(RenderJob& job, int32_t index, StripWork& sw) {
    SdkRect rect;
    const SdkRect& window = job.window;
    if (VqStatus status = SourceRectForRotation(index, job.plan, window.x, window.y, window.width, window.height,
                                                &rect, rotation_, &job.clip))
        return status;
    sw.x = rect.x, sw.y = rect.y, sw.w = rect.width, sw.h = rect.height;
    sw.W = sw.w - 2 * job.plan.colMargin, sw.H = sw.h - 2 * job.plan.rowMargin;
    // With the mosaic filter the rectangle is read with a border of its reach
    // (into `wide`) and cut back after filtering.
    const int32_t f = job.filterRows;
    sw.readW = sw.w + 2 * f, sw.readH = sw.h + 2 * f;
    sw.read = f ? job.wide.get() : job.raw.get();
    if (VqStatus status = CopyWindow(sw.x - f, sw.y - f, sw.readW, sw.readH, reinterpret_cast<uint8_t*>(sw.read),
                                     uint32_t(cacheSampleBytes_), 2, uint32_t(dataOffset_), &job.clip))
        return status;
    sw.readTop = std::clamp(job.clip.rowsAbove, 0, sw.readH);
    sw.readBottom = std::clamp(job.clip.rowsBelow, 0, sw.readH - sw.readTop);
    const int32_t readLeft = std::clamp(f - sw.x, 0, sw.readW);
    const int32_t readRight = std::clamp(int32_t(int64_t(sw.x) + sw.w + f - rawWidth_), 0, sw.readW - readLeft);
    MirrorOutside(sw.read, sw.readW, sw.readH, sw.readTop, sw.readBottom, readLeft, readRight);
    return VQ_OK;
}

VqStatus RawEngine::LineariseStrip(RenderJob& job, StripWork& sw) {
    LutStage& unpack = job.unpackStage;
    unpack.width = uint16_t(sw.readW);
    unpack.height = uint16_t(sw.readH);
    unpack.mode = job.modes.unpackMode;
    unpack.table = unpackTable_;
    unpack.size = unpackTableSize_ > 0 ? uint32_t(unpackTableSize_) : 0;
    return unpack.ApplyOne(sw.read);
}

// Mosaic noise filter, then the samples are raised for the corrections.
VqStatus RawEngine::FilterMosaic(RenderJob& job, StripWork& sw) {
    CfaTableStage& cfa = job.cfa;
    cfa.width = uint16_t(sw.readW);
    cfa.height = uint16_t(sw.readH);
    cfa.size = cfaTableSize_;
    cfa.redTable = cfaTable1_;
    cfa.greenTable = cfaTable2_;
    cfa.blueTable = cfaTable3_;
    if (VqStatus status = cfa.Run(sw.read)) return status;
    const int32_t f = job.filterRows;
    const int32_t w = sw.w, h = sw.h;
    sw.strip = job.raw.get();
    if (f)
        CopyBlock(sw.strip, size_t(w), sw.read + size_t(f) * size_t(sw.readW) + size_t(f), size_t(sw.readW),
                  size_t(w), size_t(h));
    sw.top = std::max(sw.readTop - f, 0);
    sw.bottom = std::max(sw.readBottom - f, 0);
    sw.left = std::clamp(-sw.x, 0, w);
    sw.right = std::clamp(int32_t(int64_t(sw.x) + w - rawWidth_), 0, w - sw.left);
    job.unpackStage.width = uint16_t(w);
    job.unpackStage.height = uint16_t(h);
    return job.unpackStage.ShiftLeft(sw.strip, job.shift);
}

// Offsets and gain map work on the samples inside the image only; when the
// strip reaches past the image's sides they run on a packed copy of them.
VqStatus RawEngine::CorrectOffsets(RenderJob& job, StripWork& sw) {
    const int32_t w = sw.w;
    const int32_t insideRows = sw.h - sw.top - sw.bottom;
    const int32_t insideCols = w - sw.left - sw.right;
    const bool packed = sw.left > 0 || sw.right > 0;
    int16_t* region = sw.strip + size_t(sw.top) * w + sw.left;
    int16_t* target = region;
    if (insideRows > 0 && insideCols > 0 && packed) {
        CopyBlock(job.work.get(), size_t(insideCols), region, size_t(w), size_t(insideCols), size_t(insideRows));
        target = job.work.get();
    }
    const int32_t regionX = sw.x + sw.left, regionY = sw.y + sw.top;
    LutStage& offsets = job.offsetStage;
    offsets.width = uint16_t(std::max(insideCols, 0));
    offsets.height = uint16_t(std::max(insideRows, 0));
    offsets.mode = job.modes.offsetMode;
    offsets.size = offsetTableSize_ > 0 ? uint32_t(offsetTableSize_) : 0;
    if (offsets.mode != 2 && offsets.size != 0 && insideRows > 0 && int64_t(regionY) + insideRows > offsetTableSize_)
        return VQ_ERR_BAD_FILE; // the row offsets do not cover the image
    if (insideRows > 0 && insideCols > 0)
        return offsets.AddOffsets16(target, columnOffsets_, rowOffsets_, int32_t(job.lastEntry) * job.factor,
                                    regionX, regionY);
    return VQ_OK;
}

VqStatus RawEngine::ApplyGainMap(RenderJob& job, StripWork& sw) {
    const int32_t w = sw.w;
    const int32_t insideRows = sw.h - sw.top - sw.bottom;
    const int32_t insideCols = w - sw.left - sw.right;
    const bool packed = sw.left > 0 || sw.right > 0;
    int16_t* region = sw.strip + size_t(sw.top) * w + sw.left;
    // The offsets left a packed strip's samples in the work buffer.
    int16_t* target = insideRows > 0 && insideCols > 0 && packed ? job.work.get() : region;
    LutStage& gain = job.gainStage;
    gain.width = uint16_t(std::max(insideCols, 0));
    gain.height = uint16_t(std::max(insideRows, 0));
    gain.mode = job.modes.gainMapMode;
    if (insideRows > 0 && insideCols > 0) {
        if (VqStatus status =
                ApplyGainStage(gain, target, sw.x + sw.left, sw.y + sw.top, job.lastEntry, job.factor, job.shift))
            return status;
    }
    if (insideRows > 0 && insideCols > 0 && packed)
        CopyBlock(region, size_t(w), job.work.get(), size_t(insideCols), size_t(insideCols), size_t(insideRows));
    // Outside samples follow their corrected mirror images.
    MirrorOutside(sw.strip, w, sw.h, sw.top, sw.bottom, sw.left, sw.right);
    return VQ_OK;
}

VqStatus RawEngine::ConcealStripColumns(RenderJob& job, StripWork& sw) {
    if (job.badColumnsOn != 0 && job.s == 1) return ConcealBadColumns(sw.strip, sw.x, sw.y, sw.w, sw.h, badColumns_);
    return VQ_OK;
}

// White balance on the mosaic. The tables have 4096 entries, so the clamp never
// lets a sample index past them.
VqStatus RawEngine::BalanceMosaic(RenderJob& job, StripWork& sw) {
    LutStage& balance = job.balanceStage;
    balance.width = uint16_t(sw.w);
    balance.height = uint16_t(sw.h);
    balance.mode = job.modes.balanceMode;
    balance.size = std::min<uint32_t>(uint32_t(job.lastEntry) + 1, kBalanceTableSize);
    return balance.CfaApply(sw.strip, BalanceTable(0), BalanceTable(1), BalanceTable(2));
}

VqStatus RawEngine::DemosaicStrip(RenderJob& job, StripWork& sw) {
    const int32_t w = sw.w, rowMargin = job.plan.rowMargin;
    int16_t* stripStart = sw.strip + size_t(rowMargin) * w;
    int16_t* above = rowMargin >= 3 ? sw.strip + size_t(rowMargin - 3) * w : stripStart;
    int16_t* below = sw.strip + size_t(rowMargin + sw.H) * w;
    job.demosaicer->Setup(above, stripStart, below, job.planes[0].get(), job.planes[1].get(), job.planes[2].get(),
                          int16_t(sw.H), int16_t(w), job.modes.demosaicPassThrough);
    int16_t *green = nullptr, *even = nullptr, *odd = nullptr;
    if (VqStatus status = job.demosaicer->Run(&green, &even, &odd)) return status;
    sw.red = even;
    sw.green = green;
    sw.blue = odd;
    return VQ_OK;
}

// Sharpening, the linear table and the colour transform on the demosaiced planes.
VqStatus RawEngine::FinishColour(RenderJob& job, StripWork& sw) {
    sw.planeWidth = sw.w / job.s, sw.planeRows = sw.H / job.s;
    *static_cast<uint16_t*>(job.sharpen.Parameter(0)) = uint16_t(sw.planeWidth);
    *static_cast<uint16_t*>(job.sharpen.Parameter(1)) = uint16_t(sw.planeRows);
    if (VqStatus status = job.sharpen.Apply(sw.red, sw.green, sw.blue)) return status;

    job.linearStage.width = uint16_t(sw.planeWidth);
    job.linearStage.height = uint16_t(sw.planeRows);
    if (VqStatus status = job.linearStage.Apply(sw.red, sw.green, sw.blue)) return status;

    job.transform.width = uint16_t(sw.W / job.s);
    job.transform.height = uint16_t(sw.planeRows);
    return job.transform.Run(sw.red, sw.green, sw.blue, job.fourth.get());
}

VqStatus RawEngine::PackStrip(RenderJob& job, StripWork& sw) {
    const int32_t outRows = sw.planeRows - 2 * job.extra;
    const size_t skipRows = size_t(job.extra) * size_t(sw.planeWidth);
    if (VqStatus status = job.output.Init(job.packType, rotation_, job.plan.colMargin, job.plan.colMargin, padBytes_,
                                          sw.W / job.s, outRows, job.bytesPerSample, job.channels))
        return status;
    return job.output.Pack(reinterpret_cast<const uint16_t*>(sw.red + skipRows),
                           reinterpret_cast<const uint16_t*>(sw.green + skipRows),
                           reinterpret_cast<const uint16_t*>(sw.blue + skipRows),
                           job.fourth ? reinterpret_cast<const uint16_t*>(job.fourth.get() + skipRows) : nullptr,
                           job.out);
}

VqStatus RawEngine::DeliverStrip(RenderJob& job, StripWork& sw) {
    const uint64_t stripBytes = uint64_t(job.output.PadTotal()) + uint64_t((sw.H - 2 * job.extra) / job.s) *
                                                                      uint64_t(sw.W / job.s) *
                                                                      uint64_t(job.bytesPerSample) *
                                                                      uint64_t(job.channels);
    const ImageBufferRecord* record = job.record;
    if (record->stripCallback) {
        job.out = static_cast<uint8_t*>(record->stripCallback(job.out, uint32_t(stripBytes), record->userValue));
        if (!job.out) return VQ_ERR_BAD_HANDLE;
    }
    return VQ_OK;
}

VqStatus RawEngine::RenderStrip(RenderJob& job, int32_t index) {
    using Step = VqStatus (RawEngine::*)(RenderJob&, StripWork&);
    // The stages in their order. A single-strip rendering reports progress after
    // each; a longer one after reading each strip only.
    static constexpr Step kStages[] = {
        &RawEngine::LineariseStrip, &RawEngine::FilterMosaic,  &RawEngine::CorrectOffsets,
        &RawEngine::ApplyGainMap,   &RawEngine::ConcealStripColumns, &RawEngine::BalanceMosaic,
        &RawEngine::DemosaicStrip,  &RawEngine::FinishColour,  &RawEngine::PackStrip,
    };
    StripWork sw;
    if (VqStatus status = ReadStrip(job, index, sw)) return status;
    if (!(job.goOn = job.progress.Step(0))) return VQ_OK;
    for (Step stage : kStages) {
        if (VqStatus status = (this->*stage)(job, sw)) return status;
        if (job.single && !(job.goOn = job.progress.Step(0))) return VQ_OK;
    }
    return DeliverStrip(job, sw);
}

VqStatus RawEngine::RenderImage(const ImageBufferRecord* record, const ProgressRecord* progressRecord) {
    if (!record || !record->buffer) return VQ_ERR_NULL_OUTPUT;

    RenderJob job;
    job.record = record;
    job.s = subsample_;
    job.window = outputWindow_;
    VqStatus status = SetUpRender(job, progressRecord);

    job.lastEntry = LastUnpackEntry();
    job.single = job.plan.stripCount == 1;
    job.out = static_cast<uint8_t*>(record->buffer);
    // Only the record's first word is common to every image; the engine that
    // conceals reads the rest.
    if (badColumns_) std::memcpy(&job.badColumnsOn, badColumns_, sizeof job.badColumnsOn);

    for (int32_t i = 0; status == VQ_OK && job.goOn && i < job.plan.stripCount; ++i) status = RenderStrip(job, i);

    job.transform.Release();
    if (status == VQ_OK && !job.goOn) status = VQ_ERR_CANCELLED;
    return status;
}

VqStatus RawEngine::RenderThumbnail(void* buffer) {
    if (!buffer) return VQ_ERR_NULL_OUTPUT;
    const uint16_t* table = thumbTableOn_ ? thumbTable_ : unpackTable_;
    const int32_t tableSize = thumbTableOn_ ? thumbTableSize_ : unpackTableSize_;
    const uint32_t tableShift = thumbTableOn_ ? 0 : 4;
    const int32_t linearise = (thumbTableOn_ == 0 && balanceIsLinear_ == 0) ? 1 : 0;

    uint32_t type = uint32_t(outputType_);
    if (isColor_ && (type == VQ_TYPE_GRAY8 || type == VQ_TYPE_GRAY16)) type = VQ_TYPE_RGB8;
    if (VqStatus st = GetOutputFormat(type, nullptr, nullptr)) return st;
    const uint32_t packType = MapColorManagedType(uint32_t(outputType_));
    int32_t bytesPerSample = 0, channels = 0;
    if (VqStatus st = GetOutputFormat(packType, &bytesPerSample, &channels)) return st;
    ProcessingModes modes;
    if (VqStatus st = GetProcessingModes(type, isColor_, 2, cameraRgbMode_, &modes)) return st;
    if (type == VQ_TYPE_RAW) return VQ_ERR_BAD_IMAGE_TYPE;

    LutStage balanceStage;
    const uint32_t toneMaximum = uint32_t(std::clamp(toneCurveSize_ - 1, 0, 65535));
    if (VqStatus st = BuildBalanceTables(balanceStage, whiteBalance_[0], whiteBalance_[1], whiteBalance_[2],
                                         toneMaximum, linearise))
        return st;

    const int32_t byteCount = thumbnailInfo_[3];
    const int32_t width = thumbnailInfo_[6], height = thumbnailInfo_[7];
    if (byteCount <= 0 || width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF || !thumbnailData_)
        return VQ_ERR_BAD_FILE;
    const uint64_t n = uint64_t(byteCount) / 3;
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    // The stored bytes must hold every pixel the size names.
    if (pixels > n) return VQ_ERR_BAD_FILE;
    Block<int16_t> planes[3] = {Allocate<int16_t>(n), Allocate<int16_t>(n), Allocate<int16_t>(n)};
    if (!planes[0] || !planes[1] || !planes[2]) return VQ_ERR_PROCESS_NO_MEMORY;
    Block<int16_t> fourth;
    if (IsFourChannel(packType)) {
        fourth = Allocate<int16_t>(n);
        if (!fourth) return VQ_ERR_PROCESS_NO_MEMORY;
    }

    LutStage linearStage;
    linearStage.mode = modes.linearMode;
    if (modes.linearMode != 2) {
        linearStage.size = kLinearTableSize;
        if (VqStatus st = FillLinearTable(65535, linearGain_)) return st;
        linearStage.table = linearLut_;
    }

    for (uint64_t i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c)
            planes[c][i] = int16_t(uint16_t(uint32_t(thumbnailData_[3 * i + c]) << tableShift));

    LutStage lookup;
    lookup.width = uint16_t(width);
    lookup.height = uint16_t(height);
    lookup.mode = modes.unpackMode;
    lookup.table = const_cast<uint16_t*>(table);
    lookup.size = tableSize > 0 ? uint32_t(tableSize) : 0;
    if (VqStatus st = lookup.Apply(planes[0].get(), planes[1].get(), planes[2].get())) return st;

    balanceStage.width = uint16_t(width);
    balanceStage.height = uint16_t(height);
    balanceStage.mode = modes.balanceMode;
    // The balance tables have 4096 entries whatever the tone curve's length.
    balanceStage.size = std::min<uint32_t>(uint32_t(std::max(toneCurveSize_, 0)), kBalanceTableSize);
    if (VqStatus st = balanceStage.ApplyLuts3(planes[0].get(), planes[1].get(), planes[2].get(), BalanceTable(0),
                                              BalanceTable(1), BalanceTable(2)))
        return st;

    linearStage.width = uint16_t(width);
    linearStage.height = uint16_t(height);
    if (VqStatus st = linearStage.Apply(planes[0].get(), planes[1].get(), planes[2].get())) return st;

    ColorTransformStage transform;
    transform.width = uint16_t(width);
    transform.height = uint16_t(height);
    transform.mode = modes.transformMode;
    transform.leftSkip = transform.rightSkip = 0;
    std::copy(colorMatrix_, colorMatrix_ + 9, transform.firstMatrix);
    std::copy(colorMatrices_, colorMatrices_ + 9, transform.secondMatrix);
    transform.workingMaximum = toneCurveSize_ - 1;
    transform.subsampled = modes.transformFlag;
    transform.firstTone = transform.middleTone = transform.lastTone = toneCurve_;
    transform.outputTable = outputCurve_;
    transform.outputSize = outputCurveSize_;
    transform.transformRecord = cmsTransform_;
    VqStatus status = transform.Prepare();
    if (status == VQ_OK) status = transform.Run(planes[0].get(), planes[1].get(), planes[2].get(), fourth.get());
    if (status == VQ_OK) {
        OutputStage output;
        status = output.Init(packType, rotation_, 0, 0, padBytes_, width, height, bytesPerSample, channels);
        auto u = [](const Block<int16_t>& p) { return reinterpret_cast<const uint16_t*>(p.get()); };
        if (status == VQ_OK)
            status = isColor_ ? output.Pack(u(planes[0]), u(planes[1]), u(planes[2]), fourth ? u(fourth) : nullptr,
                                            static_cast<uint8_t*>(buffer))
                              : output.Pack(u(planes[1]), u(planes[1]), u(planes[1]), nullptr,
                                            static_cast<uint8_t*>(buffer));
    }
    transform.Release();
    return status;
}

VqStatus RawEngine::PrepareSample(const SdkRect& rect, int16_t* samples, int32_t factor) {
    if (!samples) return VQ_ERR_NULL_PLANES;
    if (VqStatus s = CheckPrecision(factor)) return s;
    uint32_t shift = 0;
    intLog2(factor, shift);
    const uint16_t lastEntry = LastUnpackEntry();
    LutStage stage;
    stage.width = uint16_t(rect.width);
    stage.height = uint16_t(rect.height);
    stage.mode = 1;
    stage.table = unpackTable_;
    stage.size = unpackTableSize_ > 0 ? uint32_t(unpackTableSize_) : 0;
    if (VqStatus s = stage.ApplyOne(samples)) return s;
    if (VqStatus s = stage.ShiftLeft(samples, shift)) return s;
    stage.size = offsetTableSize_ > 0 ? uint32_t(offsetTableSize_) : 0;
    if (stage.size != 0 && int64_t(rect.y) + rect.height > offsetTableSize_) return VQ_ERR_BAD_FILE;
    if (VqStatus s = stage.AddOffsets16(samples, columnOffsets_, rowOffsets_, int32_t(lastEntry) * factor, rect.x,
                                        rect.y))
        return s;
    return ApplyGainStage(stage, samples, rect.x, rect.y, lastEntry, factor, shift);
}

VqStatus RawEngine::SampleWhiteBalance(const SdkRect* area, uint16_t* outRgb, int32_t fromThumbnail,
                                       const SensorGeometry* geometry) {
    if (!area || !outRgb) return VQ_ERR_NULL_OUTPUT;
    if (VqStatus st = GetOutputFormat(uint32_t(outputType_), nullptr, nullptr)) return st;
    // The same precision as the rendering, gain map or not, so the sample sees
    // the values the image is rendered from: the offset tables are kept in
    // raised units, and a sample taken at a factor of 1 would see them eight
    // times too strong.
    int32_t factor = 1;
    uint32_t shift = 0;
    Precision(&factor, &shift);

    if (fromThumbnail) {
        if (!geometry) return VQ_ERR_BAD_HANDLE;
        const int32_t byteCount = thumbnailInfo_[3];
        const int32_t tw = thumbnailInfo_[6], th = thumbnailInfo_[7];
        if (byteCount <= 0 || tw <= 0 || th <= 0) return VQ_ERR_BAD_FILE;
        const uint64_t n = uint64_t(byteCount) / 3;
        if (uint64_t(tw) * uint64_t(th) > n) return VQ_ERR_BAD_FILE;
        Block<uint8_t> bytes = Allocate<uint8_t>(uint64_t(byteCount));
        Block<int16_t> planes[3] = {Allocate<int16_t>(n), Allocate<int16_t>(n), Allocate<int16_t>(n)};
        if (!bytes || !planes[0] || !planes[1] || !planes[2]) return VQ_ERR_PROCESS_NO_MEMORY;
        if (!image_) return VQ_ERR_BAD_HANDLE;
        if (thumbnailInfo_[2] < 0) return VQ_ERR_BAD_FILE;
        if (VqStatus st = image_->ReadFileBytes(bytes.get(), uint64_t(thumbnailInfo_[2]), uint32_t(byteCount), 0))
            return st;
        const uint32_t tableShift = thumbTableOn_ ? 0 : 4;
        for (uint64_t i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c)
                planes[c][i] = int16_t(uint16_t(uint32_t(bytes[3 * i + c]) << tableShift));
        // All three colours go through the table: a mean of linear green against
        // unlinearised red and blue would not be a balance.
        LutStage lookup;
        lookup.width = uint16_t(tw);
        lookup.height = uint16_t(th);
        lookup.mode = 0;
        lookup.table = thumbTableOn_ ? thumbTable_ : unpackTable_;
        const int32_t size = thumbTableOn_ ? thumbTableSize_ : unpackTableSize_;
        lookup.size = size > 0 ? uint32_t(size) : 0;
        if (VqStatus st = lookup.Apply(planes[0].get(), planes[1].get(), planes[2].get())) return st;

        SdkRect r = *area;
        if (VqStatus st = image_->ToSensorDataRect(&r)) return st;
        const double activeW = double(geometry->ActiveWidth()), activeH = double(geometry->ActiveHeight());
        const double scale = std::min(activeW / tw, activeH / th);
        if (!(scale > 0.0)) return VQ_ERR_BAD_FILE;
        auto scaled = [scale](int32_t v) { return int64_t(std::floor(v / scale + 0.5)); };
        int64_t x = scaled(r.x), y = scaled(r.y), w = scaled(r.width), h = scaled(r.height);
        if (w <= 0) w = 1;
        if (h <= 0) h = 1;
        w = std::min<int64_t>(w, tw);
        h = std::min<int64_t>(h, th);
        if (x + w > tw) x = tw - w;
        if (y + h > th) y = th - h;
        if (x < 0 || y < 0) return VQ_ERR_RECT_OUTSIDE;
        for (int c = 0; c < 3; ++c) {
            int16_t* plane = planes[c].get();
            uint64_t sum = 0;
            for (int64_t row = 0; row < h; ++row) {
                const int16_t* src = plane + size_t(y + row) * size_t(tw) + size_t(x);
                for (int64_t col = 0; col < w; ++col) {
                    const uint16_t v = uint16_t(src[col]);
                    if (v >= 4095) return VQ_ERR_SAMPLE_SATURATED;
                    sum += v;
                }
            }
            outRgb[c] = uint16_t(sum / uint64_t(w * h));
        }
        return VQ_OK;
    }

    const SdkRect r = *area;
    if (r.x < 0 || r.y < 0 || r.width <= 0 || r.height <= 0) return VQ_ERR_RECT_NEGATIVE;
    if (int64_t(r.x) + r.width > rawWidth_ || int64_t(r.y) + r.height > rawHeight_) return VQ_ERR_RECT_OUTSIDE;
    Block<int16_t> samples = Allocate<int16_t>(uint64_t(r.width) * uint64_t(r.height));
    if (!samples) return VQ_ERR_PROCESS_NO_MEMORY;
    if (cacheSampleBytes_ != 1 && cacheSampleBytes_ != 2) return VQ_ERR_BAD_FILE;
    int32_t done = 0;
    if (VqStatus st = LoadCache(nullptr, 0, &done, uint32_t(cacheSampleBytes_))) return st;
    if (VqStatus st = dataFormat_ == 2 ? DecodeCache(nullptr, 0, 0, 0) : DecodeCache(nullptr, 1, 1, 0)) return st;
    PublishImageData();
    if (VqStatus st = CopyWindow(r.x, r.y, r.width, r.height, reinterpret_cast<uint8_t*>(samples.get()),
                                 uint32_t(cacheSampleBytes_), 2, uint32_t(dataOffset_), nullptr))
        return st;
    if (VqStatus st = PrepareSample(r, samples.get(), factor)) return st;
    const size_t count = size_t(r.width) * size_t(r.height);
    for (size_t i = 0; i < count; ++i)
        if (uint16_t(samples[i]) >= 3000) return VQ_ERR_SAMPLE_SATURATED;
    uint16_t red = 0, green = 0, blue = 0;
    if (VqStatus st = BayerMeans(reinterpret_cast<const uint16_t*>(samples.get()), r.width, r.height, 0, r.width,
                                 &red, &green, &blue))
        return st;
    outRgb[0] = red;
    outRgb[1] = green;
    outRgb[2] = blue;
    return VQ_OK;
}

VqStatus RawEngine::IsGreyPatch(const uint16_t* triple, int32_t* outClass, int16_t threshold, float factor) {
    if (!triple || !outClass) return VQ_ERR_NULL_OUTPUT;
    const double r = triple[0], g = triple[1], b = triple[2];
    const double sum = r + g + b;
    // A black patch has no colour to classify.
    if (sum == 0.0) {
        *outClass = -1;
        return VQ_ERR_BAD_SAMPLE;
    }
    const double a = 1500.0 * (b - r) / sum;
    const double c = 750.0 * (2.0 * g - r - b) / sum;
    if (a < threshold) *outClass = 1;
    else if (a * factor > c) *outClass = 0;
    else *outClass = 2;
    return VQ_OK;
}

} // namespace lumora
