#include "AutomationServer.h"

#include "ProfileItem.h"
#include "ProfileItemManager.h"

bool AutomationServer::OnRequest(const std::string& item, std::string& answer) {
    if (item == "Visible") {
        answer = target_.IsMainFrameVisible() ? "1" : "0";
        return true;
    }
    if (item == "Ready") {
        answer = ready_ ? "1" : "0";
        return true;
    }
    return false;
}

bool AutomationServer::OnPoke(const std::string& item, const std::string& value) {
    if (item == "Visible") {
        if (value != "1" && value != "0") return false;
        const bool show = value == "1";
        if (show != target_.IsMainFrameVisible()) target_.ShowMainFrame(show);
        return true;
    }
    if (item == "OpenFolder") {
        if (value.empty()) return false;
        target_.OpenDocument(value);
        ProfileItemManager().SetString(PI_LAST_FILE_OPEN_PATH, value);
        return true;
    }
    return false;
}

bool AutomationServer::OnExecute(const std::string& command) {
    if (command != "Raise") return false;
    target_.BringForward();
    return true;
}
