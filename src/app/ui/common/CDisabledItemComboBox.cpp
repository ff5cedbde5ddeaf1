#include "CDisabledItemComboBox.h"

#include "CListBoxInsideComboBox.h"

#include <wx/dc.h>
#include <wx/settings.h>

CDisabledItemComboBox::CDisabledItemComboBox(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxOwnerDrawnComboBox(parent, id, wxString(), pos, size, 0, nullptr, wxCB_READONLY) {
    list_ = new CListBoxInsideComboBox;
    list_->SetOwnerCombo(this);
    SetPopupControl(list_);
    Bind(wxEVT_COMBOBOX, &CDisabledItemComboBox::OnChoice, this);
}

bool CDisabledItemComboBox::IsItemEnabled(int index) const {
    return index >= 0 && unsigned(index) < GetCount() &&
           const_cast<CDisabledItemComboBox*>(this)->GetClientData(unsigned(index)) == EnabledData();
}

int CDisabledItemComboBox::AppendItem(const wxString& text, bool enabled) {
    return Append(text, enabled ? EnabledData() : nullptr);
}

void CDisabledItemComboBox::OnDrawItem(wxDC& dc, const wxRect& rect, int item, int flags) const {
    if (item == wxNOT_FOUND) return;
    const bool enabled = IsThisEnabled() && IsItemEnabled(item);
    wxColour text = enabled ? wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT) : wxColour(128, 128, 128);
    if (enabled && (flags & wxODCB_PAINTING_SELECTED))
        text = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT);
    dc.SetTextForeground(text);
    dc.DrawText(GetString(unsigned(item)), rect.x + 2, rect.y + 2);
}

void CDisabledItemComboBox::OnDrawBackground(wxDC& dc, const wxRect& rect, int item, int flags) const {
    // A disabled item is never shown highlighted.
    if (item != wxNOT_FOUND && !IsItemEnabled(item)) flags &= ~wxODCB_PAINTING_SELECTED;
    if ((flags & wxODCB_PAINTING_SELECTED) && IsThisEnabled()) {
        wxOwnerDrawnComboBox::OnDrawBackground(dc, rect, item, flags);
        return;
    }
    dc.SetBrush(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW)));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRectangle(rect);
}

void CDisabledItemComboBox::OnChoice(wxCommandEvent& event) {
    event.Skip();
    // The check runs after the event, as a posted message would.
    CallAfter(&CDisabledItemComboBox::CheckConfirmedChoice);
}

void CDisabledItemComboBox::CheckConfirmedChoice() {
    const int found = FindString(GetValue(), true);
    if (found != wxNOT_FOUND && !IsItemEnabled(found)) {
        const int back = FindString(lastText_, true);
        SetSelection(back);
        wxCommandEvent changed(wxEVT_COMBOBOX, GetId());
        changed.SetEventObject(this);
        changed.SetInt(back);
        if (GetParent()) GetParent()->GetEventHandler()->ProcessEvent(changed);
        return;
    }
    lastText_ = GetValue();
}

void CDisabledItemComboBox::ChooseItem(int index) {
    SetSelection(index);
    lastText_ = GetValue();
    wxCommandEvent changed(wxEVT_COMBOBOX, GetId());
    changed.SetEventObject(this);
    changed.SetInt(index);
    if (GetParent()) GetParent()->GetEventHandler()->ProcessEvent(changed);
}
