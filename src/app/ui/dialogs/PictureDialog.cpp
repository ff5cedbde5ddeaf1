#include "PictureDialog.h"

#include <wx/dcclient.h>

PictureDialog::PictureDialog(wxWindow* parent, Picture picture, const wxString& title)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxSize(420, 260), wxBORDER_SIMPLE | wxSTAY_ON_TOP),
      picture_(picture) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &PictureDialog::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &PictureDialog::OnClick, this);
    CentreOnScreen();
}

void PictureDialog::OnClick(wxMouseEvent&) { EndModal(wxID_OK); }

void PictureDialog::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const wxSize size = GetClientSize();
    switch (picture_) {
    case kSplash: {
        dc.GradientFillLinear(wxRect(size), wxColour(20, 30, 60), wxColour(90, 120, 170), wxDOWN);
        dc.SetTextForeground(*wxWHITE);
        wxFont font(wxFontInfo(30).Bold());
        dc.SetFont(font);
        dc.DrawText("Zyn Lumora", 40, 80);
        dc.SetFont(wxFontInfo(11));
        dc.DrawText("Version 4.3.0.13", 44, 140);
        break;
    }
    case kScrambledEggs:
        dc.SetBackground(wxBrush(wxColour(250, 240, 200)));
        dc.Clear();
        dc.SetPen(*wxTRANSPARENT_PEN);
        for (int i = 0; i < 5; ++i) {
            dc.SetBrush(*wxWHITE_BRUSH);
            dc.DrawEllipse(40 + i * 70, 70 + (i % 2) * 40, 80, 60);
            dc.SetBrush(wxBrush(wxColour(250, 200, 30)));
            dc.DrawCircle(80 + i * 70, 100 + (i % 2) * 40, 16);
        }
        break;
    case kHulk:
        dc.SetBackground(wxBrush(wxColour(40, 40, 40)));
        dc.Clear();
        dc.SetBrush(wxBrush(wxColour(60, 160, 60)));
        dc.SetPen(wxPen(wxColour(20, 80, 20), 3));
        dc.DrawCircle(size.x / 2, 110, 60);
        dc.DrawRectangle(size.x / 2 - 90, 170, 180, 80);
        break;
    }
}
