#include "CContactSheetDoc.h"

#include "CContactSheetView.h"
#include "CLumoraApp.h"
#include "CLumoraStatusBar.h"
#include "CMainFrame.h"
#include "Image.h"
#include "CReviewDialog.h"
#include "CSaveMsgDlg.h"
#include "CSendImageHandler.h"
#include "CloseUpViewBase.h"
#include "ImageBarsRefresh.h"
#include "MainFrameLayout.h"
#include "SendToMenuItem.h"
#include "SheetOrganizeCommands.h"
#include "WxCommandId.h"
#include "WxSendImageUI.h"
#include "WxWhiteBalanceSaveDialog.h"
#include "WxSheetUiQueue.h"

#include <wx/app.h>
#include <wx/aui/tabmdi.h>
#include <wx/utils.h>

namespace {

enum SheetCommand : int { kCommandFileSave = 0xE103 };

// The status pane of the counts of slides and selected slides.
constexpr int kCountsPane = 59145;

// The watchers pause while the program renames files.
bool RescanEnabled() {
    CLumoraApp* app = TheLumoraApp();
    return !app || app->IsFolderRescanEnabled();
}

} // namespace

wxIMPLEMENT_DYNAMIC_CLASS(CContactSheetDoc, wxDocument);

CContactSheetDoc::CContactSheetDoc()
    : sheet_(std::make_shared<SheetDocument>(std::make_shared<WxSheetUiQueue>(), &RescanEnabled)) {
    sheet_->SetHost(this);
    std::weak_ptr<SheetDocument> weak = sheet_;
    // The focused image's sounds, read under the document lock: the watcher
    // may take the slide away meanwhile.
    auto sounds = [weak]() -> SoundPlayer::Sounds {
        std::shared_ptr<SheetDocument> sheet = weak.lock();
        if (!sheet) return {};
        std::lock_guard<std::recursive_mutex> guard(sheet->DocumentLock());
        NimbalCore::ImageRendering* rendering = nullptr;
        if (!sheet->GetFocusedImage(&rendering) || !rendering || !*rendering->GetImage()) return {};
        NimbalCore::ImageRef image = *rendering->GetImage();
        return {image, *image->GetSounds()};
    };
    auto count = [sounds] {
        const SoundPlayer::Sounds focused = sounds();
        return focused.image ? int(focused.files.size()) : -1;
    };
    sound_ = std::make_unique<CDocumentSound>(*this, sounds, count);
    Bind(wxEVT_MENU, &CContactSheetDoc::OnReview, this, ToWxId(kReviewCommand));
    Bind(wxEVT_UPDATE_UI, &CContactSheetDoc::OnUpdateReview, this, ToWxId(kReviewCommand));
    Bind(wxEVT_MENU, &CContactSheetDoc::OnSendToEditor, this, ToWxId(kSendToCommand));
    for (int id : {SheetOrganizeCommands::kSortByName, SheetOrganizeCommands::kSortByDate}) {
        Bind(wxEVT_MENU, &CContactSheetDoc::OnSort, this, ToWxId(id));
        Bind(wxEVT_UPDATE_UI, &CContactSheetDoc::OnUpdateSort, this, ToWxId(id));
    }
    for (int id : {SheetOrganizeCommands::kSelectAll, SheetOrganizeCommands::kSelectInverse,
                   SheetOrganizeCommands::kSelectTagged, SheetOrganizeCommands::kDeselectAll}) {
        Bind(wxEVT_MENU, &CContactSheetDoc::OnSelectCommand, this, ToWxId(id));
        Bind(wxEVT_UPDATE_UI, &CContactSheetDoc::OnUpdateSelectCommand, this, ToWxId(id));
    }
    Bind(wxEVT_MENU, &CContactSheetDoc::OnFileSave, this, ToWxId(kCommandFileSave));
    Bind(wxEVT_MENU, &CContactSheetDoc::OnSaveBalanceFile, this, ToWxId(WhiteBalanceFileCommand::kCommand));
    // Same rule as Review: a selection.
    Bind(wxEVT_UPDATE_UI, &CContactSheetDoc::OnUpdateReview, this, ToWxId(WhiteBalanceFileCommand::kCommand));
    Bind(wxEVT_UPDATE_UI, &CContactSheetDoc::OnUpdateFileSave, this, ToWxId(kCommandFileSave));
}

CContactSheetDoc::~CContactSheetDoc() {
    *alive_ = false;
    // A document the class library discards without closing it.
    if (!closed_) sheet_->Close();
}

bool CContactSheetDoc::OnOpenDocument(const wxString& path) {
    // The order chosen last, before the watcher lists the first slide (the
    // frame is known once the view exists).
    if (CMainFrame* frame = MainFrame()) sheet_->SetSortOrder(frame->State().sortOrder);
    if (!sheet_->Open(path.utf8_string())) return false;
    SetFilename(path, true);
    SetTitle(wxString::FromUTF8(SheetDocument::TitleOf(path.utf8_string())));
    Modify(false);
    UpdateAllViews();
    return true;
}

bool CContactSheetDoc::OnCloseDocument() {
    sheet_->Close();
    closed_ = true;
    return CDocumentBase::OnCloseDocument();
}

bool CContactSheetDoc::OnSaveModified() { return sheet_->SaveModified(); }

bool CContactSheetDoc::IsModified() const { return sheet_->IsModified(); }

void CContactSheetDoc::Modify(bool modified) { sheet_->SetModifiedFlag(modified); }

void CContactSheetDoc::SetRenaming(bool renaming) {
    CDocumentBase::SetRenaming(renaming);
    sheet_->SetRenameInProgress(renaming);
}

void CContactSheetDoc::OnReview(wxCommandEvent&) {
    CReviewDialog dialog(this, wxTheApp->GetTopWindow());
    dialog.ShowModal();
}

void CContactSheetDoc::OnUpdateReview(wxUpdateUIEvent& event) { event.Enable(!GetSelectionState().empty()); }

namespace {

int SortModeOf(int wxId) {
    return FromWxId(wxId) == SheetOrganizeCommands::kSortByDate ? SheetOrganizeCommands::kByDate
                                                                : SheetOrganizeCommands::kByName;
}

} // namespace

void CContactSheetDoc::OnSort(wxCommandEvent& event) {
    // Without a main frame the chosen mode is kept nowhere else.
    int unkept = 0;
    CMainFrame* frame = MainFrame();
    int& lastMode = frame ? frame->State().sortOrder : unkept;
    if (SheetOrganizeCommands::SortBy(*sheet_, SortModeOf(event.GetId()), lastMode)) UpdateAllViews();
}

void CContactSheetDoc::OnUpdateSort(wxUpdateUIEvent& event) {
    const SheetOrganizeCommands::SortItemState item = SheetOrganizeCommands::SortItem(*sheet_, SortModeOf(event.GetId()));
    if (item.disabled) event.Enable(false);
    event.Check(item.checked);
}

void CContactSheetDoc::OnSelectCommand(wxCommandEvent& event) {
    wxBusyCursor wait;
    switch (FromWxId(event.GetId())) {
    case SheetOrganizeCommands::kSelectAll: SheetOrganizeCommands::SelectAll(*sheet_); break;
    case SheetOrganizeCommands::kSelectInverse: SheetOrganizeCommands::SelectInverse(*sheet_); break;
    case SheetOrganizeCommands::kSelectTagged: SheetOrganizeCommands::SelectTagged(*sheet_); break;
    default: SheetOrganizeCommands::DeselectAll(*sheet_); break;
    }
}

void CContactSheetDoc::OnUpdateSelectCommand(wxUpdateUIEvent& event) {
    event.Enable(SheetOrganizeCommands::CanSelect(*sheet_));
}

void CContactSheetDoc::OnSaveBalanceFile(wxCommandEvent&) {
    NimbalCore::ImageRef image;
    if (SheetDocument::SlidePtr focused = sheet_->GetFocusedSlide()) image = *focused->GetRendering()->GetImage();
    if (!image) return;
    WxWhiteBalanceSaveDialog dialog(DialogParent());
    WhiteBalanceFileCommand::Run(image.Get(), GetFilename().utf8_string(), true, dialog);
}

void CContactSheetDoc::OnSendToEditor(wxCommandEvent&) {
    std::vector<NimbalCore::ImageRendering*> selection = sheet_->GetSelectedImages();
    WxSendImageUI ui;
    CSendImageHandler handler(ui);
    handler.SendImages(&selection);
}

void CContactSheetDoc::OnFileSave(wxCommandEvent&) {
    wxBusyCursor wait;
    sheet_->Save();
}

void CContactSheetDoc::OnUpdateFileSave(wxUpdateUIEvent& event) { event.Enable(sheet_->CanSave()); }

void CContactSheetDoc::RelayoutSoon() {
    if (relayoutQueued_) return;
    relayoutQueued_ = true;
    // After the notices already queued: one layout for the whole burst.
    // The document may be gone by then: the token tells.
    wxTheApp->CallAfter([this, alive = alive_] {
        if (!*alive || closed_) return;
        relayoutQueued_ = false;
        UpdateAllViews();
        sheet_->UpdateCountsPane();
    });
}

void CContactSheetDoc::BeginCommand() {
    wxBeginBusyCursor();
    sheet_->DocumentLock().lock();
}

void CContactSheetDoc::EndCommand() {
    sheet_->DocumentLock().unlock();
    wxEndBusyCursor();
}

void CContactSheetDoc::StopSoundAndWait(const std::string&) {
    sound_->StopAndWaitShowing(DialogParent());
}

bool CContactSheetDoc::HasMainWindow() { return MainFrame() != nullptr; }

bool CContactSheetDoc::HasSheetView() { return dynamic_cast<CContactSheetView*>(GetFirstView()) != nullptr; }

void CContactSheetDoc::RefreshImageBars(NimbalCore::ImageRendering* rendering) {
    ::RefreshImageBars(MainFrame(), rendering);
}

void CContactSheetDoc::ClearImageBars() { ::RefreshImageBars(MainFrame(), nullptr); }

void CContactSheetDoc::FollowFocusWithCloseUp(NimbalCore::ImageRendering* rendering) {
    // Today's sheet window starts no drags of slides.
    NimbalCore::CloseUpViewBase::ShowCloseUpFor(sheet_.get(), rendering);
}

void CContactSheetDoc::ClearStatusPanes() {
    if (CMainFrame* frame = MainFrame()) frame->ClearStatusPanes();
}

void CContactSheetDoc::SetCountsPane(const std::string& text) {
    CMainFrame* frame = MainFrame();
    if (!frame) return;
    const std::vector<int>& indicators = StatusIndicators();
    for (size_t pane = 0; pane < indicators.size(); ++pane)
        if (indicators[pane] == kCountsPane) frame->SetStatusText(wxString::FromUTF8(text), int(pane));
}

void CContactSheetDoc::ShowSheet() {
    if (wxView* view = GetFirstView())
        if (wxWindow* frame = view->GetFrame()) frame->Raise();
}

void CContactSheetDoc::SoundsChanged(const std::shared_ptr<SheetSlide>& slide) {
    RefreshImageBars(slide ? slide->GetRendering() : nullptr);
}

int CContactSheetDoc::AskSaveFailure(const std::string& message, int& yesToAll) {
    CSaveMsgDlg dialog(DialogParent());
    dialog.message = message;
    dialog.yesToAll = yesToAll;
    const int answer = dialog.DoModal();
    yesToAll = dialog.yesToAll;
    return answer;
}

int CContactSheetDoc::SaveImagesAs(const std::vector<std::shared_ptr<SheetSlide>>&, int) {
    // Saving copies elsewhere comes with the saving commands; until then the
    // sheet stays open with its changes.
    return 0;
}

CMainFrame* CContactSheetDoc::MainFrame() {
    if (CMainFrame* frame = TheMainFrame()) return frame;
    // A frame of the program's kind that is not the application's own (the
    // window tests): the one the sheet's window sits in.
    wxView* view = GetFirstView();
    auto* child = view ? dynamic_cast<wxAuiMDIChildFrame*>(view->GetFrame()) : nullptr;
    return child ? dynamic_cast<CMainFrame*>(child->GetMDIParentFrame()) : nullptr;
}
