#pragma once
// The Open command's picker: its filter entries (translated), the entry
// selected at first, its title and the folder it starts in.
#include <string>
#include <vector>

struct FileFilterEntry {
    std::string name;     // "Zyn TIFF Files (*.tif)"
    std::string pattern;  // "*.tif"
    bool operator==(const FileFilterEntry&) const = default;
};

// Each template with a filter (template order), then the image files, then
// all files.
std::vector<FileFilterEntry> OpenFilterEntries();
// As a wx wildcard: "name|pattern|name|pattern..."
std::string OpenFilterWildcard();
// The zero-based entry selected at first (the combined image entry).
constexpr int kOpenFilterInitialIndex = 3;
std::string OpenDialogTitle();
// Item 5 when not empty.
std::string OpenDialogStartFolder();
// After opening: item 5 := the folder the dialog showed last.
void RememberOpenFolder(const std::string& folder);
