#pragma once
// The buttons of the four small toolbars inside the dialog bars: the tools
// bar, the sound bar and the two automatic-settings bars, in their order.
// A button's prompt and tooltip is the string resource of its command
// ("prompt\ntooltip").
#include <vector>

struct ToolBarButton {
    enum Style { kButton, kCheckGroup, kSeparator };
    int image;    // index into the bar's bitmap; 0 for a separator
    int command;  // 0 for a separator
    Style style;
};

struct ToolBarTable {
    int bitmapId;       // 146, 164, 254, 253
    int imageCount;     // images in that bitmap
    int buttonWidth, buttonHeight;
    int bitmapWidth, bitmapHeight;  // 0, 0: the default bitmap size
    std::vector<ToolBarButton> buttons;
};

const ToolBarTable& ToolsBarTable();         // CToolsBar
const ToolBarTable& SoundBarTable();         // CSoundBar
const ToolBarTable& AutoAtCaptureBarTable(); // CAutoAtCaptureBar
const ToolBarTable& AutoExposureBarTable();  // CAutoExposureBar
