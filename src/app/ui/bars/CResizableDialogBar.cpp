#include "CResizableDialogBar.h"

#include "WxCommandId.h"

CResizableDialogBar::CResizableDialogBar(wxWindow* parent, int id, const std::string& title, wxSize dialogSize)
    : wxPanel(parent, id), commandTarget_(parent), title_(title) {
    geometry_.SetDialogSize(dialogSize.GetWidth(), dialogSize.GetHeight());
}

void CResizableDialogBar::SendCommand(int command) {
    wxCommandEvent event(wxEVT_MENU, ToWxId(command));
    event.SetEventObject(this);
    commandTarget_->GetEventHandler()->ProcessEvent(event);
}

void CResizableDialogBar::BindCommandButton(int command) {
    Bind(wxEVT_BUTTON, [this, command](wxCommandEvent&) { SendCommand(command); }, ToWxId(command));
    // A floating bar's own frame would end the update's way up before the
    // main frame: it is asked directly.
    Bind(
        wxEVT_UPDATE_UI,
        [this](wxUpdateUIEvent& event) {
            wxUpdateUIEvent asked(event.GetId());
            asked.SetEventObject(this);
            const bool answered = commandTarget_->GetEventHandler()->ProcessEvent(asked) && asked.GetSetEnabled();
            event.Enable(answered && asked.GetEnabled());
        },
        ToWxId(command));
}
