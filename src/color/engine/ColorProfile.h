#pragma once
// One ICC profile held by the colour-management library, known by its
// description: the text of its 'desc' tag with trailing blanks removed and
// every run of blanks made one.
#include "ColorSpaceDesc.h"
#include "ColorTransform.h"
#include "YlmRefPtr.h"

#include "ORVEXCMS.h"

#include <cstdint>
#include <string>

namespace NimbalCore {

class ColorProfile : public ColorSpaceDesc {
public:
    // Takes ownership of a library profile.
    explicit ColorProfile(SpProfile handle);
    // From ICC bytes; 1731 for null data or a profile the library refuses.
    ColorProfile(const void* data, uint32_t size);
    ~ColorProfile() override;
    ColorProfile(const ColorProfile&) = delete;
    ColorProfile& operator=(const ColorProfile&) = delete;

    std::string Name() override;
    // The decimal number at the start of the 'K031' tag; 0 without one.
    int Version();
    // Bytes of the serialised profile; 1731 on failure.
    uint32_t Size();
    // Writes Size() bytes; 1731 on failure.
    int CopyToBuffer(uint32_t size, uint8_t* buffer);
    uint32_t GetDeviceColorSpace();
    uint32_t GetDeviceClass() override;
    std::vector<uint8_t> GetICCData() override;
    // This profile's own transform of the given kind; null when refused.
    YlmRefPtr<ColorTransform> GetTransform(int kind);
    SpProfile GetHandle() const { return handle_; }

private:
    void TakeDescription();

    SpProfile handle_ = 0;
    int version_ = -1;
};

} // namespace NimbalCore
