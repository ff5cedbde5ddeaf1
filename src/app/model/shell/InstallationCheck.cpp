#include "InstallationCheck.h"

#include "ColorEngine.h"
#include "ImagePool.h"
#include "LocalizedText.h"
#include "StringIds.h"

InstallationStatus ReadInstallationStatus() {
    InstallationStatus status;
    NimbalCore::ImagePool* pool = NimbalCore::ImagePool::Live();
    if (!pool) return status;
    status.havePool = true;
    status.cameraInterface = pool->cameraInterfaceStatus;
    status.wren3Driver = pool->wren3DriverStatus;
    status.wren4Driver = pool->wren4DriverStatus;
    status.ploverDriver = pool->ploverDriverStatus;
    status.sharpenLibrary = pool->sharpenLibraryStatus;
    status.scalePlugIn = pool->scalePlugInStatus;
    try {
        NimbalCore::ColorEngine* engine = NimbalCore::ColorEngine::Instance(0, 1);
        status.colorEngine = engine ? engine->GetStartupStatus() : -1;
        if (engine) status.missingProfiles = engine->GetMissingStaticProfiles();
    } catch (...) {
        status.colorEngine = -1;
    }
    return status;
}

InstallationVerdict CheckInstallation(const InstallationStatus& status, MessageBoxService& boxes,
                                      std::string* englishMessage) {
    if (!status.havePool) return InstallationVerdict::kNoCore;
    const std::string caption = LoadTranslatedString(IDS_APP_TITLE);
    if (status.wren3Driver || status.wren4Driver || status.ploverDriver || status.sharpenLibrary ||
        status.scalePlugIn || status.colorEngine || !status.missingProfiles.empty()) {
        if (englishMessage) *englishMessage = LoadUntranslatedString(IDS_ERR_NOT_INSTALLED);
        boxes.ShowWithIcon(LoadTranslatedString(IDS_ERR_NOT_INSTALLED), caption, MessageBoxService::kOk,
                           MessageBoxService::kStop);
        return InstallationVerdict::kNotInstalled;
    }
    if (status.cameraInterface) {
        if (englishMessage) *englishMessage = LoadUntranslatedString(IDS_ERR_OLDER_CAMERA_INTERFACE);
        boxes.Show(LoadTranslatedString(IDS_ERR_OLDER_CAMERA_INTERFACE), caption, MessageBoxService::kOk);
        return InstallationVerdict::kOlderCameraInterface;
    }
    return InstallationVerdict::kOk;
}
