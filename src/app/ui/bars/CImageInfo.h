#pragma once
// The Image Info bar: the focused image's sounds with Play and Stop, its
// annotation and its camera settings. Its contents come from
// ImageInfoPresenter; an edited annotation is committed (one undo step, by
// the document's command 1047) when the edit loses the focus or Ctrl is
// pressed in it. Floating, it keeps its size in the settings.
#include "CResizableDialogBar.h"

class CMainFrame;
class CSoundBar;
class wxComboBox;
class wxListBox;
class wxTextCtrl;
namespace NimbalCore {
class Image;
class ImageProcessParam;
} // namespace NimbalCore

class CImageInfo : public CResizableDialogBar {
public:
    explicit CImageInfo(CMainFrame* frame);
    bool InitBar();
    void CreateSoundBar();
    // No image has the focus.
    void Clear();
    // The window's own repaint stays reachable beside the image's update.
    using CResizableDialogBar::Update;
    // Shows the image; nothing for null parameters.
    void Update(NimbalCore::Image& image, const NimbalCore::ImageProcessParam* params);
    // The chosen sound; the number of sounds means all of them.
    int GetSelectedSoundIndex() const;
    // Hands an edited annotation to the active document.
    void CommitAnnotation();
    CSoundBar* GetSoundBar() const { return soundBar_; }
    wxComboBox* GetSoundList() const { return sounds_; }
    wxTextCtrl* GetAnnotationEdit() const { return annotation_; }
    wxListBox* GetCameraSettingsList() const { return cameraSettings_; }

private:
    void OnAnnotationKillFocus(wxFocusEvent& event);
    void OnAnnotationKey(wxKeyEvent& event);
    void OnSize(wxSizeEvent& event);

    CMainFrame* frame_;
    wxSizer* soundRow_ = nullptr;
    CSoundBar* soundBar_ = nullptr;
    wxComboBox* sounds_ = nullptr;
    wxTextCtrl* annotation_ = nullptr;
    wxListBox* cameraSettings_ = nullptr;
};
