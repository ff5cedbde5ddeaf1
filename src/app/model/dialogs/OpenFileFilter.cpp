#include "OpenFileFilter.h"

#include "DocumentTemplates.h"
#include "LocalizedText.h"
#include "ProfileItem.h"
#include "ProfileItemManager.h"
#include "StringIds.h"

std::vector<FileFilterEntry> OpenFilterEntries() {
    std::vector<FileFilterEntry> entries;
    for (const DocumentTemplateInfo& t : DocumentTemplates()) {
        const DocStringFields f = SplitDocString(t.docString);
        if (f.filterExt.empty() || f.filterName.empty()) continue;
        entries.push_back({TranslateString(f.filterName), "*" + f.filterExt});
    }
    entries.push_back({LoadTranslatedString(IDS_OPEN_FILTER_IMAGES), "*.zyr;*.tif;*.jpg"});
    entries.push_back({LoadTranslatedString(IDS_OPEN_FILTER_ALL), "*.*"});
    return entries;
}

std::string OpenFilterWildcard() {
    std::string wildcard;
    for (const FileFilterEntry& e : OpenFilterEntries()) {
        if (!wildcard.empty()) wildcard += '|';
        wildcard += e.name + '|' + e.pattern;
    }
    return wildcard;
}

std::string OpenDialogTitle() { return LoadTranslatedString(IDS_OPEN_TITLE); }

std::string OpenDialogStartFolder() {
    std::string folder;
    ProfileItemManager().GetString(PI_LAST_FILE_OPEN_PATH, folder);
    return folder;
}

void RememberOpenFolder(const std::string& folder) {
    ProfileItemManager().SetString(PI_LAST_FILE_OPEN_PATH, folder);
}
