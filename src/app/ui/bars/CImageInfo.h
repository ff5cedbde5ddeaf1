#pragma once
// The Image Info bar: the focused image's sounds with Play and Stop, its
// annotation and its camera settings.
#include "CResizableDialogBar.h"

class CMainFrame;
class CSoundBar;
class wxComboBox;
class wxListBox;
class wxTextCtrl;

class CImageInfo : public CResizableDialogBar {
public:
    explicit CImageInfo(CMainFrame* frame);
    bool InitBar();
    void CreateSoundBar();
    // No image has the focus.
    void Clear();
    CSoundBar* GetSoundBar() const { return soundBar_; }

private:
    CMainFrame* frame_;
    wxSizer* soundRow_ = nullptr;
    CSoundBar* soundBar_ = nullptr;
    wxComboBox* sounds_ = nullptr;
    wxTextCtrl* annotation_ = nullptr;
    wxListBox* cameraSettings_ = nullptr;
};
