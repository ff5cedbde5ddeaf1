#pragma once
// What a renderer needs of the image that owns it: the file's bytes, and a way to
// tell the image which output type is about to be rendered. The image classes
// implement it; the renderer reaches its image through RP_IMAGE.
#include <cstdint>

#include "VqRect.h"
#include "VqStatus.h"

namespace lumora {

class RendererImage {
public:
    virtual ~RendererImage() = default;

    // Reads byteCount bytes of the image file at fileOffset into destination.
    virtual VqStatus ReadFileBytes(void* destination, uint64_t fileOffset, uint32_t byteCount,
                                   uint32_t flags) = 0;

    // Updates the image's colour space for the type; either out may be null.
    virtual VqStatus OnImageTypeChanged(uint32_t type, uint32_t* colourSpace, int32_t* channels) = 0;

    // Takes a rectangle in image coordinates to the sensor data's own: the
    // active area's origin removed and the rotation undone. Images that cannot
    // answer leave the rectangle alone.
    virtual VqStatus ToSensorDataRect(SdkRect* rect) {
        (void)rect;
        return VQ_ERR_NOT_SUPPORTED;
    }
};

} // namespace lumora
