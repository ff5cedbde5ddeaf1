#pragma once
// The counted pointer to an image. It releases through Image::Release, which
// lets the image pool drop its own reference when the last outside holder
// lets go.
namespace NimbalCore {

class Image;

class ImageRef {
public:
    ImageRef() = default;
    ImageRef(Image* image);
    ImageRef(const ImageRef& other) : ImageRef(other.image_) {}
    ~ImageRef() { Reset(); }

    ImageRef& operator=(const ImageRef& other) { return *this = other.image_; }
    ImageRef& operator=(Image* image);
    void Reset();

    Image* Get() const { return image_; }
    Image* operator->() const { return image_; }
    Image& operator*() const { return *image_; }
    explicit operator bool() const { return image_ != nullptr; }

private:
    Image* image_ = nullptr;
};

} // namespace NimbalCore
