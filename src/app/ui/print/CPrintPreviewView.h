#pragma once
// The print preview's toolbar: six picture buttons (Print, Next Page,
// Previous Page, one / two pages, Zoom In, Zoom Out) with translated
// tooltips and "&Close" at the right. The one / two pages button shows
// which of the two is on screen.
#include "PrintPreviewPresenter.h"

#include <wx/prntbase.h>

#include <array>

class CMappedBitmapButton;
class PagedPrintPreview;
class wxButton;

class CPrintPreviewView : public wxPreviewControlBar {
public:
    CPrintPreviewView(wxPrintPreviewBase* preview, wxWindow* parent);

    // The toolkit takes window ids below 0x7fff only, and the program's
    // shift of its commands would put these on the crop commands: inside
    // the preview's own frame they take a small range of their own.
    static constexpr int kFirstWxId = 7000;
    static int WxId(int command);

    void CreateButtons() override;
    // The toolkit's zoom choice is not used: the zoom follows the steps.
    void SetZoomControl(int) override {}
    int GetZoomControl() override;

    // Brings every button's picture and state up to date (also done when
    // the toolkit is idle).
    void UpdateButtons();
    // Follows the canvas's size from now on (the canvas is made after the
    // toolbar).
    void AttachToCanvas();
    // Fits the page(s) into the canvas at the current zoom step.
    void ApplyZoom();

    CMappedBitmapButton* Button(int command) const;
    wxButton* CloseButton() const { return closeButton_; }
    const PrintPreviewPresenter& Presenter() const { return presenter_; }

private:
    void SyncDocument();
    void OnNumPage(wxCommandEvent& event);
    void OnUpdateNumPage(wxUpdateUIEvent& event);
    void OnCommand(wxCommandEvent& event);
    void OnUpdateCommand(wxUpdateUIEvent& event);
    void OnCanvasSize(wxSizeEvent& event);

    PrintPreviewPresenter presenter_;
    std::array<CMappedBitmapButton*, 6> buttons_{};
    wxButton* closeButton_ = nullptr;
};
