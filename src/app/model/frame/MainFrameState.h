#pragma once
// The main frame's shared user-interface state that views, documents, bars
// and menus read: the copied settings, the current tool, the contact
// sheet's display settings, the preview quality, the crop state and the
// docking setting, with the settings items they come from and go back to.
#include "CropGeometry.h"
#include "IPTCNAARecord2.h"
#include "ImageProcessParam.h"

#include <string>

class MainFrameState {
public:
    // The tools (commands).
    enum Tool : int {
        kToolClickBalance = 32846, kToolSelect = 32847, kToolCrop = 32848, kToolScrollingHand = 33177,
        kToolCloseUp = 33178,
    };
    static bool IsTool(int command);

    NimbalCore::ImageProcessParam copiedSettings;
    NimbalCore::IPTCNAARecord2 copiedIPTC;
    bool copiedTagged = false;  // the tag state Copy Settings took
    int settingsCopied = 0;  // Paste Settings and Paste Special only when non-zero
    int currentTool = kToolSelect;
    std::string annotation;
    int sortOrder = 0;          // item 8
    int thumbnailSize = 0;      // item 9
    int slideInfoState = 0;     // item 16
    int quality = 1;            // item 7: 1 Better, 0 Faster
    int osMajor = 10, osMinor = 0;
    int closeUpBarCount = 0;
    int dockingAllowed = 1;     // item 37
    CropGeometry crop;

    // A current tool that is none of the five becomes Select; the answer is
    // the (possibly reset) current tool.
    int NormalizedTool();

    // Creation: items 8, 9, 16, 28-30 and 7 into the members (step 14 of
    // the frame's creation) and item 37.
    void LoadSettings();
    // Close: items 8, 9, 16, 28, 29 and 30 from the members.
    void SaveSettings() const;
    // Better (1) or Faster (0): changes the quality and item 7 when it differs.
    void SetQuality(int value);
    // The Output Preferences stored item 37 and ask for that state: true
    // when the bars must change (dockingAllowed then holds item 37: 1 dock
    // left or right, 0 float at their first places and never dock).
    bool ApplyDockingSetting(int requested);
};
