#include "StartupSequence.h"

#include "LocalizedText.h"
#include "SecondInstance.h"
#include "StringIds.h"
#include "YlmErrp.h"

#include <exception>
#include <ostream>

namespace {

StartupResult Ended(int status, bool firstInstance) { return {false, status, firstInstance}; }

void Report(MessageBoxService& boxes, std::ostream& err, const std::string& english) {
    boxes.ShowWithIcon(english, LoadTranslatedString(IDS_APP_TITLE), MessageBoxService::kOk,
                       MessageBoxService::kStop);
    err << english << '\n';
}

} // namespace

bool CreateCoreGuarded(StartupSteps& steps, MessageBoxService& boxes, std::ostream& err) {
    std::string code;
    try {
        steps.CreateCore();
        return true;
    } catch (const YlmErrp& e) {
        code = std::to_string(e.GetCode());
    } catch (int e) {
        code = std::to_string(e);
    } catch (const std::exception& e) {
        code = e.what();
    } catch (...) {
        code = "unknown";
    }
    // Without the core nothing can open; say so rather than end silently.
    boxes.ShowWithIcon(LoadTranslatedString(IDS_ERR_NOT_INSTALLED), LoadTranslatedString(IDS_APP_TITLE),
                       MessageBoxService::kOk, MessageBoxService::kStop);
    err << LoadUntranslatedString(IDS_ERR_NOT_INSTALLED) << "\n(error " << code << " while starting the image core)\n";
    return false;
}

StartupResult RunStartup(StartupSteps& steps, InstanceTransport& transport, const std::vector<std::string>& args,
                         const std::string& workingFolder, const std::string& socketPath, MessageBoxService& boxes,
                         std::ostream& err) {
    steps.OpenSettings();
    const CommandLine line = ParseCommandLine(args, workingFolder);

    if (!transport.TryTakeLock()) {
        steps.SetAppName(LoadTranslatedString(IDS_APP_TITLE));
        if (!line.error.empty()) {
            Report(boxes, err, line.error);
            return Ended(1, false);
        }
        const SecondInstanceResult second = RunSecondInstance(transport, socketPath, line.paths, boxes);
        if (second.outcome == SecondInstanceResult::kForwarded) return Ended(0, false);
        if (second.outcome == SecondInstanceResult::kFailed) {
            err << second.message << '\n';
            return Ended(1, false);
        }
        // The first instance is gone: this one takes its place.
    }

    if (!steps.RunSplash()) return Ended(1, true);
    steps.SetAppName(LoadTranslatedString(IDS_APP_TITLE));
    if (!line.error.empty()) {
        Report(boxes, err, line.error);
        return Ended(1, true);
    }
    steps.LoadRecentFiles();
    steps.RegisterTemplates();
    if (!steps.LoadMainFrame()) return Ended(1, true);
    steps.StartAutomationServer();
    if (!CreateCoreGuarded(steps, boxes, err)) return Ended(1, true);

    std::string english;
    if (CheckInstallation(steps.ReadInstallation(), boxes, &english) != InstallationVerdict::kOk) {
        if (!english.empty()) err << english << '\n';
        return Ended(1, true);
    }

    for (const std::string& path : line.paths) steps.AddToRecentFiles(path);
    if (line.StartsHidden()) {
        // An automation client decides when the frame shows.
        steps.SetUserControl(false);
        return {true, 0, true};
    }

    if (!line.prints.empty()) {
        bool printed = true;
        for (const PrintRequest& request : line.prints) printed = steps.PrintDocument(request) && printed;
        return Ended(printed ? 0 : 1, true);
    }
    for (const std::string& path : line.paths)
        if (!steps.OpenDocument(path)) return Ended(1, true);

    steps.SetUserControl(true);
    steps.ShowMainFrame();
    steps.SetReady();
    steps.UpdateSendToMenuItem();
    return {true, 0, true};
}
