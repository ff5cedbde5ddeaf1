#include "SecondInstance.h"

#include "LocalizedText.h"
#include "StringIds.h"

namespace {

constexpr const char* kErrLookupProgId = "IDS_ERR_LOOKUP_PROGID";
constexpr const char* kErrNoLmExe = "IDS_ERR_NO_LM_EXE";

SecondInstanceResult Fail(MessageBoxService& boxes, const char* message) {
    boxes.Show(message, LoadTranslatedString(IDS_APP_TITLE), MessageBoxService::kOk);
    return {SecondInstanceResult::kFailed, message};
}

bool Forward(InstanceConnection& connection, const std::string& path) {
    std::string visible;
    if (!connection.Request("Visible", visible)) return false;
    if (visible == "0" && !connection.Poke("Visible", "1")) return false;
    return connection.Poke("OpenFolder", path);
}

} // namespace

SecondInstanceResult RunSecondInstance(InstanceTransport& transport, const std::string& socketPath,
                                       const std::vector<std::string>& paths, MessageBoxService& boxes) {
    if (socketPath.empty()) return Fail(boxes, kErrLookupProgId);

    // Wait for the first instance only while it lives: a first instance
    // that failed its start-up or was killed leaves the lock free, and this
    // process then takes its place.
    std::unique_ptr<InstanceConnection> connection;
    for (;;) {
        if (transport.TryTakeLock()) return {SecondInstanceResult::kStartAsFirst, ""};
        connection = transport.Connect();
        std::string ready;
        if (connection && connection->Request("Ready", ready) && ready == "1") break;
        connection.reset();
        transport.SleepMs(kInstancePollMs);
    }

    if (!connection->Execute("Raise")) return Fail(boxes, kErrNoLmExe);
    for (const std::string& path : paths)
        if (!Forward(*connection, path)) return Fail(boxes, kErrNoLmExe);
    return {SecondInstanceResult::kForwarded, ""};
}
