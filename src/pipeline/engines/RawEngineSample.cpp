// White-balance sampling of a sensor area or the thumbnail, and the grey-patch
// classes of a balance triple.
#include "RawEngine.h"

#include <algorithm>
#include <cmath>

#include "BayerMeans.h"
#include "EngineBlock.h"
#include "IntOps.h"
#include "LutStage.h"
#include "RendererImage.h"
#include "ThresholdDemosaicer.h"

namespace lumora {

using engine::Allocate;
using engine::Block;

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

VqStatus RawEngine::ReadSensorArea(const SdkRect& r, Block<int16_t>& samples) {
    if (r.x < 0 || r.y < 0 || r.width <= 0 || r.height <= 0) return VQ_ERR_RECT_NEGATIVE;
    if (int64_t(r.x) + r.width > rawWidth_ || int64_t(r.y) + r.height > rawHeight_) return VQ_ERR_RECT_OUTSIDE;
    samples = Allocate<int16_t>(uint64_t(r.width) * uint64_t(r.height));
    if (!samples) return VQ_ERR_PROCESS_NO_MEMORY;
    if (VqStatus st = LoadSensorData()) return st;
    return CopyWindow(r.x, r.y, r.width, r.height, reinterpret_cast<uint8_t*>(samples.get()),
                      uint32_t(cacheSampleBytes_), 2, uint32_t(dataOffset_), nullptr);
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
    Block<int16_t> samples;
    if (VqStatus st = ReadSensorArea(r, samples)) return st;
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
