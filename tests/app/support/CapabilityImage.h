#pragma once
// The core's test image with the capabilities a test chooses.
#include "../../core/FakeImage.h"

#include <string>
#include <vector>

class CapabilityImage : public coretest::FakeImage {
public:
    CapabilityImage() : FakeImage("/photos/a.zyr") {}

    bool CanClickBalance() override { return clickBalance; }
    bool CanAdjustExposure() override { return adjustExposure; }
    bool HasAutoParams() override { return autoParams; }
    bool HasAtCaptureParams() override { return atCapture; }
    bool CanSharpen() override { return sharpen; }
    bool CanChangeLook() override { return changeLook; }
    bool IsAvailable() override { return available; }
    std::vector<int> GetSupportedIlluminants() override { return illuminants; }
    std::vector<int> GetSupportedBalanceTypes() override { return balanceTypes; }
    std::vector<std::string> GetAvailableLooks() override { return looks; }
    std::vector<int> GetNoiseReductionModes() override { return noiseModes; }

    bool clickBalance = true;
    bool adjustExposure = true;
    bool autoParams = true;
    bool atCapture = true;
    bool sharpen = true;
    bool changeLook = true;
    bool available = true;
    std::vector<int> illuminants{0, 1, 2, 3};
    std::vector<int> balanceTypes{0, 4, 5, 6};
    std::vector<std::string> looks;
    std::vector<int> noiseModes{1};
};
