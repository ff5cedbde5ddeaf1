#pragma once
// How a preview gives its one image a new parameter set: an equal set does
// nothing, a refused set is reported at once ("Invalid image processing
// parameters"), and so is a failure ("Unable to render image.").
namespace NimbalCore {
class ImageProcessParam;
class ImageRendering;
} // namespace NimbalCore

class PreviewParamsApply {
public:
    // True when the image has the set afterwards; changed tells whether it
    // had to change.
    static bool Apply(const NimbalCore::ImageProcessParam& params, NimbalCore::ImageRendering* rendering,
                      bool* changed = nullptr);
};
