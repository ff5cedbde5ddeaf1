#pragma once
// The five kinds of document, in the order they are registered, with their
// document strings; which one opens a path.
#include <string>
#include <vector>

struct DocumentTemplateInfo {
    enum Kind { kContactSheet, kPreview, kAutomation };
    int resourceId;             // 130, 129, 148, 131, 140
    Kind kind;
    const char* docString;      // "\nFolder\nContact Sheet\n..." (seven fields)
};

// The fields of a document string, in order.
struct DocStringFields {
    std::string windowTitle, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName;
};

const std::vector<DocumentTemplateInfo>& DocumentTemplates();
DocStringFields SplitDocString(const char* docString);

// The index into DocumentTemplates() of the template that opens the path:
// a folder is the contact sheet; a file by its extension, case-blind; -1 for
// none.
int TemplateIndexForPath(const std::string& path, bool isFolder);
