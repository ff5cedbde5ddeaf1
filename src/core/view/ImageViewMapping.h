#pragma once
// The scale and rotation of a close-up view over its image.
#include "NbRect.h"

#include <cstdint>

namespace NimbalCore {

class ImageViewMapping {
public:
    ImageViewMapping() = default;
    virtual ~ImageViewMapping() = default;

    void SetFirstRect(const NbRect& rect) { first_ = rect; }
    void SetSecondRect(const NbRect& rect) { second_ = rect; }
    // 1.0 is 100 %.
    void SetScale(double scale) { scale_ = scale; }
    // 0, 90, 180 or 270; anything else throws 2500 and keeps the rotation.
    void SetRotation(int degrees);

    const NbRect& GetFirstRect() const { return first_; }
    const NbRect& GetSecondRect() const { return second_; }
    double GetScale() const { return scale_; }
    int32_t GetRotation() const { return rotation_; }

private:
    NbRect first_;
    NbRect second_;
    double scale_ = 1.0;
    int32_t rotation_ = 0;
};

} // namespace NimbalCore
