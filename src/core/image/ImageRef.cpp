#include "ImageRef.h"

#include "Image.h"

namespace NimbalCore {

ImageRef::ImageRef(Image* image) : image_(image) {
    if (image_) image_->AddReference();
}

ImageRef& ImageRef::operator=(Image* image) {
    if (image == image_) return *this;
    Image* old = image_;
    image_ = image;
    if (image_) image_->AddReference();
    if (old && old->Release()) delete old;
    return *this;
}

void ImageRef::Reset() {
    Image* old = image_;
    image_ = nullptr;
    if (old && old->Release()) delete old;
}

} // namespace NimbalCore
