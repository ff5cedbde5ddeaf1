#include "CPreviewDoc.h"

#include "CSendImageHandler.h"
#include "FilePathSpec.h"
#include "SendToMenuItem.h"
#include "WxCommandId.h"
#include "WxSendImageUI.h"
#include "YlmErrp.h"

#include <wx/filename.h>
#include <wx/log.h>

wxIMPLEMENT_DYNAMIC_CLASS(CPreviewDoc, wxDocument);

CPreviewDoc::CPreviewDoc() { Bind(wxEVT_MENU, &CPreviewDoc::OnSendToEditor, this, ToWxId(kSendToCommand)); }

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

std::vector<NimbalCore::ImageRendering*> CPreviewDoc::GetSelectedRenderings() {
    NimbalCore::ImageRendering* rendering = GetCurrentRendering();
    if (!rendering) return {};
    return {rendering};
}

void CPreviewDoc::ActivateImage(const NimbalCore::FilePathSpec&) {
    if (wxView* view = GetFirstView())
        if (wxWindow* frame = view->GetFrame()) frame->Raise();
}
