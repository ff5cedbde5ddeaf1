#include "CheckToneLevels.h"

#include "CameraSettingsStrings.h"
#include "Image.h"
#include "ImageRendering.h"

namespace NimbalCore {

namespace {

// The label that says why, for each refusal of the levels.
int LabelFor(int code) {
    using P = ImageProcessParam;
    using S = CameraSettingsStrings;
    switch (code) {
    case P::LevelsTooClose: return S::ValuesTooClose;
    case P::LevelsOutOfOrder: return S::LevelsOrder;
    case P::ShadowTooLow: return S::ShadowTooLow;
    case P::ShadowTooHigh: return S::ShadowTooHigh;
    case P::MidtoneTooLow: return S::MidtoneTooLow;
    case P::MidtoneTooHigh: return S::MidtoneTooHigh;
    case P::HighlightTooLow: return S::HighlightTooLow;
    case P::HighlightTooHigh: return S::HighlightTooHigh;
    default: return -1;
    }
}

} // namespace

bool CheckToneLevels(ImageRendering* rendering, float shadow, float midtone, float highlight,
                     std::string& message) {
    Image* image = rendering ? rendering->GetImage()->Get() : nullptr;
    if (!image) return false;
    const int code = image->ValidateLevels(shadow, midtone, highlight);
    if (code == ImageProcessParam::Valid) return true;
    const int label = LabelFor(code);
    if (label >= 0) message = CameraSettingsStrings().GetString(label);
    return false;
}

} // namespace NimbalCore
