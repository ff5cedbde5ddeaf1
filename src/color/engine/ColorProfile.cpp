#include "ColorProfile.h"

#include "CmsTransform.h"
#include "ColorEngine.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace NimbalCore {

namespace {

constexpr uint32_t Signature(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
           uint32_t(uint8_t(s[3]));
}
constexpr uint32_t kDescTag = Signature("desc");
constexpr uint32_t kVersionTag = Signature("K031");

bool TagPresent(SpProfile handle, uint32_t tag) {
    int32_t exists = 0;
    return SpTagExists(handle, tag, &exists) == SpStatSuccess && exists != 0;
}

// The tag's text; 1731 naming the operation when it cannot be read or freed.
std::string TagText(SpProfile handle, uint32_t tag, const char* operation) {
    SpTagValue value{};
    if (SpTagGetById(handle, tag, &value) != SpStatSuccess) YLM_THROW(operation, NbErrColorProfileFailed);
    std::string text = value.text ? std::string(value.text, value.textLength) : std::string();
    if (SpTagFree(&value) != SpStatSuccess) YLM_THROW(operation, NbErrColorProfileFailed);
    return text;
}

} // namespace

ColorProfile::ColorProfile(SpProfile handle) : handle_(handle) { TakeDescription(); }

ColorProfile::ColorProfile(const void* data, uint32_t size) {
    if (!data || SpProfileLoadFromBuffer(ColorEngine::LibraryInstance(), data, size, &handle_) != SpStatSuccess) {
        handle_ = 0;
        YLM_THROW("ColorProfile::ColorProfile(const void*)", NbErrColorProfileFailed);
    }
    TakeDescription();
}

void ColorProfile::TakeDescription() {
    try {
        description_ = Name();
    } catch (...) {
        // No destructor runs for a profile that fails to construct.
        SpProfileFree(&handle_);
        throw;
    }
}

ColorProfile::~ColorProfile() {
    if (handle_) SpProfileFree(&handle_);
}

std::string ColorProfile::Name() {
    if (!handle_ || !description_.empty()) return description_;
    if (!TagPresent(handle_, kDescTag)) return "No description tag";
    std::string text = TagText(handle_, kDescTag, "ColorProfile::Name");
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    for (size_t at = text.find("  "); at != std::string::npos; at = text.find("  ", at)) text.erase(at, 1);
    return text;
}

int ColorProfile::Version() {
    if (version_ != -1) return version_;
    version_ = 0;
    if (!handle_ || !TagPresent(handle_, kVersionTag)) return 0;
    const std::string text = TagText(handle_, kVersionTag, "ColorProfile::Version");
    if (!text.empty()) {
        const long v = std::strtol(text.c_str(), nullptr, 10);
        version_ = v > 2147483647L ? 2147483647 : v < -2147483647L ? -2147483647 : int(v);
    }
    return version_;
}

uint32_t ColorProfile::Size() {
    uint32_t size = 0;
    if (SpProfileGetProfileSize(handle_, &size) != SpStatSuccess) YLM_THROW("ColorProfile::Size", NbErrColorProfileFailed);
    return size;
}

int ColorProfile::CopyToBuffer(uint32_t size, uint8_t* buffer) {
    uint8_t* at = buffer;
    uint32_t room = size;
    if (!buffer || SpProfileSaveToBuffer(handle_, &at, &room) != SpStatSuccess)
        YLM_THROW("ColorProfile::CopyToBuffer", NbErrColorProfileFailed);
    return 0;
}

std::vector<uint8_t> ColorProfile::GetICCData() {
    std::vector<uint8_t> bytes(Size());
    CopyToBuffer(uint32_t(bytes.size()), bytes.data());
    return bytes;
}

uint32_t ColorProfile::GetDeviceColorSpace() {
    SpHeader header{};
    if (SpProfileGetHeader(handle_, &header) != SpStatSuccess)
        YLM_THROW("ColorProfile::GetDeviceColorSpace", NbErrColorProfileFailed);
    return header.dataColorSpace;
}

uint32_t ColorProfile::GetDeviceClass() {
    SpHeader header{};
    if (SpProfileGetHeader(handle_, &header) != SpStatSuccess)
        YLM_THROW("ColorProfile::GetDeviceClass", NbErrColorProfileFailed);
    return header.deviceClass;
}

YlmRefPtr<ColorTransform> ColorProfile::GetTransform(int kind) {
    SpXform xform = 0;
    if (SpXformGet(handle_, 1, kind, &xform) != SpStatSuccess || !xform) return YlmRefPtr<ColorTransform>();
    return YlmRefPtr<ColorTransform>(new CmsTransform(YlmRefPtr<ColorSpaceDesc>(this), kind, xform, false));
}

} // namespace NimbalCore
