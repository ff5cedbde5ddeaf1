#include "ImageViewMapping.h"

#include "NbErrorCodes.h"
#include "YlmErrp.h"

namespace NimbalCore {

void ImageViewMapping::SetRotation(int degrees) {
    if (degrees != 0 && degrees != 90 && degrees != 180 && degrees != 270)
        YLM_THROW("ImageViewMapping::SetRotation", NbErrBadRotation);
    rotation_ = degrees;
}

} // namespace NimbalCore
