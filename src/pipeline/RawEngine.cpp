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

uint32_t Log2(int32_t value) {
    uint32_t e = 0;
    intLog2(value, e);
    return e;
}

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
    if (type != 0) return SdkRenderer::GetOutputFormat(type, bytesPerSample, channels);
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
    if (type == 0) {
        set(2, 1, 1, 1, 2, 1, 2, 1, 1, 2);
    } else if ((type == 2 || type == 3) && !isColour) {
        set(1, 0, 0, 1, 1, 0, 2, 0, 1, 2);
    } else if (type >= 4 && type <= 11) {
        set(0, 0, 1, 0, cms ? 4 : 3, 1, 0, 0, 0, 2);
    } else if (type >= 12 && type <= 14) {
        if (cameraRgbMode == 1) set(0, 0, 1, 0, 5, 1, 0, 0, 0, 2);
        else set(0, 0, 1, 0, 2, 1, 0, 0, 0, 0);
        if (cms) status = VQ_ERR_OCMS_TYPE_CONFLICT;
    } else if ((type == 15 || type == 16) && !isColour) {
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
        *shift = Log2(precisionFactor_);
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

VqStatus RawEngine::RenderImage(const ImageBufferRecord* record, const ProgressRecord* progressRecord) {
    if (!record || !record->buffer) return VQ_ERR_NULL_OUTPUT;

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
    VqStatus status = VQ_OK;
    int32_t goOn = 1;
    int32_t factor = 1, extra = 0, sharpenSwitch = 1, bytesPerSample = 0, channels = 0, filterRows = 0;
    uint32_t shift = 0, packType = 0;
    const int32_t s = subsample_;
    const SdkRect window = outputWindow_;

    do {
        const int32_t linearise = (thumbTableOn_ == 0 && balanceIsLinear_ == 0) ? 1 : 0;
        Precision(&factor, &shift);
        if ((status = CheckPrecision(factor))) break;
        if (s < 1 || s > 32) {
            status = VQ_ERR_BAD_SUBSAMPLE;
            break;
        }
        if (s > 1 && s % 2) {
            status = VQ_ERR_ODD_SUBSAMPLE;
            break;
        }

        uint32_t type = uint32_t(outputType_);
        if (isColor_ && (type == 2 || type == 3)) type = 4; // the packer takes the grey from the colour result
        if ((status = GetOutputFormat(type, nullptr, nullptr))) break;
        packType = MapColorManagedType(uint32_t(outputType_));
        if ((status = GetOutputFormat(packType, &bytesPerSample, &channels))) break;
        if ((status = GetProcessingModes(type, isColor_, 2, cameraRgbMode_, &modes))) break;

        if (isColor_ && s > 1) {
            demosaicer.reset(new (std::nothrow) HalfSizeDemosaicer);
            if (!demosaicer) {
                status = VQ_ERR_PROCESS_NO_MEMORY;
                break;
            }
            status = demosaicer->SetStep(s / 2);
        } else if (!isColor_) {
            demosaicer.reset(new (std::nothrow) MonoSubsampler);
            if (!demosaicer) {
                status = VQ_ERR_PROCESS_NO_MEMORY;
                break;
            }
            status = demosaicer->SetStep(s / 2);
        } else {
            if (demosaicThreshold_ != 0) {
                demosaicer.reset(new (std::nothrow) ThresholdDemosaicer);
                if (demosaicer) demosaicer->SetThreshold(demosaicThreshold_);
            } else {
                demosaicer.reset(new (std::nothrow) AdaptiveDemosaicer);
            }
            if (!demosaicer) {
                status = VQ_ERR_PROCESS_NO_MEMORY;
                break;
            }
            status = demosaicer->SetMode(modes.demosaicMode);
            if (sharpenOn_ != 0 && sharpenAllowed_ != 0) {
                extra = 2;
                sharpenSwitch = 0;
            }
        }
        if (status) break;
        clip.extraRowMargin = int16_t(extra);

        if ((status = ConfigureOutput(record->bufferBytes, window.x, window.y, window.width, window.height, &plan,
                                      rotation_, padBytes_, packType)))
            break;

        const uint32_t toneMaximum = uint32_t(std::clamp(toneCurveSize_ - 1, 0, 65535));
        if ((status = BuildBalanceTables(balanceStage, whiteBalance_[0], whiteBalance_[1], whiteBalance_[2],
                                         toneMaximum, linearise)))
            break;

        transform.mode = modes.transformMode;
        transform.leftSkip = transform.rightSkip = plan.colMargin;
        std::copy(colorMatrix_, colorMatrix_ + 9, transform.firstMatrix);
        std::copy(colorMatrices_, colorMatrices_ + 9, transform.secondMatrix);
        transform.workingMaximum = toneCurveSize_ - 1;
        transform.subsampled = modes.transformFlag;
        transform.firstTone = transform.middleTone = transform.lastTone = toneCurve_;
        transform.outputTable = outputCurve_;
        transform.outputSize = outputCurveSize_;
        transform.transformRecord = cmsTransform_;
        if ((status = transform.Prepare())) break;

        *static_cast<int32_t*>(sharpen.Parameter(2)) = sharpenSwitch;
        std::memcpy(sharpen.Parameter(3), sharpenKernel_, sizeof sharpenKernel_);
        *static_cast<int32_t*>(sharpen.Parameter(4)) = sharpenOn_;
        for (int i = 0; i < 5; ++i) *static_cast<int32_t*>(sharpen.Parameter(5 + i)) = sharpen_[i];

        linearStage.mode = modes.linearMode;
        if (modes.linearMode != 2) {
            linearStage.size = kLinearTableSize;
            if ((status = FillLinearTable(ColourManagementActive() ? 4095 : 65535, linearGain_))) break;
            linearStage.table = linearLut_;
        }

        StripBufferSizes sizes;
        const int64_t bufferWidth = int64_t(plan.stripWidth) + 2 * plan.colMargin;
        const int64_t bufferRows = int64_t(plan.stripSize) + 2 * (int64_t(plan.rowMargin) + extra);
        if (bufferWidth > INT16_MAX || bufferRows > INT16_MAX) {
            status = VQ_ERR_STRIP_TOO_SMALL;
            break;
        }
        if ((status = GetStripBufferSizes(&sizes, int16_t(bufferWidth), uint32_t(bufferRows), int16_t(s), 2)))
            break;

        if (cacheSampleBytes_ != 1 && cacheSampleBytes_ != 2) {
            status = VQ_ERR_BAD_FILE;
            break;
        }
        int32_t done = 0;
        if ((status = LoadCache(nullptr, 0, &done, uint32_t(cacheSampleBytes_)))) break;
        status = dataFormat_ == 2 ? DecodeCache(nullptr, 0, 0, 0) : DecodeCache(nullptr, 1, 1, 0);
        if (status) break;
        PublishImageData();

        // The mosaic filter reads two rows beyond each sample: the strip is read
        // with that many more rows, so its result does not depend on where the
        // strips happen to split the picture.
        filterRows = (cfaTableSize_ != 0 && cfaTable1_ && cfaTable2_ && cfaTable3_) ? 2 : 0;
        raw = Allocate<int16_t>(sizes.unpackedBytes / 2);
        work = Allocate<int16_t>(sizes.unpackedBytes / 2);
        if (filterRows) {
            wide = Allocate<int16_t>(uint64_t(bufferWidth + 2 * filterRows) * uint64_t(bufferRows + 2 * filterRows));
            if (!wide) raw.reset();
        }
        const uint32_t planeBytes[3] = {sizes.firstPlaneBytes, sizes.secondPlaneBytes, sizes.thirdPlaneBytes};
        bool failed = !raw || !work;
        for (int i = 0; i < 3 && !failed; ++i) {
            if (planeBytes[i] == 0) continue;
            planes[i] = Allocate<int16_t>(planeBytes[i] / 2);
            failed = !planes[i];
        }
        if (!failed && IsFourChannel(packType)) {
            fourth = Allocate<int16_t>(std::max(sizes.thirdPlaneBytes, sizes.firstPlaneBytes) / 2);
            failed = !fourth;
        }
        if (failed) {
            raw.reset();
            work.reset();
            wide.reset();
            for (auto& p : planes) p.reset();
            fourth.reset();
            status = VQ_ERR_PROCESS_NO_MEMORY;
            break;
        }
        // The raw strip buffer holds the largest strip; every strip fits it.
        if (progressRecord) {
            progress.Init(progressRecord->userValue, progressRecord->callback,
                          plan.stripCount == 1 ? 10u : uint32_t(plan.stripCount), 0, 100);
            goOn = progress.Start();
        }
    } while (false);

    const uint16_t lastEntry = LastUnpackEntry();
    const bool single = plan.stripCount == 1;
    uint8_t* out = static_cast<uint8_t*>(record->buffer);
    // Only the record's first word is common to every image; the engine that
    // conceals reads the rest.
    int32_t badColumnsOn = 0;
    if (badColumns_) std::memcpy(&badColumnsOn, badColumns_, sizeof badColumnsOn);

    for (int32_t i = 0; status == VQ_OK && goOn && i < plan.stripCount; ++i) {
        SdkRect rect;
        if ((status = SourceRectForRotation(i, plan, window.x, window.y, window.width, window.height, &rect,
                                            rotation_, &clip)))
            break;
        const int32_t x = rect.x, y = rect.y, w = rect.width, h = rect.height;
        const int32_t W = w - 2 * plan.colMargin, H = h - 2 * plan.rowMargin;
        // With the mosaic filter the rectangle is read with a border of its reach
        // (into `wide`) and cut back after filtering.
        const int32_t f = filterRows;
        const int32_t readW = w + 2 * f, readH = h + 2 * f;
        int16_t* read = f ? wide.get() : raw.get();
        if ((status = CopyWindow(x - f, y - f, readW, readH, reinterpret_cast<uint8_t*>(read),
                                 uint32_t(cacheSampleBytes_), 2, uint32_t(dataOffset_), &clip)))
            break;
        const int32_t readTop = std::clamp(clip.rowsAbove, 0, readH);
        const int32_t readBottom = std::clamp(clip.rowsBelow, 0, readH - readTop);
        const int32_t readLeft = std::clamp(f - x, 0, readW);
        const int32_t readRight = std::clamp(int32_t(int64_t(x) + w + f - rawWidth_), 0, readW - readLeft);
        MirrorOutside(read, readW, readH, readTop, readBottom, readLeft, readRight);
        if (!(goOn = progress.Step(0))) break;

        // Linearisation.
        unpackStage.width = uint16_t(readW);
        unpackStage.height = uint16_t(readH);
        unpackStage.mode = modes.unpackMode;
        unpackStage.table = unpackTable_;
        unpackStage.size = unpackTableSize_ > 0 ? uint32_t(unpackTableSize_) : 0;
        if ((status = unpackStage.ApplyOne(read))) break;
        if (single && !(goOn = progress.Step(0))) break;

        // Mosaic noise filter, then the samples are raised for the corrections.
        cfa.width = uint16_t(readW);
        cfa.height = uint16_t(readH);
        cfa.size = cfaTableSize_;
        cfa.redTable = cfaTable1_;
        cfa.greenTable = cfaTable2_;
        cfa.blueTable = cfaTable3_;
        if ((status = cfa.Run(read))) break;
        int16_t* strip = raw.get();
        if (f) CopyBlock(strip, size_t(w), read + size_t(f) * size_t(readW) + size_t(f), size_t(readW), size_t(w), size_t(h));
        const int32_t top = std::max(readTop - f, 0);
        const int32_t bottom = std::max(readBottom - f, 0);
        const int32_t left = std::clamp(-x, 0, w);
        const int32_t right = std::clamp(int32_t(int64_t(x) + w - rawWidth_), 0, w - left);
        unpackStage.width = uint16_t(w);
        unpackStage.height = uint16_t(h);
        if ((status = unpackStage.ShiftLeft(strip, shift))) break;
        if (single && !(goOn = progress.Step(0))) break;

        // Offsets and gain map work on the samples inside the image only; when the
        // strip reaches past the image's sides they run on a packed copy of them.
        const int32_t insideRows = h - top - bottom;
        const int32_t insideCols = w - left - right;
        const bool packed = left > 0 || right > 0;
        int16_t* region = strip + size_t(top) * w + left;
        int16_t* target = region;
        if (insideRows > 0 && insideCols > 0 && packed) {
            CopyBlock(work.get(), size_t(insideCols), region, size_t(w), size_t(insideCols), size_t(insideRows));
            target = work.get();
        }
        const int32_t regionX = x + left, regionY = y + top;
        offsetStage.width = uint16_t(std::max(insideCols, 0));
        offsetStage.height = uint16_t(std::max(insideRows, 0));
        offsetStage.mode = modes.offsetMode;
        offsetStage.size = offsetTableSize_ > 0 ? uint32_t(offsetTableSize_) : 0;
        if (offsetStage.mode != 2 && offsetStage.size != 0 && insideRows > 0 &&
            int64_t(regionY) + insideRows > offsetTableSize_) {
            status = VQ_ERR_BAD_FILE; // the row offsets do not cover the image
            break;
        }
        if (insideRows > 0 && insideCols > 0 &&
            (status = offsetStage.AddOffsets16(target, columnOffsets_, rowOffsets_, int32_t(lastEntry) * factor,
                                               regionX, regionY)))
            break;
        if (single && !(goOn = progress.Step(0))) break;

        gainStage.width = uint16_t(std::max(insideCols, 0));
        gainStage.height = uint16_t(std::max(insideRows, 0));
        gainStage.mode = modes.gainMapMode;
        if (insideRows > 0 && insideCols > 0 &&
            (status = ApplyGainStage(gainStage, target, regionX, regionY, lastEntry, factor, shift)))
            break;
        if (insideRows > 0 && insideCols > 0 && packed)
            CopyBlock(region, size_t(w), work.get(), size_t(insideCols), size_t(insideCols), size_t(insideRows));
        // Outside samples follow their corrected mirror images.
        MirrorOutside(strip, w, h, top, bottom, left, right);
        if (single && !(goOn = progress.Step(0))) break;

        if (badColumnsOn != 0 && s == 1 && (status = ConcealBadColumns(strip, x, y, w, h, badColumns_)))
            break;
        if (single && !(goOn = progress.Step(0))) break;

        // White balance on the mosaic. The tables have 4096 entries, so the
        // clamp never lets a sample index past them.
        balanceStage.width = uint16_t(w);
        balanceStage.height = uint16_t(h);
        balanceStage.mode = modes.balanceMode;
        balanceStage.size = std::min<uint32_t>(uint32_t(lastEntry) + 1, kBalanceTableSize);
        if ((status = balanceStage.CfaApply(strip, BalanceTable(0), BalanceTable(1), BalanceTable(2)))) break;
        if (single && !(goOn = progress.Step(0))) break;

        int16_t* stripStart = strip + size_t(plan.rowMargin) * w;
        int16_t* above = plan.rowMargin >= 3 ? strip + size_t(plan.rowMargin - 3) * w : stripStart;
        int16_t* below = strip + size_t(plan.rowMargin + H) * w;
        demosaicer->Setup(above, stripStart, below, planes[0].get(), planes[1].get(), planes[2].get(), int16_t(H),
                          int16_t(w), modes.demosaicPassThrough);
        int16_t *green = nullptr, *even = nullptr, *odd = nullptr;
        if ((status = demosaicer->Run(&green, &even, &odd))) break;
        int16_t* red = even;
        int16_t* blue = odd;
        if (single && !(goOn = progress.Step(0))) break;

        const int32_t planeWidth = w / s, planeRows = H / s;
        *static_cast<uint16_t*>(sharpen.Parameter(0)) = uint16_t(planeWidth);
        *static_cast<uint16_t*>(sharpen.Parameter(1)) = uint16_t(planeRows);
        if ((status = sharpen.Apply(red, green, blue))) break;

        linearStage.width = uint16_t(planeWidth);
        linearStage.height = uint16_t(planeRows);
        if ((status = linearStage.Apply(red, green, blue))) break;

        transform.width = uint16_t(W / s);
        transform.height = uint16_t(planeRows);
        if ((status = transform.Run(red, green, blue, fourth.get()))) break;
        if (single && !(goOn = progress.Step(0))) break;

        const int32_t outRows = planeRows - 2 * extra;
        const size_t skipRows = size_t(extra) * size_t(planeWidth);
        if ((status = output.Init(packType, rotation_, plan.colMargin, plan.colMargin, padBytes_, W / s, outRows,
                                  bytesPerSample, channels)))
            break;
        if ((status = output.Pack(reinterpret_cast<const uint16_t*>(red + skipRows),
                                  reinterpret_cast<const uint16_t*>(green + skipRows),
                                  reinterpret_cast<const uint16_t*>(blue + skipRows),
                                  fourth ? reinterpret_cast<const uint16_t*>(fourth.get() + skipRows) : nullptr, out)))
            break;
        if (single && !(goOn = progress.Step(0))) break;

        const uint64_t stripBytes = uint64_t(output.PadTotal()) + uint64_t((H - 2 * extra) / s) * uint64_t(W / s) *
                                                                       uint64_t(bytesPerSample) * uint64_t(channels);
        if (record->stripCallback) {
            out = static_cast<uint8_t*>(record->stripCallback(out, uint32_t(stripBytes), record->userValue));
            if (!out) status = VQ_ERR_BAD_HANDLE;
        }
    }

    transform.Release();
    if (status == VQ_OK && !goOn) status = VQ_ERR_CANCELLED;
    return status;
}

VqStatus RawEngine::RenderThumbnail(void* buffer) {
    if (!buffer) return VQ_ERR_NULL_OUTPUT;
    const uint16_t* table = thumbTableOn_ ? thumbTable_ : unpackTable_;
    const int32_t tableSize = thumbTableOn_ ? thumbTableSize_ : unpackTableSize_;
    const uint32_t tableShift = thumbTableOn_ ? 0 : 4;
    const int32_t linearise = (thumbTableOn_ == 0 && balanceIsLinear_ == 0) ? 1 : 0;

    uint32_t type = uint32_t(outputType_);
    if (isColor_ && (type == 2 || type == 3)) type = 4;
    if (VqStatus st = GetOutputFormat(type, nullptr, nullptr)) return st;
    const uint32_t packType = MapColorManagedType(uint32_t(outputType_));
    int32_t bytesPerSample = 0, channels = 0;
    if (VqStatus st = GetOutputFormat(packType, &bytesPerSample, &channels)) return st;
    ProcessingModes modes;
    if (VqStatus st = GetProcessingModes(type, isColor_, 2, cameraRgbMode_, &modes)) return st;
    if (type == 0) return VQ_ERR_BAD_IMAGE_TYPE;

    LutStage balanceStage;
    const uint32_t toneMaximum = uint32_t(std::clamp(toneCurveSize_ - 1, 0, 65535));
    if (VqStatus st = BuildBalanceTables(balanceStage, whiteBalance_[0], whiteBalance_[1], whiteBalance_[2],
                                         toneMaximum, linearise))
        return st;

    const int32_t byteCount = thumbnailInfo_[3];
    const int32_t width = thumbnailInfo_[6], height = thumbnailInfo_[7];
    if (byteCount <= 0 || width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF || !thumbnailData_)
        return VQ_ERR_BAD_FILE;
    // Callers size the destination from the whole stored image.
    if (width > rawWidth_ || height > rawHeight_) return VQ_ERR_BAD_FILE;
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
    const uint32_t shift = Log2(factor);
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
