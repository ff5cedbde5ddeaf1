#include "LumoraDocManager.h"

#include "DocumentTemplates.h"
#include "RecentFileList.h"

#include <wx/filename.h>

wxDocTemplate* LumoraDocManager::FindTemplateForPath(const wxString& path) {
    const int index = TemplateIndexForPath(path.utf8_string(), wxFileName::DirExists(path));
    if (index < 0 || static_cast<size_t>(index) >= GetTemplates().size()) return nullptr;
    return static_cast<wxDocTemplate*>(GetTemplates()[index]);
}

void LumoraDocManager::AddFileToHistory(const wxString& file) {
    TheRecentFileList().Add(file.utf8_string());
    TheRecentFileList().Save();
}
