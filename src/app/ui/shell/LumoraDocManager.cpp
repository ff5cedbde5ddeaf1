#include "LumoraDocManager.h"

#include "CContactSheetDoc.h"
#include "CContactSheetView.h"
#include "CLMPreviewView.h"
#include "CLumoraDoc.h"
#include "CLumoraView.h"
#include "CPreviewDoc.h"
#include "DocumentTemplates.h"
#include "RecentFileList.h"

#include <wx/filename.h>

void LumoraDocManager::RegisterTemplates() {
    if (!GetTemplates().empty()) return;
    for (const DocumentTemplateInfo& info : DocumentTemplates()) {
        const DocStringFields fields = SplitDocString(info.docString);
        wxClassInfo* doc = wxCLASSINFO(CLumoraDoc);
        wxClassInfo* view = wxCLASSINFO(CLumoraView);
        if (info.kind == DocumentTemplateInfo::kContactSheet) {
            doc = wxCLASSINFO(CContactSheetDoc);
            view = wxCLASSINFO(CContactSheetView);
        } else if (info.kind == DocumentTemplateInfo::kPreview) {
            doc = wxCLASSINFO(CPreviewDoc);
            view = wxCLASSINFO(CLMPreviewView);
        }
        const std::string& ext = fields.filterExt;
        // The manager keeps the templates it is given.
        new wxDocTemplate(this, wxString::FromUTF8(fields.filterName),
                          ext.empty() ? wxString() : wxString::FromUTF8("*" + ext), wxEmptyString,
                          ext.empty() ? wxString() : wxString::FromUTF8(ext.substr(1)),
                          wxString::FromUTF8(fields.docName), wxString::FromUTF8(fields.docName), doc, view,
                          info.kind == DocumentTemplateInfo::kAutomation ? wxTEMPLATE_INVISIBLE : wxTEMPLATE_VISIBLE);
    }
}

wxDocTemplate* LumoraDocManager::FindTemplateForPath(const wxString& path) {
    const int index = TemplateIndexForPath(path.utf8_string(), wxFileName::DirExists(path));
    if (index < 0 || static_cast<size_t>(index) >= GetTemplates().size()) return nullptr;
    return static_cast<wxDocTemplate*>(GetTemplates()[index]);
}

void LumoraDocManager::AddFileToHistory(const wxString& file) {
    TheRecentFileList().Add(file.utf8_string());
    TheRecentFileList().Save();
}
