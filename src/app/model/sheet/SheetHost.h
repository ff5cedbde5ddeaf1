#pragma once
// What a contact sheet's logic asks of the windows around it: the main
// frame's bars and status panes, the sheet's view, the questions of Save and
// the sound player. Called on the user-interface thread only; the sheet
// posts what its watcher thread has to say through its SheetUiQueue.
#include <memory>
#include <string>
#include <vector>

namespace NimbalCore {
class ImageRendering;
}
class SheetSlide;

class SheetHost {
public:
    virtual ~SheetHost() = default;

    virtual bool HasMainWindow() = 0;
    // Whether the sheet's first view is a contact-sheet view (the focus
    // follows the slides only there).
    virtual bool HasSheetView() = 0;
    // The Image Controls, Image Info and Output Histogram bars show the
    // rendering; null empties them.
    virtual void RefreshImageBars(NimbalCore::ImageRendering* rendering) = 0;
    virtual void ClearImageBars() = 0;
    // An unpinned close-up view shows the focused slide's rendering, unless
    // the view is in a mouse drag.
    virtual void FollowFocusWithCloseUp(NimbalCore::ImageRendering* rendering) = 0;
    virtual void ClearStatusPanes() = 0;
    virtual void SetCountsPane(const std::string& text) = 0;
    // Brings the sheet's window to the top.
    virtual void ShowSheet() = 0;

    // The view's notices: a slide was added; slides left the sheet (the
    // view lets go of them); a focused slide's sounds changed; the slides
    // took a new order.
    virtual void SlideAdded() = 0;
    virtual void RemoveSlides(const std::vector<std::shared_ptr<SheetSlide>>& slides) = 0;
    virtual void SoundsChanged(const std::shared_ptr<SheetSlide>& slide) = 0;
    virtual void SlidesReordered() = 0;
    // A slide's rendering is about to go: no undo step may reach it.
    virtual void RemoveFromUndo(const NimbalCore::ImageRendering* rendering) = 0;

    // The failed-save question with Yes, No and Yes to All (yesToAll set by
    // the last): 1 goes on, 2 stops.
    virtual int AskSaveFailure(const std::string& message, int& yesToAll) = 0;
    // Save As of the given slides under the title of that string id: the
    // last save result (1 go on, 0 stop).
    virtual int SaveImagesAs(const std::vector<std::shared_ptr<SheetSlide>>& slides, int titleId) = 0;
    // The sound player of the sheet: whether it plays, and stopping it while
    // showing the text until it has ended.
    virtual bool IsSoundPlaying() = 0;
    virtual void StopSoundAndWait(const std::string& waitText) = 0;
};
