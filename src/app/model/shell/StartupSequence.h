#pragma once
// The program's start-up in its order: the lock decides first or second
// instance; a second instance forwards its command line; the first shows
// the splash, loads the frame, starts the automation server, creates the
// core, checks the installation and opens its command line. The program
// implements the steps; the order, the failures and their reports are here.
#include "CommandLine.h"
#include "InstallationCheck.h"
#include "InstanceTransport.h"
#include "MessageBoxService.h"

#include <iosfwd>
#include <string>
#include <vector>

class StartupSteps {
public:
    virtual ~StartupSteps() = default;
    virtual void OpenSettings() = 0;                // 1: the settings file
    virtual bool RunSplash() = 0;                   // 3: true when the main frame object exists
    virtual void SetAppName(const std::string& name) = 0;  // 4
    virtual void LoadRecentFiles() = 0;             // 8: eight entries
    virtual void RegisterTemplates() = 0;           // 9: the five document templates
    virtual bool LoadMainFrame() = 0;               // 10: the frame's window; then its crop choice
    virtual void StartAutomationServer() = 0;       // 11: replaces a stale socket
    virtual void CreateCore() = 0;                  // 12: pool, memory pool, colour engine, item 32; may throw
    virtual InstallationStatus ReadInstallation() = 0;  // 13
    virtual void AddToRecentFiles(const std::string& path) = 0;  // 14
    virtual void SetUserControl(bool user) = 0;     // 16 (false), 19 (true)
    virtual bool OpenDocument(const std::string& path) = 0;     // 18
    virtual bool PrintDocument(const PrintRequest& request) = 0;  // 18
    virtual void ShowMainFrame() = 0;               // 19
    virtual void SetReady() = 0;                    // 20
    virtual void UpdateSendToMenuItem() = 0;        // 21
};

struct StartupResult {
    bool run = false;            // true: enter the event loop
    int exitStatus = 0;          // when run is false
    bool firstInstance = false;  // the lock is held (shut-down clears the server)
};

// args without the program name; socketPath empty when the runtime folder
// was refused. Failure messages are shown through boxes and their English
// text written to err.
StartupResult RunStartup(StartupSteps& steps, InstanceTransport& transport, const std::vector<std::string>& args,
                         const std::string& workingFolder, const std::string& socketPath, MessageBoxService& boxes,
                         std::ostream& err);

// The core's creation guarded: any exception shows 60047 and writes it with
// the error's code to err; false then.
bool CreateCoreGuarded(StartupSteps& steps, MessageBoxService& boxes, std::ostream& err);
