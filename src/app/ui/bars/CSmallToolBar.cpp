#include "CSmallToolBar.h"

#include "MainFrameLayout.h"
#include "StringResources.h"
#include "WxCommandId.h"

#include <wx/dcmemory.h>

namespace {

// Our own button faces: a rounded tile with the tooltip's first letter.
wxBitmap ButtonFace(const std::string& tip, int width, int height, int image) {
    static const wxColour kTiles[] = {{70, 110, 170}, {150, 90, 60}, {70, 140, 90}, {130, 80, 150}, {120, 120, 60}};
    wxBitmap bitmap(width, height);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(*wxLIGHT_GREY_BRUSH);
    dc.Clear();
    dc.SetBrush(wxBrush(kTiles[image % 5]));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRoundedRectangle(1, 1, width - 2, height - 2, 3);
    dc.SetTextForeground(*wxWHITE);
    wxFont font = *wxSMALL_FONT;
    font.SetPixelSize(wxSize(0, std::max(8, height - 6)));
    dc.SetFont(font);
    const wxString letter = tip.empty() ? wxString("?") : wxString::FromUTF8(tip.substr(0, 1));
    const wxSize extent = dc.GetTextExtent(letter);
    dc.DrawText(letter, (width - extent.x) / 2, (height - extent.y) / 2);
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

} // namespace

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
        std::string tip;
        if (!TranslatedToolTip(button.command, tip)) {
            const std::string text = LoadResourceString(button.command);
            const size_t newline = text.find('\n');
            tip = CutToolTip(newline == std::string::npos ? text : text.substr(newline + 1));
        }
        AddTool(ToWxId(button.command), wxEmptyString, ButtonFace(tip, width, height, button.image), wxNullBitmap,
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
