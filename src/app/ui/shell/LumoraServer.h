#pragma once
// The automation server of the first instance: one socket in the runtime
// folder, topic "Lumora"; the items are answered by the automation model.
// Each connection holds one automation document for its life.
#include <wx/ipc.h>

#include <string>

class AutomationServer;

class LumoraServer : public wxServer {
public:
    explicit LumoraServer(AutomationServer& items) : items_(items) {}
    ~LumoraServer() override;
    // Removes a socket file left by a process that died (the caller holds
    // the instance lock, so no live server owns it) and listens.
    bool Listen(const std::string& socketPath);
    wxConnectionBase* OnAcceptConnection(const wxString& topic) override;

private:
    AutomationServer& items_;
    std::string socketPath_;
};
