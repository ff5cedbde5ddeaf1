#pragma once
// One view of an image: a counted reference to it and the view's own copy of
// the process parameters, which become the image's only when committed.
#include "ImageProcessParam.h"
#include "ImageRef.h"
#include "NbRect.h"

namespace NimbalCore {

class PixelArray;
class ProgressCB;

class ImageRendering {
public:
    ImageRendering(const ImageRef& image, const ImageProcessParam& params);
    ImageRendering(const ImageRendering& other) = default;
    ImageRendering& operator=(const ImageRendering& other) = default;
    virtual ~ImageRendering() = default;

    virtual ImageRef* GetImage() { return &image_; }
    virtual ImageProcessParam GetProcessParam() const { return params_; }
    virtual ImageProcessParam* GetProcessParamPtr() { return &params_; }
    virtual void SetProcessParam(const ImageProcessParam& params) { params_ = params; }
    virtual void CommitProcessParam();
    virtual void ReloadProcessParam();
    virtual NbRect GetImageBounds();
    virtual NbRect GetThumbnailBounds();
    // The crop in output orientation; 1401 when the image cannot map it.
    virtual NbRect GetCropDimensions();
    // Area 0 renders the crop, any other the whole image.
    virtual void RenderImage(PixelArray* array, int area, ProgressCB* progress, int renderScale);
    virtual void RenderThumbnail(PixelArray* array);

    // A crop in output orientation. A rectangle the image refuses is tried
    // once more on even coordinates; 1401 when that is refused too.
    void SetCrop(NbRect crop);
    // 1 grayscale, 3 colour.
    int GetLookKind() const;

private:
    NbRect Bounds(const NbRect& native) const;
    NbRect MapToNative(const NbRect& crop);

    ImageRef image_;
    ImageProcessParam params_;
};

} // namespace NimbalCore
