#pragma once
// A drop-down list whose items can be disabled: an item is enabled exactly
// when its client data is 1. Disabled items are drawn grey and are never
// chosen by the mouse, the navigation keys or a typed character; one that
// becomes the confirmed choice by another route is put back after the event,
// and the parent is told the selection changed.
#include <wx/odcombo.h>

class CListBoxInsideComboBox;

class CDisabledItemComboBox : public wxOwnerDrawnComboBox {
public:
    // Client data marking an item enabled.
    static void* EnabledData() { return reinterpret_cast<void*>(1); }

    CDisabledItemComboBox(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
                          const wxSize& size = wxDefaultSize);

    virtual bool IsItemEnabled(int index) const;
    // Appends an item, enabled or not.
    int AppendItem(const wxString& text, bool enabled);

    const wxString& LastText() const { return lastText_; }

protected:
    void OnDrawItem(wxDC& dc, const wxRect& rect, int item, int flags) const override;
    void OnDrawBackground(wxDC& dc, const wxRect& rect, int item, int flags) const override;

private:
    friend class CListBoxInsideComboBox;
    void OnChoice(wxCommandEvent& event);
    void CheckConfirmedChoice();
    // Selects an item as a confirmed choice and tells the parent.
    void ChooseItem(int index);

    wxString lastText_;
    CListBoxInsideComboBox* list_ = nullptr;
};
