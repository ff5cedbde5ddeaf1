#include "ReviewLayout.h"

#include <algorithm>
#include <cmath>

void ReviewLayout::Measure(const IntRect& window, const IntRect& frame, const std::vector<Placed>& controls,
                           const std::vector<int>& keepRightOffset) {
    frameLeft_ = frame.left - window.left;
    frameTop_ = frame.top - window.top;
    frameRight_ = window.right - frame.right;
    frameBottom_ = window.bottom - frame.bottom;
    anchors_.clear();
    for (const Placed& c : controls) {
        Anchor a;
        a.id = c.id;
        a.width = c.rect.right - c.rect.left;
        a.height = c.rect.bottom - c.rect.top;
        a.bottomOffset = window.bottom - c.rect.bottom;
        a.rightOffset = window.right - c.rect.right;
        a.keepsRightOffset = std::find(keepRightOffset.begin(), keepRightOffset.end(), c.id) != keepRightOffset.end();
        anchors_.push_back(a);
    }
    measured_ = true;
}

IntRect ReviewLayout::FrameRect(const IntRect& window) const {
    return IntRect{window.left + frameLeft_, window.top + frameTop_, window.right - frameRight_,
                   window.bottom - frameBottom_};
}

std::vector<ReviewLayout::Placed> ReviewLayout::ControlRects(const IntRect& window) const {
    std::vector<Placed> out;
    out.reserve(anchors_.size());
    for (const Anchor& a : anchors_) {
        const int right = window.right - (a.keepsRightOffset ? a.rightOffset : kRightMargin);
        const int bottom = window.bottom - a.bottomOffset;
        out.push_back({a.id, IntRect{right - a.width, bottom - a.height, right, bottom}});
    }
    return out;
}

std::pair<int, int> ReviewLayout::MinTrackSize(const NimbalCore::NbRect& imageRect) {
    if (imageRect.Width() > imageRect.Height()) return {500, 370};
    return {400, 500};
}

double ReviewLayout::DisplayScale(int64_t width, int64_t height, const IntRect& frame) {
    const int64_t fw = int64_t(frame.right) - frame.left, fh = int64_t(frame.bottom) - frame.top;
    if (width <= 0 || height <= 0 || fw <= 0 || fh <= 0) return 0.0;
    const double scale = 1.0 / std::max(double(width) / double(fw), double(height) / double(fh));
    return scale > 1.0 ? 1.0 : scale;
}

IntRect ReviewLayout::Destination(int64_t width, int64_t height, double scale, const IntRect& frame) {
    const int w = int(std::floor(double(width) * scale + 0.5));
    const int h = int(std::floor(double(height) * scale + 0.5));
    const int left = (frame.left + frame.right) / 2 - w / 2;
    const int top = (frame.top + frame.bottom) / 2 - h / 2;
    return IntRect{left, top, left + w, top + h};
}

std::optional<IntRect> ReviewLayout::CropOutline(const NimbalCore::NbRect& crop, double scale,
                                                 const IntRect& destination) {
    if (crop.IsNull() || crop.right < crop.left || crop.bottom < crop.top) return std::nullopt;
    auto onScreen = [scale](int32_t v) { return int(std::floor(double(v) * scale + 0.5)); };
    IntRect r{onScreen(crop.left), onScreen(crop.top), onScreen(crop.right), onScreen(crop.bottom)};
    if (r.IsEmpty()) return std::nullopt;
    r.left += destination.left;
    r.right += destination.left;
    r.top += destination.top;
    r.bottom += destination.top;
    // A crop that reaches the picture's edges (within the pixel the
    // rounding may lose) is the whole picture: no outline.
    const IntRect inner{destination.left + 1, destination.top + 1, destination.right - 1, destination.bottom - 1};
    if (r.right - r.left >= inner.right - inner.left && r.bottom - r.top >= inner.bottom - inner.top)
        return std::nullopt;
    return r;
}

void ReviewLayout::InvertOutline(uint8_t* rgb, int width, int height, int64_t rowBytes, const IntRect& rect) {
    if (!rgb || rect.IsEmpty()) return;
    auto invert = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        uint8_t* p = rgb + int64_t(y) * rowBytes + int64_t(x) * 3;
        p[0] = uint8_t(~p[0]);
        p[1] = uint8_t(~p[1]);
        p[2] = uint8_t(~p[2]);
    };
    const int right = rect.right - 1, bottom = rect.bottom - 1;
    for (int x = std::max(rect.left, 0); x <= std::min(right, width - 1); ++x) {
        invert(x, rect.top);
        if (bottom != rect.top) invert(x, bottom);
    }
    for (int y = std::max(rect.top + 1, 0); y < std::min(bottom, height); ++y) {
        invert(rect.left, y);
        if (right != rect.left) invert(right, y);
    }
}
