#pragma once
// The Review dialog: steps through the images selected on a contact sheet
// one at a time, each rendered fast or at full quality into the dialog's own
// picture, drawn centred in a frame that grows with the window, with the
// crop outlined; each image can be tagged or untagged. Done and the close
// box keep the window's placement; the render mode is kept however the
// dialog ends.
#include "CPictureView.h"
#include "ReviewLayout.h"
#include "ReviewPresenter.h"
#include "WxDialogView.h"

#include <wx/dialog.h>
#include <wx/image.h>

#include <memory>

class CContactSheetDoc;
class wxMenu;

// The contact sheet's Review command.
inline constexpr int kReviewCommand = 33188;

class CReviewDialog : public wxDialog, private ReviewView {
public:
    // Without a document the dialog shows its controls and nothing else.
    explicit CReviewDialog(CContactSheetDoc* document, wxWindow* parent = nullptr);
    ~CReviewDialog() override;

    int ShowModal() override;

    ReviewPresenter& Presenter() { return presenter_; }
    // A render is running (its progress window pumps messages meanwhile).
    bool IsRendering() const { return rendering_; }
    // The picture frame's pixels as they are painted: the picture, then the
    // crop outline inverted into them.
    wxImage ComposeFrame();
    // The right-click menu for the current slide; null when it is not
    // offered.
    std::unique_ptr<wxMenu> BuildContextMenu();
    // Done, and the close box: the placement is kept, the dialog ends.
    void OnOK();

private:
    bool OnInitDialog();
    void CreateControls();
    void ApplyLayout();
    IntRect ClientRect() const;
    void OnSize(wxSizeEvent& event);
    void OnPaintFrame(wxPaintEvent& event);
    void OnPaintDialog(wxPaintEvent& event);
    void OnRightUp(wxMouseEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void RunMenuCommand(int id);

    // ReviewView.
    std::string GetItemText(int id) override { return controls_.GetItemText(id); }
    void SetItemText(int id, const std::string& text) override { controls_.SetItemText(id, text); }
    void EnableItem(int id, bool enable) override { controls_.EnableItem(id, enable); }
    bool IsItemEnabled(int id) override { return controls_.IsItemEnabled(id); }
    void ShowItem(int id, bool show) override { controls_.ShowItem(id, show); }
    int GetCheck(int id) override { return controls_.GetCheck(id); }
    void SetCheck(int id, int check) override { controls_.SetCheck(id, check); }
    void FocusItem(int id) override { controls_.FocusItem(id); }
    void SetCaption(const std::string& caption) override { controls_.SetCaption(caption); }
    void ClearList(int id) override { controls_.ClearList(id); }
    void AddListItem(int id, const std::string& text) override { controls_.AddListItem(id, text); }
    int GetListSelection(int id) override { return controls_.GetListSelection(id); }
    void SetListSelection(int id, int index) override { controls_.SetListSelection(id, index); }
    std::string GetListItemText(int id, int index) override { return controls_.GetListItemText(id, index); }
    int GetListCount(int id) override { return controls_.GetListCount(id); }
    void EndAsCancel() override { controls_.EndAsCancel(); }
    void SetDefaultButton(int id) override;
    void RenderPicture(NimbalCore::ImageRendering* rendering, int reduction) override;
    void RepaintPicture() override;
    void SetMinTrackSize(int width, int height) override;

    CContactSheetDoc* document_;
    CPictureView picture_;
    WxDialogView controls_;
    ReviewPresenter presenter_;
    ReviewLayout layout_;
    wxWindow* frame_ = nullptr;
    wxRect gripRect_;
    bool opened_ = false;
    bool renderPending_ = false;
    bool rendering_ = false;
};
