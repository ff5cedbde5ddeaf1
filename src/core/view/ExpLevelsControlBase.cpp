#include "ExpLevelsControlBase.h"

#include "CameraSettingsStrings.h"
#include "Image.h"
#include "ImageProcessParam.h"
#include "ImageRendering.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace NimbalCore {

namespace {

// The histogram's bars stand on this line and are at most this high.
constexpr int32_t kBaseline = 133;
constexpr int32_t kMaxBar = 128;
// The tone curve's values reach 4096.
constexpr int32_t kCurveRange = 4096;
// A bin larger than 15 per mille of the pixels is drawn full height.
constexpr uint64_t kClipPerMille = 15;
// The scale: its line, the ends of whole and half ticks, the label boxes
// below whole ticks and the caption's box.
constexpr int32_t kScaleY = 134;
constexpr int32_t kScaleEndX = 261;
constexpr int32_t kWholeTickEndY = 141;
constexpr int32_t kHalfTickEndY = 137;
constexpr int32_t kLabelWidth = 23;
constexpr int32_t kLabelHeight = 13;
constexpr int32_t kCaptionWidth = 45;
constexpr int32_t kCaptionHeight = 13;
constexpr NbPoint kCaptionCentre{133, 161};
// Further out than any real level axis reaches, in half stops; an axis
// beyond it gets no ticks.
constexpr double kMaxHalfStops = 4096;
// A handle catches the mouse over six columns around its line, the full
// histogram high.
constexpr int32_t kHitLeft = 2;
constexpr int32_t kHitRight = 3;
constexpr int32_t kHitBottom = 132;
// The marker box is centred on the handle's foot, then moved to straddle
// the middle of the histogram.
constexpr int32_t kMarkerWidth = 8;
constexpr int32_t kMarkerHeight = 13;
constexpr int32_t kMarkerFootY = 137;
constexpr int32_t kMarkerShiftX = 1;
constexpr int32_t kMarkerShiftY = -78;

// A box of the size, centred on p (half sizes rounded down).
NbRect Box(int32_t width, int32_t height, NbPoint p) {
    NbRect box(0, 0, width - 1, height - 1);
    box.CenterOn(p);
    return box;
}

void Offset(NbRect& r, int32_t dx, int32_t dy) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
}

int32_t CurveY(uint16_t value) { return kBaseline - int32_t(value) * kMaxBar / kCurveRange; }

} // namespace

ControlColor ExpLevelsControlBase::MarkerFillColor(int32_t id) {
    switch (id) {
    case ShadowHandle: return ControlColor{0, 0, 0};
    case MidtoneHandle: return ControlColor{127, 127, 127};
    default: return ControlColor{255, 255, 255};
    }
}

ExpLevelsControlBase::ExpLevelsControlBase() {
    for (int32_t id : {ShadowHandle, MidtoneHandle, HighlightHandle}) {
        ControlHandle handle;
        handle.id = id;
        handle.min = 0;
        handle.max = kColumns - 1;
        handle.position = 0;
        handle.hitRect = NbRect(0, 0, 5, kHitBottom);
        handle.dragAxis = ControlHandle::kDragHorizontal;
        handle.originX = kOriginX;
        handle.originY = kOriginY;
        AddHandle(handle);
    }
}

Histogram& ExpLevelsControlBase::TheHistogram() {
    if (!histogram_) histogram_ = new Histogram;
    return *histogram_;
}

void ExpLevelsControlBase::LayoutHandle(ControlHandle& handle) {
    handle.hitRect = NbRect(handle.position - kHitLeft, 0, handle.position + kHitRight, kHitBottom);
}

int ExpLevelsControlBase::ValueToColumn(float value) { return TheHistogram().ValueToBin(value) & 0xFF; }

void ExpLevelsControlBase::LimitHandles() {
    int32_t p1 = 0, p2 = 0, p3 = 0;
    GetHandlePosition(ShadowHandle, p1);
    GetHandlePosition(MidtoneHandle, p2);
    GetHandlePosition(HighlightHandle, p3);
    const int32_t gap = gapColumns_;
    if (ControlHandle* shadow = FindHandle(ShadowHandle)) shadow->max = p2 - gap;
    if (ControlHandle* midtone = FindHandle(MidtoneHandle)) {
        midtone->min = p1 + gap;
        midtone->max = p3 - gap;
    }
    if (ControlHandle* highlight = FindHandle(HighlightHandle)) {
        highlight->min = p2 + gap;
        highlight->max = ValueToColumn(TheHistogram().GetUpperLevel());
    }
}

bool ExpLevelsControlBase::SetLevels(float shadow, float midtone, float highlight) {
    if (!(shadow < midtone && midtone < highlight)) return false;
    const float levels[3] = {shadow, midtone, highlight};
    const int32_t ids[3] = {ShadowHandle, MidtoneHandle, HighlightHandle};
    for (int i = 0; i < 3; ++i)
        if (ControlHandle* handle = FindHandle(ids[i])) {
            handle->position = ValueToColumn(levels[i]);
            // Laid out here too: a position the limits below refuse stays
            // where it is drawn, and must catch the mouse there.
            LayoutHandle(*handle);
        }
    LimitHandles();
    for (int i = 0; i < 3; ++i) SetHandlePosition(ids[i], ValueToColumn(levels[i]));
    return true;
}

void ExpLevelsControlBase::GetLevels(float& shadow, float& midtone, float& highlight) {
    Histogram& histogram = TheHistogram();
    float* out[3] = {&shadow, &midtone, &highlight};
    const int32_t ids[3] = {ShadowHandle, MidtoneHandle, HighlightHandle};
    for (int i = 0; i < 3; ++i) {
        int32_t column = 0;
        GetHandlePosition(ids[i], column);
        *out[i] = histogram.BinToValue(column);
    }
}

void ExpLevelsControlBase::ApplyLevels(ImageRendering* rendering) {
    if (rendering && histogram_) histogram_->ConstructToneCurve(rendering);
}

void ExpLevelsControlBase::SetImageRendering(ImageRendering* rendering, bool placeHandles) {
    if (!rendering) return;
    Image* image = rendering->GetImage()->Get();
    if (!image) return;
    Histogram& histogram = TheHistogram();
    histogram.ComputeForLevels(rendering);
    const ImageProcessParam params = rendering->GetProcessParam();
    const float shadow = ImageProcessParam::RoundLevel(params.levels[0]);
    const float midtone = ImageProcessParam::RoundLevel(params.levels[1]);
    const float highlight = ImageProcessParam::RoundLevel(params.levels[2]);
    if (placeHandles) {
        SetLevels(shadow, midtone, highlight);
        gapLevels_ = image->GetLevelsMinimumGap();
        // An image without tone limits has an empty level axis: no gap then,
        // rather than a quotient no column count can hold.
        const double columns =
            double(gapLevels_) * kColumns / (double(histogram.GetUpperLevel()) - histogram.GetLowerLevel());
        gapColumns_ = std::isfinite(columns) && columns > 0 ? int32_t(std::ceil(std::min(columns, kColumns - 1.0)))
                                                            : 0;
        LimitHandles();
    }
    ApplyLevels(rendering);
}

void ExpLevelsControlBase::Draw(ControlDrawContext& context) {
    context.EraseRect(GetControlRect());
    Histogram& histogram = TheHistogram();
    DrawBars(context, histogram);
    DrawToneCurve(context, histogram);
    DrawScale(context, histogram);
    DrawHandles(context);
}

void ExpLevelsControlBase::DrawBars(ControlDrawContext& context, Histogram& histogram) {
    const uint64_t scale =
        std::min<uint64_t>(histogram.GetLumaPeak(), uint64_t(histogram.GetPixelCount()) * kClipPerMille / 1000);
    const int32_t shadowIndex = histogram.GetShadowIndex(), highlightIndex = histogram.GetHighlightIndex();
    bool colorSet = false, inside = false;
    for (int32_t i = 0; i < kColumns; ++i) {
        const int32_t height =
            scale == 0 ? kMaxBar : int32_t(std::min<uint64_t>(kMaxBar, histogram.LumaBins()[i] * uint64_t(kMaxBar) / scale));
        if (height == 0) continue;
        const bool between = i >= shadowIndex && i <= highlightIndex;
        if (!colorSet || between != inside) {
            context.SetColor(between ? kInsideBarColor : kOutsideBarColor);
            colorSet = true;
            inside = between;
        }
        context.MoveTo(i + kOriginX, kBaseline - height);
        context.LineTo(i + kOriginX, kBaseline);
    }
}

void ExpLevelsControlBase::DrawToneCurve(ControlDrawContext& context, Histogram& histogram) {
    const uint16_t* curve = histogram.DisplayCurve();
    const int32_t end = std::clamp<int32_t>(histogram.GetCurveEnd(), 0, kColumns - 1);
    context.SetColor(kCurveColor);
    context.MoveTo(kOriginX, CurveY(curve[0]));
    for (int32_t i = 1; i <= end; ++i) context.LineTo(i + kOriginX, CurveY(curve[i]));
    int32_t highlight = 0;
    if (GetHandlePosition(HighlightHandle, highlight) == 0 && highlight > end)
        context.LineTo(highlight + kOriginX, CurveY(curve[end]));
}

void ExpLevelsControlBase::DrawScale(ControlDrawContext& context, Histogram& histogram) {
    context.SetColor(kScaleColor);
    context.MoveTo(kOriginX, kScaleY);
    context.LineTo(kScaleEndX, kScaleY);
    // Whole and half stops, counted in half stops.
    const double first = std::ceil(double(histogram.GetLowerLevel())) * 2;
    const double last = std::floor(double(histogram.GetUpperLevel())) * 2;
    if (std::fabs(first) <= kMaxHalfStops && std::fabs(last) <= kMaxHalfStops) {
        for (int64_t k = int64_t(first); k <= int64_t(last); ++k) {
            const int32_t x = histogram.ValueToBin(float(double(k) / 2)) + kOriginX;
            const bool whole = k % 2 == 0;
            context.MoveTo(x, kScaleY);
            context.LineTo(x, whole ? kWholeTickEndY : kHalfTickEndY);
            if (!whole) continue;
            NbRect label = Box(kLabelWidth, kLabelHeight, NbPoint{x, 0});
            Offset(label, 0, kWholeTickEndY - label.top);
            context.DrawText(std::to_string(k / 2), label, ControlDrawDevice::AlignCentre);
        }
    }
    const std::string caption = CameraSettingsStrings().GetString(CameraSettingsStrings::EV);
    context.DrawText(caption, Box(kCaptionWidth, kCaptionHeight, kCaptionCentre), ControlDrawDevice::AlignCentre);
}

void ExpLevelsControlBase::DrawHandles(ControlDrawContext& context) {
    for (int32_t id : {ShadowHandle, MidtoneHandle, HighlightHandle}) {
        ControlHandle handle;
        if (!GetHandle(id, handle)) continue;
        const int32_t x = handle.position + handle.originX;
        context.SetColor(kHandleLineColor);
        context.MoveTo(x, handle.hitRect.top + handle.originY);
        context.LineTo(x, handle.hitRect.bottom + handle.originY);
        NbRect marker = Box(kMarkerWidth, kMarkerHeight, NbPoint{x, kMarkerFootY});
        Offset(marker, kMarkerShiftX, kMarkerShiftY);
        context.SetColor(kMarkerOutlineColor);
        context.FillRect(marker);
        context.SetColor(MarkerFillColor(id));
        context.FillRect(ControlDrawContext::Shrink(marker, 1, 1));
    }
}

} // namespace NimbalCore
