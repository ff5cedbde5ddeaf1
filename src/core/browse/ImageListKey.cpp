#include "ImageListKey.h"

#include "Image.h"
#include "ImageRendering.h"

#include <strings.h>

namespace NimbalCore {

ImageListKey::ImageListKey(ImageRendering* rendering)
    : value_(int32_t(rendering->GetImage()->Get()->GetCaptureTime())),
      name_(Lowered(rendering->GetImage()->Get()->GetFileName())) {}

ImageListKey::ImageListKey(int32_t value, const std::string& name) : value_(value), name_(Lowered(name)) {}

bool ImageListKey::Less(const ImageListKey& other) const {
    if (value_ != other.value_) return value_ < other.value_;
    // std::string compares its bytes as unsigned and puts a prefix first.
    return name_.compare(other.name_) < 0;
}

bool ImageListKey::Equals(const ImageListKey& other) const {
    return value_ == other.value_ && strcasecmp(name_.c_str(), other.name_.c_str()) == 0;
}

std::string ImageListKey::Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

} // namespace NimbalCore
