#pragma once
// What the interface frame needs of an open image. The image classes derive
// from this and add their operations.
#include <cstdint>

struct ImageInfoRecord;
struct ImageGeometry;

namespace lumora::vq {

class SdkImage {
public:
    virtual ~SdkImage() = default;

    // False while the image has no camera attached.
    virtual bool IsValid() const = 0;
    // Copies the image's info block over the caller's whole record.
    virtual void GetInfo(ImageInfoRecord* record) const = 0;
    // Fills the geometry from output type, rotation, subsample, pad bytes and
    // output window; answers a status.
    virtual uint32_t GetGeometry(ImageGeometry* geometry) = 0;
};

} // namespace lumora::vq
