#include "LumoraServer.h"

#include "AutomationServer.h"
#include "CLumoraDoc.h"
#include "RuntimeFolder.h"

#include <memory>
#include <unistd.h>

namespace {

class LumoraConnection : public wxConnection {
public:
    explicit LumoraConnection(AutomationServer& items) : items_(items), doc_(std::make_unique<CLumoraDoc>()) {}

    const void* OnRequest(const wxString&, const wxString& item, size_t* size, wxIPCFormat) override {
        if (!items_.OnRequest(item.utf8_string(), answer_)) return nullptr;
        if (size) *size = answer_.size() + 1;
        return answer_.c_str();
    }

    bool OnPoke(const wxString&, const wxString& item, const void* data, size_t size, wxIPCFormat) override {
        std::string value(static_cast<const char*>(data), size);
        // The sender's terminating zero is not part of the value.
        while (!value.empty() && value.back() == '\0') value.pop_back();
        return items_.OnPoke(item.utf8_string(), value);
    }

    bool OnExec(const wxString&, const wxString& command) override { return items_.OnExecute(command.utf8_string()); }

    bool OnDisconnect() override {
        doc_.reset();
        return wxConnection::OnDisconnect();
    }

private:
    AutomationServer& items_;
    std::unique_ptr<CLumoraDoc> doc_;
    std::string answer_;
};

} // namespace

LumoraServer::~LumoraServer() = default;

bool LumoraServer::Listen(const std::string& socketPath) {
    if (socketPath.empty()) return false;
    ::unlink(socketPath.c_str());
    socketPath_ = socketPath;
    return Create(wxString::FromUTF8(socketPath));
}

wxConnectionBase* LumoraServer::OnAcceptConnection(const wxString& topic) {
    if (topic != kAutomationTopic) return nullptr;
    return new LumoraConnection(items_);
}
