#include "RawEngine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "EngineBlock.h"
#include "IntOps.h"
#include "LosslessJpegDecoder.h"
#include "LutStage.h"
#include "ThresholdDemosaicer.h"
#include "VqOutputTypes.h"

namespace lumora {

using engine::Allocate;
using engine::Block;

namespace {

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
    uint8_t* bigger = AllocateCacheBytes(required);
    if (!bigger) return VQ_ERR_PROCESS_NO_MEMORY;
    std::memcpy(bigger, cache_, size_t(std::min<uint64_t>(cacheBytes_, loadedBytes_)));
    FreeCacheBytes(cache_);
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
        // The samples would overrun the coded bytes they are decoded from: an
        // owned cache is decoded into a fresh one, straight from the bytes as
        // loaded; a lent one keeps its place and the stream is copied aside.
        std::unique_ptr<uint8_t, void (*)(uint8_t*)> fresh(nullptr, &FreeCacheBytes);
        Block<uint8_t> own;
        const uint8_t* input = cache_ + offset;
        if (cacheOwned_ == 1 && !scratch) {
            fresh.reset(AllocateCacheBytes(cacheBytes_));
            if (!fresh) return VQ_ERR_PROCESS_NO_MEMORY;
            std::memcpy(fresh.get(), cache_, size_t(offset));
        } else {
            uint8_t* copy = static_cast<uint8_t*>(scratch);
            if (!copy) {
                own = Allocate<uint8_t>(size);
                if (!own) return VQ_ERR_PROCESS_NO_MEMORY;
                copy = own.get();
            }
            std::memcpy(copy, cache_ + offset, size_t(size));
            input = copy;
        }
        LosslessJpegDecoder decoder;
        *decoder.parameters()[LosslessJpegDecoder::InputBytes] = dataSize_;
        *decoder.parameters()[LosslessJpegDecoder::PassThrough] = 0;
        uint8_t* target = (fresh ? fresh.get() : cache_) + offset;
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
        // Whatever the decoder did not write (a failed decode writes nothing)
        // still holds coded bytes or uncleared memory: it reads as black.
        const uint64_t written = uint64_t(std::max(*decoder.parameters()[LosslessJpegDecoder::OutputBytes], 0));
        if (offset + written < cacheBytes_) std::memset(target + written, 0, size_t(cacheBytes_ - offset - written));
        if (fresh) {
            FreeCacheBytes(cache_);
            cache_ = fresh.release();
        }
        if (s != VQ_OK) {
            // The coded bytes were decoded over: another try reads them again.
            loadedBytes_ = 0;
            return s;
        }
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

} // namespace lumora
