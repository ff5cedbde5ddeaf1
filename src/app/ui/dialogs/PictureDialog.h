#pragma once
// A borderless dialog showing one of the program's own pictures, drawn at
// run time; a click ends it with OK unless the owner handles the click.
#include <wx/dialog.h>

class PictureDialog : public wxDialog {
public:
    enum Picture { kSplash, kScrambledEggs, kHulk };
    PictureDialog(wxWindow* parent, Picture picture, const wxString& title);

protected:
    virtual void OnClick(wxMouseEvent& event);

private:
    void OnPaint(wxPaintEvent& event);
    Picture picture_;
};
