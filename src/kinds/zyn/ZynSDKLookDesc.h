#pragma once
// A look the camera interface applies itself, known by the name of its
// profile and the look number the interface uses for it.
#include "ColorSpaceDesc.h"

#include <cstdint>
#include <string>

namespace NimbalCore {

class ZynSDKLookDesc : public ColorSpaceDesc {
public:
    ZynSDKLookDesc(const std::string& name, int32_t lookNumber) : lookNumber_(lookNumber) { description_ = name; }
    ~ZynSDKLookDesc() override = default;

    std::string Name() override { return description_; }
    int32_t GetLookNumber() const { return lookNumber_; }

private:
    int32_t lookNumber_;
};

} // namespace NimbalCore
