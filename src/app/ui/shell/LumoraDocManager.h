#pragma once
// The document manager: a folder opens as a contact sheet, a file by its
// extension (case-blind); what opens joins the recent-file list.
#include <wx/docview.h>

class LumoraDocManager : public wxDocManager {
public:
    // The five templates in their order (folder, TIFF, raw, JPEG,
    // automation).
    void RegisterTemplates();
    wxDocTemplate* FindTemplateForPath(const wxString& path) override;
    void AddFileToHistory(const wxString& file) override;
};
