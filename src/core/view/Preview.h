#pragma once
// One image shown in a preview window, without the window: the image opened
// by path, the one rendering (the image and the window's own parameters)
// that the window edits and renders, the image's sound files, and the
// close-up view pointed at it. The preview document derives from it.
// Previews live on the user-interface thread.
#include "CloseUpEventCB.h"
#include "DocumentModel.h"
#include "FilePathSpec.h"

namespace NimbalCore {

class CloseUp;
class ImageRendering;

class Preview : public DocumentModel, public CloseUpEventCB {
public:
    // The first live preview, in the order they were made, that shows the
    // path; null when none does.
    static Preview* FindByPath(const FilePathSpec& path);

    Preview();
    ~Preview() override;
    Preview(const Preview&) = delete;
    Preview& operator=(const Preview&) = delete;

    bool ContainsImage(const FilePathSpec& path) override;
    // 1900 before the preview was initialised.
    virtual ImageRendering* GetImageRendering();
    // Shows a copy of the rendering (same image, its own parameters).
    virtual void Initialize(const ImageRendering& rendering);
    // Opens the image: the factory's code when it cannot (2000 for a file
    // no kind reads), 1901 when the rendering cannot be made. The first
    // time an image is shown, its folder's sound files are offered to it.
    virtual void Initialize(const FilePathSpec& path);
    // Points an unpinned close-up view at the image; answers whether the
    // image is large enough for a close-up.
    virtual bool ShowCloseUp();

    void CloseUpClosing(CloseUp* closeUp) override;

private:
    // Replaces the rendering; the preview leaves the close-up of an image it
    // no longer shows.
    void ReplaceRendering(ImageRendering* next);
    void LeaveCloseUpOf(ImageRendering* rendering);

    ImageRendering* rendering_ = nullptr;
};

} // namespace NimbalCore
