#include "WxDialogView.h"

#include <wx/checkbox.h>
#include <wx/ctrlsub.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

wxWindow* WxDialogView::Item(int id) {
    const int wxId = id == 1 ? wxID_OK : id == 2 ? wxID_CANCEL : id;
    return dialog_->FindWindow(wxId);
}

std::string WxDialogView::GetItemText(int id) {
    wxWindow* w = Item(id);
    if (!w) return {};
    if (auto* text = dynamic_cast<wxTextCtrl*>(w)) return text->GetValue().utf8_string();
    if (auto* list = dynamic_cast<wxItemContainer*>(w)) {
        const int n = list->GetSelection();
        return n == wxNOT_FOUND ? std::string() : list->GetString(unsigned(n)).utf8_string();
    }
    return w->GetLabel().utf8_string();
}

void WxDialogView::SetItemText(int id, const std::string& value) {
    wxWindow* w = Item(id);
    if (!w) return;
    const wxString text = wxString::FromUTF8(value);
    if (auto* edit = dynamic_cast<wxTextCtrl*>(w)) {
        if (edit->GetValue() != text) edit->ChangeValue(text);
    } else if (w->GetLabel() != text) {
        w->SetLabel(text);
    }
}

void WxDialogView::EnableItem(int id, bool enable) {
    if (wxWindow* w = Item(id)) w->Enable(enable);
}

bool WxDialogView::IsItemEnabled(int id) {
    wxWindow* w = Item(id);
    return w && w->IsThisEnabled();
}

void WxDialogView::ShowItem(int id, bool show) {
    if (wxWindow* w = Item(id)) w->Show(show);
}

int WxDialogView::GetCheck(int id) {
    wxWindow* w = Item(id);
    if (auto* box = dynamic_cast<wxCheckBox*>(w)) return box->GetValue() ? 1 : 0;
    if (auto* radio = dynamic_cast<wxRadioButton*>(w)) return radio->GetValue() ? 1 : 0;
    return 0;
}

void WxDialogView::SetCheck(int id, int check) {
    wxWindow* w = Item(id);
    if (auto* box = dynamic_cast<wxCheckBox*>(w)) box->SetValue(check != 0);
    // A radio button cannot be cleared by itself in every toolkit: only set.
    if (auto* radio = dynamic_cast<wxRadioButton*>(w)) {
        if (check) radio->SetValue(true);
        else if (radio->GetValue()) {
            auto none = radioNone_.find(id);
            if (none != radioNone_.end()) static_cast<wxRadioButton*>(none->second)->SetValue(true);
            else radio->SetValue(false);
        }
    }
}

void WxDialogView::FocusItem(int id) {
    if (wxWindow* w = Item(id)) w->SetFocus();
}

void WxDialogView::SetCaption(const std::string& caption) { dialog_->SetTitle(wxString::FromUTF8(caption)); }

void WxDialogView::ClearList(int id) {
    if (auto* list = dynamic_cast<wxItemContainer*>(Item(id))) list->Clear();
}

void WxDialogView::AddListItem(int id, const std::string& text) {
    if (auto* list = dynamic_cast<wxItemContainer*>(Item(id))) list->Append(wxString::FromUTF8(text));
}

int WxDialogView::GetListSelection(int id) {
    auto* list = dynamic_cast<wxItemContainer*>(Item(id));
    return list ? list->GetSelection() : -1;
}

void WxDialogView::SetListSelection(int id, int index) {
    auto* list = dynamic_cast<wxItemContainer*>(Item(id));
    if (!list) return;
    list->SetSelection(index >= 0 && unsigned(index) < list->GetCount() ? index : wxNOT_FOUND);
}

std::string WxDialogView::GetListItemText(int id, int index) {
    auto* list = dynamic_cast<wxItemContainer*>(Item(id));
    if (!list || index < 0 || unsigned(index) >= list->GetCount()) return {};
    return list->GetString(unsigned(index)).utf8_string();
}

int WxDialogView::GetListCount(int id) {
    auto* list = dynamic_cast<wxItemContainer*>(Item(id));
    return list ? int(list->GetCount()) : 0;
}

void WxDialogView::EndAsCancel() {
    wxDialog* dialog = dialog_;
    dialog->CallAfter([dialog] {
        if (dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
        else dialog->Close();
    });
}
