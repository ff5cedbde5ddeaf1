#include "WxMenuSeam.h"

#include "WxCommandId.h"

#include <wx/menu.h>

wxMenuItem* WxMenuSeam::Find(int command) const {
    if (menu_) return menu_->FindItem(ToWxId(command));
    if (bar_) return bar_->FindItem(ToWxId(command));
    return nullptr;
}

wxMenu* WxMenuSeam::SubmenuAt(int position) const {
    if (!menu_ || position < 0 || size_t(position) >= menu_->GetMenuItemCount()) return nullptr;
    return menu_->FindItemByPosition(size_t(position))->GetSubMenu();
}

void WxMenuSeam::Enable(int command, bool enable) {
    if (wxMenuItem* item = Find(command)) item->Enable(enable);
}

void WxMenuSeam::Check(int command, bool check) {
    // Only items made checkable show a check; wx refuses the others.
    if (wxMenuItem* item = Find(command); item && item->IsCheckable()) item->Check(check);
}

void WxMenuSeam::SetLabel(int command, const std::string& label) {
    if (wxMenuItem* item = Find(command)) item->SetItemLabel(wxString::FromUTF8(label));
}

int WxMenuSeam::FindSubmenuStartingWith(int firstCommand) {
    if (!menu_) return -1;
    for (size_t i = 0; i < menu_->GetMenuItemCount(); ++i) {
        const wxMenu* sub = menu_->FindItemByPosition(i)->GetSubMenu();
        if (sub && sub->GetMenuItemCount() > 0 && FromWxId(sub->FindItemByPosition(0)->GetId()) == firstCommand) return int(i);
    }
    return -1;
}

void WxMenuSeam::ClearSubmenu(int position) {
    wxMenu* sub = SubmenuAt(position);
    if (!sub) return;
    while (sub->GetMenuItemCount() > 0) sub->Destroy(sub->FindItemByPosition(0));
}

void WxMenuSeam::AppendToSubmenu(int position, int command, const std::string& label, bool checked) {
    wxMenu* sub = SubmenuAt(position);
    if (!sub) return;
    wxMenuItem* item = sub->AppendCheckItem(ToWxId(command), wxString::FromUTF8(label));
    item->Check(checked);
}

void WxMenuSeam::EnableEntry(int position, bool enable) {
    if (!menu_ || position < 0 || size_t(position) >= menu_->GetMenuItemCount()) return;
    menu_->FindItemByPosition(size_t(position))->Enable(enable);
}
