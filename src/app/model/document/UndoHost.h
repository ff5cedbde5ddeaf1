#pragma once
// What the undo steps need of the program around the document: whether it
// has a main window, the application's folder-rescan flag and recent-file
// list, the progress window of renaming files back and the Image Info bar.
// The program gives the real ones; tests record the calls.
#include <memory>
#include <string>

namespace NimbalCore {
class ImageRendering;
}

// The "Renaming File(s)" window while files get their names back; it offers
// no Cancel. Deleting it closes the window.
class UndoRenameProgress {
public:
    virtual ~UndoRenameProgress() = default;
    virtual void StepIt() = 0;
};

class UndoHost {
public:
    virtual ~UndoHost() = default;
    virtual bool HasMainWindow() = 0;
    // Whether the program's application object is there; without it no file
    // is renamed back.
    virtual bool HasApplication() = 0;
    // While false, the contact sheets' folder watchers leave folder changes
    // alone.
    virtual void SetFolderRescanEnabled(bool enabled) = 0;
    virtual void ReplaceRecentFile(const std::string& oldPath, const std::string& newPath) = 0;
    // A window for count files, its bar from 0 to count by steps of one;
    // null when it could not be made.
    virtual std::unique_ptr<UndoRenameProgress> OpenRenameProgress(int count) = 0;
    // The Image Info bar shows the rendering's image with its parameters.
    virtual void ShowImageInfo(NimbalCore::ImageRendering* rendering) = 0;
};
