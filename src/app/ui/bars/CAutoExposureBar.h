#pragma once
// Automatic Exposure Adjustment of the Image Controls bar.
#include "CSmallToolBar.h"

class CAutoExposureBar : public CSmallToolBar {
public:
    explicit CAutoExposureBar(wxWindow* parent) : CSmallToolBar(parent, AutoExposureBarTable()) {}
    void SetIndeterminate() { ApplyStates(AutoExposureIndeterminate()); }
    void UpdateFromImage(NimbalCore::Image& image) { ApplyStates(AutoExposureStatesFor(image)); }
};
