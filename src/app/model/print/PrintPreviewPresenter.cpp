#include "PrintPreviewPresenter.h"

#include "LocalizedText.h"
#include "MainFrameLayout.h"

#include <algorithm>

int PreviewButtonBitmap(int command) {
    switch (command) {
    case kPreviewPrint: return kBitmapPrint;
    case kPreviewNext: return kBitmapNextPage;
    case kPreviewPrevious: return kBitmapPreviousPage;
    case kPreviewNumPage: return kBitmapOnePage;
    case kPreviewZoomIn: return kBitmapZoomIn;
    case kPreviewZoomOut: return kBitmapZoomOut;
    default: return 0;
    }
}

std::string PreviewToolTipFromResource(const std::string& resource) {
    const size_t newline = resource.find('\n');
    return CutToolTip(TranslateString(newline == std::string::npos ? resource : resource.substr(newline + 1)));
}

std::string PreviewToolTip(int id) {
    if (id == 0) return std::string();
    return PreviewToolTipFromResource(LoadUntranslatedString(id));
}

PrintPreviewPresenter::NumPageUpdate PrintPreviewPresenter::UpdateNumPageChange() {
    // While zoomed in, the button still tells how many pages zooming out
    // brings back.
    const int shown = zoomOutPages_;
    int bitmap = 0;
    if (twoPageBitmapShown_ && shown == 1) {
        bitmap = kBitmapOnePage;
        twoPageBitmapShown_ = false;
    } else if (!twoPageBitmapShown_ && shown != 1) {
        bitmap = kBitmapTwoPages;
        twoPageBitmapShown_ = true;
    }
    const bool enabled = ZoomedOut() && kMaxPages != 1 && (lastPage_ > 1 || shown > 1);
    return {bitmap, enabled};
}

void PrintPreviewPresenter::ToggleNumPages() {
    if (!ZoomedOut()) return;
    zoomOutPages_ = zoomOutPages_ == 1 ? std::min(2, kMaxPages) : 1;
}

void PrintPreviewPresenter::ZoomIn() {
    if (CanZoomIn()) ++zoom_;
}

void PrintPreviewPresenter::ZoomOut() {
    if (CanZoomOut()) --zoom_;
}

int PrintPreviewPresenter::ZoomPercent(int fitPercent) const { return std::max(1, fitPercent) << zoom_; }

int PrintPreviewPresenter::FitPercent(int windowWidth, int windowHeight, int pageWidth, int pageHeight, int pages,
                                      int margin) {
    if (pageWidth <= 0 || pageHeight <= 0 || pages <= 0) return 100;
    // 64-bit: a page a printer describes in its own pixels can be large.
    const long long width = std::max(1LL, (long long)windowWidth - (long long)margin * (pages + 1)) * 100 /
                            ((long long)pageWidth * pages);
    const long long height = std::max(1LL, (long long)windowHeight - 2LL * margin) * 100 / pageHeight;
    return int(std::clamp(std::min(width, height), 1LL, 1000LL));
}
