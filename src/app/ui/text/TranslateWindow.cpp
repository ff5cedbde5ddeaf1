#include "TranslateWindow.h"

#include "LocalizedText.h"

#include <wx/combo.h>
#include <wx/ctrlsub.h>
#include <wx/menu.h>
#include <wx/textctrl.h>
#include <wx/window.h>

namespace {

constexpr size_t kHandleTextLimit = 1024;

bool HoldsData(wxWindow* w) {
    return dynamic_cast<wxTextCtrl*>(w) || dynamic_cast<wxItemContainer*>(w) || dynamic_cast<wxComboCtrl*>(w);
}

void TranslateOne(wxWindow* w, size_t limit) {
    if (HoldsData(w)) return;
    std::string text = w->GetLabel().utf8_string();
    if (text.size() > limit) text.resize(limit);
    if (text.empty()) return;
    const std::string translated = TranslateString(text);
    if (translated != text) w->SetLabel(wxString::FromUTF8(translated));
}

void Translate(wxWindow* w, bool withSiblings, size_t limit) {
    if (!w) return;
    TranslateOne(w, limit);
    if (withSiblings && w->GetParent() && !w->IsTopLevel()) {
        const wxWindowList& siblings = w->GetParent()->GetChildren();
        bool after = false;
        for (wxWindow* s : siblings) {
            if (after && !s->IsTopLevel()) Translate(s, false, limit);
            if (s == w) after = true;
        }
    }
    for (wxWindow* child : w->GetChildren())
        if (!child->IsTopLevel()) Translate(child, false, limit);
}

} // namespace

void TranslateWindowText(wxWindow* window, bool withSiblings) { Translate(window, withSiblings, std::string::npos); }

void TranslateWindowTextByHandle(wxWindow* window, bool withSiblings) {
    Translate(window, withSiblings, kHandleTextLimit);
}

void TranslateMenu(wxMenu* menu) {
    if (!menu) return;
    for (int pos = int(menu->GetMenuItemCount()) - 1; pos >= 0; --pos) {
        wxMenuItem* item = menu->FindItemByPosition(size_t(pos));
        const std::string text = item->GetItemLabel().utf8_string();
        const std::string translated = TranslateString(text);
        if (!text.empty() && translated != text) item->SetItemLabel(wxString::FromUTF8(translated));
        if (item->GetSubMenu()) TranslateMenu(item->GetSubMenu());
    }
}

void TranslateMenu(wxMenuBar* menuBar) {
    if (!menuBar) return;
    for (int pos = int(menuBar->GetMenuCount()) - 1; pos >= 0; --pos) {
        const std::string text = menuBar->GetMenuLabel(size_t(pos)).utf8_string();
        const std::string translated = TranslateString(text);
        if (!text.empty() && translated != text) menuBar->SetMenuLabel(size_t(pos), wxString::FromUTF8(translated));
        TranslateMenu(menuBar->GetMenu(size_t(pos)));
    }
}
