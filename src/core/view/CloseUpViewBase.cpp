#include "CloseUpViewBase.h"

#include "CloseUp.h"
#include "ContactSheet.h"
#include "DocumentModel.h"
#include "Image.h"
#include "ImageRendering.h"
#include "Preview.h"
#include "StCriticalSectionLock.h"
#include "YlmMutex.h"

#include "IntOps.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace NimbalCore {

namespace {

// Window placement steps down and to the right by this much.
constexpr int32_t kCascadeStepX = 8;
constexpr int32_t kCascadeStepY = 24;
// A close-up shows a quarter of its image.
constexpr double kQuarter = 0.25;

// The live views in the order they were made, their lock, and the two
// placement rectangles. Never destroyed: a view may outlive the statics.
struct Registry {
    YlmMutex lock;
    std::vector<CloseUpViewBase*> views;
    NbRect cascadeOrigin;
    NbRect placementArea;
};

Registry& Views() {
    static auto* registry = new Registry;
    return *registry;
}

std::vector<CloseUpViewBase*> LiveViews() {
    StCriticalSectionLock guard(Views().lock);
    return Views().views;
}

NbRect Quartered(const NbRect& r) {
    return NbRect(int32_t(r.left * kQuarter), int32_t(r.top * kQuarter), int32_t(r.right * kQuarter),
                  int32_t(r.bottom * kQuarter));
}

void Move(NbRect& r, int32_t dx, int32_t dy) {
    r.left = lumora::wrapAdd32(r.left, dx);
    r.right = lumora::wrapAdd32(r.right, dx);
    r.top = lumora::wrapAdd32(r.top, dy);
    r.bottom = lumora::wrapAdd32(r.bottom, dy);
}

bool HasImage(ImageRendering* rendering) { return rendering && rendering->GetImage()->Get(); }

// Steps rect past every live window whose corner is rect's corner.
void StepPastLiveViews(NbRect& rect) {
    const std::vector<CloseUpViewBase*> views = LiveViews();
    for (bool moved = true; moved;) {
        moved = false;
        for (CloseUpViewBase* view : views) {
            const NbRect taken = view->GetViewRect();
            if (taken.left == rect.left && taken.top == rect.top) {
                Move(rect, kCascadeStepX, kCascadeStepY);
                moved = true;
            }
        }
    }
}

} // namespace

const NbRect& CloseUpViewBase::DefaultViewRect() {
    static const NbRect rect(0, 0, 512, 512);
    return rect;
}

CloseUpViewBase* CloseUpViewBase::FindUnpinnedView() {
    StCriticalSectionLock guard(Views().lock);
    for (CloseUpViewBase* view : Views().views)
        if (view->pinned_ == 0) return view;
    return nullptr;
}

CloseUpViewBase* CloseUpViewBase::FindViewShowing(CloseUp* model) {
    StCriticalSectionLock guard(Views().lock);
    for (CloseUpViewBase* view : Views().views)
        if (view->pinned_ == 1 && view->closeUp_ == model) return view;
    return nullptr;
}

bool CloseUpViewBase::ShowCloseUpFor(CloseUpEventCB* document, ImageRendering* rendering) {
    CloseUpViewBase* view = FindUnpinnedView();
    const bool large = IsLargeEnoughForCloseUp(rendering);
    if (view) {
        if (large) PointAtRendering(document, rendering);
        else view->AttachToCloseUp(nullptr);
    } else if (CloseUp* model = HasImage(rendering) ? CloseUp::FindCloseUpFor(rendering) : nullptr) {
        if (CloseUpViewBase* showing = FindViewShowing(model)) {
            model->AddListener(document);
            showing->ActivateView();
        }
    }
    return large;
}

void CloseUpViewBase::PointAtRendering(CloseUpEventCB* document, ImageRendering* rendering) {
    CloseUpViewBase* view = FindUnpinnedView();
    if (!view || !HasImage(rendering)) return;
    CloseUp* model = CloseUp::GetCloseUpFor(rendering);
    if (!model) return;
    if (CloseUpViewBase* showing = FindViewShowing(model)) {
        showing->ActivateView();
        return;
    }
    model->AddListener(document);
    view->AttachToCloseUp(model);
    view->ActivateView();
}

void CloseUpViewBase::SetCascadeOrigin(const NbRect& origin) {
    StCriticalSectionLock guard(Views().lock);
    Views().cascadeOrigin = origin;
}

void CloseUpViewBase::SetPlacementArea(const NbRect& area) {
    StCriticalSectionLock guard(Views().lock);
    Views().placementArea = area;
}

NbRect CloseUpViewBase::GetCascadeOrigin() {
    StCriticalSectionLock guard(Views().lock);
    return Views().cascadeOrigin;
}

NbRect CloseUpViewBase::GetPlacementArea() {
    StCriticalSectionLock guard(Views().lock);
    return Views().placementArea;
}

void CloseUpViewBase::PlaceNewView(NbRect& rect) {
    const NbRect area = GetPlacementArea();
    rect = GetCascadeOrigin();
    StepPastLiveViews(rect);
    // The corner must leave one cascade step of room inside the area.
    if (rect.left >= area.left && int64_t(rect.left) <= int64_t(area.right) - kCascadeStepX &&
        rect.top >= area.top && int64_t(rect.top) <= int64_t(area.bottom) - kCascadeStepY)
        return;
    rect.CenterOn(NbPoint{int32_t(area.left + area.Width() / 2), int32_t(area.top + area.Height() / 2)});
    StepPastLiveViews(rect);
}

CloseUpViewBase::CloseUpViewBase() {
    StCriticalSectionLock guard(Views().lock);
    Views().views.push_back(this);
}

CloseUpViewBase::~CloseUpViewBase() {
    // The detach may delete the model: the pointer is dropped first.
    if (CloseUp* model = std::exchange(closeUp_, nullptr)) model->DetachView(this);
    StCriticalSectionLock guard(Views().lock);
    auto& views = Views().views;
    views.erase(std::remove(views.begin(), views.end(), this), views.end());
}

void CloseUpViewBase::AttachToCloseUp(CloseUp* model) {
    if (model == closeUp_) return;
    // The detach may delete the old model; nothing of it is touched after.
    if (CloseUp* old = std::exchange(closeUp_, nullptr)) old->DetachView(this);
    closeUp_ = model;
    if (closeUp_) closeUp_->AttachView(this);
    CloseUpChanged();
}

void CloseUpViewBase::ShowParentImage() {
    if (!closeUp_) return;
    const FilePathSpec path = closeUp_->GetRendering()->GetImage()->Get()->GetFilePathSpec();
    if (Preview* preview = Preview::FindByPath(path)) {
        preview->ActivateImage(path);
    } else if (ContactSheet* sheet = ContactSheet::FindByFolder(path)) {
        sheet->ActivateImage(path);
    }
}

void CloseUpViewBase::GetPreferredViewRect(NbRect& rect) {
    if (!closeUp_) {
        rect = DefaultViewRect();
        return;
    }
    const NbRect quarter = Quartered(closeUp_->GetRendering()->GetImageBounds());
    const int64_t side = std::min(quarter.Width(), quarter.Height());
    rect.right = int32_t(rect.left + side - 1);
    rect.bottom = int32_t(rect.top + side - 1);
}

bool IsLargeEnoughForCloseUp(ImageRendering* rendering) {
    if (!HasImage(rendering)) return false;
    return NbRect(0, 0, 128, 128).IsInside(Quartered(rendering->GetImageBounds()));
}

} // namespace NimbalCore
