#include "CListBoxInsideComboBox.h"

#include "CDisabledItemComboBox.h"
#include "ComboNavigation.h"

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

