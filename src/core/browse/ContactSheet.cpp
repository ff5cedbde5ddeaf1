#include "ContactSheet.h"

#include "CloseUp.h"
#include "DropImageHandler.h"
#include "Image.h"
#include "ImageRendering.h"
#include "ImageWerks.h"
#include "NbErrorCodes.h"
#include "StCriticalSectionLock.h"
#include "YlmErrp.h"

#include <algorithm>
#include <mutex>

namespace NimbalCore {

namespace {

// The open sheets in the order they were made. Sheets come and go on the
// user-interface thread; the lock keeps a look-up from another thread safe.
std::mutex& SheetsLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
std::vector<ContactSheet*>& Sheets() {
    static auto* sheets = new std::vector<ContactSheet*>;
    return *sheets;
}

void StopListening(Image* image, ImageChangeCB* listener) {
    try {
        image->RemoveImageChangeCB(listener);
    } catch (const YlmErrp&) {
        // Not registered with this image.
    }
}

} // namespace

ContactSheet* ContactSheet::FindByFolder(const FilePathSpec& path) {
    std::vector<ContactSheet*> sheets;
    {
        std::lock_guard<std::mutex> guard(SheetsLock());
        sheets = Sheets();
    }
    for (ContactSheet* sheet : sheets)
        if (sheet->ContainsImage(path)) return sheet;
    return nullptr;
}

ContactSheet::ContactSheet() {
    std::lock_guard<std::mutex> guard(SheetsLock());
    Sheets().push_back(this);
}

ContactSheet::~ContactSheet() {
    for (int i = 0;; ++i) {
        ImageRendering* rendering = nullptr;
        try {
            rendering = imageList_[i];
        } catch (const YlmErrp&) {
            break;
        }
        if (!rendering) break;
        StopListening(rendering->GetImage()->Get(), this);
        if (CloseUp* closeUp = CloseUp::FindCloseUpFor(rendering)) closeUp->RemoveListener(this);
    }
    std::lock_guard<std::mutex> guard(SheetsLock());
    auto& sheets = Sheets();
    sheets.erase(std::remove(sheets.begin(), sheets.end(), this), sheets.end());
}

void ContactSheet::SetFolder(const FilePathSpec& path) { folder_ = Folder(path); }

int ContactSheet::ImageFound(ImageRef image) {
    {
        StCriticalSectionLock guard(lock_);
        const std::string fileName = image->GetFileName();
        auto pending = pendingDrops_.find(fileName);
        if (pending != pendingDrops_.end()) {
            // The copy of a dropped image arrived: it takes over its
            // source's settings, tag, IPTC record and annotation.
            const ImageRef source = pending->second;
            pendingDrops_.erase(pending);
            const ImageProcessParam sourceParams = *source->GetProcessParams();
            image->SetProcessParams(sourceParams);
            image->SetTagged(source->IsTagged());
            image->SetIPTCRecord(*source->GetIPTCRecord());
            image->SetAnnotation(source->GetAnnotation());
            if (image->IsModified() && image->GetFilePathSpec().IsReadOnly()) {
                ImageRendering rendering(image, sourceParams);
                imageList_.AddImage(&rendering);
                SetModified();
            } else {
                if (image->IsModified()) image->WriteAllMetaDataToFile();
                ImageRendering rendering(image, *image->GetProcessParams());
                imageList_.AddImage(&rendering);
            }
        } else {
            if (imageList_.ContainsName(imageList_.MakeName(image))) return kNameListed;
            ImageRendering rendering(image, *image->GetProcessParams());
            imageList_.AddImage(&rendering);
        }
        ImageRendering probe(image, ImageProcessParam());
        if (CloseUp* closeUp = CloseUp::FindCloseUpFor(&probe)) closeUp->AddListener(this);
    }
    image->AddImageChangeCB(this);
    return 0;
}

void ContactSheet::ScanFolder() {
    folder_.BuildFileList();
    ImageWerks().ProcessFolderChanges(folder_.GetFileList(), {}, this);
}

void ContactSheet::CheckForFolderChanges() {
    std::vector<FilePathSpec> added, removed;
    if (!folder_.IsModified() || !folder_.GetChanges(added, removed)) return;
    ImageWerks().ProcessFolderChanges(added, removed, this);
    FolderContentsChanged();
}

ImageRendering* ContactSheet::GetImageAt(int index) { return imageList_[index]; }

ImageRendering* ContactSheet::FindImageByName(std::string name) { return imageList_.GetImage(std::move(name)); }

void ContactSheet::SetSortOrder(int order) { imageList_.SetSortMode(order); }

bool ContactSheet::ContainsImage(const FilePathSpec& path) {
    const FilePathSpec& folder = folder_.GetPathSpec();
    if (path.IsSameFile(folder)) return true;
    if (!path.GetFolder().IsSameFile(folder)) return false;
    try {
        FindImageByName(path.GetFileName());
        return true;
    } catch (const YlmErrp&) {
        return false;
    }
}

void ContactSheet::ImageFileChanged(const FilePathSpec& path) {
    ImageRendering* rendering = FindImageByName(path.GetFileName());
    // The list's own copy goes with the entry: work from a copy.
    ImageRendering kept(*rendering);
    if (CloseUp* closeUp = CloseUp::FindCloseUpFor(&kept)) closeUp->RemoveListener(this);
    StopListening(kept.GetImage()->Get(), this);
    imageList_.RemoveImage(&kept);
}

void ContactSheet::ImageRenamed(const FilePathSpec& oldPath, const FilePathSpec&) {
    ImageRendering kept(*FindImageByName(oldPath.GetFileName()));
    imageList_.RemoveImage(int32_t(kept.GetImage()->Get()->GetCaptureTime()), oldPath.GetFileName());
    imageList_.AddImage(&kept);
}

void ContactSheet::CloseUpClosing(CloseUp* closeUp) { closeUp->RemoveListener(this); }

bool ContactSheet::IsDropPending(const std::string& fileName) {
    StCriticalSectionLock guard(lock_);
    return pendingDrops_.count(fileName) != 0;
}

void ContactSheet::DropImages(std::vector<ImageRendering*> renderings, ProgressCB* progress, int mode) {
    if (renderings.empty()) return;
    std::vector<std::string> conflicts;
    for (ImageRendering* rendering : renderings) {
        const std::string name = rendering->GetImage()->Get()->GetFileName();
        try {
            FindImageByName(name);
            conflicts.push_back(name);
        } catch (const YlmErrp& e) {
            if (e.GetCode() != NbErrImageNotListed) throw;
        }
    }
    if (!conflicts.empty()) {
        ReportDropFailures(conflicts);
        return;
    }

    std::vector<std::string> entered;
    {
        StCriticalSectionLock guard(lock_);
        for (ImageRendering* rendering : renderings) {
            const ImageRef image = *rendering->GetImage();
            const std::string name = image->GetFileName();
            if (pendingDrops_.emplace(name, image).second) entered.push_back(name);
        }
    }
    DropImageHandler handler(folder_.GetPathSpec(), int32_t(renderings.size()), progress, mode);
    size_t handled = 0;
    try {
        for (ImageRendering* rendering : renderings) {
            try {
                handler(rendering);
            } catch (const YlmErrp& e) {
                // A cancel comes after the rendering's files were handled.
                if (e.GetCode() == NbErrRenderCancelled) ++handled;
                throw;
            }
            ++handled;
        }
    } catch (...) {
        // Images whose files never arrive must not stay pending: a later
        // file of the same name would take over their settings.
        StCriticalSectionLock guard(lock_);
        for (size_t i = handled; i < renderings.size(); ++i) {
            const std::string name = renderings[i]->GetImage()->Get()->GetFileName();
            if (std::find(entered.begin(), entered.end(), name) != entered.end()) pendingDrops_.erase(name);
        }
        throw;
    }
}

} // namespace NimbalCore
