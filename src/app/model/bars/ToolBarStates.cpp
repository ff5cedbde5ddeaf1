#include "ToolBarStates.h"

#include "MainFrameState.h"

#include <algorithm>

namespace {

enum Command : int {
    kTag = 32855, kUntag = 32856, kRotateCw = 32838, kRotateCcw = 32837, kAutoScene = 32803,
    kOriginalSettings = 32807, kAutoExposure = 33131, kPlay = 1055, kStop = 1056,
};
constexpr int kPressed = 1;
constexpr int kAutoBalanceType = 5;

// The order the tool buttons are set in.
constexpr int kToolOrder[] = {MainFrameState::kToolSelect, MainFrameState::kToolCrop,
                              MainFrameState::kToolClickBalance, MainFrameState::kToolCloseUp,
                              MainFrameState::kToolScrollingHand};

// The current tool (Select when the frame holds no tool); 0 without a frame.
int CurrentTool(int* currentTool) {
    if (!currentTool) return 0;
    if (!MainFrameState::IsTool(*currentTool)) *currentTool = MainFrameState::kToolSelect;
    return *currentTool;
}

} // namespace

ButtonStates ToolsBarClearStates(int* currentTool) {
    const int current = CurrentTool(currentTool);
    ButtonStates states;
    for (int tool : kToolOrder) {
        int state = kButtonGreyed;
        // Click balance has nothing to press without an image.
        if (tool == current && tool != MainFrameState::kToolClickBalance) state = kButtonGreyedPressed;
        states.push_back({tool, state});
    }
    for (int command : {kTag, kUntag, kRotateCw, kRotateCcw}) states.push_back({command, kButtonGreyed});
    return states;
}

ButtonStates ToolsBarStatesFor(NimbalCore::Image& image, int* currentTool) {
    const int current = CurrentTool(currentTool);
    ButtonStates states;
    for (int tool : kToolOrder) {
        int state = kButtonEnabled;
        if (tool == MainFrameState::kToolClickBalance && !image.CanClickBalance()) state = kButtonGreyed;
        if (tool == current) state |= kPressed;
        states.push_back({tool, state});
    }
    const int rotation = image.IsAvailable() ? kButtonEnabled : kButtonGreyed;
    states.push_back({kTag, kButtonEnabled});
    states.push_back({kUntag, kButtonEnabled});
    states.push_back({kRotateCw, rotation});
    states.push_back({kRotateCcw, rotation});
    return states;
}

ButtonStates AutoAtCaptureStatesFor(NimbalCore::Image& image) {
    const std::vector<int> types = image.GetSupportedBalanceTypes();
    const bool autoScene =
        std::find(types.begin(), types.end(), kAutoBalanceType) != types.end() || image.HasAutoParams();
    return {{kAutoScene, autoScene ? kButtonEnabled : kButtonGreyed},
            {kOriginalSettings, image.HasAtCaptureParams() ? kButtonEnabled : kButtonGreyed}};
}

ButtonStates AutoAtCaptureIndeterminate() { return {{kAutoScene, kButtonGreyed}, {kOriginalSettings, kButtonGreyed}}; }

ButtonStates AutoExposureStatesFor(NimbalCore::Image& image) {
    return {{kAutoExposure, image.HasAutoParams() ? kButtonEnabled : kButtonGreyed}};
}

ButtonStates AutoExposureIndeterminate() { return {{kAutoExposure, kButtonGreyed}}; }

ButtonStates SoundBarStates(int play, int stop) { return {{kPlay, play & 0xFFFF}, {kStop, stop & 0xFFFF}}; }
