#pragma once
// The Output Histogram bar's data: the histogram of the focused rendering
// as it will be output, computed again when the colour engine's working
// space changes. The bar keeps its own counted reference to the image and
// its own copy of the parameters (the documents' rendering may be gone when
// the engine's notice comes), both let go by Clear. The curves' geometry:
// bins above 1.5 % of the pixels reach the top.
#include "ColorEngineCB.h"
#include "Histogram.h"
#include "ImageRendering.h"
#include "IntRect.h"
#include "YlmRefPtr.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class OutputHistogramPresenter : public NimbalCore::ColorEngineCB {
public:
    // changed: the graph is to be painted again.
    explicit OutputHistogramPresenter(std::function<void()> changed = {});
    ~OutputHistogramPresenter() override;

    // Nothing for a null rendering or parameters. False when the histogram
    // could not be made (the graph is not repainted).
    bool Update(const NimbalCore::ImageRendering* rendering, const NimbalCore::ImageProcessParam* params);
    void Clear();
    void ColorEngineChanged(const std::string& workingSpace) override;

    const NimbalCore::Histogram* GetHistogram() const { return histogram_.Get(); }
    bool HasRendering() const { return rendering_.has_value(); }
    // A grey look: the R, G and B curves are not offered.
    bool IsLuminanceOnly() const { return luminanceOnly_; }
    int GetComputeCount() const { return computes_; }

    // The scale a curve is drawn at: at most 1.5 % of the pixels.
    static uint32_t CurveScale(uint32_t scale, uint32_t totalPixels);
    // One bin's column in the graph: x, and the top of the bar or line (y
    // grows downwards; bottom is the graph's last row).
    struct CurvePoint {
        int x = 0, top = 0;
    };
    static std::vector<CurvePoint> Curve(const uint32_t* counts, uint32_t scale, uint32_t totalPixels,
                                         const IntRect& graph);

private:
    std::function<void()> changed_;
    NimbalCore::YlmRefPtr<NimbalCore::Histogram> histogram_;
    std::optional<NimbalCore::ImageRendering> rendering_;
    bool luminanceOnly_ = false;
    int computes_ = 0;
};
