#pragma once
// A resampler for the exporters' tests: nearest neighbour, destination
// driven, with the receiving rows moved to an address 2 past a multiple of
// 4 as the scale plug-in does. It counts its strip brackets and can fail
// any step with a chosen code.
#include "ExportScaler.h"

#include <cstring>
#include <memory>

namespace exporttest {

using namespace NimbalCore;

struct NearestScalerLog {
    static inline int setups = 0, stripBegins = 0, stripEnds = 0, strips = 0, closes = 0;
    static inline int failSetup = 0, failSourceRect = 0, failProcess = 0;
    static inline int failProcessAtStrip = 0; // 1-based; 0 = any strip when failProcess is set
    static void Reset() {
        setups = stripBegins = stripEnds = strips = closes = 0;
        failSetup = failSourceRect = failProcess = failProcessAtStrip = 0;
    }
};

class NearestScaler : public ExportScaler {
public:
    ~NearestScaler() override { Close(); }

    int32_t Setup(bool, const NbRect& source, const NbRect& destination, int32_t bytesPerSample, int32_t channels,
                  int32_t numerator, int32_t denominator) override {
        ++NearestScalerLog::setups;
        if (NearestScalerLog::failSetup) return NearestScalerLog::failSetup;
        source_ = source;
        destination_ = destination;
        bytes_ = bytesPerSample;
        channels_ = channels;
        num_ = numerator;
        den_ = denominator;
        setUp_ = true;
        return 0;
    }
    int32_t GetBufferSizes(size_t* work, size_t* destination) override {
        if (!setUp_) return 2802;
        *work = 64;
        *destination = size_t(strip_.Width() * strip_.Height() * bytes_ * channels_ + 20);
        return 0;
    }
    int32_t GetSourceRect(NbRect* sourceStrip, NbRect* destinationStrip, NbRect* second) override {
        if (NearestScalerLog::failSourceRect) return NearestScalerLog::failSourceRect;
        strip_ = *destinationStrip;
        *sourceStrip = NbRect(Map(strip_.left, source_.right), Map(strip_.top, source_.bottom),
                              Map(strip_.right, source_.right), Map(strip_.bottom, source_.bottom));
        *second = NbRect();
        return 0;
    }
    int32_t StripBegin() override {
        ++NearestScalerLog::stripBegins;
        inStrip_ = true;
        return 0;
    }
    int32_t StripEnd() override {
        if (inStrip_) ++NearestScalerLog::stripEnds;
        inStrip_ = false;
        return 0;
    }
    int32_t ProcessStrip(void* work, const NbRect& sourceStrip, VrelSharpenPlanes* source,
                         const NbRect& destinationStrip, VrelSharpenPlanes* destination, ExportScalerProgress progress,
                         void* user) override {
        ++NearestScalerLog::strips;
        if (NearestScalerLog::failProcess &&
            (!NearestScalerLog::failProcessAtStrip || NearestScalerLog::failProcessAtStrip == NearestScalerLog::strips)) {
            Close();
            return NearestScalerLog::failProcess;
        }
        if (!progress || !user) return 2819;
        if (!work || !source || !destination) return 2815;
        if (source->channels != channels_ || destination->channels != channels_ ||
            source->bitsPerSample != bytes_ * 8 || destination->bitsPerSample != bytes_ * 8)
            return 2816;
        progress(50, user);
        auto* d = static_cast<uint8_t*>(destination->plane[0]);
        while ((reinterpret_cast<uintptr_t>(d) & 3) != 2) ++d;
        for (int k = 0; k < 3; ++k) destination->plane[k] = k < channels_ ? d + k * bytes_ : nullptr;
        const auto* s = static_cast<const uint8_t*>(source->plane[0]);
        const int pixel = bytes_ * channels_;
        for (int64_t y = 0; y < destinationStrip.Height(); ++y)
            for (int64_t x = 0; x < destinationStrip.Width(); ++x) {
                const int64_t sx = Map(int32_t(destinationStrip.left + x), source_.right) - sourceStrip.left;
                const int64_t sy = Map(int32_t(destinationStrip.top + y), source_.bottom) - sourceStrip.top;
                std::memcpy(d + y * destination->rowStride + x * destination->pixelStride,
                            s + sy * source->rowStride + sx * source->pixelStride, size_t(pixel));
            }
        return 0;
    }
    int32_t Close() override {
        if (setUp_) ++NearestScalerLog::closes;
        StripEnd();
        setUp_ = false;
        return 0;
    }

    static std::unique_ptr<ExportScaler> Make() { return std::unique_ptr<ExportScaler>(new NearestScaler()); }

private:
    int32_t Map(int32_t d, int32_t limit) const {
        const int64_t s = int64_t(d) * den_ / num_;
        return int32_t(s > limit ? limit : s);
    }

    NbRect source_, destination_, strip_;
    int32_t bytes_ = 1, channels_ = 3, num_ = 1, den_ = 1;
    bool setUp_ = false, inStrip_ = false;
};

} // namespace exporttest
