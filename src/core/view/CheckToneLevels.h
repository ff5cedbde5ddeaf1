#pragma once
// The words for levels an image refuses.
#include <string>

namespace NimbalCore {

class ImageRendering;

// True when the rendering's image accepts the levels. Otherwise false, with
// the localised reason in message for the level refusals (too close, out of
// order, each level too low or too high); any other refusal leaves message
// as it is.
bool CheckToneLevels(ImageRendering* rendering, float shadow, float midtone, float highlight,
                     std::string& message);

} // namespace NimbalCore
