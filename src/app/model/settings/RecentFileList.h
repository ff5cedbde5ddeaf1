#pragma once
// The recent-file list: eight paths, newest first, kept in the settings
// section "Recent File List" as "File1" ... "File8".
#include <string>
#include <vector>

class RecentFileList {
public:
    static constexpr int kSize = 8;
    static constexpr const char* kSection = "Recent File List";

    void Load();
    void Save() const;
    // The path on top; an equal entry moves up.
    void Add(const std::string& path);
    // The first entry equal to oldPath (exact comparison) is removed and
    // newPath put on top; nothing happens when oldPath is not listed. Saves.
    void Replace(const std::string& oldPath, const std::string& newPath);
    const std::vector<std::string>& Entries() const { return entries_; }

private:
    std::vector<std::string> entries_;
};

// The program's list (loaded at start-up, step 8).
RecentFileList& TheRecentFileList();
// Renames and their undo keep the list in step.
void ReplaceRecentFile(const std::string& oldPath, const std::string& newPath);
