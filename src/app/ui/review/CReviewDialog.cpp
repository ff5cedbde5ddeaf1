#include "CReviewDialog.h"

#include "CContactSheetDoc.h"
#include "ImageRendering.h"
#include "StringIds.h"
#include "StringResources.h"
#include "TranslateWindow.h"
#include "WindowPlacementProfile.h"
#include "WxWindowPlacementTarget.h"
#include "YlmErrp.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/weakref.h>

namespace {

// The dialog's layout in dialog units: 370 x 304, the picture frame on the
// left, the controls in a column on the right.
constexpr int kTemplateWidth = 370, kTemplateHeight = 304;

struct TemplateControl {
    int id;
    int x, y, width, height;
};
constexpr TemplateControl kPictureFrame{kReviewPictureFrame, 7, 7, 291, 290};
constexpr TemplateControl kQualityGroup{kReviewQualityGroup, 305, 7, 58, 38};
constexpr TemplateControl kFaster{kReviewFaster, 311, 18, 46, 10};
constexpr TemplateControl kBetter{kReviewBetter, 311, 30, 46, 10};
constexpr TemplateControl kTag{kReviewTag, 305, 52, 58, 10};
constexpr TemplateControl kPrev{kReviewPrev, 305, 68, 58, 14};
constexpr TemplateControl kNext{kReviewNext, 305, 86, 58, 14};
constexpr TemplateControl kCounter{kReviewCounter, 305, 106, 58, 8};
constexpr TemplateControl kFirst{kReviewFirst, 305, 120, 58, 14};
constexpr TemplateControl kLast{kReviewLast, 305, 138, 58, 14};
constexpr TemplateControl kDone{kReviewDone, 305, 283, 58, 14};

// The controls that follow the window's bottom and right edges, in the
// order they are measured and moved.
constexpr int kAnchoredControls[] = {kReviewDone,    kReviewTag,  kReviewCounter,      kReviewFirst, kReviewPrev,
                                     kReviewNext,    kReviewLast, kReviewQualityGroup, kReviewBetter, kReviewFaster};

IntRect ToIntRect(const wxRect& r) { return IntRect{r.x, r.y, r.x + r.width, r.y + r.height}; }
wxRect ToWxRect(const IntRect& r) { return wxRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

std::string ReviewPositionSection() { return LoadResourceString(IDS_SECTION_REVIEW_POSITION); }

} // namespace

CReviewDialog::CReviewDialog(CContactSheetDoc* document, wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Review ", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER | wxMAXIMIZE_BOX),
      document_(document), controls_(this), presenter_(*this) {
    CreateControls();
    SetMinTrackSize(500, 500);
    Bind(wxEVT_SIZE, &CReviewDialog::OnSize, this);
    Bind(wxEVT_PAINT, &CReviewDialog::OnPaintDialog, this);
    Bind(wxEVT_RIGHT_UP, &CReviewDialog::OnRightUp, this);
    Bind(wxEVT_CHAR_HOOK, &CReviewDialog::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { OnOK(); });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOK(); }, wxID_OK);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { presenter_.Next(); }, kReviewNext);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { presenter_.Prev(); }, kReviewPrev);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { presenter_.First(); }, kReviewFirst);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { presenter_.Last(); }, kReviewLast);
    Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { presenter_.ToggleTag(); }, kReviewTag);
    Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { presenter_.Better(); }, kReviewBetter);
    Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { presenter_.Faster(); }, kReviewFaster);
}

CReviewDialog::~CReviewDialog() {
    presenter_.SaveRenderMode();
    picture_.ReleaseBits();
}

void CReviewDialog::CreateControls() {
    SetClientSize(ConvertDialogToPixels(wxSize(kTemplateWidth, kTemplateHeight)));
    auto place = [this](const TemplateControl& c) {
        return std::make_pair(ConvertDialogToPixels(wxPoint(c.x, c.y)),
                              ConvertDialogToPixels(wxSize(c.width, c.height)));
    };
    auto [framePos, frameSize] = place(kPictureFrame);
    frame_ = new wxWindow(this, kReviewPictureFrame, framePos, frameSize, wxFULL_REPAINT_ON_RESIZE);
    frame_->SetBackgroundStyle(wxBG_STYLE_PAINT);
    frame_->Bind(wxEVT_PAINT, &CReviewDialog::OnPaintFrame, this);
    frame_->Bind(wxEVT_RIGHT_UP, &CReviewDialog::OnRightUp, this);

    auto [groupPos, groupSize] = place(kQualityGroup);
    new wxStaticBox(this, kReviewQualityGroup, "Quality", groupPos, groupSize);
    auto [fasterPos, fasterSize] = place(kFaster);
    new wxRadioButton(this, kReviewFaster, "Faster", fasterPos, fasterSize, wxRB_GROUP);
    auto [betterPos, betterSize] = place(kBetter);
    new wxRadioButton(this, kReviewBetter, "Better", betterPos, betterSize);
    auto [tagPos, tagSize] = place(kTag);
    new wxCheckBox(this, kReviewTag, "Tag", tagPos, tagSize);
    auto [prevPos, prevSize] = place(kPrev);
    new wxButton(this, kReviewPrev, "< &Prev", prevPos, prevSize);
    auto [nextPos, nextSize] = place(kNext);
    new wxButton(this, kReviewNext, "&Next >", nextPos, nextSize);
    auto [counterPos, counterSize] = place(kCounter);
    new wxStaticText(this, kReviewCounter, "999 of 999", counterPos, counterSize,
                     wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
    auto [firstPos, firstSize] = place(kFirst);
    new wxButton(this, kReviewFirst, "&First", firstPos, firstSize);
    auto [lastPos, lastSize] = place(kLast);
    new wxButton(this, kReviewLast, "&Last", lastPos, lastSize);
    auto [donePos, doneSize] = place(kDone);
    new wxButton(this, wxID_OK, "&Done", donePos, doneSize);
    SetDefaultButton(kReviewNext);
}

int CReviewDialog::ShowModal() {
    if (!opened_) {
        opened_ = true;
        OnInitDialog();
    }
    return wxDialog::ShowModal();
}

IntRect CReviewDialog::ClientRect() const {
    const wxSize size = GetClientSize();
    return IntRect{0, 0, size.x, size.y};
}

bool CReviewDialog::OnInitDialog() {
    if (!document_) return false;
    const wxSize client = GetClientSize();
    const int gripWidth = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this);
    const int gripHeight = wxSystemSettings::GetMetric(wxSYS_HSCROLL_Y, this);
    gripRect_ = wxRect(client.x - gripWidth, client.y - gripHeight, gripWidth, gripHeight);

    // The anchors are taken against the client area: the frame around it
    // is the same on every side at every size.
    std::vector<ReviewLayout::Placed> placed;
    for (int id : kAnchoredControls)
        if (wxWindow* w = controls_.Item(id)) placed.push_back({id, ToIntRect(w->GetRect())});
    layout_.Measure(ClientRect(), ToIntRect(frame_->GetRect()), placed, {kReviewBetter, kReviewFaster});

    WxWindowPlacementTarget target(this);
    WindowPlacementProfile().RestoreTo(ReviewPositionSection(), target);
    ApplyLayout();

    // Each selected slide as it is now: a counted copy of its rendering, and
    // whether the slide is still in the sheet, which the folder watcher may
    // take it out of while the dialog is open.
    std::vector<ReviewPresenter::Slide> slides;
    SheetDocument& sheet = document_->Sheet();
    for (const SheetDocument::SlidePtr& slide : sheet.GetSelectionState()) {
        ReviewPresenter::Slide entry;
        if (slide) entry.rendering = std::make_unique<NimbalCore::ImageRendering>(*slide->GetRendering());
        std::weak_ptr<SheetSlide> weak = slide;
        std::weak_ptr<SheetDocument> owner = document_->SheetPtr();
        entry.windowPresent = [weak, owner] {
            const std::shared_ptr<SheetSlide> present = weak.lock();
            const std::shared_ptr<SheetDocument> alive = owner.lock();
            return present && alive && alive->HasSlide(present.get());
        };
        slides.push_back(std::move(entry));
    }
    presenter_.Open(std::move(slides));
    TranslateWindowText(this, false);
    return true;
}

void CReviewDialog::ApplyLayout() {
    if (!layout_.IsMeasured()) return;
    const wxSize client = GetClientSize();
    RefreshRect(gripRect_);
    gripRect_ = wxRect(client.x - gripRect_.width, client.y - gripRect_.height, gripRect_.width, gripRect_.height);
    RefreshRect(gripRect_);
    const IntRect window = ClientRect();
    frame_->SetSize(ToWxRect(layout_.FrameRect(window)));
    for (const ReviewLayout::Placed& c : layout_.ControlRects(window))
        if (wxWindow* w = controls_.Item(c.id)) {
            w->SetSize(ToWxRect(c.rect));
            w->Refresh();
            w->Update();
        }
}

void CReviewDialog::OnSize(wxSizeEvent& event) {
    event.Skip();
    if (!presenter_.IsInitialised()) return;
    ApplyLayout();
    presenter_.RefreshPicture();
}

wxImage CReviewDialog::ComposeFrame() {
    const wxRect frame = frame_->GetRect();
    wxBitmap canvas(std::max(1, frame.width), std::max(1, frame.height), 24);
    ReviewPresenter::Paint paint;
    {
        wxMemoryDC dc(canvas);
        dc.SetBackground(wxBrush(GetBackgroundColour()));
        dc.Clear();
        // A picture that is not the current slide's is not drawn: its
        // render follows the paint.
        // Nor is the picture while it is being replaced.
        if (!presenter_.NeedsRender() && !rendering_) paint = presenter_.PaintPicture(ToIntRect(frame));
        if (paint.draw) {
            wxRect destination = ToWxRect(paint.destination);
            destination.Offset(-frame.x, -frame.y);
            picture_.Draw(dc, &destination);
        }
    }
    wxImage pixels = canvas.ConvertToImage();
    if (paint.draw && paint.cropOutline) {
        IntRect r = *paint.cropOutline;
        r.left -= frame.x;
        r.right -= frame.x;
        r.top -= frame.y;
        r.bottom -= frame.y;
        ReviewLayout::InvertOutline(pixels.GetData(), pixels.GetWidth(), pixels.GetHeight(),
                                    int64_t(pixels.GetWidth()) * 3, r);
    }
    return pixels;
}

void CReviewDialog::OnPaintFrame(wxPaintEvent&) {
    wxPaintDC dc(frame_);
    // One render at a time: a change asked for while one runs (its progress
    // window lets the dialog's controls work) is rendered by the paint that
    // follows it.
    if (presenter_.IsInitialised() && presenter_.NeedsRender() && !renderPending_ && !rendering_) {
        // The render pumps messages through its progress window, which is
        // not done inside a paint: it runs right after this one.
        renderPending_ = true;
        CallAfter([this] {
            renderPending_ = false;
            if (!presenter_.NeedsRender() || rendering_) return;
            presenter_.RenderCurrent();
            RepaintPicture();
        });
    }
    dc.DrawBitmap(wxBitmap(ComposeFrame()), 0, 0);
}

void CReviewDialog::OnPaintDialog(wxPaintEvent&) {
    wxPaintDC dc(this);
    if (gripRect_.IsEmpty()) return;
    // The size grip: three diagonal ridges in the bottom-right corner.
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
    const int right = gripRect_.GetRight(), bottom = gripRect_.GetBottom();
    for (int step = 4; step <= std::min(gripRect_.width, gripRect_.height) - 2; step += 4)
        dc.DrawLine(right - step, bottom, right, bottom - step);
}

void CReviewDialog::SetDefaultButton(int id) {
    if (auto* button = dynamic_cast<wxButton*>(controls_.Item(id))) button->SetDefault();
}

void CReviewDialog::RenderPicture(NimbalCore::ImageRendering* rendering, int reduction) {
    rendering_ = true;
    try {
        picture_.Render(rendering, 1, 0, reduction);
    } catch (const YlmErrp&) {
        // A second failure in a row: the user was told at the first; the
        // frame stays empty.
    }
    rendering_ = false;
}

void CReviewDialog::RepaintPicture() {
    frame_->Refresh();
    frame_->Update();
}

void CReviewDialog::SetMinTrackSize(int width, int height) { SetMinSize(wxSize(width, height)); }

std::unique_ptr<wxMenu> CReviewDialog::BuildContextMenu() {
    if (!presenter_.OffersContextMenu()) return nullptr;
    auto menu = std::make_unique<wxMenu>();
    menu->AppendCheckItem(kReviewTag, "&Tag");
    menu->AppendSeparator();
    menu->Append(kReviewPrev, "&Prev");
    menu->Append(kReviewNext, "&Next");
    menu->AppendSeparator();
    menu->Append(kReviewFirst, "&First");
    menu->Append(kReviewLast, "&Last");
    menu->Enable(kReviewPrev, !presenter_.PrevGreyed());
    menu->Enable(kReviewNext, !presenter_.NextGreyed());
    menu->Check(kReviewTag, presenter_.Tagged());
    TranslateMenu(menu.get());
    return menu;
}

void CReviewDialog::OnRightUp(wxMouseEvent& event) {
    // Its commands render: none while a render runs.
    if (rendering_) return;
    std::unique_ptr<wxMenu> menu = BuildContextMenu();
    if (!menu) return;
    wxWindow* source = dynamic_cast<wxWindow*>(event.GetEventObject());
    const wxPoint at = source && source != this ? ScreenToClient(source->ClientToScreen(event.GetPosition()))
                                                : event.GetPosition();
    const int chosen = GetPopupMenuSelectionFromUser(*menu, at);
    if (chosen != wxID_NONE) RunMenuCommand(chosen);
}

void CReviewDialog::RunMenuCommand(int id) {
    switch (id) {
    case kReviewTag: presenter_.ToggleTag(); break;
    case kReviewPrev: presenter_.Prev(); break;
    case kReviewNext: presenter_.Next(); break;
    case kReviewFirst: presenter_.First(); break;
    case kReviewLast: presenter_.Last(); break;
    default: break;
    }
}

void CReviewDialog::OnCharHook(wxKeyEvent& event) {
    // Esc ends the dialog without keeping the placement.
    if (event.GetKeyCode() == WXK_ESCAPE && event.GetModifiers() == wxMOD_NONE) {
        if (IsModal()) EndModal(wxID_CANCEL);
        return;
    }
    event.Skip();
}

void CReviewDialog::OnOK() {
    WxWindowPlacementTarget target(this);
    WindowPlacementProfile().SaveFrom(ReviewPositionSection(), target);
    if (IsModal()) EndModal(wxID_OK);
    else Hide();
}
