#include "Histogram.h"

#include "BlockOMemoryLock.h"
#include "ColorServices.h"
#include "Image.h"
#include "ImageRendering.h"
#include "NbErrorCodes.h"
#include "PixelArray.h"
#include "RenderBuffer.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace NimbalCore {

namespace {

// A value that came out of a division by a zero scale or an empty axis is
// no index at all: such images cannot adjust tone.
int FiniteOrZero(double v) { return std::isfinite(v) ? 1 : 0; }

uint32_t Luma(uint32_t r, uint32_t g, uint32_t b) { return (587 * g + 299 * r + 114 * b) / 1000; }

std::string WorkingSpace() {
    const ColorServices* services = ColorServices::Get();
    return services ? services->GetWorkingSpaceName() : std::string();
}

} // namespace

void Histogram::SetLevelAxis(float lower, float upper, int32_t scale) {
    lowerLevel_ = lower;
    upperLevel_ = upper;
    levelScale_ = scale;
    levelStep_ = (upper - lower) * float(1.0 / 4096.0);
}

void Histogram::Clear() {
    for (uint32_t* bins : {redBins_, greenBins_, blueBins_, lumaBins_}) std::fill(bins, bins + kBins, 0u);
}

void Histogram::AccumulateBins(PixelArray& array) {
    pixelCount_ = 0;
    const PixelLayout d = array.GetBufferDescriptor();
    const int type = array.GetPixelType();
    if (d.base[0] && d.sampleType == PixelSample8) {
        for (int32_t y = 0; y < d.rows; ++y)
            for (int32_t x = 0; x < d.columns; ++x) {
                const int64_t at = int64_t(y) * d.rowOffset + int64_t(x) * d.columnOffset;
                if (type == PixelArray::Gray) {
                    ++lumaBins_[static_cast<const uint8_t*>(d.base[0])[at]];
                    ++pixelCount_;
                } else if (type >= PixelArray::RGB && type <= PixelArray::BGRX) {
                    const uint32_t r = static_cast<const uint8_t*>(d.base[0])[at];
                    const uint32_t g = static_cast<const uint8_t*>(d.base[1])[at];
                    const uint32_t b = static_cast<const uint8_t*>(d.base[2])[at];
                    ++redBins_[r];
                    ++greenBins_[g];
                    ++blueBins_[b];
                    ++lumaBins_[Luma(r, g, b)];
                    ++pixelCount_;
                }
            }
    }
    UpdatePeaks();
}

void Histogram::Compute(ImageRendering* rendering) {
    if (!rendering) return;
    try {
        Image* image = rendering->GetImage()->Get();
        if (!image) return;
        ImageRendering copy(*rendering);
        ImageProcessParam p = rendering->GetProcessParam();
        p.crop = image->GetNativeImageRect();
        p.rotation = 0;
        p.outputSpaceMode = 0;
        p.workingSpaceName = WorkingSpace();
        copy.SetProcessParam(p);
        const NbRect thumb = image->GetNativeThumbnailRect();
        RenderBuffer buffer;
        buffer.SetPixelType(copy.GetLookKind() == 3 ? PixelArray::RGB : PixelArray::Gray);
        buffer.SetBytesPerSample(1);
        buffer.SetBounds(NbRect(0, 0, int32_t(thumb.Width() - 1), int32_t(thumb.Height() - 1)));
        buffer.SetRowBytes(int32_t(thumb.Width() * buffer.GetChannels()));
        buffer.RenderThumbnailFrom(&copy);
        BlockOMemoryLock pin(&buffer);
        Clear();
        AccumulateBins(buffer);
        pixelCount_ = uint32_t(thumb.Width() * thumb.Height());
    } catch (...) {
        Clear();
        redPeak_ = greenPeak_ = bluePeak_ = 255;
        throw;
    }
}

void Histogram::AccumulateBins16(PixelArray& array, ImageRendering* rendering) {
    pixelCount_ = 0;
    const int type = array.GetPixelType();
    if (type != PixelArray::Gray && type != PixelArray::RGB) return;
    Image* image = rendering && rendering->GetImage()->Get() ? rendering->GetImage()->Get() : nullptr;
    if (image) levelScale_ = image->GetLevelsOption();
    levelStep_ = (upperLevel_ - lowerLevel_) * float(1.0 / 4096.0);
    for (int k = 0; k < kSteps; ++k) {
        const double s = double(lowerLevel_) + k * double(levelStep_);
        const double v = std::pow(2.0, s) * levelScale_;
        exposureIndex_[k] = FiniteOrZero(v) ? int32_t(std::clamp(v, 0.0, 4095.0)) : 0;
    }
    std::vector<uint32_t> working(kSteps, 0), remapped(kSteps, 0);
    const PixelLayout d = array.GetBufferDescriptor();
    if (d.base[0]) {
        for (int32_t y = 0; y < d.rows; ++y)
            for (int32_t x = 0; x < d.columns; ++x) {
                const int64_t at = int64_t(y) * d.rowOffset + int64_t(x) * d.columnOffset;
                auto sample = [&](int k) {
                    uint16_t v;
                    std::memcpy(&v, static_cast<const uint8_t*>(d.base[k]) + at, 2);
                    return uint32_t(v);
                };
                if (type == PixelArray::Gray) {
                    ++working[sample(0) / 16];
                } else {
                    const uint32_t r = sample(0), g = sample(1), b = sample(2);
                    ++redBins_[r / 256];
                    ++greenBins_[g / 256];
                    ++blueBins_[b / 256];
                    ++working[std::min<uint32_t>((r * 299 + b * 114 + g * 587) / 16000, kSteps - 1)];
                }
                ++pixelCount_;
            }
    }
    for (int i = 1; i < kSteps; ++i) remapped[LevelToIndex(float(i))] += working[i];
    uint32_t reduced[kBins];
    for (int j = 0; j < kBins; ++j) {
        uint32_t sum = 0;
        for (int k = 0; k < 16; ++k) sum += remapped[16 * j + k];
        reduced[j] = sum / 16;
    }
    static const int kKernel[7] = {1, 3, 3, 5, 3, 3, 1};
    Smooth(reduced, lumaBins_, kBins, kKernel, 7);
    UpdatePeaks();
}

void Histogram::ComputeForLevels(ImageRendering* rendering) {
    if (!rendering) return;
    Image* image = rendering->GetImage()->Get();
    if (!image) return;
    float lower, middle, upper;
    image->GetLevelsLimits(&lower, &middle, &upper);
    lowerLevel_ = lower;
    upperLevel_ = upper;
    ImageRendering copy(*rendering);
    ImageProcessParam p = rendering->GetProcessParam();
    for (int i = 0; i < 3; ++i) {
        p.levels[i] = ImageProcessParam::RoundLevel(p.levels[i]);
        if (p.levels[i] == ImageProcessParam::RoundLevel(p.referenceLevels[i])) p.levels[i] = p.referenceLevels[i];
    }
    p.crop = image->GetNativeImageRect();
    p.rotation = 0;
    p.outputSpaceMode = 0;
    p.colorMode = 1;
    p.levelsEnabled = false;
    copy.SetProcessParam(p);
    const NbRect thumb = image->GetNativeThumbnailRect();
    RenderBuffer buffer;
    const bool rgb = copy.GetLookKind() == 3;
    buffer.SetPixelType(rgb ? PixelArray::RGB : PixelArray::Gray);
    buffer.SetBytesPerSample(2);
    buffer.SetBounds(NbRect(0, 0, int32_t(thumb.Width() - 1), int32_t(thumb.Height() - 1)));
    buffer.SetRowBytes(int32_t(thumb.Width() * (rgb ? 6 : 2)));
    buffer.RenderThumbnailFrom(&copy);
    {
        BlockOMemoryLock pin(&buffer);
        AccumulateBins16(buffer, rendering);
        pixelCount_ = uint32_t(thumb.Width() * thumb.Height());
    }
    ConstructToneCurve(rendering);
}

int Histogram::ConstructToneCurve(ImageRendering* rendering) {
    Image* image = rendering ? rendering->GetImage()->Get() : nullptr;
    if (!image) YLM_THROW("Histogram::ConstructToneCurve", NbErrRenderFailed);
    const ImageProcessParam params = rendering->GetProcessParam();
    const float levels[3] = {ImageProcessParam::RoundLevel(params.levels[0]),
                             ImageProcessParam::RoundLevel(params.levels[1]),
                             ImageProcessParam::RoundLevel(params.levels[2])};
    // Into a table of its own first: a failing image leaves the last curves.
    std::vector<uint16_t> table(kSteps, 0);
    if (!image->ComputeExposureTableFromLevels(levels[0], levels[1], levels[2], kSteps, table.data()))
        YLM_THROW("Histogram::ConstructToneCurve", NbErrRenderFailed);
    std::copy(table.begin(), table.end(), exposureTable_);
    if (!transform_) {
        ImageProcessParam p = params;
        p.workingSpaceName = WorkingSpace();
        p.sharpenMode = 0;
        p.outputSpaceMode = 0;
        transform_ = image->BuildColorTransform(p, 4, 1);
        if (transform_) {
            transform_->ComputeLuminanceCurve(lumaCurve_);
        } else {
            // Without a transform the luminance is the value itself.
            for (int i = 0; i < kSteps; ++i) lumaCurve_[i] = uint16_t(i);
        }
    }
    // The image's table may hold any 16-bit value; the curve has 4096.
    auto luma = [&](int i) { return lumaCurve_[std::min<int>(exposureTable_[i], kSteps - 1)]; };
    curveEnd_ = 0;
    curvePeak_ = 0;
    std::fill(toneCurve_, toneCurve_ + kSteps, uint16_t(0));
    auto fill = [](uint16_t* curve, int from, int to, uint16_t t) {
        const float slope = float(int(t) - int(curve[from])) / float(to - from);
        const int base = curve[from];
        for (int j = 1; j < to - from; ++j) curve[from + j] = uint16_t(base + int(float(j) * slope));
    };
    int h = LevelToIndex(0.0f);
    toneCurve_[h] = luma(0);
    int m = h / 16;
    for (int i = 1; i < kSteps; ++i) {
        const int o = LevelToIndex(float(i));
        const uint16_t t = luma(i);
        toneCurve_[o] = t;
        if (o - h > 1) fill(toneCurve_, h, o, t);
        const int o2 = o / 16;
        curveEnd_ = std::max(curveEnd_, o2);
        displayCurve_[o2] = t;
        if (o2 - m > 1) fill(displayCurve_, m, o2, t);
        curvePeak_ = std::max(curvePeak_, t);
        h = o;
        m = o2;
    }
    // A curve flat over the whole axis has no highlight or shadow index:
    // the previous ones stay as they were, already on the 256-step axis.
    const uint16_t top = luma(kSteps - 1);
    for (int n = kSteps - 2; n >= 0; --n)
        if (luma(n) < top) {
            highlightIndex_ = LevelToIndex(float(n)) / 16;
            break;
        }
    const uint16_t bottom = luma(0);
    for (int i = 1; i < kSteps; ++i)
        if (luma(i) != bottom) {
            shadowIndex_ = LevelToIndex(float(i - 1)) / 16;
            break;
        }
    return shadowIndex_;
}

int Histogram::LevelToIndex(float value) const {
    const double x = value == 0.0f ? 0.5 : double(value);
    const double v = std::floor((std::log2(x / levelScale_) - lowerLevel_) / levelStep_ + 0.5);
    if (!FiniteOrZero(v) || v <= 0) return 0;
    return v > kSteps - 1 ? kSteps - 1 : int(v);
}

int Histogram::ValueToBin(float stops) const {
    const double v = std::floor((double(stops) - lowerLevel_) / ((double(upperLevel_) - lowerLevel_) * (1.0 / 255.0)) + 0.5);
    if (!FiniteOrZero(v)) return 0;
    return int(std::clamp(v, 0.0, 255.0));
}

float Histogram::BinToValue(int bin) const {
    return lowerLevel_ + (upperLevel_ - lowerLevel_) * float(1.0 / 255.0) * float(bin % 256);
}

void Histogram::UpdatePeaks() {
    auto peak = [](const uint32_t* bins) { return std::max<uint32_t>(1, *std::max_element(bins, bins + kBins)); };
    redPeak_ = peak(redBins_);
    greenPeak_ = peak(greenBins_);
    bluePeak_ = peak(blueBins_);
    lumaPeak_ = peak(lumaBins_);
    curvePeak_ = *std::max_element(displayCurve_, displayCurve_ + kBins);
}

void Histogram::Smooth(const uint32_t* source, uint32_t* destination, int count, const int* kernel, int kernelLength) {
    int sum = 0;
    for (int j = 0; j < kernelLength; ++j) sum += kernel[j];
    if (sum == 0) sum = 1;
    std::vector<uint32_t> out(size_t(count), 0);
    for (int i = 0; i < count; ++i) {
        uint64_t total = 0;
        for (int j = 0; j < kernelLength; ++j) {
            const int at = i + j - kernelLength / 2;
            if (at >= 0 && at < count) total += uint64_t(kernel[j]) * source[at];
        }
        out[size_t(i)] = uint32_t(total / uint64_t(sum));
    }
    std::copy(out.begin(), out.end(), destination);
}

} // namespace NimbalCore
