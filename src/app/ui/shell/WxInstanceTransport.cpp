#include "WxInstanceTransport.h"

#include "RuntimeFolder.h"

#include <wx/ipc.h>
#include <wx/snglinst.h>
#include <wx/utils.h>

namespace {

class WxInstanceConnection : public InstanceConnection {
public:
    explicit WxInstanceConnection(wxConnectionBase* connection) : connection_(connection) {}
    ~WxInstanceConnection() override {
        connection_->Disconnect();
        delete connection_;
    }

    bool Request(const std::string& item, std::string& answer) override {
        size_t size = 0;
        const void* data = connection_->Request(wxString::FromUTF8(item), &size, wxIPC_TEXT);
        if (!data) return false;
        answer.assign(static_cast<const char*>(data), size);
        while (!answer.empty() && answer.back() == '\0') answer.pop_back();
        return true;
    }
    bool Poke(const std::string& item, const std::string& value) override {
        return connection_->Poke(wxString::FromUTF8(item), value.c_str(), value.size() + 1, wxIPC_TEXT);
    }
    bool Execute(const std::string& command) override { return connection_->Execute(wxString::FromUTF8(command)); }

private:
    wxConnectionBase* connection_;
};

} // namespace

WxInstanceTransport::WxInstanceTransport(std::string runtimeFolder, std::string socketPath)
    : runtimeFolder_(std::move(runtimeFolder)), socketPath_(std::move(socketPath)) {}

WxInstanceTransport::~WxInstanceTransport() = default;

bool WxInstanceTransport::TryTakeLock() {
    if (lock_) return true;
    if (runtimeFolder_.empty()) return false;
    auto lock = std::make_unique<wxSingleInstanceChecker>();
    if (!lock->Create(kInstanceLockName, wxString::FromUTF8(runtimeFolder_ + "/"))) return false;
    // A lock file left by a process that died is not held: the checker
    // takes it over.
    if (lock->IsAnotherRunning()) return false;
    lock_ = std::move(lock);
    return true;
}

std::unique_ptr<InstanceConnection> WxInstanceTransport::Connect() {
    if (socketPath_.empty()) return nullptr;
    wxClient client;
    wxLogNull quiet;
    wxConnectionBase* connection =
        client.MakeConnection("localhost", wxString::FromUTF8(socketPath_), kAutomationTopic);
    if (!connection) return nullptr;
    return std::make_unique<WxInstanceConnection>(connection);
}

void WxInstanceTransport::SleepMs(int milliseconds) { wxMilliSleep(milliseconds); }
