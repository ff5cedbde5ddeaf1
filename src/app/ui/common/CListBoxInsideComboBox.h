#pragma once
// The drop-down list inside a combo box with disabled entries: pointing at
// or clicking a disabled entry does nothing, and the navigation keys skip
// them, open or closed.
#include <wx/odcombo.h>

class CDisabledItemComboBox;

class CListBoxInsideComboBox : public wxVListBoxComboPopup {
public:
    void SetOwnerCombo(CDisabledItemComboBox* owner) { owner_ = owner; }
    bool Create(wxWindow* parent) override;
    void OnComboKeyEvent(wxKeyEvent& event) override;
    void OnComboCharEvent(wxKeyEvent& event) override;
    void OnPopup() override;

private:
    void OnMouse(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);

    CDisabledItemComboBox* owner_ = nullptr;
};

