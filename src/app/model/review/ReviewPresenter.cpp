#include "ReviewPresenter.h"

#include "Image.h"
#include "LocalizedText.h"
#include "ProfileItemManager.h"
#include "ReviewLayout.h"
#include "TextSubstitution.h"
#include "YlmErrp.h"

namespace {

constexpr int kCounterText = 59953;
constexpr int kCaptionText = 59955;


} // namespace

void ReviewPresenter::Open(std::vector<Slide> slides) {
    slides_ = std::move(slides);
    slideCount_ = int(slides_.size());
    currentIndex_ = 0;
    renderMode_ = 0;
    ProfileItemManager().GetInt(PI_REVIEW_RENDER_MODE, renderMode_);
    view_.SetCheck(kReviewFaster, renderMode_ == kFaster ? 1 : 0);
    view_.SetCheck(kReviewBetter, renderMode_ == kBetter ? 1 : 0);
    view_.SetCheck(kReviewTag, tagged_);
    initialised_ = true;
    UpdateCaption();
    UpdateNavButtons();
}

NimbalCore::ImageRendering* ReviewPresenter::GetCurrent() {
    if (currentIndex_ < 0 || currentIndex_ >= slideCount_) return nullptr;
    NimbalCore::ImageRendering* rendering = slides_[size_t(currentIndex_)].rendering.get();
    if (!rendering || !*rendering->GetImage()) return nullptr;
    return rendering;
}

void ReviewPresenter::RenderCurrent() {
    renderedIndex_ = currentIndex_;
    for (int id : {kReviewFirst, kReviewNext, kReviewLast, kReviewPrev}) DisableNavButton(id);
    if (NimbalCore::ImageRendering* rendering = GetCurrent()) {
        // Held for the whole render: the slide may go meanwhile.
        NimbalCore::ImageRef image = *rendering->GetImage();
        try {
            minTrackSize_ = ReviewLayout::MinTrackSize(image->GetImageRect());
            view_.SetMinTrackSize(minTrackSize_.first, minTrackSize_.second);
            std::map<int, NimbalCore::NbRect> resolutions;
            int reduction = 1;
            if (renderMode_ != kBetter) {
                resolutions = image->GetAvailableResolutions();
                if (resolutions.size() >= 2) reduction = resolutions.rbegin()->first;
            }
            if (renderMode_ != kFaster || resolutions.size() >= 2) {
                view_.RenderPicture(rendering, reduction);
            } else {
                // Without reduced resolutions the fast render skips noise
                // reduction instead.
                NimbalCore::ImageRendering fast(*rendering);
                NimbalCore::ImageProcessParam* params = fast.GetProcessParamPtr();
                params->SetNoiseReductionMode(0);
                params->SetNoiseReductionStrength(0);
                view_.RenderPicture(&fast, 1);
            }
            image->FreeCachedData();
        } catch (...) {
            // An image that cannot say its size or resolutions stays
            // without a picture; the buttons come back below.
        }
    }
    UpdateNavButtons();
}

ReviewPresenter::Paint ReviewPresenter::PaintPicture(const IntRect& frame) {
    Paint paint;
    NimbalCore::ImageRendering* rendering = GetCurrent();
    if (!rendering) return paint;
    NimbalCore::ImageRef image = *rendering->GetImage();
    tagged_ = image->IsTagged() ? 1 : 0;
    view_.SetCheck(kReviewTag, tagged_);
    const NimbalCore::NbRect rect = image->GetImageRect();
    const double scale = ReviewLayout::DisplayScale(rect.Width(), rect.Height(), frame);
    if (scale > 0.0) displayScale_ = scale;
    const IntRect destination = ReviewLayout::Destination(rect.Width(), rect.Height(), displayScale_, frame);
    if (renderedIndex_ != currentIndex_) RenderCurrent();
    if (scale <= 0.0) return paint;
    paint.draw = true;
    paint.destination = destination;
    try {
        paint.cropOutline = ReviewLayout::CropOutline(rendering->GetCropDimensions(), displayScale_, destination);
    } catch (...) {
        // A crop that cannot be read is only not outlined.
        paint.cropOutline.reset();
    }
    return paint;
}

void ReviewPresenter::UpdateCaption() {
    view_.SetItemText(kReviewCounter, SubstituteNumbers(LoadTranslatedString(kCounterText),
                                                        {currentIndex_ + 1, slideCount_}));
    if (NimbalCore::ImageRendering* rendering = GetCurrent())
        view_.SetCaption(TranslatedText(kCaptionText, {(*rendering->GetImage())->GetFileName()}));
}

void ReviewPresenter::RefreshPicture() {
    UpdateCaption();
    view_.RepaintPicture();
}

void ReviewPresenter::UpdateNavButtons() {
    std::vector<int> disable, enable;
    if (slideCount_ == 1) {
        disable = {kReviewFirst, kReviewNext, kReviewLast, kReviewPrev};
    } else if (currentIndex_ == 0) {
        disable = {kReviewFirst, kReviewPrev};
        enable = {kReviewNext, kReviewLast};
    } else if (currentIndex_ == slideCount_ - 1) {
        disable = {kReviewLast, kReviewNext};
        enable = {kReviewPrev, kReviewFirst};
    } else {
        enable = {kReviewLast, kReviewFirst, kReviewNext, kReviewPrev};
    }
    for (int id : disable) DisableNavButton(id);
    for (int id : enable) view_.EnableItem(id, true);
}

void ReviewPresenter::DisableNavButton(int id) {
    view_.FocusItem(id);
    view_.EnableItem(id, false);
    if (id == kReviewNext) view_.SetDefaultButton(kReviewPrev);
    else if (id == kReviewPrev) view_.SetDefaultButton(kReviewNext);
    else view_.SetDefaultButton(id);
}

void ReviewPresenter::Next() {
    if (++currentIndex_ >= slideCount_) currentIndex_ = 0;
    RenderCurrent();
    RefreshPicture();
    UpdateNavButtons();
}

void ReviewPresenter::Prev() {
    if (--currentIndex_ < 0) currentIndex_ = slideCount_ - 1;
    RenderCurrent();
    RefreshPicture();
    UpdateNavButtons();
}

void ReviewPresenter::First() {
    currentIndex_ = 0;
    RefreshPicture();
    UpdateNavButtons();
}

void ReviewPresenter::Last() {
    currentIndex_ = slideCount_ - 1;
    RefreshPicture();
    UpdateNavButtons();
}

void ReviewPresenter::ToggleTag() {
    NimbalCore::ImageRendering* rendering = GetCurrent();
    if (!rendering) return;
    NimbalCore::ImageRef image = *rendering->GetImage();
    tagged_ = image->IsTagged() ? 0 : 1;
    view_.SetCheck(kReviewTag, tagged_);
    image->SetTagged(tagged_ != 0);
}

void ReviewPresenter::Better() {
    renderMode_ = kBetter;
    renderedIndex_ = -1;
    RefreshPicture();
}

void ReviewPresenter::Faster() {
    renderMode_ = kFaster;
    renderedIndex_ = -1;
    RefreshPicture();
}

bool ReviewPresenter::OffersContextMenu() {
    if (!GetCurrent()) return false;
    const Slide& slide = slides_[size_t(currentIndex_)];
    return slide.windowPresent && slide.windowPresent();
}

void ReviewPresenter::SaveRenderMode() const {
    if (initialised_) ProfileItemManager().SetInt(PI_REVIEW_RENDER_MODE, renderMode_);
}
