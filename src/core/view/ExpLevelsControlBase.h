#pragma once
// The exposure-and-levels control without its window: a 256-column
// histogram of a rendering with its current tone curve, an exposure scale in
// EV below it, and three level handles (shadow, midtone, highlight) that the
// user drags. The histogram window and the exposure and tone dialog derive
// from it; they forward the mouse and turn handle moves into levels.
// Geometry is in logical pixels of a 96-dots-per-inch screen.
#include "ControlBase.h"
#include "Histogram.h"
#include "YlmRefPtr.h"

#include <cstdint>

namespace NimbalCore {

class ImageRendering;

class ExpLevelsControlBase : public ControlBase {
public:
    enum HandleId : int32_t { ShadowHandle = 1, MidtoneHandle = 2, HighlightHandle = 3 };

    // Where column 0 of the histogram and the top of the handles lie.
    static constexpr int32_t kOriginX = 5;
    static constexpr int32_t kOriginY = 5;
    static constexpr int kColumns = 256;

    static constexpr ControlColor kHandleLineColor{255, 0, 0};
    static constexpr ControlColor kMarkerOutlineColor{0, 0, 0};
    static constexpr ControlColor kOutsideBarColor{128, 64, 64};
    static constexpr ControlColor kInsideBarColor{128, 128, 128};
    static constexpr ControlColor kCurveColor{0, 0, 0};
    static constexpr ControlColor kScaleColor{0, 0, 0};
    // The marker fill of a handle: black, grey and white.
    static ControlColor MarkerFillColor(int32_t id);

    // The three handles at column 0, without a histogram.
    ExpLevelsControlBase();

    // Computes the rendering's histogram and tone curve; with placeHandles,
    // the handles go to the rendering's levels, kept at least the image's
    // minimum gap apart. Nothing for a null rendering.
    void SetImageRendering(ImageRendering* rendering, bool placeHandles);
    // False, and the handles stay, unless shadow < midtone < highlight.
    bool SetLevels(float shadow, float midtone, float highlight);
    // The level of each handle's column.
    void GetLevels(float& shadow, float& midtone, float& highlight);
    // Keeps the handles in order with the minimum gap between neighbours,
    // and the highlight within the level axis.
    void LimitHandles();
    // Rebuilds the tone curve for the rendering's levels.
    void ApplyLevels(ImageRendering* rendering);
    // The histogram column of a level.
    int ValueToColumn(float value);

    void Draw(ControlDrawContext& context) override;
    void LayoutHandle(ControlHandle& handle) override;

    // Null before the histogram was first needed.
    Histogram* GetHistogram() const { return histogram_.Get(); }
    int32_t GetMinimumGapColumns() const { return gapColumns_; }
    float GetMinimumGapLevels() const { return gapLevels_; }

private:
    Histogram& TheHistogram();
    void DrawBars(ControlDrawContext& context, Histogram& histogram);
    void DrawToneCurve(ControlDrawContext& context, Histogram& histogram);
    void DrawScale(ControlDrawContext& context, Histogram& histogram);
    void DrawHandles(ControlDrawContext& context);

    YlmRefPtr<Histogram> histogram_;
    int32_t gapColumns_ = 0;
    float gapLevels_ = 0.0f;
};

} // namespace NimbalCore
