#include "WxEditFieldView.h"

#include "CNumericEdit.h"

void WxEditFieldView::SetTextLimit(int id, int characters) {
    if (auto* edit = dynamic_cast<wxTextCtrl*>(dialog_->FindWindow(id))) edit->SetMaxLength(characters > 0 ? characters : 0);
}

int WxEditFieldView::GetNumber(int id) {
    auto* edit = dynamic_cast<CNumericEdit*>(dialog_->FindWindow(id));
    return edit ? edit->GetValue() : 0;
}

void WxEditFieldView::SetNumberQuietly(int id, int value) {
    if (auto* edit = dynamic_cast<CNumericEdit*>(dialog_->FindWindow(id))) edit->SetValueQuietly(value);
}

void WxEditFieldView::SetNumberValid(int id, bool valid) {
    auto* edit = dynamic_cast<CNumericEdit*>(dialog_->FindWindow(id));
    if (edit && edit->IsValid() != valid) edit->SetValid(valid);
}
