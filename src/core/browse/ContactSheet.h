#pragma once
// One folder shown as a contact sheet, without its windows: the folder, the
// renderings of its images, the images dropped onto the sheet whose files
// have not arrived yet, and the sheet's answers to image changes and
// close-up events. The document derives from it; its folder-watcher thread
// runs the scans.
#include "CloseUpEventCB.h"
#include "DocumentModel.h"
#include "Folder.h"
#include "ImageList.h"
#include "ImageRef.h"
#include "ImageWerksCB.h"
#include "YlmMutex.h"

#include <map>
#include <string>
#include <vector>

namespace NimbalCore {

class ImageRendering;
class ProgressCB;

class ContactSheet : public ImageWerksCB, public DocumentModel, public CloseUpEventCB {
public:
    // The answer of ImageFound for a name the sheet lists already.
    static constexpr int kNameListed = 2300;

    // The first open sheet, in the order they were made, that shows the
    // path (the folder itself or a listed file of it); null when none does.
    static ContactSheet* FindByFolder(const FilePathSpec& path);

    ContactSheet();
    ~ContactSheet() override;
    ContactSheet(const ContactSheet&) = delete;
    ContactSheet& operator=(const ContactSheet&) = delete;

    // 0, or kNameListed (nothing added).
    int ImageFound(ImageRef image) override;
    // No scan: the file list and date start empty.
    virtual void SetFolder(const FilePathSpec& path);
    virtual ImageList* GetImageList() { return &imageList_; }
    virtual Folder* GetFolder() { return &folder_; }
    virtual void ScanFolder();
    // Nothing when the folder is unchanged; 1000 (NbErrPathStatFailed) when
    // it is gone.
    virtual void CheckForFolderChanges();
    virtual ImageRendering* GetImageAt(int index);
    // 1200 for a name that is not listed.
    virtual ImageRendering* FindImageByName(std::string name);
    // 0 by name, 1 by capture time and name.
    virtual void SetSortOrder(int order);
    // Copies (mode 1) or moves (mode 0) the images' files into the folder;
    // the next rescan finds them. A name the sheet lists already refuses the
    // whole drop through ReportDropFailures.
    virtual void DropImages(std::vector<ImageRendering*> renderings, ProgressCB* progress, int mode);
    virtual void ReportDropFailures(std::vector<std::string> names) = 0;
    virtual void SetModified() {}
    virtual void FolderContentsChanged() {}

    void ImageFileChanged(const FilePathSpec& path) override;
    void ImageRenamed(const FilePathSpec& oldPath, const FilePathSpec& newPath) override;
    bool ContainsImage(const FilePathSpec& path) override;
    void CloseUpClosing(CloseUp* closeUp) override;

    // Whether an image of that file name was dropped and has not arrived.
    bool IsDropPending(const std::string& fileName);

private:
    Folder folder_;
    ImageList imageList_;
    std::map<std::string, ImageRef> pendingDrops_;
    YlmMutex lock_;
};

} // namespace NimbalCore
