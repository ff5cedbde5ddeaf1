#pragma once
// The sort key of an image list's second order: capture time, then the
// lower-cased file name.
#include <cstdint>
#include <string>

namespace NimbalCore {

class ImageRendering;

class ImageListKey {
public:
    // Takes the capture time and file name of the rendering's image.
    explicit ImageListKey(ImageRendering* rendering);
    ImageListKey(int32_t value, const std::string& name);
    ImageListKey(const ImageListKey& other) = default;
    ImageListKey& operator=(const ImageListKey& other) = default;
    virtual ~ImageListKey() = default;

    virtual int32_t GetValue() const { return value_; }
    virtual std::string GetName() const { return name_; }
    // By value; at equal values by the names' bytes, unsigned, a prefix first.
    virtual bool Less(const ImageListKey& other) const;
    // Equal values and names that differ at most in letter case.
    virtual bool Equals(const ImageListKey& other) const;

    // Upper-case letters to lower case, every other byte unchanged.
    static std::string Lowered(std::string text);

private:
    int32_t value_;
    std::string name_;
};

} // namespace NimbalCore
