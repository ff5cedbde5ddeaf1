#include "RecentFileList.h"

#include "ProfileStore.h"

#include <algorithm>

void RecentFileList::Load() {
    entries_.clear();
    ProfileStore& store = ProfileStore::Current();
    for (int i = 1; i <= kSize; ++i) {
        const std::string path = store.GetString(kSection, "File" + std::to_string(i), "");
        if (!path.empty()) entries_.push_back(path);
    }
}

void RecentFileList::Save() const {
    ProfileStore& store = ProfileStore::Current();
    for (int i = 1; i <= kSize; ++i) {
        const size_t at = size_t(i - 1);
        store.WriteString(kSection, "File" + std::to_string(i), at < entries_.size() ? entries_[at] : "");
    }
}

void RecentFileList::Add(const std::string& path) {
    if (path.empty()) return;
    auto same = std::find(entries_.begin(), entries_.end(), path);
    if (same != entries_.end()) entries_.erase(same);
    entries_.insert(entries_.begin(), path);
    if (entries_.size() > size_t(kSize)) entries_.resize(size_t(kSize));
}

void RecentFileList::Replace(const std::string& oldPath, const std::string& newPath) {
    auto found = std::find(entries_.begin(), entries_.end(), oldPath);
    if (found == entries_.end()) return;
    entries_.erase(found);
    Add(newPath);
    Save();
}

RecentFileList& TheRecentFileList() {
    static RecentFileList list;
    return list;
}

void ReplaceRecentFile(const std::string& oldPath, const std::string& newPath) {
    TheRecentFileList().Replace(oldPath, newPath);
}
