#include "CHostFolderEdit.h"

#include "EditFilters.h"

CHostFolderEdit::CHostFolderEdit(wxWindow* parent, wxWindowID id, const wxString& value, const wxPoint& pos,
                                 const wxSize& size, long style)
    : wxTextCtrl(parent, id, value, pos, size, style) {
    Bind(wxEVT_CHAR, &CHostFolderEdit::OnChar, this);
}

void CHostFolderEdit::OnChar(wxKeyEvent& event) {
    if (event.GetUnicodeKey() == WXK_NONE || event.ControlDown() ||
        HostFolderEditAccepts(char32_t(event.GetUnicodeKey())))
        event.Skip();
}
