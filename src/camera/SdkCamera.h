#pragma once
// What the interface frame needs of a camera. The camera classes derive from
// this and add their operations.
namespace lumora::vq {

class SdkCamera {
public:
    virtual ~SdkCamera() = default;

    virtual bool IsOpen() const = 0;
};

} // namespace lumora::vq
