#include "SheetSlide.h"

#include "Image.h"
#include "YlmErrp.h"

SheetSlide::SheetSlide(const NimbalCore::ImageRendering& rendering) : rendering_(rendering) {
    if (NimbalCore::ImageRef* image = rendering_.GetImage(); *image) (*image)->AddImageChangeCB(this);
}

SheetSlide::~SheetSlide() {
    NimbalCore::ImageRef* image = rendering_.GetImage();
    if (!*image) return;
    try {
        (*image)->RemoveImageChangeCB(this);
    } catch (const YlmErrp&) {
        // Not registered any more: nothing to undo.
    }
}

NimbalCore::FilePathSpec SheetSlide::GetImagePath() {
    NimbalCore::ImageRef* image = rendering_.GetImage();
    return *image ? (*image)->GetFilePathSpec() : NimbalCore::FilePathSpec();
}

bool SheetSlide::ShowsFile(const NimbalCore::FilePathSpec& path) {
    NimbalCore::ImageRef* image = rendering_.GetImage();
    return *image && (*image)->GetFilePathSpec().IsSameFile(path);
}

void SheetSlide::SetObserver(std::function<void()> observer) {
    std::lock_guard<std::mutex> guard(observerLock_);
    observer_ = std::move(observer);
}

void SheetSlide::SetMark(Mark mark) {
    if (mark_.exchange(mark) != mark) Changed();
}

void SheetSlide::Changed() {
    std::lock_guard<std::mutex> guard(observerLock_);
    if (observer_) observer_();
}
