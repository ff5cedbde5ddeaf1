// Output geometry: rotation, active area, subsample, pad bytes, windows and the
// geometry record.
#include "SdkImageBase.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "SdkRenderer.h"
#include "SdkUtilities.h"

namespace lumora::vq {

float SdkImageBase::Rotation() const {
    if (!renderer_) return 0.0f;
    float rotation = 0.0f;
    std::memcpy(&rotation, renderer_->Parameter(lumora::RP_ROTATION), sizeof rotation);
    return rotation;
}

int64_t SdkImageBase::ActiveWidth() const { return int64_t(fullWidth_) - marginLeft_ - marginRight_; }
int64_t SdkImageBase::ActiveHeight() const { return int64_t(fullHeight_) - marginTop_ - marginBottom_; }

VqStatus SdkImageBase::ActiveArea(int32_t fullWidth, int32_t fullHeight, int32_t top, int32_t left, int32_t bottom,
                                  int32_t right, SdkRect* out) {
    if (int16_t(top) < 0 || int16_t(left) < 0 || int16_t(bottom) < 0 || int16_t(right) < 0)
        return VQ_ERR_BAD_FILE;
    if (out)
        *out = {int16_t(left), int16_t(top), int16_t(fullWidth - right - left), int16_t(fullHeight - bottom - top)};
    return 0;
}

VqStatus SdkImageBase::SetRotation(float degrees) {
    const float whole = std::trunc(degrees);
    if (!(whole == 0.0f || whole == 90.0f || whole == 180.0f || whole == 270.0f || whole == -90.0f ||
          whole == -180.0f || whole == -270.0f))
        return VQ_ERR_BAD_ROTATION;
    const float value = degrees < 0.0f ? degrees + 360.0f : degrees;
    if (VqStatus status = SetRendererParameter(lumora::RP_ROTATION, &value, sizeof value)) return status;
    return 0;
}

VqStatus SdkImageBase::GetRotation(float* out) {
    if (out) *out = Rotation();
    return 0;
}


VqStatus SdkImageBase::SetSubSample(int16_t factor) {
    if (factor < 1 || factor > 32) return VQ_ERR_BAD_SUBSAMPLE;
    if (factor != 1 && factor % 2 != 0) return VQ_ERR_ODD_SUBSAMPLE;
    return SetRendererParameter(lumora::RP_SUBSAMPLE, &factor, sizeof factor);
}

VqStatus SdkImageBase::GetSubSample(int16_t* out) {
    if (out) {
        *out = 1;
        if (renderer_) std::memcpy(out, renderer_->Parameter(lumora::RP_SUBSAMPLE), sizeof *out);
    }
    return 0;
}

VqStatus SdkImageBase::SetPadBytes(uint8_t pad) { return SetRendererParameter(lumora::RP_PAD_BYTES, &pad, 1); }

VqStatus SdkImageBase::GetPadBytes(uint8_t* out) {
    if (out) {
        *out = 0;
        if (renderer_) std::memcpy(out, renderer_->Parameter(lumora::RP_PAD_BYTES), 1);
    }
    return 0;
}

VqStatus SdkImageBase::ValidateRectangle(const SdkRect* rect, int32_t width, int32_t height) {
    if (!rect) return VQ_ERR_NULL_OUTPUT;
    const int32_t x = rect->x, y = rect->y, w = rect->width, h = rect->height;
    if (x < 0 || y < 0 || w < 0 || h < 0) return VQ_ERR_RECT_NEGATIVE;
    if (w < 8 || h < 8) return VQ_ERR_RECT_TOO_SMALL;
    if (x >= width || y >= height) return VQ_ERR_RECT_ORIGIN_OUTSIDE;
    if (int64_t(x) + w > width || int64_t(y) + h > height) return VQ_ERR_RECT_OUTSIDE;
    if ((x | y | w | h) & 1) return VQ_ERR_RECT_MISALIGNED;
    return 0;
}

VqStatus SdkImageBase::OutputRectToSensor(SdkRect* rect) {
    if (!rect) return VQ_ERR_NULL_OUTPUT;
    const float rotation = Rotation();
    const int whole = int(rotation);
    const bool swap = whole == 90 || whole == 270;
    const int64_t width = swap ? ActiveHeight() : ActiveWidth();
    const int64_t height = swap ? ActiveWidth() : ActiveHeight();
    if (width < 0 || height < 0 || width > INT16_MAX || height > INT16_MAX) return VQ_ERR_BAD_FILE;
    if (VqStatus status = ValidateRectangle(rect, int32_t(width), int32_t(height))) return status;
    int16_t r[4] = {rect->x, rect->y, rect->width, rect->height};
    if (VqStatus status = SdkRotateRect(r, int16_t(width), int16_t(height), -rotation)) return status;
    // Inside the active area, so the sum stays within 16 bits.
    rect->x = int16_t(r[0] + marginLeft_);
    rect->y = int16_t(r[1] + marginTop_);
    rect->width = r[2];
    rect->height = r[3];
    return 0;
}

VqStatus SdkImageBase::SensorRectToOutput(SdkRect* rect) {
    if (!rect) return VQ_ERR_NULL_OUTPUT;
    const int64_t width = ActiveWidth(), height = ActiveHeight();
    if (width < 0 || height < 0 || width > INT16_MAX || height > INT16_MAX) return VQ_ERR_BAD_FILE;
    int16_t r[4] = {int16_t(rect->x - marginLeft_), int16_t(rect->y - marginTop_), rect->width, rect->height};
    if (VqStatus status = SdkRotateRect(r, int16_t(width), int16_t(height), Rotation())) return status;
    *rect = {r[0], r[1], r[2], r[3]};
    return 0;
}

VqStatus SdkImageBase::ToSensorDataRect(SdkRect* rect) {
    if (!rect) return VQ_ERR_NULL_OUTPUT;
    rect->x = int16_t(rect->x - marginLeft_);
    rect->y = int16_t(rect->y - marginTop_);
    return 0;
}

VqStatus SdkImageBase::SetOutputWindow(const SdkRect* window) {
    if (!window) return VQ_ERR_NULL_OUTPUT;
    outputWindow_ = *window;
    return 0;
}

VqStatus SdkImageBase::GetOutputWindow(SdkRect* out) {
    if (!out) return VQ_ERR_NULL_OUTPUT;
    *out = outputWindow_;
    return 0;
}

VqStatus SdkImageBase::OutputFormat(uint32_t type, int32_t* channels, int32_t* bytesPerSample) {
    static const int8_t kChannels[21] = {1, 0, 1, 1, 3, 4, 3, 4, 3, 4, 3, 4, 3, 3, 3, 1, 1, 4, 4, 3, 3};
    static const int8_t kBytes[21] = {1, 0, 1, 2, 1, 1, 2, 2, 1, 1, 2, 2, 1, 2, 2, 1, 2, 1, 2, 1, 2};
    if (renderer_) return renderer_->GetOutputFormat(type, bytesPerSample, channels);
    if (type > VQ_TYPE_LAB16 || kChannels[type] == 0) return VQ_ERR_BAD_IMAGE_TYPE;
    *channels = kChannels[type];
    *bytesPerSample = kBytes[type];
    return 0;
}

VqStatus SdkImageBase::GetGeometry(ImageGeometry* g) {
    if (!g) return VQ_ERR_NULL_OUTPUT;
    int32_t channels = 0, bytes = 0;
    VqStatus status = OutputFormat(info_.outputType, &channels, &bytes);
    OnImageTypeChanged(info_.outputType, nullptr, nullptr);
    if (status) return status;
    const float rotation = Rotation();
    int16_t subsample = 1;
    uint8_t pad8 = 0;
    GetSubSample(&subsample);
    GetPadBytes(&pad8);
    const int64_t pad = pad8;
    const int64_t s = subsample > 0 ? subsample : 1;
    const int64_t p = int64_t(channels) * bytes;
    g->channels = channels;
    g->bytesPerSample = bytes;
    info_.geometry.channels = channels;
    info_.geometry.bytesPerSample = bytes;

    // The record's sizes are 32-bit words: products of sizes from a file wrap
    // as such words do, computed without overflow.
    auto to32 = [](uint64_t v) { return int32_t(uint32_t(v)); };
    auto u = [](int64_t v) { return uint64_t(v); };
    const int64_t activeW = ActiveWidth();
    const int64_t activeH = ActiveHeight();
    const int rot = int(rotation);
    const bool swap = rot == 90 || rot == 270;
    if (rot == 0 || rot == 180 || swap) {
        const bool stored = storedWidth_ != 0 && storedHeight_ != 0;
        const int64_t sw = stored ? storedWidth_ : fullWidth_, sh = stored ? storedHeight_ : fullHeight_;
        const int64_t fw = swap ? sh : sw, fh = swap ? sw : sh;
        const int64_t ow = (swap ? outputWindow_.height : outputWindow_.width) / s;
        const int64_t oh = (swap ? outputWindow_.width : outputWindow_.height) / s;
        g->activeWidth = to32(u(swap ? activeH : activeW));
        g->activeHeight = to32(u(swap ? activeW : activeH));
        g->fullWidth = to32(u(fw));
        g->fullHeight = to32(u(fh));
        g->fullBytes = to32((u(fw) * u(p) + u(pad)) * u(fh));
        g->outputWidth = to32(u(ow));
        g->outputHeight = to32(u(oh));
        const uint64_t row = u(ow) * u(p) + u(pad);
        g->outputBytes = to32(row * u(oh));
        if (s > 1) {
            g->stripBytes = to32(row);
        } else {
            // The strip height is the first of 6, 8, 10, ... that divides the
            // height or leaves a last strip of at least 6 rows. A window lower
            // than 6 rows has no such height: the search stops at 6 at once.
            int64_t t = 6;
            while (oh >= 6 && oh % t >= 1 && oh % t <= 5) t += 2;
            g->stripBytes = to32(row * u(t));
        }
        info_.geometry.outputWidth = g->outputWidth;
        info_.geometry.outputHeight = g->outputHeight;
        info_.geometry.stripBytes = g->stripBytes;
        info_.geometry.outputBytes = g->outputBytes;
    } else {
        status = VQ_ERR_BAD_ROTATION;
    }
    const uint64_t cache1 = uint64_t(dataOffset_) + uint64_t(dataWidth_) * dataHeight_ * bytesPerStoredSample_;
    const uint64_t cache2 = uint64_t(dataOffset_) + uint64_t(dataBytes_);
    g->cacheBytes = to32(std::max(cache1, cache2));
    g->reserved = int32_t(reservedGeometryWord_);
    const uint64_t k = info_.isColour ? 3 : 1;
    g->workBytes = to32((k * fullWidth_ + u(pad)) * 22);
    g->frameBytes = to32((k * fullWidth_ + u(pad)) * (uint64_t(fullHeight_) + 2));
    return status;
}

} // namespace lumora::vq
