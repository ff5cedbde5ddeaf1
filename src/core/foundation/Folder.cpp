#include "Folder.h"

#include "File.h"
#include "FileTimes.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace NimbalCore {
namespace {

std::atomic<Folder::PooledTest> pooledTest{nullptr};
std::atomic<uint64_t> listings{0};

// Case-blind order, byte order between names that differ only in case.
bool listingOrder(const FilePathSpec& a, const FilePathSpec& b) {
    if (a < b) return true;
    if (b < a) return false;
    return a.GetPath() < b.GetPath();
}

bool sameListing(const std::vector<FilePathSpec>& a, const std::vector<FilePathSpec>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!a[i].IsSameFile(b[i])) return false;
    return true;
}

} // namespace

void Folder::SetPooledTest(PooledTest test) {
    pooledTest.store(test);
}

void Folder::RequireFolder(const char* operation) const {
    if (!path_.IsFolder()) YLM_THROW(operation, NbErrNotAFolder);
}

uint64_t Folder::ListingsMade() { return listings.load(); }

std::vector<FilePathSpec> Folder::FolderList() const {
    listings.fetch_add(1);
    std::string folder = path_.GetPath();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (!dir) YLM_THROW("Folder::FolderList", NbErrFolderListFailed);
    const std::string prefix = folder == "/" ? folder : folder + "/";
    std::vector<FilePathSpec> list;
    bool failed = false;
    try {
        // Only readdir's own errno counts: making an entry's path spec may
        // set errno (a time it cannot read) without anything failing.
        for (;;) {
            errno = 0;
            dirent* entry = ::readdir(dir);
            if (!entry) break;
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            list.emplace_back(prefix + name);
        }
        failed = errno != 0;
    } catch (...) {
        ::closedir(dir);
        throw;
    }
    ::closedir(dir);
    if (failed) YLM_THROW("Folder::FolderList", NbErrFolderListFailed);
    std::sort(list.begin(), list.end(), listingOrder);
    return list;
}

timespec Folder::FolderDate() const {
    lumora::FileTimes::Times times;
    uint32_t error = 0;
    if (path_.IsEmpty() || !lumora::FileTimes::get(path_.GetPath(), times, error))
        YLM_THROW("Folder::FolderDate", NbErrFolderListFailed);
    return times.lastWrite;
}

void Folder::BuildFileList() {
    RequireFolder("Folder::BuildFileList");
    std::vector<FilePathSpec> list = FolderList();
    const timespec date = FolderDate();
    fileList_ = std::move(list);
    date_ = date;
}

bool Folder::IsModified() {
    RequireFolder("Folder::IsModified");
    return !sameListing(FolderList(), fileList_);
}

bool Folder::GetChanges(std::vector<FilePathSpec>& added, std::vector<FilePathSpec>& removed) {
    added.clear();
    removed.clear();
    RequireFolder("Folder::GetChanges");
    std::vector<FilePathSpec> fresh = FolderList();
    if (sameListing(fresh, fileList_)) return false;

    std::vector<FilePathSpec> old = fileList_;
    std::sort(old.begin(), old.end(), listingOrder);

    // A merge of the two sorted lists; names equal but for letter case are
    // one file, so only the first of such a run takes part.
    size_t i = 0, j = 0;
    auto skipRun = [](const std::vector<FilePathSpec>& list, size_t& k) {
        const size_t first = k++;
        while (k < list.size() && list[k].IsSameFile(list[first])) ++k;
    };
    while (i < fresh.size() || j < old.size()) {
        if (j == old.size() || (i < fresh.size() && fresh[i] < old[j])) {
            added.push_back(fresh[i]);
            skipRun(fresh, i);
        } else if (i == fresh.size() || old[j] < fresh[i]) {
            removed.push_back(old[j]);
            skipRun(old, j);
        } else {
            skipRun(fresh, i);
            skipRun(old, j);
        }
    }

    // Files still being written by another program wait for a later scan.
    const PooledTest pooled = pooledTest.load();
    for (size_t k = 0; k < added.size();) {
        const File file(added[k]);
        if (file.IsInUse() && !(pooled && pooled(added[k]))) {
            auto at = std::find_if(fresh.begin(), fresh.end(),
                                   [&](const FilePathSpec& p) { return p.IsSameFile(added[k]); });
            if (at == fresh.end()) YLM_THROW("Folder::GetChanges", NbErrPathStatFailed);
            fresh.erase(at);
            added.erase(added.begin() + static_cast<std::ptrdiff_t>(k));
            continue;
        }
        ++k;
    }
    fileList_ = std::move(fresh);
    return true;
}

bool Folder::Create() {
    if (path_.IsEmpty()) YLM_THROW("Folder::Create", NbErrFolderNoPath);
    return ::mkdir(path_.GetPath().c_str(), 0777) == 0 || errno == EEXIST;
}

bool Folder::Remove() {
    if (path_.IsEmpty()) YLM_THROW("Folder::Remove", NbErrFolderNoPath);
    return ::rmdir(path_.GetPath().c_str()) == 0;
}

} // namespace NimbalCore
