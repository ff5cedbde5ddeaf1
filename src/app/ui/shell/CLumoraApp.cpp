#include "CLumoraApp.h"

#include "AppCommands.h"
#include "BlockOMemoryPool.h"
#include "CAbout.h"
#include "CContactSheetDoc.h"
#include "CContactSheetView.h"
#include "CImageSettings.h"
#include "CLMPreviewView.h"
#include "CLumoraDoc.h"
#include "CLumoraView.h"
#include "CMainFrame.h"
#include "COutputOptionsDlg.h"
#include "CPrintPreferences.h"
#include "CPreviewDoc.h"
#include "CSplashScreenDlg.h"
#include "ColorEngine.h"
#include "DocumentTemplates.h"
#include "FrameStringIds.h"
#include "ImagePool.h"
#include "InstalledImageKinds.h"
#include "LocalizedText.h"
#include "LumoraDocManager.h"
#include "LumoraServer.h"
#include "MessageBoxService.h"
#include "OpenFileFilter.h"
#include "ProfileItemManager.h"
#include "RecentFileList.h"
#include "RuntimeFolder.h"
#include "ScreenProfileReader.h"
#include "ScalePlugIn.h"
#include "VrelSharpenBinding.h"
#include "VrelSharpenProcs.h"
#include "SendToMenuItem.h"
#include "ShellServices.h"
#include "ShutdownSequence.h"
#include "StartupSequence.h"
#include "StringIds.h"
#include "WxInstanceTransport.h"
#include "WxCommandId.h"
#include "WxMenuSeam.h"

#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/menu.h>

#include <iostream>
#include <unistd.h>

namespace {

std::string CurrentFolder() {
    std::string folder(4096, '\0');
    if (!::getcwd(folder.data(), folder.size())) return "/";
    folder.resize(std::char_traits<char>::length(folder.c_str()));
    return folder;
}

} // namespace

// The steps of start-up as this program does them.
class AppStartupSteps : public StartupSteps {
public:
    explicit AppStartupSteps(CLumoraApp& app) : app_(app) {}

    // The settings file and the shell's services are installed before the
    // sequence starts: its messages need them.
    void OpenSettings() override {}
    bool RunSplash() override {
        app_.firstInstance_ = true;
        CSplashScreenDlg::RunSplash([this] { app_.CreateMainFrame(); });
        return app_.mainFrame_ != nullptr;
    }
    void SetAppName(const std::string& name) override { app_.SetAppDisplayName(wxString::FromUTF8(name)); }
    void LoadRecentFiles() override { TheRecentFileList().Load(); }
    void RegisterTemplates() override { app_.RegisterTemplates(); }
    bool LoadMainFrame() override {
        if (!app_.mainFrame_->CreateFrame()) return false;
        app_.SetTopWindow(app_.mainFrame_);
        if (CImageSettings* bar = app_.mainFrame_->GetImageSettings()) bar->UpdateCropChoice();
        return true;
    }
    void StartAutomationServer() override { app_.StartServer(); }
    void CreateCore() override {
        NimbalCore::InstalledImageKinds::Install();
        NimbalCore::VrelSharpenProcs::SetBinding(&NimbalCore::LoadVrelSharpenLib, &NimbalCore::UnloadVrelSharpenLib);
        NimbalCore::ScalePlugIn::InstallPoolBinding();
        NimbalCore::ImagePool::Instance();
        NimbalCore::BlockOMemoryPool::Instance(true);
        app_.coreCreated_ = true;
        NimbalCore::ColorEngine* engine = NimbalCore::ColorEngine::Instance(0, 1);
        std::string workingSpace;
        ProfileItemManager().GetString(PI_WORKING_SPACE_NAME, workingSpace);
        engine->SetWorkingSpaceName(workingSpace);
    }
    InstallationStatus ReadInstallation() override { return ReadInstallationStatus(); }
    void AddToRecentFiles(const std::string& path) override {
        TheRecentFileList().Add(path);
        TheRecentFileList().Save();
    }
    void SetUserControl(bool user) override { app_.userControl_ = user; }
    bool OpenDocument(const std::string& path) override { return app_.OpenDocumentFile(path) != nullptr; }
    bool PrintDocument(const PrintRequest& request) override {
        // Printing a document from the command line is not available in
        // this build: the document opens and the request is refused.
        app_.OpenDocumentFile(request.path);
        std::cerr << "Lumora: printing is not available: " << request.path << "\n";
        return false;
    }
    void ShowMainFrame() override {
        app_.mainFrame_->Show();
        app_.mainFrame_->Raise();
    }
    void SetReady() override { app_.SetReady(); }
    void UpdateSendToMenuItem() override { app_.UpdateSendToMenuItem(app_.mainFrame_->GetMenuBar()); }

private:
    CLumoraApp& app_;
};

class AppShutdownSteps : public ShutdownSteps {
public:
    explicit AppShutdownSteps(CLumoraApp& app) : app_(app) {}
    void StopSound() override {}
    void StopAutomationServer() override { app_.server_.reset(); }
    void DeleteImagePool() override {
        if (app_.coreCreated_) NimbalCore::ImagePool::DeleteInstance();
    }
    void DeleteMemoryPool() override {
        if (app_.coreCreated_) NimbalCore::BlockOMemoryPool::DeleteInstance();
    }
    void BaseExit() override {}

private:
    CLumoraApp& app_;
};


CLumoraApp* TheLumoraApp() { return dynamic_cast<CLumoraApp*>(wxTheApp); }

CMainFrame* TheMainFrame() {
    CLumoraApp* app = TheLumoraApp();
    return app ? app->GetMainFrame() : nullptr;
}

CLumoraApp::CLumoraApp() : slideMountFormat_("CF_SLIDEMOUNT_SELECTION_LIST"), automation_(*this) {}

CLumoraApp::~CLumoraApp() = default;

bool CLumoraApp::OnInit() {
    // No wxApp::OnInit: the command line is the program's own (paths and
    // the automation options), parsed by the shell model.
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(argv[i].utf8_string());
    const RuntimeFolder runtime = ResolveRuntimeFolder();
    socketPath_ = AutomationSocketPath(runtime.path);
    transport_ = std::make_unique<WxInstanceTransport>(runtime.path, socketPath_);
    // Without a runtime folder the screen keeps no profile of ours.
    if (!runtime.path.empty()) ScreenProfileReader::Install(runtime.path);

    Bind(wxEVT_MENU, &CLumoraApp::OnAbout, this, ToWxId(57664));
    Bind(wxEVT_MENU, &CLumoraApp::OnOpen, this, ToWxId(57601));
    Bind(wxEVT_MENU, &CLumoraApp::OnOpenWith, this, ToWxId(32904));
    Bind(wxEVT_MENU, &CLumoraApp::OnPreferences, this, ToWxId(33109));
    Bind(wxEVT_MENU, &CLumoraApp::OnPrintPreferences, this, ToWxId(33130));

    UseProgramNumericLocale();
    InstallShellServices();
    AppStartupSteps steps(*this);
    const StartupResult result =
        RunStartup(steps, *transport_, args, CurrentFolder(), socketPath_, MessageBoxService::Current(), std::cerr);
    firstInstance_ = result.firstInstance;
    runLoop_ = result.run;
    exitStatus_ = result.exitStatus;
    if (!runLoop_ && mainFrame_) {
        mainFrame_->Destroy();
        mainFrame_ = nullptr;
    }
    // The event loop runs only for a started first instance; OnRun answers
    // the status otherwise.
    return true;
}

int CLumoraApp::OnRun() {
    if (!runLoop_) return exitStatus_;
    return wxApp::OnRun();
}

int CLumoraApp::OnExit() {
    // Documents still open (a start-up that failed after opening some) give
    // their images back before the core goes.
    if (docManager_) docManager_->Clear(true);
    AppShutdownSteps steps(*this);
    RunShutdown(steps, firstInstance_);
    delete docManager_;
    docManager_ = nullptr;
    if (coreCreated_) NimbalCore::ColorEngine::DeleteInstance();
    RemoveShellServices();
    return wxApp::OnExit();
}

void CLumoraApp::CreateMainFrame() {
    if (mainFrame_) return;
    if (!docManager_) docManager_ = new LumoraDocManager;
    auto* frame = new CMainFrame(docManager_);
    if (!frame->LanguageLoaded()) {
        const std::string text = LoadUntranslatedString(IDS_ERR_NOT_INSTALLED);
        std::cerr << text << "\n";
        MessageBoxService::Current().ShowWithIcon(text, LoadUntranslatedString(IDS_APP_TITLE), MessageBoxService::kOk,
                                                  MessageBoxService::kStop);
        delete frame;
        return;
    }
    mainFrame_ = frame;
}

void CLumoraApp::RegisterTemplates() {
    if (auto* manager = dynamic_cast<LumoraDocManager*>(docManager_)) manager->RegisterTemplates();
}

bool CLumoraApp::StartServer() {
    server_ = std::make_unique<LumoraServer>(automation_);
    if (server_->Listen(socketPath_)) return true;
    server_.reset();
    return false;
}

void CLumoraApp::WithdrawFrame() { server_.reset(); }

wxDocument* CLumoraApp::OpenDocumentFile(const std::string& path) {
    if (!docManager_) return nullptr;
    return docManager_->CreateDocument(wxString::FromUTF8(path), wxDOC_SILENT);
}

bool CLumoraApp::IsMainFrameVisible() { return mainFrame_ && mainFrame_->IsShown(); }

void CLumoraApp::ShowMainFrame(bool show) {
    if (!mainFrame_) return;
    if (show) {
        mainFrame_->Show();
        if (mainFrame_->IsIconized()) mainFrame_->Iconize(false);
    } else {
        mainFrame_->Hide();
    }
}

void CLumoraApp::OpenDocument(const std::string& path) { OpenDocumentFile(path); }

void CLumoraApp::BringForward() {
    // A hidden frame (an automation start) stays hidden: presenting it
    // would show it behind the toolkit's back.
    if (!mainFrame_ || !mainFrame_->IsShown()) return;
    if (mainFrame_->IsIconized()) mainFrame_->Iconize(false);
    // The last active window of the program: a modal dialog when one is up.
    wxWindow* front = mainFrame_;
    for (wxWindow* window : wxTopLevelWindows) {
        auto* dialog = dynamic_cast<wxDialog*>(window);
        if (dialog && dialog->IsModal() && dialog->IsShown()) front = dialog;
    }
    front->Raise();
    if (auto* top = dynamic_cast<wxTopLevelWindow*>(front)) top->RequestUserAttention(wxUSER_ATTENTION_INFO);
}

void CLumoraApp::UpdateSendToMenuItem(wxMenuBar* menuBar) {
    if (!menuBar) return;
    WxMenuSeam seam(menuBar);
    ::UpdateSendToMenuItem(seam);
}

void CLumoraApp::OnAbout(wxCommandEvent&) {
    CAbout about(mainFrame_);
    about.ShowModal();
}

void CLumoraApp::OnPreferences(wxCommandEvent&) {
    COutputOptionsDlg preferences(mainFrame_);
    preferences.ShowModal();
}

void CLumoraApp::OnPrintPreferences(wxCommandEvent&) {
    CPrintPreferences preferences(mainFrame_);
    preferences.ShowModal();
}

void CLumoraApp::OnOpen(wxCommandEvent&) {
    RunOpenCommand(mainFrame_, [this](const std::string& path) { OpenDocumentFile(path); });
}

void CLumoraApp::OnOpenWith(wxCommandEvent&) { RunOpenWithCommand(mainFrame_, mainFrame_ ? mainFrame_->GetMenuBar() : nullptr); }
