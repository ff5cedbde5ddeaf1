#include "CDocumentBase.h"

#include "ApplyParamGroupsToImages.h"
#include "CLumoraApp.h"
#include "CMainFrame.h"
#include "CPasteSpecialDlg.h"
#include "CProgressDlg.h"
#include "CRenameDlg.h"
#include "Image.h"
#include "ImageCommandRules.h"
#include "ImageMenuCommands.h"
#include "ImageRendering.h"
#include "LocalizedText.h"
#include "ProfileItemManager.h"
#include "RecentFileList.h"
#include "RenameFailureQuestion.h"
#include "StringIds.h"
#include "UndoTextIds.h"
#include "WxCommandId.h"
#include "YlmErrp.h"

#include <wx/log.h>
#include <wx/utils.h>

#include <algorithm>
#include <climits>
#include <optional>

namespace {

enum DocumentCommand : int {
    kCommandRename = 33106,
    kCommandPasteSpecial = 33196,
    kCommandUndo = 57643,
    kCommandRedo = 57644,
};

// Clears the document's dialog flag however the dialog ends.
struct DialogActiveScope {
    explicit DialogActiveScope(SettingsDocument& document) : document(document) { document.SetDialogActive(true); }
    ~DialogActiveScope() { document.SetDialogActive(false); }
    SettingsDocument& document;
};

} // namespace

CDocumentBase::CDocumentBase(UndoHost* host)
    : programHost_([this] { return DialogParent(); }), history_(*this, host ? *host : programHost_) {
    // Undo and Redo: the item reads the step's text, and is disabled while
    // it reads the "Can't" text of an empty stack.
    const auto bindStepItem = [this](int command, void (CDocumentBase::*run)(), int (CDocumentBase::*textId)(),
                                     int emptyText) {
        Bind(wxEVT_MENU, [this, run](wxCommandEvent&) { (this->*run)(); }, ToWxId(command));
        Bind(wxEVT_UPDATE_UI, [this, textId, emptyText](wxUpdateUIEvent& event) {
            const int text = (this->*textId)();
            event.SetText(wxString::FromUTF8(LoadTranslatedString(text)));
            event.Enable(text != emptyText);
        }, ToWxId(command));
    };
    bindStepItem(kCommandUndo, &CDocumentBase::Undo, &CDocumentBase::GetUndoTextId, IDS_CANT_UNDO);
    bindStepItem(kCommandRedo, &CDocumentBase::Redo, &CDocumentBase::GetRedoTextId, IDS_CANT_REDO);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnPasteSpecial(); }, ToWxId(kCommandPasteSpecial));
    Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& event) {
        CMainFrame* frame = TheMainFrame();
        event.Enable(frame && frame->State().settingsCopied && !GetSelectedRenderings().empty());
    }, ToWxId(kCommandPasteSpecial));
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnRename(); }, ToWxId(kCommandRename));
    Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& event) { event.Enable(!GetSelectedRenderings().empty()); },
         ToWxId(kCommandRename));
    for (int command : ImageMenuCommands::Ids()) {
        Bind(wxEVT_MENU, &CDocumentBase::OnImageCommand, this, ToWxId(command));
        Bind(wxEVT_UPDATE_UI, &CDocumentBase::OnUpdateImageCommand, this, ToWxId(command));
    }
}

bool CDocumentBase::HasMainWindow() { return TheMainFrame() != nullptr; }

int CDocumentBase::CurrentTool() {
    CMainFrame* frame = TheMainFrame();
    return frame ? frame->State().currentTool : 0;
}

void CDocumentBase::OnImageCommand(wxCommandEvent& event) {
    if (!ImageMenuCommands::Run(*this, FromWxId(event.GetId()))) event.Skip();
}

void CDocumentBase::OnUpdateImageCommand(wxUpdateUIEvent& event) {
    const int command = FromWxId(event.GetId());
    const std::optional<ImageCommandState> state = ImageCommandRules::Update(*this, command);
    if (!state) return;
    event.Enable(state->enable);
    if (ImageMenuCommands::Checkable(command)) event.Check(state->check);
}

bool CDocumentBase::GetFocusedImage(NimbalCore::ImageRendering** rendering) {
    const std::vector<NimbalCore::ImageRendering*> selected = GetSelectedImages();
    *rendering = selected.empty() ? nullptr : selected.back();
    return *rendering != nullptr;
}

void CDocumentBase::BeginUndo(int undoTextId, int redoTextId, bool keepParams, bool keepIPTC, bool keepTags,
                              bool keepAnnotation, bool keepFileNames) {
    history_.BeginUndo(undoTextId, redoTextId, keepParams, keepIPTC, keepTags, keepAnnotation, keepFileNames);
}

void CDocumentBase::BeginUndoForImages(NimbalCore::ImageRendering* rendering, int undoTextId, int redoTextId,
                                       bool keepParams, bool keepIPTC, bool keepTags, bool keepAnnotation,
                                       bool keepFileNames) {
    history_.BeginUndoForImages(rendering, undoTextId, redoTextId, keepParams, keepIPTC, keepTags, keepAnnotation,
                                keepFileNames);
}

wxWindow* CDocumentBase::DialogParent() {
    wxView* view = GetFirstView();
    return view ? view->GetFrame() : nullptr;
}

void CDocumentBase::OnPasteSpecial() {
    CMainFrame* frame = TheMainFrame();
    if (!frame || !frame->State().settingsCopied) return;
    RunPasteSpecial();
}

void CDocumentBase::RunPasteSpecial() {
    if (GetSelectedRenderings().empty()) return;
    BeginUndo(IDS_UNDO_PASTE_SPECIAL, IDS_REDO_PASTE_SPECIAL, true, true, true, false, false);
    int answer = wxID_CANCEL;
    std::vector<int> groups;
    try {
        DialogActiveScope active(*this);
        CPasteSpecialDlg dialog(this, 0, DialogParent());
        answer = dialog.ShowModal();
        groups = dialog.Groups();
        if (answer == wxID_OK) {
            wxBusyCursor wait;
            PasteSettings(groups);
        }
    } catch (const YlmErrp& error) {
        // Nothing half-pasted stays: the images go back to the step's state.
        RevertLastUndo(true);
        wxLogError("Lumora cannot paste the settings (error %d).", error.GetCode());
        return;
    }
    if (answer == wxID_OK)
        EndUndo();
    else
        RevertLastUndo(true);
}

void CDocumentBase::OnRename() {
    // Counted references: a renamed file may rebuild the windows that hold
    // the renderings.
    std::vector<NimbalCore::ImageRef> images;
    for (NimbalCore::ImageRendering* rendering : GetSelectedRenderings())
        if (rendering && *rendering->GetImage()) images.push_back(*rendering->GetImage());
    if (images.empty()) return;
    const int count = int(images.size());
    const std::string first = images.front()->GetFileName();
    const size_t dot = first.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : first.substr(dot);
    const std::string name = count > 1 && dot != std::string::npos ? first.substr(0, dot) : first;

    CRenameDlg dialog(count, name, extension, DialogParent());
    if (dialog.ShowModal() != wxID_OK) return;
    const std::string baseName = dialog.GetBaseName();
    const int digits = dialog.GetNumDigits();
    const int start = dialog.GetStartFrom();
    if (count == 1 && baseName == first) return;

    std::unique_ptr<CProgressDlg> progress;
    if (count > 1) {
        ProfileItemManager settings;
        settings.SetInt(PI_SAVE_AS_NUM_DIGITS, digits);
        settings.SetString(PI_SAVE_AS_BASENAME, baseName);
        settings.SetInt(PI_SAVE_AS_START_FROM, int(std::min<long long>((long long)start + count, INT_MAX)));
        progress = std::make_unique<CProgressDlg>(IDS_RENAMING_FILES);
        if (progress->Create(DialogParent(), false)) {
            progress->SetRange(0, count);
            progress->SetStep(1);
        }
    }
    // The document's own windows follow once, after the last file.
    struct RenamingScope {
        CDocumentBase& document;
        explicit RenamingScope(CDocumentBase& d) : document(d) { document.SetRenaming(true); }
        ~RenamingScope() { document.SetRenaming(false); }
    };
    std::optional<RenamingScope> renaming(std::in_place, *this);
    for (int i = 0; i < count; ++i) {
        NimbalCore::Image& image = *images[size_t(i)];
        const NimbalCore::FilePathSpec oldPath = image.GetFilePathSpec();
        try {
            std::string newName = baseName;
            if (count > 1) {
                const std::string own = image.GetFileName();
                const size_t ownDot = own.rfind('.');
                newName = RenamePresenter::NumberedName(digits, int(std::min<long long>((long long)start + i, INT_MAX)),
                                                        baseName) +
                          (ownDot == std::string::npos ? std::string() : own.substr(ownDot));
            }
            NimbalCore::FilePathSpec newPath = oldPath.GetFolder();
            newPath.Append(newName);
            if (image.IsOpen()) image.Close();
            ReplaceRecentFile(oldPath.GetPath(), newPath.GetPath());
            image.Rename(newPath);
        } catch (const YlmErrp& error) {
            if (!GoOnAfterRenameFailure(size_t(count), error.GetCode())) break;
        } catch (...) {
        }
        if (progress && !progress->IsWindowGone()) progress->StepIt();
    }
    if (progress) progress->DestroyWindow();
    renaming.reset();
    UpdateAllViews();
}

bool CDocumentBase::PasteSettings(const std::vector<int>& groups) {
    CMainFrame* frame = TheMainFrame();
    if (!frame || !frame->State().settingsCopied) return false;
    std::vector<NimbalCore::ImageRendering*> refused;
    const std::vector<NimbalCore::ImageRendering*> renderings = GetSelectedRenderings();
    NimbalCore::ApplyParamGroupsToImages(renderings, frame->State().copiedSettings, groups, frame->State().copiedTagged,
                                         frame->State().copiedIPTC, refused);
    for (NimbalCore::ImageRendering* r : renderings) r->ReloadProcessParam();
    ImagesChanged();
    return refused.empty();
}
