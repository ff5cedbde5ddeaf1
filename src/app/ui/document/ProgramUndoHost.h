#pragma once
// The program around the undo steps: its main window, the application's
// folder-rescan flag and recent files, and the "Renaming File(s)" window.
#include "UndoHost.h"

#include <functional>

class wxWindow;

class ProgramUndoHost : public UndoHost {
public:
    // The renaming window belongs to the window parent() gives at the time.
    explicit ProgramUndoHost(std::function<wxWindow*()> parent = {}) : parent_(std::move(parent)) {}
    bool HasMainWindow() override;
    bool HasApplication() override;
    void SetFolderRescanEnabled(bool enabled) override;
    void ReplaceRecentFile(const std::string& oldPath, const std::string& newPath) override;
    std::unique_ptr<UndoRenameProgress> OpenRenameProgress(int count) override;
    void ShowImageInfo(NimbalCore::ImageRendering* rendering) override;

private:
    std::function<wxWindow*()> parent_;
};
