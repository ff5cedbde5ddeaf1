#include "CImageInfo.h"

#include "CMainFrame.h"
#include "CSoundBar.h"
#include "FrameStringIds.h"
#include "Image.h"
#include "ImageInfoPresenter.h"
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
constexpr int kAnnotationCommand = 1047;
constexpr int kIptcCommand = 32854;

wxSize StoredSize() {
    int height = 533, width = ImageInfoPresenter::kMinimumWidth;
    ImageInfoPresenter::ReadStoredSize(width, height);
    return {width, height};
}
} // namespace

CImageInfo::CImageInfo(CMainFrame* frame)
    : CResizableDialogBar(frame, 153, LoadResourceString(IDS_IMAGE_INFO_TITLE), StoredSize()), frame_(frame) {
    Geometry().minSize = {ImageInfoPresenter::kMinimumWidth, ImageInfoPresenter::kMinimumHeight};
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(new wxButton(this, ToWxId(kIptcCommand), "IPTC / &Job Tracker..."), 0, wxALL, 4);
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
    annotation_->Bind(wxEVT_KILL_FOCUS, &CImageInfo::OnAnnotationKillFocus, this);
    annotation_->Bind(wxEVT_KEY_DOWN, &CImageInfo::OnAnnotationKey, this);
    Bind(wxEVT_SIZE, &CImageInfo::OnSize, this);
    BindCommandButton(kIptcCommand);
    Bind(
        wxEVT_UPDATE_UI,
        [this](wxUpdateUIEvent& event) {
            wxUpdateUIEvent asked(event.GetId());
            asked.SetEventObject(this);
            const bool answered = frame_->GetEventHandler()->ProcessEvent(asked) && asked.GetSetEnabled();
            event.Enable(answered && asked.GetEnabled());
        },
        ToWxId(kIptcCommand));
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

void CImageInfo::Update(NimbalCore::Image& image, const NimbalCore::ImageProcessParam* params) {
    if (!params) return;
    const ImageInfoPresenter::State state = ImageInfoPresenter::Update(image);
    sounds_->Clear();
    for (const std::string& sound : state.sounds) sounds_->Append(wxString::FromUTF8(sound));
    if (state.soundSelection >= 0) sounds_->SetSelection(state.soundSelection);
    sounds_->Enable(state.soundsEnabled);
    if (soundBar_) soundBar_->SetButtonStates(state.playState, state.stopState);
    cameraSettings_->Clear();
    for (const std::string& line : state.cameraLines) cameraSettings_->Append(wxString::FromUTF8(line));
    cameraSettings_->Enable();
    frame_->State().annotation = state.annotation;
    annotation_->ChangeValue(wxString::FromUTF8(state.annotation));
    annotation_->Enable(state.annotationEnabled);
}

int CImageInfo::GetSelectedSoundIndex() const { return sounds_ ? sounds_->GetSelection() : -1; }

void CImageInfo::CommitAnnotation() {
    if (!annotation_->IsEnabled()) return;
    std::string text = annotation_->GetValue().utf8_string();
    if (!ImageInfoPresenter::ShouldCommit(text, frame_->State().annotation)) return;
    frame_->State().annotation = text;
    SendCommand(kAnnotationCommand);
}

void CImageInfo::OnAnnotationKillFocus(wxFocusEvent& event) {
    CommitAnnotation();
    event.Skip();
}

void CImageInfo::OnAnnotationKey(wxKeyEvent& event) {
    // Before a shortcut such as Ctrl+Z acts on the document.
    if (event.GetKeyCode() == WXK_CONTROL || event.GetKeyCode() == WXK_RAW_CONTROL) CommitAnnotation();
    event.Skip();
}

void CImageInfo::OnSize(wxSizeEvent& event) {
    event.Skip();
    // Floating, the bar's own frame holds it: the size the user gave it is
    // found again at the next start.
    if (wxGetTopLevelParent(this) == frame_) return;
    const wxSize size = event.GetSize();
    if (size.x <= 0 || size.y <= 0) return;
    ImageInfoPresenter::StoreSize(size.x, size.y);
}
