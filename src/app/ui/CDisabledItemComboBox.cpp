#include "CDisabledItemComboBox.h"

#include "ComboNavigation.h"

#include <wx/dc.h>
#include <wx/settings.h>

namespace {

bool NavigationKey(int key, ComboKey& out) {
    switch (key) {
    case WXK_PAGEUP: out = ComboKey::PageUp; return true;
    case WXK_HOME: out = ComboKey::Home; return true;
    case WXK_PAGEDOWN: out = ComboKey::PageDown; return true;
    case WXK_END: out = ComboKey::End; return true;
    case WXK_UP: out = ComboKey::Up; return true;
    case WXK_LEFT: out = ComboKey::Left; return true;
    case WXK_DOWN: out = ComboKey::Down; return true;
    case WXK_RIGHT: out = ComboKey::Right; return true;
    default: return false;
    }
}

} // namespace

bool CListBoxInsideComboBox::Create(wxWindow* parent) {
    if (!wxVListBoxComboPopup::Create(parent)) return false;
    // Bound handlers run before the list's own.
    Bind(wxEVT_MOTION, &CListBoxInsideComboBox::OnMouse, this);
    Bind(wxEVT_LEFT_DOWN, &CListBoxInsideComboBox::OnMouse, this);
    Bind(wxEVT_LEFT_UP, &CListBoxInsideComboBox::OnMouse, this);
    Bind(wxEVT_KEY_DOWN, &CListBoxInsideComboBox::OnKeyDown, this);
    return true;
}

void CListBoxInsideComboBox::OnPopup() {
    // The choice the list may replace.
    if (owner_) owner_->lastText_ = owner_->GetValue();
    wxVListBoxComboPopup::OnPopup();
}

void CListBoxInsideComboBox::OnMouse(wxMouseEvent& event) {
    const int item = VirtualHitTest(event.GetPosition().y);
    if (owner_ && item != wxNOT_FOUND && GetClientRect().Contains(event.GetPosition()) &&
        !owner_->IsItemEnabled(item))
        return;  // pointing at or clicking a disabled item does nothing
    event.Skip();
}

void CListBoxInsideComboBox::OnKeyDown(wxKeyEvent& event) {
    ComboKey key;
    if (!owner_ || !NavigationKey(event.GetKeyCode(), key)) {
        event.Skip();
        return;
    }
    const int next = NavigateEnabledItem(key, GetSelection(), int(GetCount()),
                                         [this](int i) { return owner_->IsItemEnabled(i); });
    if (next >= 0) {
        SetSelection(next);
        Refresh();
    }
}

void CListBoxInsideComboBox::OnComboKeyEvent(wxKeyEvent& event) {
    ComboKey key;
    if (!owner_ || !NavigationKey(event.GetKeyCode(), key)) {
        wxVListBoxComboPopup::OnComboKeyEvent(event);
        return;
    }
    const int next = NavigateEnabledItem(key, owner_->GetSelection(), int(owner_->GetCount()),
                                         [this](int i) { return owner_->IsItemEnabled(i); });
    if (next >= 0 && next != owner_->GetSelection()) owner_->ChooseItem(next);
}

void CListBoxInsideComboBox::OnComboCharEvent(wxKeyEvent& event) {
    if (!owner_) {
        wxVListBoxComboPopup::OnComboCharEvent(event);
        return;
    }
    const int before = owner_->GetSelection();
    wxVListBoxComboPopup::OnComboCharEvent(event);
    const int found = owner_->GetSelection();
    if (found == before) return;
    if (CharToEnabledItem(found, [this](int i) { return owner_->IsItemEnabled(i); }) == -2)
        owner_->SetSelection(before);
}

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
