#pragma once
// A program around undo steps that has a main window and an application,
// renames nothing back and shows nothing: for tests of documents whose undo
// steps only put settings back.
#include "UndoHost.h"

#include <memory>
#include <string>

namespace apptest {

class QuietUndoHost : public UndoHost {
public:
    bool HasMainWindow() override { return true; }
    bool HasApplication() override { return true; }
    void SetFolderRescanEnabled(bool) override {}
    void ReplaceRecentFile(const std::string&, const std::string&) override {}
    std::unique_ptr<UndoRenameProgress> OpenRenameProgress(int) override { return nullptr; }
    void ShowImageInfo(NimbalCore::ImageRendering*) override {}
};

} // namespace apptest
