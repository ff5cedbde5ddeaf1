#pragma once
// Whether the program's parts came up at start-up: the model drivers, the
// sharpen library, the scale plug-in, the colour engine and its profiles
// (60047, "not properly installed", stop icon), then the camera interface of
// the older models (60046).
#include "MessageBoxService.h"

#include <string>
#include <vector>

struct InstallationStatus {
    bool havePool = false;  // false: the core's creation failed
    int wren3Driver = 0, wren4Driver = 0, ploverDriver = 0, sharpenLibrary = 0, scalePlugIn = 0;
    int colorEngine = 0;
    std::vector<std::string> missingProfiles;
    int cameraInterface = 0;  // the older models' camera interface
};

// The statuses of the live image pool and colour engine.
InstallationStatus ReadInstallationStatus();

enum class InstallationVerdict { kOk, kNoCore, kNotInstalled, kOlderCameraInterface };

// Shows the verdict's message (none for kOk and kNoCore) and answers it.
// err, when given, receives the message's English text.
InstallationVerdict CheckInstallation(const InstallationStatus& status, MessageBoxService& boxes,
                                      std::string* englishMessage = nullptr);
