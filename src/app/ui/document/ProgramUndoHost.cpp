#include "ProgramUndoHost.h"

#include "CLumoraApp.h"
#include "CProgressDlg.h"
#include "RecentFileList.h"
#include "StringIds.h"

#include <wx/app.h>

namespace {

class RenameProgressWindow : public UndoRenameProgress {
public:
    RenameProgressWindow(wxWindow* parent, int count) : dialog_(IDS_RENAMING_FILES) {
        if (!dialog_.Create(parent, false)) return;
        created_ = true;
        dialog_.SetRange(0, count);
        dialog_.SetStep(1);
    }
    ~RenameProgressWindow() override {
        if (created_) dialog_.DestroyWindow();
    }
    void StepIt() override {
        if (created_ && !dialog_.IsWindowGone()) dialog_.StepIt();
    }

private:
    CProgressDlg dialog_;
    bool created_ = false;
};

} // namespace

bool ProgramUndoHost::HasMainWindow() { return wxTheApp && wxTheApp->GetTopWindow(); }

bool ProgramUndoHost::HasApplication() { return TheLumoraApp() != nullptr; }

void ProgramUndoHost::SetFolderRescanEnabled(bool enabled) {
    if (CLumoraApp* app = TheLumoraApp()) app->SetFolderRescanEnabled(enabled);
}

void ProgramUndoHost::ReplaceRecentFile(const std::string& oldPath, const std::string& newPath) {
    ::ReplaceRecentFile(oldPath, newPath);
}

std::unique_ptr<UndoRenameProgress> ProgramUndoHost::OpenRenameProgress(int count) {
    return std::make_unique<RenameProgressWindow>(parent_ ? parent_() : nullptr, count);
}

void ProgramUndoHost::ShowImageInfo(NimbalCore::ImageRendering*) {
    // The Image Info bar shows the focused image's data once it can be
    // given one; until then it keeps what it shows.
}
