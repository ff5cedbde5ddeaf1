#include "ImageRendering.h"

#include "Image.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

namespace NimbalCore {

ImageRendering::ImageRendering(const ImageRef& image, const ImageProcessParam& params)
    : image_(image), params_(params) {}

void ImageRendering::CommitProcessParam() {
    if (image_) image_->SetProcessParams(params_);
}

void ImageRendering::ReloadProcessParam() {
    if (!image_) return;
    try {
        image_->GetProcessParamsFromSDK();
    } catch (const YlmErrp& e) {
        if (e.GetCode() != NbErrNotSupported) throw;
    } catch (int code) {
        if (code != NbErrNotSupported) throw;
    }
    params_ = *image_->GetProcessParams();
}

NbRect ImageRendering::Bounds(const NbRect& native) const {
    const int32_t w = int32_t(native.Width()), h = int32_t(native.Height());
    if (params_.rotation != 0.0f && params_.rotation != 180.0f) return NbRect(0, 0, h - 1, w - 1);
    return NbRect(0, 0, w - 1, h - 1);
}

NbRect ImageRendering::GetImageBounds() { return image_ ? Bounds(image_->GetNativeImageRect()) : NbRect(); }

NbRect ImageRendering::GetThumbnailBounds() {
    return image_ ? Bounds(image_->GetNativeThumbnailRect()) : NbRect();
}

NbRect ImageRendering::GetCropDimensions() {
    if (!image_) return NbRect();
    if (params_.rotation == 0.0f) return params_.crop;
    NbRect out;
    if (image_->MapRectBetweenRotations(params_.crop, params_.rotation, &out, 0.0f) != 0)
        YLM_THROW("ImageRendering::GetCropDimensions", NbErrInvalidValue);
    return out;
}

NbRect ImageRendering::MapToNative(const NbRect& crop) {
    const float r = params_.rotation;
    if (r == 0.0f) return crop;
    NbRect out;
    if (image_->MapRectBetweenRotations(crop, 360.0f - r, &out, r) != 0)
        YLM_THROW("ImageRendering::SetCrop", NbErrInvalidValue);
    return out;
}

void ImageRendering::SetCrop(NbRect crop) {
    if (!image_) {
        params_.crop = crop;
        return;
    }
    try {
        params_.crop = MapToNative(crop);
        image_->ValidateProcessParams(params_);
        return;
    } catch (...) {
        // Tried once more on even coordinates below.
    }
    NbRect even = crop;
    if (even.left & 1) even.left -= 1;
    if (even.top & 1) even.top -= 1;
    if ((int64_t(crop.right) - even.left + 1) & 1) even.right = crop.right + 1;
    if ((int64_t(crop.bottom) - even.top + 1) & 1) even.bottom = crop.bottom + 1;
    params_.crop = MapToNative(even);
}

void ImageRendering::RenderImage(PixelArray* array, int area, ProgressCB* progress, int renderScale) {
    if (!array || !image_) return;
    image_->RenderImage(params_, *array, area == 0, progress, renderScale);
}

void ImageRendering::RenderThumbnail(PixelArray* array) {
    if (!array || !image_) return;
    image_->RenderThumbnail(params_, *array);
}

int ImageRendering::GetLookKind() const {
    return (params_.colorMode == 2 || ImageProcessParam::IsGrayscaleLook(params_.lookName)) ? 1 : 3;
}

} // namespace NimbalCore
