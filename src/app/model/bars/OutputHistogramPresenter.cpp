#include "OutputHistogramPresenter.h"

#include "YlmErrp.h"

#include <algorithm>
#include <utility>

OutputHistogramPresenter::OutputHistogramPresenter(std::function<void()> changed) : changed_(std::move(changed)) {}

OutputHistogramPresenter::~OutputHistogramPresenter() = default;

bool OutputHistogramPresenter::Update(const NimbalCore::ImageRendering* rendering,
                                      const NimbalCore::ImageProcessParam* params) {
    if (!rendering || !params) return false;
    // The bar's own copy: a counted reference to the image and the
    // parameters as given.
    NimbalCore::ImageRendering copy(*rendering);
    copy.SetProcessParam(*params);
    rendering_.emplace(copy);
    histogram_ = nullptr;
    try {
        NimbalCore::YlmRefPtr<NimbalCore::Histogram> histogram(new NimbalCore::Histogram);
        histogram_ = histogram;
        ++computes_;
        histogram->Compute(&*rendering_);
    } catch (...) {
        // The graph stays as it was painted.
        return false;
    }
    luminanceOnly_ = params->colorMode == 2;
    return true;
}

void OutputHistogramPresenter::Clear() {
    histogram_ = nullptr;
    rendering_.reset();
    luminanceOnly_ = false;
}

void OutputHistogramPresenter::ColorEngineChanged(const std::string&) {
    if (!rendering_) return;
    const NimbalCore::ImageRendering again = *rendering_;
    const NimbalCore::ImageProcessParam params = again.GetProcessParam();
    if (Update(&again, &params) && changed_) changed_();
}

uint32_t OutputHistogramPresenter::CurveScale(uint32_t scale, uint32_t totalPixels) {
    return uint32_t(std::min<uint64_t>(scale, uint64_t(totalPixels) * 15 / 1000));
}

std::vector<OutputHistogramPresenter::CurvePoint> OutputHistogramPresenter::Curve(const uint32_t* counts,
                                                                                  uint32_t scale,
                                                                                  uint32_t totalPixels,
                                                                                  const IntRect& graph) {
    std::vector<CurvePoint> points;
    const int width = graph.right - graph.left, height = graph.bottom - graph.top;
    if (!counts || width <= 0 || height <= 0) return points;
    const uint64_t n = CurveScale(scale, totalPixels);
    points.reserve(NimbalCore::Histogram::kBins);
    for (int h = 0; h < NimbalCore::Histogram::kBins; ++h) {
        const int x = graph.left + h * width / 255;
        const int64_t m = n == 0 ? height : std::min<int64_t>(height, int64_t(uint64_t(height) * counts[h] / n));
        points.push_back({x, graph.bottom - int(m)});
    }
    return points;
}
