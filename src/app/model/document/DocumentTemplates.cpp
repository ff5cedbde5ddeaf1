#include "DocumentTemplates.h"

#include <strings.h>

const std::vector<DocumentTemplateInfo>& DocumentTemplates() {
    using K = DocumentTemplateInfo::Kind;
    static const std::vector<DocumentTemplateInfo> templates{
        {130, K::kContactSheet, "\nFolder\nContact Sheet\n\n\nZynLumoraContactSheet\nZyn Lumora Contact Sheet"},
        {129, K::kPreview, "\nZyn TIFF\nZyn TIFF File\nZyn TIFF Files (*.tif)\n.tif\nZynTIFFFile\nZyn TIFF File"},
        {148, K::kPreview, "\nZyn Raw\nZyn Raw File\nZyn Raw Files (*.zyr)\n.zyr\nZynRawFile\nZyn Raw File"},
        {131, K::kPreview, "\nArchive\nZyn JPEG File\nZyn JPEG Files (*.jpg)\n.jpg\nZynJPEGFile\nZyn JPEG File"},
        {140, K::kAutomation, "\nZyn Image\nZyn Image File\n\n\nLumora\nZyn Lumora Image Browser"},
    };
    return templates;
}

DocStringFields SplitDocString(const char* docString) {
    DocStringFields f;
    std::string* fields[] = {&f.windowTitle, &f.docName, &f.fileNewName, &f.filterName,
                             &f.filterExt, &f.regFileTypeId, &f.regFileTypeName};
    size_t index = 0;
    for (const char* p = docString; p && *p; ++p) {
        if (*p == '\n') {
            if (++index == std::size(fields)) break;
        } else {
            *fields[index] += *p;
        }
    }
    return f;
}

int TemplateIndexForPath(const std::string& path, bool isFolder) {
    if (isFolder) return 0;
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return -1;
    const std::string extension = name.substr(dot);
    const auto& templates = DocumentTemplates();
    for (size_t i = 0; i < templates.size(); ++i) {
        const std::string wanted = SplitDocString(templates[i].docString).filterExt;
        if (!wanted.empty() && ::strcasecmp(wanted.c_str(), extension.c_str()) == 0) return int(i);
    }
    return -1;
}
