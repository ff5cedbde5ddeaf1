#pragma once
// The print preview's toolbar logic: which picture the one / two pages
// button shows, when the buttons are enabled, the zoom steps and the
// buttons' tooltips. The window (CPrintPreviewView) tells it the document's
// pages and the page shown and applies what it answers.
#include <string>

enum PrintPreviewCommand : int {
    kPreviewClose = 58112,
    kPreviewNumPage = 58113,
    kPreviewNext = 58114,
    kPreviewPrevious = 58115,
    kPreviewPrint = 58116,
    kPreviewZoomIn = 58117,
    kPreviewZoomOut = 58118,
};

enum PrintPreviewBitmap : int {
    kBitmapZoomOut = 293,
    kBitmapZoomIn = 294,
    kBitmapNextPage = 297,
    kBitmapTwoPages = 298,
    kBitmapPreviousPage = 299,
    kBitmapPrint = 300,
    kBitmapOnePage = 301,
};

// The picture strip of a bitmap button's command (the one / two pages
// button starts with one page); 0 for a command without one.
int PreviewButtonBitmap(int command);

// A tooltip from a command's string resource: the text after the first
// newline (the whole text when it has none), translated, cut to 79
// characters.
std::string PreviewToolTipFromResource(const std::string& resource);
// The tooltip of a control id; empty for id 0.
std::string PreviewToolTip(int id);

class PrintPreviewPresenter {
public:
    // The most pages shown side by side.
    static constexpr int kMaxPages = 2;
    // Zoom steps: 0 fits the page(s) into the window; each step in doubles.
    static constexpr int kZoomSteps = 3;

    // The document's pages and the first page shown, as the preview has them.
    void SetDocument(int firstPage, int lastPage) {
        firstPage_ = firstPage;
        lastPage_ = lastPage;
    }
    void SetCurrentPage(int page) { currentPage_ = page; }

    struct NumPageUpdate {
        int bitmap;  // the picture to load now, 0 when it stays
        bool enabled;
    };
    // The one / two pages button brought up to date with the pages shown.
    NumPageUpdate UpdateNumPageChange();
    bool TwoPageBitmapShown() const { return twoPageBitmapShown_; }

    // One / two pages: only while zoomed out.
    void ToggleNumPages();
    void ZoomIn();
    void ZoomOut();

    bool ZoomedOut() const { return zoom_ == 0; }
    int ZoomStep() const { return zoom_; }
    // Pages on screen now: one while zoomed in.
    int PagesDisplayed() const { return ZoomedOut() ? zoomOutPages_ : 1; }
    // The first page to show after Next or Previous.
    int NextPage() const { return currentPage_ + 1; }
    int PreviousPage() const { return currentPage_ - 1; }

    bool CanGoNext() const { return currentPage_ + PagesDisplayed() - 1 < lastPage_; }
    bool CanGoPrevious() const { return currentPage_ > firstPage_; }
    bool CanZoomIn() const { return zoom_ < kZoomSteps - 1; }
    bool CanZoomOut() const { return zoom_ > 0; }

    // The zoom percent for the current step, from the percent at which the
    // pages shown fit the window.
    int ZoomPercent(int fitPercent) const;
    // The percent at which `pages` pages of pageWidth × pageHeight (at 100
    // percent) fit side by side in a window, with a margin around each.
    static int FitPercent(int windowWidth, int windowHeight, int pageWidth, int pageHeight, int pages, int margin);

private:
    int firstPage_ = 1;
    int lastPage_ = 1;
    int currentPage_ = 1;
    int zoomOutPages_ = 1;
    int zoom_ = 0;
    bool twoPageBitmapShown_ = false;
};
