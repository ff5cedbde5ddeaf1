#pragma once
// The button states of the small toolbars for the focused image (or none),
// in the order they are applied. A state is 4 enabled, 5 enabled and
// pressed, 16 greyed, 17 greyed and pressed.
#include "Image.h"

#include <utility>
#include <vector>

enum ToolBarState : int {
    kButtonEnabled = 4, kButtonEnabledPressed = 5, kButtonGreyed = 16, kButtonGreyedPressed = 17,
};
inline bool IsButtonEnabled(int state) { return (state & 16) == 0; }
inline bool IsButtonPressed(int state) { return (state & 1) != 0; }

// (command, state) pairs in the order they are set.
using ButtonStates = std::vector<std::pair<int, int>>;

// The tools bar with no image. currentTool is the main frame's current tool
// (null without a main frame: no tool pressed); a value that is no tool
// becomes Select.
ButtonStates ToolsBarClearStates(int* currentTool);
// The tools bar for the focused image.
ButtonStates ToolsBarStatesFor(NimbalCore::Image& image, int* currentTool);
// Auto Scene Balance (32803) and Use Original Camera Settings (32807).
ButtonStates AutoAtCaptureStatesFor(NimbalCore::Image& image);
ButtonStates AutoAtCaptureIndeterminate();
// Automatic Exposure Adjustment (33131).
ButtonStates AutoExposureStatesFor(NimbalCore::Image& image);
ButtonStates AutoExposureIndeterminate();
// Play (1055) and Stop (1056), each 4 or 16 as the caller says.
ButtonStates SoundBarStates(int play, int stop);
