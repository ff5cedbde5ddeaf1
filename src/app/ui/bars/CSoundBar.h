#pragma once
// Play and Stop of the Image Info bar.
#include "CSmallToolBar.h"

class CSoundBar : public CSmallToolBar {
public:
    explicit CSoundBar(wxWindow* parent) : CSmallToolBar(parent, SoundBarTable()) {}
    // Each 4 (enabled) or 16 (greyed).
    void SetButtonStates(int play, int stop) { ApplyStates(SoundBarStates(play, stop)); }
};
