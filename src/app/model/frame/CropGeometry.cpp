#include "CropGeometry.h"

#include "CLocaleText.h"
#include "KeyState.h"
#include "LocalizedText.h"
#include "ProfileItem.h"
#include "ProfileItemManager.h"
#include "TextSubstitution.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

struct Aspect {
    float height, width;
};

// Modes 0..7 in the order of their commands; Freeform answers 1 : 1.
constexpr Aspect kFixedAspects[] = {{1, 1}, {1, 1}, {2, 3}, {3, 2}, {4, 5}, {5, 4}, {5, 7}, {7, 5}};

int SignOf(double v) { return v < 0 ? -1 : 1; }

// The ratio arithmetic of a constrained drag: the driven extent from the
// driving one, rounded to the nearest pixel, in the driven one's direction.
int Scaled(int driven, double driving, double to, double from) {
    return SignOf(driven) * int(std::trunc((std::abs(driving) * to + from * 0.5) / from));
}

void Normalize(IntRect& r) {
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
}

} // namespace

int CropGeometry::EffectiveCropMode(int storedMode, bool shiftDown, bool ctrlDown) {
    if (shiftDown) return storedMode == kFreeform ? kKeepCurrent : storedMode;
    if (ctrlDown) return storedMode == kFreeform ? kCustom : kFreeform;
    return storedMode;
}

int CropGeometry::GetEffectiveCropMode() const {
    KeyState& keys = KeyState::Current();
    return EffectiveCropMode(mode_, keys.IsDown(KeyState::kShift), keys.IsDown(KeyState::kControl));
}

void CropGeometry::SetCropMode(int mode) { mode_ = mode >= kFreeform && mode <= kCustom ? mode : kFreeform; }

void CropGeometry::GetCropAspect(float& heightPart, float& widthPart) const {
    GetCropAspectOf(GetEffectiveCropMode(), heightPart, widthPart);
}

void CropGeometry::GetCropAspectOf(int effectiveMode, float& heightPart, float& widthPart) const {
    if (effectiveMode >= kFreeform && effectiveMode <= k7x5Portrait) {
        heightPart = kFixedAspects[effectiveMode].height;
        widthPart = kFixedAspects[effectiveMode].width;
    } else if (effectiveMode == kCustom) {
        heightPart = customHeight_;
        widthPart = customWidth_;
    } else if (effectiveMode == kKeepCurrent) {
        if (editHeight_ > editWidth_ && editWidth_ > 0) {
            heightPart = editHeight_ / editWidth_;
            widthPart = 1;
        } else if (editHeight_ > 0) {
            heightPart = 1;
            widthPart = editWidth_ / editHeight_;
        }
    }
}

void CropGeometry::SetCurrentCropAspect(float height, float width) {
    if (height > 0 && width > 0) {
        editHeight_ = height;
        editWidth_ = width;
    }
}

void CropGeometry::SetCustomRatio(float heightPart, float widthPart) {
    customHeight_ = heightPart;
    customWidth_ = widthPart;
}

void CropGeometry::ComputeCropRect(const IntRect& bounds, IntPoint anchor, IntPoint grab, int& handle, IntRect& crop,
                                   IntPoint& mouse) const {
    ComputeCropRectForMode(GetEffectiveCropMode(), bounds, anchor, grab, handle, crop, mouse);
}

void CropGeometry::ComputeCropRectForMode(int mode, const IntRect& bounds, IntPoint anchor, IntPoint grab,
                                          int& handle, IntRect& crop, IntPoint& mouse) const {
    float h = 1, w = 1;
    GetCropAspectOf(mode, h, w);
    // Keeping an aspect that was never measured, or a custom ratio with a
    // zero part, has nothing to divide by: such a drag is free.
    if (!(h > 0 && w > 0)) mode = kFreeform;
    if (mode == kKeepCurrent && !(editHeight_ > 0 && editWidth_ > 0)) mode = kFreeform;
    if (mode == kFreeform) h = w = 1;

    const IntPoint original = mouse;
    bool widthDrives = w > h;
    const bool edge = handle >= kLeftEdge && handle <= kBottomEdge;

    if (mode != kFreeform && edge) {
        switch (handle) {
        case kLeftEdge:
        case kRightEdge:
            anchor.x = handle == kLeftEdge ? crop.right : crop.left;
            anchor.y = mouse.y < crop.top ? crop.bottom : crop.top;
            widthDrives = true;
            break;
        case kTopEdge:
            anchor = mouse.x < crop.left ? IntPoint{crop.right, crop.bottom} : IntPoint{crop.left, crop.bottom};
            widthDrives = false;
            break;
        default:
            anchor.x = mouse.x < crop.left ? crop.right : crop.left;
            anchor.y = crop.top;
            widthDrives = false;
            break;
        }
    }

    IntPoint point{std::clamp(mouse.x, bounds.left, std::max(bounds.left, bounds.right)),
                   std::clamp(mouse.y, bounds.top, std::max(bounds.top, bounds.bottom))};
    int dx = point.x - anchor.x;
    int dy = point.y - anchor.y;

    if (mode >= kSquare && mode <= kKeepCurrent) {
        if (widthDrives) {
            dy = Scaled(dy, dx, h, w);
            // Past the image the height stops at its edge and the width
            // follows; the rectangle is clipped to the image later.
            if (anchor.y + dy > bounds.bottom) dx = Scaled(dx, bounds.bottom - anchor.y, w, h);
            else if (anchor.y + dy < bounds.top) dx = Scaled(dx, anchor.y - bounds.top, w, h);
        } else {
            dx = Scaled(dx, dy, w, h);
            if (anchor.x + dx > bounds.right) dy = Scaled(dy, bounds.right - anchor.x, h, w);
            else if (anchor.x + dx < bounds.left) dy = Scaled(dy, anchor.x - bounds.left, h, w);
        }
    }

    point = {anchor.x + dx, anchor.y + dy};
    mouse = point;

    switch (handle) {
    case kLeftEdge:
    case kRightEdge:
        if (handle == kLeftEdge) {
            if (point.x > crop.right) handle = kRightEdge;
            crop.left = point.x;
        } else {
            if (point.x < crop.left) handle = kLeftEdge;
            crop.right = point.x;
        }
        if (mode != kFreeform) {
            crop.top = crop.top + (crop.bottom - crop.top) / 2 - dy / 2;
            crop.bottom = crop.top + dy;
        }
        Normalize(crop);
        break;
    case kTopEdge:
    case kBottomEdge:
        if (handle == kTopEdge) {
            if (point.y > crop.bottom) handle = kBottomEdge;
            crop.top = point.y;
        } else {
            if (point.y < crop.top) handle = kTopEdge;
            crop.bottom = point.y;
        }
        if (mode != kFreeform) {
            crop.left = crop.left + (crop.right - crop.left) / 2 - dx / 2;
            crop.right = crop.left + dx;
        }
        Normalize(crop);
        break;
    case kMove: {
        const int width = crop.right - crop.left, height = crop.bottom - crop.top;
        crop.left = original.x - grab.x;
        crop.top = original.y - grab.y;
        crop.right = crop.left + width;
        crop.bottom = crop.top + height;
        break;
    }
    default: {
        IntRect r{anchor.x, anchor.y, point.x, point.y};
        Normalize(r);
        IntRect clipped{std::max(r.left, bounds.left), std::max(r.top, bounds.top), std::min(r.right, bounds.right),
                        std::min(r.bottom, bounds.bottom)};
        if (clipped.left > clipped.right || clipped.top > clipped.bottom) clipped = IntRect{};
        crop = clipped;
        break;
    }
    }
}

std::string CropGeometry::FormatRatioPart(float part) {
    return ToUserNumberFormat(FormatCLocale("%1.5f", double(part)), 2);
}

std::string CropGeometry::GetCustomCropLabel(int stringId) const {
    // Width first, as the crop-ratio dialog asks for them.
    return TranslatedText(stringId, {FormatRatioPart(customWidth_), FormatRatioPart(customHeight_)});
}

int CropGeometry::RatioToStored(float part) {
    const double scaled = double(part) * kStoredRatioScale + 0.5;
    // A ratio no setting can hold is kept as the nearest one that can.
    if (std::isnan(scaled)) return 0;
    if (!(scaled > -2147483648.0)) return INT32_MIN;
    if (!(scaled < 2147483647.0)) return INT32_MAX;
    return int(scaled);
}

float CropGeometry::RatioFromStored(int stored) { return float(stored * 0.0001); }

void CropGeometry::LoadSettings() {
    ProfileItemManager items;
    int mode = kFreeform, height = 0, width = 0;
    items.GetInt(PI_CROP_MODE, mode);
    items.GetInt(PI_CROP_HEIGHT_X10000, height);
    items.GetInt(PI_CROP_WIDTH_X10000, width);
    SetCropMode(mode);
    customHeight_ = RatioFromStored(height);
    customWidth_ = RatioFromStored(width);
}

void CropGeometry::SaveSettings() const {
    ProfileItemManager items;
    items.SetInt(PI_CROP_MODE, mode_);
    items.SetInt(PI_CROP_HEIGHT_X10000, RatioToStored(customHeight_));
    items.SetInt(PI_CROP_WIDTH_X10000, RatioToStored(customWidth_));
}
