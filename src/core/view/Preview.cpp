#include "Preview.h"

#include "CloseUp.h"
#include "CloseUpViewBase.h"
#include "Folder.h"
#include "Image.h"
#include "ImageRendering.h"
#include "ImageWerks.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <algorithm>
#include <new>
#include <strings.h>
#include <vector>

namespace NimbalCore {

namespace {

// The live previews in the order they were made. Never destroyed: a preview
// may outlive the statics.
std::vector<Preview*>& Previews() {
    static auto* previews = new std::vector<Preview*>;
    return *previews;
}

// The rendering, or 1901 when it cannot be made.
ImageRendering* NewRendering(const ImageRendering& source) {
    ImageRendering* rendering = new (std::nothrow) ImageRendering(source);
    if (!rendering) YLM_THROW("Preview::Initialize", NbErrRenderingNotCreated);
    return rendering;
}

} // namespace

Preview* Preview::FindByPath(const FilePathSpec& path) {
    for (Preview* preview : Previews())
        if (preview->ContainsImage(path)) return preview;
    return nullptr;
}

Preview::Preview() { Previews().push_back(this); }

Preview::~Preview() {
    if (rendering_) {
        try {
            if (Image* image = rendering_->GetImage()->Get()) image->FreeCachedData();
        } catch (...) {
            // Only a cache: the preview goes all the same.
        }
        LeaveCloseUpOf(rendering_);
        // May drop the image from the pool.
        delete rendering_;
        rendering_ = nullptr;
    }
    auto& previews = Previews();
    previews.erase(std::remove(previews.begin(), previews.end(), this), previews.end());
}

bool Preview::ContainsImage(const FilePathSpec& path) {
    if (!rendering_) return false;
    Image* image = rendering_->GetImage()->Get();
    return image && image->GetFilePathSpec().IsSameFile(path);
}

ImageRendering* Preview::GetImageRendering() {
    if (!rendering_) YLM_THROW("Preview::Initialize", NbErrNoRendering);
    return rendering_;
}

void Preview::LeaveCloseUpOf(ImageRendering* rendering) {
    if (!rendering->GetImage()->Get()) return;
    if (CloseUp* closeUp = CloseUp::FindCloseUpFor(rendering)) closeUp->RemoveListener(this);
}

void Preview::ReplaceRendering(ImageRendering* next) {
    ImageRendering* old = rendering_;
    rendering_ = next;
    if (!old) return;
    // A preview that now shows another file would otherwise stay among the
    // listeners of the old image's close-up after it is gone.
    Image* oldImage = old->GetImage()->Get();
    Image* newImage = next ? next->GetImage()->Get() : nullptr;
    if (oldImage && (!newImage || !newImage->GetFilePathSpec().IsSameFile(oldImage->GetFilePathSpec())))
        LeaveCloseUpOf(old);
    delete old;
}

void Preview::Initialize(const ImageRendering& rendering) {
    // Made before the old one goes: the source may be the preview's own.
    ImageRendering* next = nullptr;
    try {
        next = NewRendering(rendering);
    } catch (...) {
        ReplaceRendering(nullptr);
        throw;
    }
    ReplaceRendering(next);
    ShowCloseUp();
}

void Preview::Initialize(const FilePathSpec& path) {
    ImageRef image;
    if (const int code = ImageWerks().OpenImage(path, image)) YLM_THROW("Preview::Initialize", code);
    ImageRendering* next = nullptr;
    try {
        next = NewRendering(ImageRendering(image, *image->GetProcessParams()));
    } catch (...) {
        ReplaceRendering(nullptr);
        throw;
    }
    ReplaceRendering(next);
    // An image shown before has its sounds already.
    if (!image->GetSounds()->empty()) return;
    Folder folder(image->GetFilePathSpec().GetFolder());
    folder.BuildFileList();
    ImageWerks werks;
    for (const FilePathSpec& file : folder.GetFileList())
        if (strcasecmp(werks.GetExtension(file).c_str(), "wav") == 0) image->AddSound(file);
    ShowCloseUp();
}

bool Preview::ShowCloseUp() { return CloseUpViewBase::ShowCloseUpFor(this, GetImageRendering()); }

void Preview::CloseUpClosing(CloseUp* closeUp) { closeUp->RemoveListener(this); }

} // namespace NimbalCore
