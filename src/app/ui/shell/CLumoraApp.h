#pragma once
// The one application object: decides whether this process is the first
// instance or a second one, starts the core and the main frame, serves the
// automation items on the program's socket, and tears the core down at exit.
// The order of start-up and shut-down is the shell model's; this class does
// each step.
#include "AutomationServer.h"

#include <wx/app.h>
#include <wx/dataobj.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class CMainFrame;
class LumoraServer;
class WxInstanceTransport;
class wxDocManager;
class wxDocTemplate;
class wxDocument;
class wxMenuBar;

class CLumoraApp : public wxApp, private AutomationTarget {
public:
    CLumoraApp();
    ~CLumoraApp() override;

    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;

    // Made once, from the splash screen.
    void CreateMainFrame();
    CMainFrame* GetMainFrame() const { return mainFrame_; }
    wxDocManager* GetDocManager() const { return docManager_; }

    // Opens a folder as a contact sheet or an image as a preview; null when
    // nothing opened.
    wxDocument* OpenDocumentFile(const std::string& path);

    // The ready flag later instances wait for.
    void SetReady() { automation_.SetReady(); }
    bool IsReady() const { return automation_.IsReady(); }
    // The main frame goes: later instances no longer find its server.
    void WithdrawFrame();

    void UpdateSendToMenuItem(wxMenuBar* menuBar);

    const wxDataFormat& GetSlideMountFormat() const { return slideMountFormat_; }
    // Read by the folder watchers on their own threads.
    bool IsFolderRescanEnabled() const { return folderRescanEnabled_.load(); }
    void SetFolderRescanEnabled(bool enabled) { folderRescanEnabled_.store(enabled); }
    bool IsFirstInstance() const { return firstInstance_; }
    bool HasUserControl() const { return userControl_; }

private:
    friend class AppStartupSteps;
    friend class AppShutdownSteps;

    // The automation items' target.
    bool IsMainFrameVisible() override;
    void ShowMainFrame(bool show) override;
    void OpenDocument(const std::string& path) override;
    void BringForward() override;

    void RegisterTemplates();
    bool StartServer();
    void OnAbout(wxCommandEvent& event);
    void OnOpen(wxCommandEvent& event);
    void OnOpenWith(wxCommandEvent& event);
    void OnPreferences(wxCommandEvent& event);
    void OnPrintPreferences(wxCommandEvent& event);

    wxDataFormat slideMountFormat_;
    wxDocManager* docManager_ = nullptr;
    AutomationServer automation_;
    std::unique_ptr<WxInstanceTransport> transport_;
    std::unique_ptr<LumoraServer> server_;
    CMainFrame* mainFrame_ = nullptr;
    std::string socketPath_;
    bool firstInstance_ = false;
    std::atomic<bool> folderRescanEnabled_{true};
    bool userControl_ = true;
    bool coreCreated_ = false;
    bool runLoop_ = false;
    int exitStatus_ = 0;
};

// The running program's application object; null in a process whose
// application is another (the window tests).
CLumoraApp* TheLumoraApp();
// Its main frame, or null.
CMainFrame* TheMainFrame();
