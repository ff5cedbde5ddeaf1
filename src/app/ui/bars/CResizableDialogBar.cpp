#include "CResizableDialogBar.h"

CResizableDialogBar::CResizableDialogBar(wxWindow* parent, int id, const std::string& title, wxSize dialogSize)
    : wxPanel(parent, id), title_(title) {
    geometry_.SetDialogSize(dialogSize.GetWidth(), dialogSize.GetHeight());
}
