#include "CContactSheetDoc.h"

#include "CReviewDialog.h"
#include "CSendImageHandler.h"
#include "CSlideMountView.h"
#include "FilePathSpec.h"
#include "LocalizedText.h"
#include "SendToMenuItem.h"
#include "WxCommandId.h"
#include "WxSendImageUI.h"
#include "YlmErrp.h"

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/msgdlg.h>

wxIMPLEMENT_DYNAMIC_CLASS(CContactSheetDoc, wxDocument);

CContactSheetDoc::CContactSheetDoc() {
    Bind(wxEVT_MENU, &CContactSheetDoc::OnReview, this, ToWxId(kReviewCommand));
    Bind(wxEVT_UPDATE_UI, &CContactSheetDoc::OnUpdateReview, this, ToWxId(kReviewCommand));
    Bind(wxEVT_MENU, &CContactSheetDoc::OnSendToEditor, this, ToWxId(kSendToCommand));
}

void CContactSheetDoc::OnReview(wxCommandEvent&) {
    CReviewDialog dialog(this, wxTheApp->GetTopWindow());
    dialog.ShowModal();
}

void CContactSheetDoc::OnUpdateReview(wxUpdateUIEvent& event) { event.Enable(!selection_.empty()); }

void CContactSheetDoc::OnSendToEditor(wxCommandEvent&) {
    std::vector<NimbalCore::ImageRendering*> selection;
    for (CSlideMountView* slide : selection_) selection.push_back(slide ? slide->GetRendering() : nullptr);
    WxSendImageUI ui;
    CSendImageHandler handler(ui);
    handler.SendImages(&selection);
}

bool CContactSheetDoc::OnOpenDocument(const wxString& path) {
    try {
        SetFolder(NimbalCore::FilePathSpec(path.utf8_string()));
        ScanFolder();
    } catch (const YlmErrp& error) {
        wxLogError("Lumora cannot open \"%s\" (error %d).", path, error.GetCode());
        return false;
    }
    SetFilename(path, true);
    wxFileName name = wxFileName::DirName(path);
    const wxArrayString dirs = name.GetDirs();
    SetTitle(dirs.empty() ? path : dirs.Last());
    Modify(false);
    UpdateAllViews();
    return true;
}

std::vector<NimbalCore::ImageRendering*> CContactSheetDoc::GetSelectedRenderings() {
    std::vector<NimbalCore::ImageRendering*> out;
    for (CSlideMountView* slide : selection_)
        if (slide) out.push_back(slide->GetRendering());
    return out;
}

void CContactSheetDoc::ReportDropFailures(std::vector<std::string> names) {
    std::string text;
    for (const std::string& name : names) text += name + "\n";
    wxMessageBox(wxString::FromUTF8(text), wxString::FromUTF8(LoadTranslatedString(57344)), wxOK | wxICON_WARNING);
}

void CContactSheetDoc::ImageRenamed(const NimbalCore::FilePathSpec& oldPath, const NimbalCore::FilePathSpec& newPath) {
    try {
        ContactSheet::ImageRenamed(oldPath, newPath);
    } catch (const YlmErrp&) {
        // An image this sheet does not list: its list stays as it is.
    }
    if (!IsRenaming()) UpdateAllViews();
}

void CContactSheetDoc::ActivateImage(const NimbalCore::FilePathSpec&) {
    if (wxView* view = GetFirstView())
        if (wxWindow* frame = view->GetFrame()) frame->Raise();
}
