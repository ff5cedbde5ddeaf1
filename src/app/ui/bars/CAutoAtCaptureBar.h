#pragma once
// Auto Scene Balance and Use Original Camera Settings of the Image Controls
// bar.
#include "CSmallToolBar.h"

class CAutoAtCaptureBar : public CSmallToolBar {
public:
    explicit CAutoAtCaptureBar(wxWindow* parent) : CSmallToolBar(parent, AutoAtCaptureBarTable()) {}
    void SetIndeterminate() { ApplyStates(AutoAtCaptureIndeterminate()); }
    void UpdateFromImage(NimbalCore::Image& image) { ApplyStates(AutoAtCaptureStatesFor(image)); }
};
