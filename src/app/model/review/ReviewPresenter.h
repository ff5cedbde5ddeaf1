#pragma once
// What the Review dialog does, without its window: the selected slides it
// steps through, the render each one gets (fast or full quality), the
// counter and caption, the navigation buttons with Enter's default, the
// tag, and what is drawn where in the picture frame.
#include "ImageRendering.h"
#include "IntRect.h"
#include "ReviewView.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

enum ReviewControl : int {
    kReviewDone = 1,
    kReviewPictureFrame = 1070,
    kReviewPrev = 1071,
    kReviewNext = 1072,
    kReviewCounter = 1073,
    kReviewLast = 1074,
    kReviewTag = 1077,
    kReviewFirst = 1078,
    kReviewBetter = 1079,
    kReviewFaster = 1080,
    kReviewQualityGroup = 1081,
};

class ReviewPresenter {
public:
    static constexpr int kFaster = 0;
    static constexpr int kBetter = 1;

    // One selected slide as the dialog took it at opening: its own counted
    // copy of the slide's rendering (the image stays alive however long the
    // dialog runs), and whether the slide's window is still on its sheet.
    struct Slide {
        std::unique_ptr<NimbalCore::ImageRendering> rendering;
        std::function<bool()> windowPresent;
    };

    // What PaintPicture draws: the picture into destination, then the crop
    // outline when there is one.
    struct Paint {
        bool draw = false;
        IntRect destination;
        std::optional<IntRect> cropOutline;
    };

    explicit ReviewPresenter(ReviewView& view) : view_(view) {}

    // The dialog opens on these slides: the render mode from the settings,
    // the controls filled, the counter, caption and navigation buttons set.
    // Nothing is rendered until the first paint.
    void Open(std::vector<Slide> slides);
    bool IsInitialised() const { return initialised_; }

    // Renders the current slide's picture (navigation disabled meanwhile).
    void RenderCurrent();
    bool NeedsRender() const { return renderedIndex_ != currentIndex_; }
    // The picture inside frame (client coordinates); renders first when the
    // picture is not the current slide's.
    Paint PaintPicture(const IntRect& frame);

    void UpdateCaption();
    void RefreshPicture();
    void UpdateNavButtons();
    void DisableNavButton(int id);

    // The buttons' commands.
    void Next();
    void Prev();
    void First();
    void Last();
    void ToggleTag();
    void Better();
    void Faster();

    // The right-click menu is offered only for a slide whose window is still
    // on its sheet.
    bool OffersContextMenu();
    bool PrevGreyed() const { return currentIndex_ == 0; }
    bool NextGreyed() const { return currentIndex_ == slideCount_ - 1; }
    bool Tagged() const { return tagged_ != 0; }

    // The render mode is kept for the next opening (however the dialog
    // ends).
    void SaveRenderMode() const;

    int SlideCount() const { return slideCount_; }
    int CurrentIndex() const { return currentIndex_; }
    int RenderedIndex() const { return renderedIndex_; }
    int RenderMode() const { return renderMode_; }
    double DisplayScale() const { return displayScale_; }
    std::pair<int, int> MinTrackSize() const { return minTrackSize_; }

private:
    // The current slide's rendering and image, or null.
    NimbalCore::ImageRendering* GetCurrent();

    ReviewView& view_;
    std::vector<Slide> slides_;
    int slideCount_ = 0;
    int currentIndex_ = 0;
    int renderedIndex_ = -1;
    int renderMode_ = -1;
    int tagged_ = 0;
    double displayScale_ = 1.0;
    std::pair<int, int> minTrackSize_{500, 500};
    bool initialised_ = false;
};
