#pragma once
// A folder shown as a contact sheet, without its windows: the core's sheet
// of the folder's images, one slide per image in the list's order, the
// selection in the order the slides were selected, the focused slide, the
// folder watcher that feeds new images in, and the sheet's Save and close
// question.
//
// Two locks: the scan lock serialises a rescan with a drop onto the sheet;
// the document lock (recursive: commands hold it across their dialogs)
// guards the slides, the selection and the focus. The scan lock is always
// taken first. The watcher calls in on its own thread and reaches the
// windows only through the SheetUiQueue; the SheetHost is used on the
// user-interface thread alone.
#include "ContactSheet.h"
#include "SheetHost.h"
#include "SheetSlide.h"
#include "SheetUiQueue.h"
#include "FolderWatcher.h"
#include "UndoHistory.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class SheetDocument : public NimbalCore::ContactSheet,
                      public UndoDocument,
                      public std::enable_shared_from_this<SheetDocument> {
public:
    using SlidePtr = std::shared_ptr<SheetSlide>;
    // ImageFound's answers of its own.
    static constexpr int kIgnoredWhileStopping = NimbalCore::ImageWerksCB::kStopScan;
    static constexpr int kSlideFailed = 2002;
    static constexpr std::chrono::milliseconds kDefaultPeriod{3000};
    static constexpr std::chrono::milliseconds kStopWait{10000};

    // Owned through a shared_ptr: the watcher holds a counted reference.
    // rescanEnabled: read by the watcher on its own thread; false pauses the
    // rescans (renames in progress). The thread that makes the sheet is its
    // user-interface thread.
    SheetDocument(std::shared_ptr<SheetUiQueue> queue, std::function<bool()> rescanEnabled,
                  std::chrono::milliseconds period = kDefaultPeriod);
    ~SheetDocument() override;

    void SetHost(SheetHost* host) { host_ = host; }

    // Opens the folder and starts the watcher; false after telling the user
    // why (a path that is not a folder, a folder that cannot be read).
    bool Open(const std::string& path);
    // Stops the watcher (waiting up to kStopWait), waits for a playing
    // sound, empties the bars and lets go of the host.
    void Close();
    // Save: every changed image writes its settings into its own file.
    void Save();
    // Whether Save can run: changes and a writable folder.
    bool CanSave();
    // The close question: true lets the sheet close.
    bool SaveModified();
    bool IsModified() const { return modified_.load(); }
    void SetModifiedFlag(bool modified) { modified_.store(modified); }
    int GetLastSaveResult() const { return lastSaveResult_.load(); }
    bool IsSaveInProgress() const { return saving_.load(); }
    // The sheet's own Rename: while it runs, renames do not re-sort the
    // slides; its end re-sorts them once.
    void SetRenameInProgress(bool renaming);
    // The title of a sheet of that folder: the folder's name, or the whole
    // path for a folder without one (the root).
    static std::string TitleOf(const std::string& folderPath);

    // The slides, the selection and the focus, as they are now.
    std::recursive_mutex& DocumentLock() { return documentLock_; }
    std::vector<SlidePtr> GetSlides();
    std::vector<SlidePtr> GetSelectionState();
    SlidePtr GetFocusedSlide();
    bool HasSlide(const SheetSlide* slide);
    int SlideCount();

    void SelectSlide(const SlidePtr& slide);
    // Appends the slide to the selection marked selected, leaving the focus
    // where it is (Select All and Select Inverse focus once at the end).
    void AppendToSelection(const SlidePtr& slide);
    bool DeselectSlide(const SlidePtr& slide);
    void ClearSelection();
    // The previously focused slide, or null where the focus stays as it was.
    SlidePtr SetFocusedSlide(const SlidePtr& slide);
    void UpdateCountsPane();

    // Gives one slide's image the set: false when the image refuses it or
    // an exception is reported; true when the image has the set afterwards
    // (an equal set changes nothing). A change marks the sheet modified,
    // the slide shows it and the bars follow a focused slide.
    bool ApplyProcessParams(const NimbalCore::ImageProcessParam& params, NimbalCore::ImageRendering* rendering);

    // What commands act on, and what undo steps keep.
    std::vector<NimbalCore::ImageRendering*> GetSelectedImages() override;
    bool GetFocusedImage(NimbalCore::ImageRendering** rendering) override;
    std::optional<UndoSelection> GetUndoSelection() override;
    void RestoreSelection(UndoSelection selection) override;

    // The core's callbacks, on the thread that raised the change.
    int ImageFound(NimbalCore::ImageRef image) override;
    void CheckForFolderChanges() override;
    void DropImages(std::vector<NimbalCore::ImageRendering*> renderings, NimbalCore::ProgressCB* progress,
                    int mode) override;
    void ReportDropFailures(std::vector<std::string> names) override;
    void SetModified() override { SetModifiedFlag(true); }
    void FolderContentsChanged() override;
    void ImageFileChanged(const NimbalCore::FilePathSpec& path) override;
    void ProcessParamsChanged(const NimbalCore::FilePathSpec&) override {}
    void SoundsChanged(const NimbalCore::FilePathSpec& path) override;
    void ImageSaved(const NimbalCore::FilePathSpec& path) override;
    void TagChanged(const NimbalCore::FilePathSpec&) override { SetModifiedFlag(true); }
    void ImageRenamed(const NimbalCore::FilePathSpec& oldPath, const NimbalCore::FilePathSpec& newPath) override;
    void ActivateImage(const NimbalCore::FilePathSpec& path) override;

    // The watcher's stop flag: set once the close began.
    bool IsStopping() const { return stopping_.load(); }

private:
    bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }
    // Runs the task on the user-interface thread: at once there, else
    // posted; a posted task does nothing once the sheet has closed.
    void OnUi(std::function<void(SheetHost&)> task);
    void RefreshBars(NimbalCore::ImageRendering* rendering);
    void ClearBars();
    void FollowFocusWithCloseUp();
    void FolderVanished();
    void ShowMessage(const std::string& text);
    bool AnyImageModified();

    std::shared_ptr<SheetUiQueue> queue_;
    std::function<bool()> rescanEnabled_;
    std::chrono::milliseconds period_;
    std::thread::id uiThread_;
    SheetHost* host_ = nullptr;
    bool closed_ = false;

    std::recursive_mutex documentLock_;
    std::recursive_mutex scanLock_;
    std::vector<SlidePtr> slides_;
    std::vector<SlidePtr> selection_;
    SlidePtr focused_;

    FolderWatcher watcher_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> vanishedShown_{false};
    std::atomic<bool> modified_{false};
    std::atomic<int> lastSaveResult_{1};
    std::atomic<bool> saving_{false};
    std::atomic<bool> renaming_{false};
};
