#pragma once
// The Review dialog's geometry: where its controls go when the window is
// resized, how large the picture is drawn inside its frame, where the crop
// outline lies on the screen, and how that outline is drawn into pixels.
#include "IntRect.h"
#include "NbRect.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

class ReviewLayout {
public:
    // Every control but Better and Faster ends this far inside the window's
    // right edge.
    static constexpr int kRightMargin = 7;

    struct Placed {
        int id = 0;
        IntRect rect;
    };

    // Takes the offsets of the picture frame and the controls from the
    // window rectangle as laid out at opening. Controls listed in
    // keepRightOffset keep their own distance from the right edge.
    void Measure(const IntRect& window, const IntRect& frame, const std::vector<Placed>& controls,
                 const std::vector<int>& keepRightOffset);
    bool IsMeasured() const { return measured_; }

    // The picture frame keeps its four offsets and so grows with the window.
    IntRect FrameRect(const IntRect& window) const;
    // Each control keeps its size and its bottom offset.
    std::vector<Placed> ControlRects(const IntRect& window) const;

    // The smallest window for an image of this rectangle (inclusive): wider
    // than high 500 x 370, otherwise 400 x 500.
    static std::pair<int, int> MinTrackSize(const NimbalCore::NbRect& imageRect);
    // The scale that fits w x h inside the frame, never above 1; 0 when
    // nothing can be drawn.
    static double DisplayScale(int64_t width, int64_t height, const IntRect& frame);
    // The picture's rectangle at that scale, centred on the frame.
    static IntRect Destination(int64_t width, int64_t height, double scale, const IntRect& frame);
    // The crop (inclusive, in output orientation) as drawn over the picture
    // at destination; nothing when the crop is empty or covers the picture.
    static std::optional<IntRect> CropOutline(const NimbalCore::NbRect& crop, double scale,
                                              const IntRect& destination);
    // Inverts the one-pixel outline of rect (right and bottom outside it) in
    // 8-bit RGB pixels; what lies outside the pixels is left alone.
    static void InvertOutline(uint8_t* rgb, int width, int height, int64_t rowBytes, const IntRect& rect);

private:
    struct Anchor {
        int id = 0;
        int width = 0, height = 0;
        int bottomOffset = 0;
        int rightOffset = 0;
        bool keepsRightOffset = false;
    };
    bool measured_ = false;
    int frameLeft_ = 0, frameTop_ = 0, frameRight_ = 0, frameBottom_ = 0;
    std::vector<Anchor> anchors_;
};
