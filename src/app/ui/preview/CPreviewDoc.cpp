#include "CPreviewDoc.h"

#include "CSendImageHandler.h"
#include "FilePathSpec.h"
#include "Image.h"
#include "ImageRendering.h"
#include "PreviewParamsApply.h"
#include "SendToMenuItem.h"
#include "WxCommandId.h"
#include "WxSendImageUI.h"
#include "WxWhiteBalanceSaveDialog.h"
#include "YlmErrp.h"

#include <wx/filename.h>
#include <wx/log.h>

wxIMPLEMENT_DYNAMIC_CLASS(CPreviewDoc, wxDocument);

CPreviewDoc::CPreviewDoc() {
    Bind(wxEVT_MENU, &CPreviewDoc::OnSendToEditor, this, ToWxId(kSendToCommand));
    Bind(wxEVT_MENU, &CPreviewDoc::OnSaveBalanceFile, this, ToWxId(WhiteBalanceFileCommand::kCommand));
    sound_ = std::make_unique<CDocumentSound>(
        *this, [this] { return ImageSounds(); },
        [this] {
            const SoundPlayer::Sounds sounds = ImageSounds();
            return sounds.image ? int(sounds.files.size()) : -1;
        });
}

bool CPreviewDoc::OnCloseDocument() {
    sound_->StopAndWaitShowing(DialogParent());
    return CDocumentBase::OnCloseDocument();
}

void CPreviewDoc::OnSaveBalanceFile(wxCommandEvent&) {
    NimbalCore::ImageRendering* rendering = GetCurrentRendering();
    if (!rendering || !*rendering->GetImage()) return;
    const NimbalCore::ImageRef image = *rendering->GetImage();
    WxWhiteBalanceSaveDialog dialog(DialogParent());
    WhiteBalanceFileCommand::Run(image.Get(), GetFilename().utf8_string(), false, dialog);
}

SoundPlayer::Sounds CPreviewDoc::ImageSounds() {
    NimbalCore::ImageRendering* rendering = GetCurrentRendering();
    if (!rendering || !*rendering->GetImage()) return {};
    NimbalCore::ImageRef image = *rendering->GetImage();
    return {image, *image->GetSounds()};
}

CPreviewDoc::~CPreviewDoc() {
    // The player reads the image: it ends before the image goes.
    sound_.reset();
    NimbalCore::ImageRendering* rendering = GetCurrentRendering();
    if (!rendering || !*rendering->GetImage()) return;
    try {
        (*rendering->GetImage())->RemoveImageChangeCB(this);
    } catch (const YlmErrp&) {
        // Not registered.
    }
}

bool CPreviewDoc::ApplyProcessParams(const NimbalCore::ImageProcessParam& params,
                                     NimbalCore::ImageRendering* rendering) {
    bool changed = false;
    const bool applied = PreviewParamsApply::Apply(params, rendering, &changed);
    if (changed) {
        Modify(true);
        UpdateAllViews();
    }
    return applied;
}

void CPreviewDoc::OnSendToEditor(wxCommandEvent&) {
    WxSendImageUI ui;
    CSendImageHandler handler(ui);
    handler.SendImage(GetCurrentRendering());
}

bool CPreviewDoc::OnOpenDocument(const wxString& path) {
    try {
        Initialize(NimbalCore::FilePathSpec(path.utf8_string()));
    } catch (const YlmErrp& error) {
        wxLogError("Lumora cannot open \"%s\" (error %d).", path, error.GetCode());
        return false;
    }
    // The document hears of its image's changes (a rename among them).
    if (NimbalCore::ImageRendering* rendering = GetCurrentRendering(); rendering && *rendering->GetImage())
        (*rendering->GetImage())->AddImageChangeCB(this);
    SetFilename(path, true);
    SetTitle(wxFileName(path).GetFullName());
    Modify(false);
    UpdateAllViews();
    return true;
}

NimbalCore::ImageRendering* CPreviewDoc::GetCurrentRendering() {
    try {
        return GetImageRendering();
    } catch (const YlmErrp&) {
        return nullptr;
    }
}

int CPreviewDoc::ChooseRenderScale(int quality) {
    NimbalCore::ImageRendering* rendering = GetCurrentRendering();
    if (quality == 1 || !rendering || !*rendering->GetImage()) return 1;
    int scale = 1;
    for (const auto& [level, rect] : (*rendering->GetImage())->GetAvailableResolutions())
        if ((level == 2 || level == 4) && level > scale) scale = level;
    return scale;
}

std::vector<NimbalCore::ImageRendering*> CPreviewDoc::GetSelectedRenderings() {
    NimbalCore::ImageRendering* rendering = GetCurrentRendering();
    if (!rendering) return {};
    return {rendering};
}

void CPreviewDoc::ImageRenamed(const NimbalCore::FilePathSpec&, const NimbalCore::FilePathSpec& newPath) {
    NimbalCore::ImageRendering* rendering = GetCurrentRendering();
    if (!rendering || !*rendering->GetImage()) return;
    if (!newPath.IsSameFile((*rendering->GetImage())->GetFilePathSpec())) return;
    const wxString path = wxString::FromUTF8(newPath.GetPath());
    // The title first: the views label their windows from it.
    SetTitle(wxFileName(path).GetFullName());
    SetFilename(path, true);
}

void CPreviewDoc::ActivateImage(const NimbalCore::FilePathSpec&) {
    if (wxView* view = GetFirstView())
        if (wxWindow* frame = view->GetFrame()) frame->Raise();
}
