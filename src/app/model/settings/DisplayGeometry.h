#pragma once
// The primary screen as the settings need it: its full rectangle and its
// work area (the screen less the desktop's panels). The program installs the
// display's answers; tests install their own.
#include "IntRect.h"

class DisplayGeometry {
public:
    virtual ~DisplayGeometry() = default;
    // The primary screen, from (0, 0) to its width and height.
    virtual IntRect PrimaryScreen() = 0;
    // The part of the primary screen that windows may cover.
    virtual IntRect PrimaryWorkArea() = 0;

    // The process-wide answer; 1024 x 768 with no panels until one is set.
    static DisplayGeometry& Current();
    static void SetCurrent(DisplayGeometry* geometry);
};
