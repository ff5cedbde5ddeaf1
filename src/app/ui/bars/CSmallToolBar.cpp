#include "CSmallToolBar.h"

#include "MainFrameLayout.h"
#include "ToolPictures.h"
#include "WxCommandId.h"

CSmallToolBar::CSmallToolBar(wxWindow* parent, const ToolBarTable& table)
    : wxToolBar(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTB_FLAT | wxTB_HORIZONTAL | wxTB_NODIVIDER) {
    const int width = table.bitmapWidth ? table.bitmapWidth : 16;
    const int height = table.bitmapHeight ? table.bitmapHeight : 15;
    SetToolBitmapSize(wxSize(width, height));
    for (const ToolBarButton& button : table.buttons) {
        if (button.style == ToolBarButton::kSeparator) {
            AddSeparator();
            continue;
        }
        const std::string tip = ToolTipFor(button.command);
        AddTool(ToWxId(button.command), wxEmptyString, ToolPictureBundle(table.bitmapId, button.image), wxNullBitmap,
                button.style == ToolBarButton::kCheckGroup ? wxITEM_RADIO : wxITEM_NORMAL, wxString::FromUTF8(tip),
                wxString::FromUTF8(TranslatedPrompt(button.command)));
    }
    Realize();
    for (const ToolBarButton& button : table.buttons)
        if (button.style != ToolBarButton::kSeparator) EnableTool(ToWxId(button.command), false);
    Bind(wxEVT_LEFT_UP, &CSmallToolBar::OnLeftUp, this);
}

void CSmallToolBar::ApplyStates(const ButtonStates& states) {
    for (const auto& [command, state] : states) {
        EnableTool(ToWxId(command), IsButtonEnabled(state));
        if (GetToolPos(ToWxId(command)) != wxNOT_FOUND) ToggleTool(ToWxId(command), IsButtonPressed(state));
    }
}

void CSmallToolBar::OnLeftUp(wxMouseEvent& event) {
    if (wxWindow* top = wxGetTopLevelParent(this)) top->Raise();
    event.Skip();
}
