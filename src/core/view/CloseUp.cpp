#include "CloseUp.h"

#include "Image.h"
#include "NbErrorCodes.h"
#include "RenderBuffer.h"
#include "StCriticalSectionLock.h"

#include <algorithm>
#include <map>

namespace NimbalCore {

namespace {

// The process's close-ups by image path (case-blind), and the lock of the
// map. Neither is ever destroyed: a close-up may outlive the statics.
std::map<FilePathSpec, CloseUp*>& Registry() {
    static auto* registry = new std::map<FilePathSpec, CloseUp*>;
    return *registry;
}
YlmMutex& RegistryLock() {
    static auto* lock = new YlmMutex;
    return *lock;
}

// Moves r down or up, then right or left, so that it lies inside bounds
// where its size allows.
void ShiftInside(NbRect& r, const NbRect& bounds) {
    auto shift = [](int32_t& low, int32_t& high, int32_t limit) {
        if (low < 0) {
            const int32_t by = -low;
            low += by;
            high += by;
        } else if (high > limit) {
            const int32_t by = high - limit;
            low -= by;
            high -= by;
        }
    };
    shift(r.top, r.bottom, bounds.bottom);
    shift(r.left, r.right, bounds.right);
}

} // namespace

CloseUp* CloseUp::GetCloseUpFor(ImageRendering* rendering) {
    StCriticalSectionLock guard(RegistryLock());
    const FilePathSpec path = rendering->GetImage()->Get()->GetFilePathSpec();
    auto it = Registry().find(path);
    if (it != Registry().end()) return it->second;
    auto* closeUp = new CloseUp(rendering);
    Registry().emplace(path, closeUp);
    return closeUp;
}

CloseUp* CloseUp::FindCloseUpFor(ImageRendering* rendering) {
    StCriticalSectionLock guard(RegistryLock());
    auto it = Registry().find(rendering->GetImage()->Get()->GetFilePathSpec());
    return it == Registry().end() ? nullptr : it->second;
}

CloseUp::CloseUp(ImageRendering* rendering) : rendering_(*rendering) {
    Image* image = GetImage();
    const auto levels = image->GetAvailableResolutions();
    level_ = levels.count(4) ? 4 : levels.count(2) ? 2 : 1;
    const NbRect native = image->GetNativeImageRect();
    viewMapping_.SetFirstRect(native);
    viewMapping_.SetSecondRect(native);
    viewMapping_.SetRotation(int(rendering_.GetProcessParam().rotation));
    centre_ = image->GetCloseUpPoint();
    ImageProcessParam params = rendering_.GetProcessParam();
    params.outputSpaceMode = 1;
    SetProcessParams(params);
    image->AddImageChangeCB(this);
}

CloseUp::~CloseUp() {
    {
        StCriticalSectionLock guard(RegistryLock());
        auto it = Registry().find(GetImage()->GetFilePathSpec());
        if (it != Registry().end() && it->second == this) Registry().erase(it);
    }
    try {
        GetImage()->RemoveImageChangeCB(this);
    } catch (const YlmErrp&) {
        // Never registered, or the image dropped its listeners.
    }
}

void CloseUp::AddListener(CloseUpEventCB* listener) {
    StCriticalSectionLock guard(listsLock_);
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) listeners_.push_back(listener);
}

void CloseUp::AttachView(CloseUpEventCB* view) {
    StCriticalSectionLock guard(listsLock_);
    if (std::find(views_.begin(), views_.end(), view) == views_.end()) views_.push_back(view);
}

void CloseUp::RemoveListener(CloseUpEventCB* listener) {
    const bool wasBusy = busy_;
    busy_ = true;
    bool emptied = false;
    {
        StCriticalSectionLock guard(listsLock_);
        auto it = std::find(listeners_.begin(), listeners_.end(), listener);
        if (it != listeners_.end()) {
            listeners_.erase(it);
            emptied = listeners_.empty();
        }
    }
    if (emptied) Raise(&CloseUpEventCB::CloseUpReleased);
    busy_ = wasBusy;
    // A view detached during the removal left its deletion to this point.
    if (deletePending_ && !wasBusy) delete this;
}

void CloseUp::DetachView(CloseUpEventCB* view) {
    bool emptied = false;
    {
        StCriticalSectionLock guard(listsLock_);
        auto it = std::find(views_.begin(), views_.end(), view);
        if (it == views_.end()) return;
        views_.erase(it);
        emptied = views_.empty();
    }
    if (!emptied) return;
    Raise(&CloseUpEventCB::CloseUpClosing);
    if (busy_) deletePending_ = true;
    else delete this;
}

bool CloseUp::StillListed(const std::vector<CloseUpEventCB*>& list, CloseUpEventCB* entry) {
    StCriticalSectionLock guard(listsLock_);
    return std::find(list.begin(), list.end(), entry) != list.end();
}

void CloseUp::Raise(Event event, bool viewsOnly) {
    std::vector<CloseUpEventCB*> listeners, views;
    {
        StCriticalSectionLock guard(listsLock_);
        if (!viewsOnly) listeners = listeners_;
        views = views_;
    }
    for (CloseUpEventCB* listener : listeners)
        if (StillListed(listeners_, listener)) (listener->*event)(this);
    for (CloseUpEventCB* view : views)
        if (StillListed(views_, view)) (view->*event)(this);
}

std::string CloseUp::GetImageName() { return GetImage()->GetFileName(); }

void CloseUp::RefreshViews() { Raise(&CloseUpEventCB::CloseUpRefresh, true); }

NbRect CloseUp::Bounds() const {
    NbRect bounds = viewMapping_.GetFirstRect();
    bounds.SwapSizeForRotation(float(viewMapping_.GetRotation()));
    return bounds;
}

void CloseUp::SetCentre(NbPoint p) {
    Image* image = GetImage();
    centre_ = p;
    viewRect_.CenterOn(p);
    ShiftInside(viewRect_, Bounds());
    image->ClampRectToImage(viewRect_);
    centre_ = NbPoint{int32_t(viewRect_.left + viewRect_.Width() / 2), int32_t(viewRect_.top + viewRect_.Height() / 2)};
    image->SetCloseUpPoint(centre_);
    if (renderBuffer_) {
        PrepareRenderBuffer(renderBuffer_, viewRect_);
        rendering_.SetCrop(viewRect_);
        Render();
    }
    Raise(&CloseUpEventCB::CloseUpRectChanged);
}

void CloseUp::SetViewRect(NbRect& r) {
    const NbRect bounds = Bounds();
    NbRect v = r;
    v.CenterOn(centre_);
    if (v.Width() > bounds.Width()) v.right = int32_t(v.left + bounds.Width() - 1);
    if (v.Height() > bounds.Height()) v.bottom = int32_t(v.top + bounds.Height() - 1);
    ShiftInside(v, bounds);
    GetImage()->ClampRectToImage(v);
    viewRect_ = v;
    if (renderBuffer_) PrepareRenderBuffer(renderBuffer_, viewRect_);
    rendering_.SetCrop(viewRect_);
    r.right = int32_t(r.left + viewRect_.Width() - 1);
    r.bottom = int32_t(r.top + viewRect_.Height() - 1);
    Raise(&CloseUpEventCB::CloseUpRectChanged);
}

void CloseUp::Render() {
    if (!renderBuffer_) return;
    Raise(&CloseUpEventCB::CloseUpRenderBegin);
    renderError_ = YlmErrp();
    try {
        RenderIntoBuffer(renderBuffer_, &rendering_, nullptr, 1, 0);
    } catch (const YlmErrp& e) {
        renderError_ = e;
    } catch (int code) {
        // A kind's bare status is kept as an error of the render.
        renderError_ = new YlmError("CloseUp::Render", code, __FILE__, __LINE__);
    }
    Raise(&CloseUpEventCB::CloseUpRenderEnd);
}

void CloseUp::ShapeBuffer(RenderBuffer* buffer, const NbRect& rect) {
    if (buffer->IsAllocated()) buffer->Free();
    const int64_t width = rect.Width(), height = rect.Height();
    buffer->SetBounds(NbRect(0, 0, int32_t(width - 1), int32_t(height - 1)));
    switch (rendering_.GetProcessParam().colorMode) {
    case 0:
        buffer->SetPixelType(pixelType_);
        buffer->SetChannels(pixelType_ == 3 || pixelType_ == 4 ? 4 : 3);
        break;
    case 2:
        buffer->SetPixelType(0);
        buffer->SetChannels(1);
        break;
    default: return;
    }
    const int64_t rowBytes = int64_t(buffer->GetChannels()) * buffer->GetBytesPerSample() * width;
    if (width <= 0 || height <= 0 || rowBytes > INT32_MAX) YLM_THROW("CloseUp::PrepareRenderBuffer", NbErrAllocFailed);
    buffer->SetRowBytes(int32_t(rowBytes));
    buffer->Create(uint64_t(rowBytes) * uint64_t(height));
}

void CloseUp::PrepareRenderBuffer(RenderBuffer* buffer, NbRect r) {
    if (!buffer) return;
    GetImage()->ClampRectToImage(r);
    ShapeBuffer(buffer, r);
}

void CloseUp::PreparePicture(RenderBuffer* picture) {
    if (!picture) return;
    const auto levels = GetImage()->GetAvailableResolutions();
    auto it = levels.find(level_);
    NbRect rect = it != levels.end() ? it->second : GetImage()->GetNativeImageRect();
    rect.SwapSizeForRotation(rendering_.GetProcessParam().rotation);
    ShapeBuffer(picture, rect);
}

void CloseUp::RenderPicture() {
    if (!picture_) return;
    Raise(&CloseUpEventCB::CloseUpPictureRenderBegin);
    pictureError_ = YlmErrp();
    const ImageRef hold = *rendering_.GetImage();
    try {
        if (hold->GetAvailableResolutions().size() > 1) {
            RenderIntoBuffer(picture_, &rendering_, nullptr, level_, 1);
        } else {
            // A single full-size level: the overview is drawn without noise
            // reduction.
            ImageRendering plain(rendering_);
            plain.GetProcessParamPtr()->noiseReductionMode = 0;
            plain.GetProcessParamPtr()->noiseReductionStrength = 0;
            RenderIntoBuffer(picture_, &plain, nullptr, level_, 1);
        }
        pictureStale_ = false;
    } catch (const YlmErrp& e) {
        pictureError_ = e;
    } catch (int code) {
        pictureError_ = new YlmError("CloseUp::RenderPicture", code, __FILE__, __LINE__);
    }
    Raise(&CloseUpEventCB::CloseUpPictureRenderEnd);
}

void CloseUp::SetProcessParams(const ImageProcessParam& params) {
    const ImageProcessParam old = rendering_.GetProcessParam();
    if (old.EqualsExceptCrop(params)) return;
    const int oldRotation = viewMapping_.GetRotation();
    const int newRotation = int(params.rotation);
    viewMapping_.SetRotation(newRotation);
    if (newRotation != oldRotation) {
        // The centre turns with the image, inside its bounds before the turn.
        const NbRect bounds = rendering_.GetImageBounds();
        RotatePoint(centre_, float(((newRotation - oldRotation) % 360 + 360) % 360), bounds);
    }
    pictureStale_ = true;
    ImageProcessParam next = params;
    next.outputSpaceMode = 1;
    next.SetLook(params.lookName);
    rendering_.SetProcessParam(next);
    if (renderBuffer_) SetCentre(centre_);
    if (picture_ && !old.EqualsExceptSharpenNoiseAndSpace(next)) {
        PreparePicture(picture_);
        RenderPicture();
    }
}

void CloseUp::ImageChanged(const FilePathSpec& path) {
    Image* image = GetImage();
    if (!path.IsSameFile(image->GetFilePathSpec())) return;
    ImageProcessParam params = *image->GetProcessParams();
    const ImageProcessParam current = rendering_.GetProcessParam();
    if (params.EqualsExceptCropAndNames(current)) return;
    params.crop = current.crop;
    const int oldRotation = viewMapping_.GetRotation();
    SetProcessParams(params);
    if (viewMapping_.GetRotation() != oldRotation) Raise(&CloseUpEventCB::CloseUpZoomChanged, true);
}

void CloseUp::ImageRenamed(const FilePathSpec& oldPath, const FilePathSpec& newPath) {
    StCriticalSectionLock guard(RegistryLock());
    auto it = Registry().find(oldPath);
    if (it != Registry().end() && it->second == this) {
        // Erased first, so that a rename that only changes letter case is
        // kept under the new spelling rather than lost.
        Registry().erase(it);
        Registry()[newPath] = this;
    }
    Raise(&CloseUpEventCB::CloseUpRenamed);
}

} // namespace NimbalCore
