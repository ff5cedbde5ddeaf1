// The print resolution of a camera JPEG file lives in four places: the TIFF
// tags inside APP1, the JFIF density of APP0, the camera's APP8 segment and the
// ResolutionInfo resource of the Photoshop block. Saving keeps them in step.
#include "JpegFileImage.h"

#include <cstring>
#include <new>
#include <vector>

#include "SdkCamera.h"
#include "SdkPhotoshopBlock.h"

namespace lumora::vq {

namespace {

// The APP8 layouts the cameras write, told apart by the byte at offset 6.
constexpr uint32_t kApp8KindByte = 6;
constexpr uint32_t kApp8IntelUnit = 29, kApp8IntelX = 30, kApp8IntelY = 32;
constexpr uint32_t kApp8OtherUnit = 13, kApp8OtherX = 24, kApp8OtherY = 28;
// JFIF APP0: units, X density, Y density end five bytes before the segment's
// end (the thumbnail sizes follow).
constexpr uint32_t kJfifDensityFromEnd = 5;

void PutBig16(uint8_t* at, uint32_t value) {
    at[0] = uint8_t(value >> 8);
    at[1] = uint8_t(value);
}

} // namespace

VqStatus JpegFileImage::WriteAtFileOffset(uint64_t at, const void* bytes, uint32_t length) {
    if (VqStatus status = CheckInsideFile(at, length)) return status;
    return camera_->WriteImageBytes(imageIndex_, length, bytes, int32_t(at), 0);
}

VqStatus JpegFileImage::SaveResolution() {
    if (jpeg_.app13Position != 0) return UpdateJpegResolution(true);
    // The block written carries the resolution in its ResolutionInfo.
    return SaveIptc(iptcLength_);
}

VqStatus JpegFileImage::UpdateJpegResolution(bool withResource) {
    const VqStatus status = SdkImageBase::SaveResolution();
    if (status != 0 || (uint32_t(resolution_.unit) == jpeg_.app0Units &&
                        uint32_t(resolution_.value) == jpeg_.app0Density))
        return status;
    if (VqStatus s = WriteJfifDensity()) return s;
    if (VqStatus s = WriteApp8Resolution()) return s;
    if (withResource)
        if (VqStatus s = WriteResolutionResource()) return s;
    jpeg_.app0Units = uint8_t(resolution_.unit);
    jpeg_.app0Density = uint16_t(resolution_.value);
    return 0;
}

VqStatus JpegFileImage::WriteJfifDensity() {
    if (jpeg_.app0Position == 0) return 0;
    // A segment too short to hold the density fields is not written into.
    if (jpeg_.app0Length < 4 + kJfifDensityFromEnd) return VQ_ERR_BAD_FILE;
    uint8_t density[5];
    density[0] = uint8_t(resolution_.unit);
    PutBig16(density + 1, uint32_t(resolution_.value));
    PutBig16(density + 3, uint32_t(resolution_.value));
    return WriteAtFileOffset(uint64_t(jpeg_.app0Position) + jpeg_.app0Length - kJfifDensityFromEnd, density,
                             sizeof density);
}

VqStatus JpegFileImage::WriteApp8Resolution() {
    if (jpeg_.app8Position == 0) return 0;
    if (!camera_) return VQ_ERR_BAD_HANDLE;
    const uint32_t length = jpeg_.app8Length + 2;
    std::vector<uint8_t> segment;
    try {
        segment.assign(length, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_PROCESS_NO_MEMORY;
    }
    if (jpeg_.app8Position > uint32_t(INT32_MAX)) return VQ_ERR_BAD_FILE;
    if (VqStatus status = camera_->ReadImageBytes(imageIndex_, length, segment.data(), 0,
                                                  int32_t(jpeg_.app8Position), 0))
        return status;
    const bool intel = length > kApp8KindByte && segment[kApp8KindByte] == 'I';
    const uint32_t unitAt = intel ? kApp8IntelUnit : kApp8OtherUnit;
    const uint32_t xAt = intel ? kApp8IntelX : kApp8OtherX;
    const uint32_t yAt = intel ? kApp8IntelY : kApp8OtherY;
    // The fields must lie inside the segment; a shorter one is refused unchanged.
    if (uint64_t(yAt) + 2 > length || uint64_t(unitAt) + 1 > length) return VQ_ERR_BAD_FILE;
    segment[unitAt] = uint8_t(resolution_.unit);
    PutBig16(segment.data() + xAt, uint32_t(resolution_.value));
    PutBig16(segment.data() + yAt, uint32_t(resolution_.value));
    return WriteAtFileOffset(jpeg_.app8Position, segment.data(), length);
}

VqStatus JpegFileImage::WriteResolutionResource() {
    if (jpeg_.iptcResource == 0) return 0;
    uint8_t resource[kSdkResolutionResourceBytes];
    if (VqStatus status = SdkBuildResolutionResource(uint32_t(resolution_.value), resolution_.unit, resource))
        return status;
    return WriteAtFileOffset(jpeg_.iptcResource, resource, sizeof resource);
}

} // namespace lumora::vq
