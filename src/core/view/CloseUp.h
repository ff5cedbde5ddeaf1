#pragma once
// The magnified view of one image, without its windows: the rectangle looked
// at and its centre, a buffer for the magnified pixels and an overview
// picture of the whole image, and the documents and views that follow it.
// There is at most one per image path in the process. It follows its image's
// parameter changes and renames.
//
// The registry serves every thread; everything else runs on the user-
// interface thread, except that a folder scan may add a listening document.
#include "CloseUpEventCB.h"
#include "ImageChangeCB.h"
#include "ImageRendering.h"
#include "ImageViewMapping.h"
#include "NbPoint.h"
#include "NbRect.h"
#include "YlmErrp.h"
#include "YlmMutex.h"

#include <cstdint>
#include <string>
#include <vector>

namespace NimbalCore {

class RenderBuffer;

class CloseUp : public ImageChangeCB {
public:
    // The close-up of the rendering's image path, made when there is none.
    static CloseUp* GetCloseUpFor(ImageRendering* rendering);
    // The same without making one: null when there is none.
    static CloseUp* FindCloseUpFor(ImageRendering* rendering);

    explicit CloseUp(ImageRendering* rendering);
    ~CloseUp() override;
    CloseUp(const CloseUp&) = delete;
    CloseUp& operator=(const CloseUp&) = delete;

    // Documents. Removing the last one raises CloseUpReleased.
    void AddListener(CloseUpEventCB* listener);
    void RemoveListener(CloseUpEventCB* listener);
    // Views. Detaching the last one raises CloseUpClosing and deletes the
    // close-up; while a listener removal runs, only when that removal ends.
    void AttachView(CloseUpEventCB* view);
    void DetachView(CloseUpEventCB* view);

    // Both belong to whoever attaches them.
    void SetRenderBuffer(RenderBuffer* buffer) { renderBuffer_ = buffer; }
    void SetPicture(RenderBuffer* picture) { picture_ = picture; }
    NbPoint GetViewOrigin() const { return NbPoint{viewRect_.left, viewRect_.top}; }
    std::string GetImageName();
    void RefreshViews();

    // Centres the viewed rectangle on p, kept inside the image, and renders
    // it into the buffer when there is one.
    void SetCentre(NbPoint p);
    // A new size for the viewed rectangle, about the centre and inside the
    // image; r receives the size it got. Renders nothing.
    void SetViewRect(NbRect& r);
    // Renders the viewed rectangle into the buffer. A failure is kept (see
    // GetRenderError); the end event is raised either way.
    void Render();
    void PrepareRenderBuffer(RenderBuffer* buffer, NbRect r);
    void PreparePicture(RenderBuffer* picture);
    void RenderPicture();
    void SetProcessParams(const ImageProcessParam& params);

    void ImageFileChanged(const FilePathSpec&) override {}
    void ProcessParamsChanged(const FilePathSpec& path) override { ImageChanged(path); }
    void SoundsChanged(const FilePathSpec&) override {}
    void ImageSaved(const FilePathSpec&) override {}
    void TagChanged(const FilePathSpec&) override {}
    void ImageRenamed(const FilePathSpec& oldPath, const FilePathSpec& newPath) override;
    void ImageChanged(const FilePathSpec& path);

    // The pixel type that colour buffers get (1 RGB).
    void SetPixelType(int32_t type) { pixelType_ = type; }
    NbPoint GetCentre() const { return centre_; }
    NbRect GetViewRect() const { return viewRect_; }
    ImageRendering* GetRendering() { return &rendering_; }
    const ImageViewMapping& GetViewMapping() const { return viewMapping_; }
    int32_t GetLevel() const { return level_; }
    bool IsPictureStale() const { return pictureStale_; }
    const YlmErrp& GetRenderError() const { return renderError_; }
    const YlmErrp& GetPictureError() const { return pictureError_; }

private:
    using Event = void (CloseUpEventCB::*)(CloseUp*);
    // To the listeners (unless viewsOnly) and then the views, each still
    // listed when its turn comes.
    void Raise(Event event, bool viewsOnly = false);
    bool StillListed(const std::vector<CloseUpEventCB*>& list, CloseUpEventCB* entry);
    // The image's extent in the current rotation.
    NbRect Bounds() const;
    Image* GetImage() { return rendering_.GetImage()->Get(); }
    // Sizes a buffer for a rectangle in the rendering's colour mode.
    void ShapeBuffer(RenderBuffer* buffer, const NbRect& rect);

    RenderBuffer* picture_ = nullptr;
    RenderBuffer* renderBuffer_ = nullptr;
    ImageViewMapping viewMapping_;
    NbPoint centre_;
    NbRect viewRect_;
    ImageRendering rendering_;
    int32_t level_ = 1;
    bool pictureStale_ = true;
    int32_t pixelType_ = 1;
    YlmErrp renderError_;
    YlmErrp pictureError_;
    bool busy_ = false;
    bool deletePending_ = false;
    std::vector<CloseUpEventCB*> listeners_;
    std::vector<CloseUpEventCB*> views_;
    // Guards the two lists: a folder scan may add a document meanwhile.
    YlmMutex listsLock_;
};

} // namespace NimbalCore
