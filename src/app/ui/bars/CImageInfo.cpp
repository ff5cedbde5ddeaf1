#include "CImageInfo.h"

#include "CMainFrame.h"
#include "CSoundBar.h"
#include "ProfileItemManager.h"
#include "FrameStringIds.h"
#include "StringResources.h"
#include "TranslateWindow.h"
#include "WxCommandId.h"

#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace {
wxSize StoredSize() {
    int height = 533, width = 225;
    ProfileItemManager items;
    items.GetInt(PI_IMAGE_INFO_HEIGHT, height);
    items.GetInt(PI_IMAGE_INFO_WIDTH, width);
    return {std::max(width, 225), std::max(height, 325)};
}
} // namespace

CImageInfo::CImageInfo(CMainFrame* frame)
    : CResizableDialogBar(frame, 153, LoadResourceString(IDS_IMAGE_INFO_TITLE), StoredSize()), frame_(frame) {
    Geometry().minSize = {225, 325};
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(new wxButton(this, ToWxId(32854), "IPTC / &Job Tracker..."), 0, wxALL, 4);
    column->Add(new wxStaticText(this, wxID_ANY, "Sound"), 0, wxLEFT | wxTOP, 4);
    soundRow_ = new wxBoxSizer(wxHORIZONTAL);
    sounds_ = new wxComboBox(this, 1051, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0, nullptr, wxCB_READONLY);
    soundRow_->Add(sounds_, 1, wxALIGN_CENTER_VERTICAL);
    column->Add(soundRow_, 0, wxEXPAND | wxALL, 4);
    column->Add(new wxStaticText(this, wxID_ANY, "Annotation"), 0, wxLEFT | wxTOP, 4);
    annotation_ = new wxTextCtrl(this, 1047, wxEmptyString, wxDefaultPosition, wxSize(-1, 60), wxTE_MULTILINE);
    column->Add(annotation_, 0, wxEXPAND | wxALL, 4);
    column->Add(new wxStaticText(this, wxID_ANY, "Camera Settings"), 0, wxLEFT | wxTOP, 4);
    cameraSettings_ = new wxListBox(this, 1054);
    column->Add(cameraSettings_, 1, wxEXPAND | wxALL, 4);
    SetSizer(column);
}

bool CImageInfo::InitBar() {
    TranslateWindowText(this, false);
    return true;
}

void CImageInfo::CreateSoundBar() {
    soundBar_ = new CSoundBar(this);
    soundRow_->Add(soundBar_, 0, wxLEFT | wxALIGN_CENTER_VERTICAL, 4);
    Layout();
}

void CImageInfo::Clear() {
    sounds_->Clear();
    sounds_->Disable();
    annotation_->ChangeValue(wxEmptyString);
    annotation_->Disable();
    cameraSettings_->Clear();
    cameraSettings_->Disable();
    if (soundBar_) soundBar_->SetButtonStates(16, 16);
    frame_->State().annotation.clear();
}
